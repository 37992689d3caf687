// Alphabet methods: M16 over the NW-7 (Codabar) characters and M43 over Code 39.
#pragma once

#include <string>
#include <string_view>

namespace talvo::checks {

// Each writes its result into `result`, reusing its storage, so that a caller going from line
// to line does not allocate for every value; `value` must not view `result`.

// Sums the NW-7 values of all bytes and puts the modulus 16 check character in front of the
// last byte (the stop letter of a Codabar text).
void CheckM16(std::string_view value, std::string& result);
inline std::string CheckM16(std::string_view value) {
  std::string result;
  CheckM16(value, result);
  return result;
}

// Sums the Code 39 values of all bytes and appends the modulus 43 check character.
void CheckM43(std::string_view value, std::string& result);
inline std::string CheckM43(std::string_view value) {
  std::string result;
  CheckM43(value, result);
  return result;
}

}  // namespace talvo::checks
