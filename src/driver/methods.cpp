#include "driver/methods.h"

#include <array>

#include "checks/alphabet.h"
#include "checks/modulus10.h"
#include "checks/modulus11.h"
#include "checks/remainder.h"

namespace talvo::driver {

Method LookUpMethod(std::int32_t code) {
  using namespace talvo::checks;
  static constexpr std::array<Method, 11> kMethods = {
      Check7DR,          // 0: 7DR
      Check7DSR,         // 1: 7DSR
      Check9DR,          // 2: 9DR
      Check9DSR,         // 3: 9DSR
      CheckM10W2,        // 4: M10W2
      CheckLuhnM10W2,    // 5: Luhn M10W2
      CheckM10W3,        // 6: M10W3 (EAN/UPC)
      CheckM11,          // 7: M11
      CheckWeightedM11,  // 8: weighted M11
      CheckM16,          // 9: M16 over NW-7
      CheckM43,          // 10: M43 over Code 39
  };
  if (code < 0 || static_cast<std::size_t>(code) >= kMethods.size()) return nullptr;
  return kMethods[static_cast<std::size_t>(code)];
}

}  // namespace talvo::driver
