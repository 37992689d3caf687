// Modulus 10 methods M10W2, Luhn M10W2 and M10W3.
#pragma once

#include <string>
#include <string_view>

namespace talvo::checks {

// Weights the digits alternately with `weight` (2 or 3, on the rightmost digit) and 1, sums the
// products (by their digits when `digitSum`, the Luhn rule) and appends the digit that brings
// the sum to a multiple of 10. Any byte that is not '0'-'9' gives "Input Character Error".
// Writes the result into `result`, reusing its storage, so that a caller going from line to line
// does not allocate for every value; `value` must not view `result`.
void CheckM10(std::string_view value, int weight, bool digitSum, std::string& result);
// The three methods, with weight and rule fixed.
void CheckM10W2(std::string_view value, std::string& result);      // weight 2
void CheckLuhnM10W2(std::string_view value, std::string& result);  // weight 2, digit sums
void CheckM10W3(std::string_view value, std::string& result);      // weight 3 (EAN/UPC)

inline std::string CheckM10(std::string_view value, int weight, bool digitSum) {
  std::string result;
  CheckM10(value, weight, digitSum, result);
  return result;
}

}  // namespace talvo::checks
