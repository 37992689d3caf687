// Modulus 11 methods M11 and weighted M11.
#pragma once

#include <string>
#include <string_view>

namespace talvo::checks {

// Each writes its result into `result`, reusing its storage, so that a caller going from line
// to line does not allocate for every value; `value` must not view `result`.

// Weights the first six digits 7..2 and appends the modulus 11 check digit; later bytes are
// carried along unread. "none" below 6 bytes.
void CheckM11(std::string_view value, std::string& result);
inline std::string CheckM11(std::string_view value) {
  std::string result;
  CheckM11(value, result);
  return result;
}

// Weights up to twelve digits from the right with a fixed row, and again with a second row when
// the first remainder is 1; that second pass alone can append "10". "none" above 12 bytes.
void CheckWeightedM11(std::string_view value, std::string& result);
inline std::string CheckWeightedM11(std::string_view value) {
  std::string result;
  CheckWeightedM11(value, result);
  return result;
}

}  // namespace talvo::checks
