// Remainder methods 7DR, 7DSR, 9DR and 9DSR.
#pragma once

#include <string>
#include <string_view>

namespace talvo::checks {

// Reads value as integer text (in two parts of up to 18 bytes when it is 19 to 36 bytes long)
// and appends its remainder by `modulus` (7 or 9), or modulus minus the remainder when
// `subtract` is set. Gives "none" below 3 bytes, "Input Length Error" above 36 and
// "Input Character Error" when a part is not integer text. Never throws.
std::string CheckDR(std::string_view value, int modulus, bool subtract);

}  // namespace talvo::checks
