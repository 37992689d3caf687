// Start-up: the arguments, the checks on the two paths, opening the files, row processing,
// and the exit status with its console texts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "driver/failure.h"
#include "text/console_text.h"

namespace talvo::driver {

// The whole program; returns the exit status: 0 when every line was processed, 1 otherwise.
int Main(int argc, char** argv);

// The usage text with its closing CR LF, as written to standard output: all the program's own.
text::ConsoleText UsageText();

// Called inside a catch block for an exception other than Failure: the failure it is told as,
// at `place`. Running out of memory is EOutOfMemory; anything else is Exception with the
// run-time library's text.
Failure UnexpectedFailure(std::uintptr_t place);

// The failure report for `failure` from program `module` (the name it was started by, the
// user's), whole: CutReport makes the bytes that are written.
text::ConsoleText FailureReport(const Failure& failure, std::string_view module,
                                std::uint32_t offset);

// Length in bytes of the character a text (not empty) starts with, in the console's set.
using CharacterLength = std::size_t (*)(std::string_view);

// The report's console bytes as written: when longer than 1024 bytes, cut within them at the end
// of a whole character as `length` steps through them, then the closing CR LF. Where the
// console takes bytes as they are, every byte is a whole character, so the cut may fall inside
// a double-byte character; the CR LF after it is written all the same.
std::string CutReport(std::string bytes, CharacterLength length);

}  // namespace talvo::driver
