#include "driver/methods.h"

#include "checks/alphabet.h"
#include "checks/modulus10.h"
#include "checks/modulus11.h"
#include "checks/remainder.h"

namespace talvo::driver {

bool RunMethod(std::int32_t code, std::string_view value, std::string& result) {
  using namespace talvo::checks;
  switch (code) {
    case 0: result = CheckDR(value, 7, false); return true;   // 7DR
    case 1: result = CheckDR(value, 7, true); return true;    // 7DSR
    case 2: result = CheckDR(value, 9, false); return true;   // 9DR
    case 3: result = CheckDR(value, 9, true); return true;    // 9DSR
    case 4: result = CheckM10(value, 2, false); return true;  // M10W2
    case 5: result = CheckM10(value, 2, true); return true;   // Luhn M10W2
    case 6: result = CheckM10(value, 3, false); return true;  // M10W3 (EAN/UPC)
    case 7: result = CheckM11(value); return true;            // M11
    case 8: result = CheckWeightedM11(value); return true;    // weighted M11
    case 9: result = CheckM16(value); return true;            // M16 over NW-7
    case 10: result = CheckM43(value); return true;           // M43 over Code 39
    default: return false;
  }
}

}  // namespace talvo::driver
