// Alphabet methods: M16 over the NW-7 (Codabar) characters and M43 over Code 39.
#pragma once

#include <string>
#include <string_view>

namespace talvo::checks {

// Sums the NW-7 values of all bytes and puts the modulus 16 check character in front of the
// last byte (the stop letter of a Codabar text).
std::string CheckM16(std::string_view value);

// Sums the Code 39 values of all bytes and appends the modulus 43 check character.
std::string CheckM43(std::string_view value);

}  // namespace talvo::checks
