// Writes output lines, each followed by CR LF, in large blocks.
//
// The file only ever receives whole lines: blocks are cut at line ends, and when a write fails
// part of the way (a disk that fills up) the file is cut back to its last complete line before
// the failure is reported.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "driver/streams.h"

namespace talvo::driver {

class LineWriter {
 public:
  static constexpr std::size_t kDefaultBlock = std::size_t{1} << 20;

  explicit LineWriter(ByteSink& sink, std::size_t block = kDefaultBlock);

  // A line is put together from pieces, then ended.
  void Append(std::string_view bytes) { buffer_.append(bytes); }
  void Append(char byte) { buffer_.push_back(byte); }
  void EndLine();

  // Writes every complete line held. Throws Failure when the write fails.
  void Flush();

  // On the way to the failure report: writes the complete lines held, dropping any piece of an
  // unfinished line, and swallows a second failure.
  void FlushCompleteLinesQuietly() noexcept;

 private:
  void WriteHeld(std::size_t size);

  ByteSink& sink_;
  std::size_t block_;
  std::string buffer_;
  std::size_t complete_ = 0;   // bytes of buffer_ that are whole lines
  std::uint64_t written_ = 0;  // bytes in the sink, all of them whole lines
  bool failed_ = false;        // a write failed: nothing more is tried
};

}  // namespace talvo::driver
