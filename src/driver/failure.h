// A failure that no guard handles: it ends the run with the failure report and status 1.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "text/console_text.h"

namespace talvo::driver {

struct Failure {
  std::string_view kind;      // text::kConvertErrorKind, kInOutErrorKind, kOutOfMemoryKind, ...
  text::ConsoleText message;  // own text, with the user's piece for a failed conversion
  std::uintptr_t place;       // code address the failure was raised at
};

// The text of an I/O code: the fixed texts for 2 to 5, "I/O エラー (n)" for any other.
std::string IoText(int code);

// Both take the caller's return address as the place of the failure.
[[noreturn]] void ThrowIoFailure(int code);
[[noreturn]] void ThrowConvertFailure(std::string_view text);

}  // namespace talvo::driver
