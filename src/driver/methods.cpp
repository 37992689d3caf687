#include "driver/methods.h"

#include "checks/alphabet.h"
#include "checks/modulus10.h"
#include "checks/modulus11.h"
#include "checks/remainder.h"

namespace talvo::driver {

bool RunMethod(std::int32_t code, std::string_view value, std::string& result) {
  using namespace talvo::checks;
  switch (code) {
    case 0: CheckDR(value, 7, false, result); return true;   // 7DR
    case 1: CheckDR(value, 7, true, result); return true;    // 7DSR
    case 2: CheckDR(value, 9, false, result); return true;   // 9DR
    case 3: CheckDR(value, 9, true, result); return true;    // 9DSR
    case 4: CheckM10(value, 2, false, result); return true;  // M10W2
    case 5: CheckM10(value, 2, true, result); return true;   // Luhn M10W2
    case 6: CheckM10(value, 3, false, result); return true;  // M10W3 (EAN/UPC)
    case 7: CheckM11(value, result); return true;            // M11
    case 8: CheckWeightedM11(value, result); return true;    // weighted M11
    case 9: CheckM16(value, result); return true;            // M16 over NW-7
    case 10: CheckM43(value, result); return true;           // M43 over Code 39
    default: return false;
  }
}

}  // namespace talvo::driver
