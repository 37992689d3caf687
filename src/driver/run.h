// Start-up: the arguments, the checks on the two paths, opening the files, row processing,
// and the exit status with its console texts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "driver/failure.h"

namespace talvo::driver {

// The whole program; returns the exit status: 0 when every line was processed, 1 otherwise.
int Main(int argc, char** argv);

// The usage text with its closing CR LF, as written to standard output.
std::string UsageText();

// Called inside a catch block for an exception other than Failure: the failure it is told as,
// at `place`. Running out of memory is EOutOfMemory; anything else is Exception with the
// run-time library's text.
Failure UnexpectedFailure(std::uintptr_t place);

// The failure report for `failure` from program `module`, with its closing CR LF.
std::string FailureReport(const Failure& failure, std::string_view module, std::uint32_t offset);

}  // namespace talvo::driver
