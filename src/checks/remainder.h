// Remainder methods 7DR, 7DSR, 9DR and 9DSR.
#pragma once

#include <string>
#include <string_view>

namespace talvo::checks {

// Reads value as integer text (in two parts of up to 18 bytes when it is 19 to 36 bytes long)
// and appends its remainder by `modulus` (7 or 9), or modulus minus the remainder when
// `subtract` is set. Gives "none" below 3 bytes, "Input Length Error" above 36 and
// "Input Character Error" when a part is not integer text. Never throws.
// Writes the result into `result`, reusing its storage, so that a caller going from line to line
// does not allocate for every value; `value` must not view `result`.
void CheckDR(std::string_view value, int modulus, bool subtract, std::string& result);
// The four methods, with modulus and rule fixed.
void Check7DR(std::string_view value, std::string& result);
void Check7DSR(std::string_view value, std::string& result);
void Check9DR(std::string_view value, std::string& result);
void Check9DSR(std::string_view value, std::string& result);

inline std::string CheckDR(std::string_view value, int modulus, bool subtract) {
  std::string result;
  CheckDR(value, modulus, subtract, result);
  return result;
}

}  // namespace talvo::checks
