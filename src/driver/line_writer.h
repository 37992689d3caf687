// Writes output lines, each followed by CR LF, in large blocks.
//
// The file only ever receives whole lines: blocks are cut at line ends, and when a write fails
// part of the way (a disk that fills up) the file is cut back to its last complete line before
// the failure is reported. A line longer than the buffer goes to the file in pieces as it is
// put together, so memory does not grow with it; until it is ended it is cut off again on any
// failure. The sink is told how much of it is whole lines after every write that ends one
// (MarkComplete), so that an interruption, which no code here sees, can cut back to there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string_view>

#include "driver/streams.h"
#include "text/byte_words.h"
#include "text/literals.h"

namespace talvo::driver {

class LineWriter {
 public:
  static constexpr std::size_t kDefaultBlock = std::size_t{1} << 20;

  explicit LineWriter(ByteSink& sink, std::size_t block = kDefaultBlock);

  // A line is put together from pieces, then ended. Throws Failure when a write fails.
  void Append(std::string_view bytes) {
    if (bytes.size() <= capacity_ - size_) {
      text::words::CopyBytes(data_.get() + size_, bytes.data(), bytes.size());
      size_ += bytes.size();
    } else {
      AppendBeyondBuffer(bytes);
    }
  }
  void Append(char byte) { Append(std::string_view(&byte, 1)); }
  void EndLine() {
    Append(text::kCrLf);
    complete_ = size_;
    if (complete_ >= block_) Flush();
  }

  // Whole lines, each already ended by CR LF, put after the last ended line: from runs held
  // apart, in order, which a long stretch of them takes to the file in one write. Throws
  // Failure when a write fails.
  void AppendLines(std::span<const std::string_view> runs);
  void AppendLines(std::string_view lines) { AppendLines(std::span(&lines, 1)); }

  // Writes every complete line held. Throws Failure when the write fails.
  void Flush();

  // The size of the writes it makes: what a caller holding lines of its own gathers before
  // handing them over, so that each is worth a call to the system.
  std::size_t Block() const { return block_; }

  // On the way to the failure report: writes the complete lines held, dropping any piece of an
  // unfinished line, and swallows a second failure.
  void FlushCompleteLinesQuietly() noexcept;

 private:
  void AppendBeyondBuffer(std::string_view bytes);
  void WriteUnfinished(std::span<const std::string_view> pieces);
  void WriteUnfinished(std::string_view bytes) { WriteUnfinished(std::span(&bytes, 1)); }
  [[noreturn]] void FailWrite(std::span<const std::string_view> pieces, platform::IoResult r);

  ByteSink& sink_;
  std::size_t block_;
  std::size_t capacity_;
  std::unique_ptr<char[]> data_;
  std::size_t size_ = 0;         // bytes held in data_
  std::size_t complete_ = 0;     // bytes of data_ that are whole lines
  std::uint64_t written_ = 0;    // bytes in the sink that are whole lines
  std::uint64_t unfinished_ = 0; // bytes in the sink after those: the start of the held line
  bool failed_ = false;          // a write failed: nothing more is tried
};

}  // namespace talvo::driver
