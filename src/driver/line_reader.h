// Reads the input line by line in large blocks.
//
// A line ends at LF; every CR is dropped (the CR of CR LF and a CR standing alone), so a line
// never holds one. A 0x1A byte where a line would begin ends the input; inside a line it ends
// the line, and the rest of that physical line is skipped (a second 0x1A met there ends the
// input). Reading at the end gives an empty line. Lines have no length limit; memory grows only
// with the longest line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "driver/streams.h"

namespace talvo::driver {

class LineReader {
 public:
  static constexpr std::size_t kDefaultBlock = std::size_t{1} << 20;

  explicit LineReader(ByteSource& source, std::size_t block = kDefaultBlock);

  // True when no byte remains or the next byte is 0x1A.
  bool AtEnd();

  // The next line without its line end; valid until the next call. Throws Failure on a read
  // failure.
  std::string_view ReadLine();

  // Forgets everything read so far; the source has been opened again at its start.
  void Restart();

 private:
  bool Fill();
  void SkipRestOfLine();

  ByteSource& source_;
  std::vector<char> buffer_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  bool eof_ = false;    // the source has no more bytes
  bool ended_ = false;  // a 0x1A ended the input
  std::string line_;    // a line that spans blocks or held a CR
};

}  // namespace talvo::driver
