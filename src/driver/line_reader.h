// Reads the input line by line in large blocks.
//
// A line ends at LF; every CR is dropped (the CR of CR LF and a CR standing alone), so a line
// never holds one. A 0x1A byte where a line would begin ends the input; inside a line it ends
// the line, and the rest of that physical line is skipped (a second 0x1A met there ends the
// input). Reading at the end gives an empty line. Lines have no length limit; memory grows only
// with the longest line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "driver/streams.h"
#include "text/byte_words.h"

namespace talvo::driver {

class LineReader {
 public:
  static constexpr std::size_t kDefaultBlock = std::size_t{1} << 20;

  explicit LineReader(ByteSource& source, std::size_t block = kDefaultBlock);

  // True when no byte remains or the next byte is 0x1A. Throws Failure on a read failure.
  bool AtEnd() {
    if (ended_) return true;
    if (pos_ == end_ && !Fill()) return true;
    if (buffer_[pos_] == kEndOfFile) ended_ = true;
    return ended_;
  }

  // The next line without its line end; valid until the next call. Throws Failure on a read
  // failure.
  std::string_view ReadLine() {
    if (AtEnd()) return {};
    // The common line lies whole in the block, ends in LF or CR LF and holds no other CR and
    // no 0x1A: it is handed out where it stands. Anything else is gathered.
    const char* begin = buffer_.get() + pos_;
    const char* end = buffer_.get() + end_;
    // Lines are short and every one ends in CR or LF, so both are sought in one pass.
    const char* brk = text::words::FindEither(begin, end, '\r', '\n');
    const char* lf = brk;
    if (brk != end && *brk == '\r') lf = (end - brk >= 2 && brk[1] == '\n') ? brk + 1 : end;
    if (lf != end) {
      const auto content_end = static_cast<std::size_t>(brk - buffer_.get());
      if (mark_ < pos_) FindMark();
      if (mark_ >= content_end) {
        pos_ = static_cast<std::size_t>(lf + 1 - buffer_.get());
        return {begin, static_cast<std::size_t>(brk - begin)};
      }
    }
    return GatherLine();
  }

  // The whole lines that follow in the block, with their line ends, up to the first 0x1A;
  // empty when there are none. They count as read; the caller splits them as ReadLine would,
  // at each LF and with every CR dropped. Handing them out together lets the caller share
  // them out between threads.
  std::string_view TakeWholeLines();

  // Reads the next block into a second buffer, behind the rest of this one (the start of the
  // line that the block cuts), and goes on from there. The lines last taken by TakeWholeLines
  // stay where they are and valid, so they can be worked on while the next block comes in;
  // they stay valid until the reader reads again after this. Does nothing where there is
  // nothing to gain: at the end of the input, with a 0x1A ahead, or when the rest is too long
  // to move. Throws Failure on a read failure, leaving everything as it was.
  void ReadAhead();

  // Forgets everything read so far; the source has been opened again at its start.
  void Restart();

  // Goes back to the start of the input without reading it again, when the block held still
  // begins there; false when it does not. For an input that cannot be opened again at its
  // start (a pipe), where reading it again would lose what was read.
  bool RewindHeld();

 private:
  static constexpr char kEndOfFile = '\x1A';
  bool Fill();
  void FindMark();
  std::string_view GatherLine();
  void SkipRestOfLine();

  ByteSource& source_;
  std::unique_ptr<char[]> buffer_;  // left uninitialised: only what is read is touched
  std::unique_ptr<char[]> spare_;   // ReadAhead's second buffer, made on its first use
  std::size_t capacity_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  std::uint64_t held_from_ = 0;  // where in the input the block held begins
  std::size_t mark_ = 0;  // first 0x1A at or after pos_ when mark_ >= pos_; end_ when none
  bool eof_ = false;    // the source has no more bytes
  bool ended_ = false;  // a 0x1A ended the input
  std::string line_;    // a line that spans blocks or held a CR
};

}  // namespace talvo::driver
