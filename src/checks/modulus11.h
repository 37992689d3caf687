// Modulus 11 methods M11 and weighted M11.
#pragma once

#include <string>
#include <string_view>

namespace talvo::checks {

// Weights the first six digits 7..2 and appends the modulus 11 check digit; later bytes are
// carried along unread. "none" below 6 bytes.
std::string CheckM11(std::string_view value);

// Weights up to twelve digits from the right with a fixed row, and again with a second row when
// the first remainder is 1; that second pass alone can append "10". "none" above 12 bytes.
std::string CheckWeightedM11(std::string_view value);

}  // namespace talvo::checks
