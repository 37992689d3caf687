#include "checks/modulus10.h"

#include <cstdint>

#include "text/literals.h"

namespace talvo::checks {

std::string CheckM10(std::string_view value, int weight, bool digitSum) {
  // Only the sum's last digit matters; keeping it reduced means no length can overflow it.
  unsigned sum = 0;
  const std::size_t length = value.size();
  for (std::size_t i = 0; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(value[i]);
    if (byte < '0' || byte > '9') return std::string(text::kInputCharacterError);
    const unsigned digit = byte - unsigned{'0'};
    // The rightmost digit and every second one to its left take the weight.
    const bool weighted = (length - 1 - i) % 2 == 0;
    unsigned product = weighted ? digit * static_cast<unsigned>(weight) : digit;
    if (digitSum && product >= 10) product = product / 10 + product % 10;
    sum = (sum + product) % 10;
  }
  const char check = static_cast<char>('0' + (10 - sum) % 10);

  std::string result;
  result.reserve(length + 1);
  result.append(value);
  result.push_back(check);
  return result;
}

}  // namespace talvo::checks
