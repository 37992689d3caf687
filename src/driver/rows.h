// Row processing: turns the input's lines into the output's lines.
#pragma once

#include <string_view>

#include "driver/line_reader.h"
#include "driver/line_writer.h"
#include "driver/streams.h"

namespace talvo::driver {

// The four settings, as the texts the user gave: header flag f, target column r, write mode w
// and check type c.
struct RowSettings {
  std::string_view header;
  std::string_view column;
  std::string_view write;
  std::string_view check;
};

// Reads the first line for the field count, writes the header or opens the input again when
// there is none, then writes every data line with its check result in the write position.
// Throws Failure for what no guard handles: w not integer text, r not integer text when w is
// 0, and I/O failures.
void ProcessRows(const RowSettings& settings, ByteSource& source, LineReader& reader,
                 LineWriter& writer);

}  // namespace talvo::driver
