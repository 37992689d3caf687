// Building a check result in the caller's string.
#pragma once

#include <string>
#include <string_view>

#include "text/byte_words.h"

namespace talvo::checks {

// Sets `result` to `value` followed by `check`. Row processing keeps one result from line to
// line; values of the same length then reuse its storage without a copy of the old text.
[[gnu::always_inline]] inline void SetResult(std::string& result, std::string_view value,
                                             std::string_view check) {
  // Resized only when the length changes: most lines of a file keep it, and resizing is a call.
  if (result.size() != value.size() + check.size()) result.resize(value.size() + check.size());
  char* out = result.data();
  text::words::CopyBytes(out, value.data(), value.size());
  text::words::CopyBytes(out + value.size(), check.data(), check.size());
}

}  // namespace talvo::checks
