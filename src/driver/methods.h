// The method table: check type 0 to 10 selects one of the eleven check methods.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "checks/alphabet.h"
#include "checks/modulus10.h"
#include "checks/modulus11.h"
#include "checks/remainder.h"

namespace talvo::driver {

// A check method: the result for `value` into `result`, reusing its storage.
using Method = void (*)(std::string_view value, std::string& result);

// Check type k selects kMethods[k]. Row processing makes a loop for each entry, with the
// method's call fixed in it; everything else looks a method up.
inline constexpr std::array<Method, 11> kMethods = {
    checks::Check7DR,          // 0: 7DR
    checks::Check7DSR,         // 1: 7DSR
    checks::Check9DR,          // 2: 9DR
    checks::Check9DSR,         // 3: 9DSR
    checks::CheckM10W2,        // 4: M10W2
    checks::CheckLuhnM10W2,    // 5: Luhn M10W2
    checks::CheckM10W3,        // 6: M10W3 (EAN/UPC)
    checks::CheckM11,          // 7: M11
    checks::CheckWeightedM11,  // 8: weighted M11
    checks::CheckM16,          // 9: M16 over NW-7
    checks::CheckM43,          // 10: M43 over Code 39
};

// The index in kMethods of check type `code`, or -1 for a code outside the table.
inline int MethodIndex(std::int32_t code) {
  return code < 0 || static_cast<std::size_t>(code) >= kMethods.size() ? -1 : code;
}

// The method of `code`, or nullptr for a code outside the table.
inline Method LookUpMethod(std::int32_t code) {
  const int index = MethodIndex(code);
  return index < 0 ? nullptr : kMethods[static_cast<std::size_t>(index)];
}

}  // namespace talvo::driver
