#include "checks/modulus11.h"

#include <array>

#include "checks/check_result.h"
#include "text/literals.h"

namespace talvo::checks {
namespace {

constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }
constexpr unsigned DigitValue(char c) { return static_cast<unsigned>(c - '0'); }

// M11 reads only this many leading digits; the rest of the value rides along unread.
constexpr std::size_t kM11Digits = 6;

// Weighted M11 rows, indexed by the digit's distance from the right end.
constexpr std::size_t kWeightedDigits = 12;
constexpr std::array<unsigned, kWeightedDigits> kFirstRow = {2, 6, 3, 5, 4, 8, 7, 10, 9, 5, 3, 6};
constexpr std::array<unsigned, kWeightedDigits> kSecondRow = {9, 5, 8, 6, 7, 3, 4, 10, 2, 6, 8, 5};

}  // namespace

void CheckM11(std::string_view value, std::string& result) {
  if (value.size() < kM11Digits) {
    result.assign(text::kNone);
    return;
  }
  unsigned sum = 0;
  for (std::size_t i = 0; i < kM11Digits; ++i) {
    if (!IsDigit(value[i])) {
      result.assign(text::kInputCharacterError);
      return;
    }
    sum += DigitValue(value[i]) * static_cast<unsigned>(kM11Digits + 1 - i);  // 7 down to 2
  }
  // 11 - r, cut to one digit: remainder 0 gives 1 and remainder 1 gives 0.
  const unsigned check = (11 - sum % 11) % 10;
  const char digit = static_cast<char>('0' + check);
  SetResult(result, value, std::string_view(&digit, 1));
}

void CheckWeightedM11(std::string_view value, std::string& result) {
  if (value.size() > kWeightedDigits) {
    result.assign(text::kNone);
    return;
  }
  // Both rows are summed in the one walk over the digits; the second sum is only used when the
  // first leaves remainder 1, and then it is added on top of the first.
  unsigned first = 0;
  unsigned second = 0;
  for (std::size_t k = 0; k < value.size(); ++k) {
    const char c = value[value.size() - 1 - k];
    if (!IsDigit(c)) {
      result.assign(text::kInputCharacterError);
      return;
    }
    first += DigitValue(c) * kFirstRow[k];
    second += DigitValue(c) * kSecondRow[k];
  }
  unsigned check = 0;
  const unsigned r = first % 11;
  if (r >= 2) {
    check = 11 - r;
  } else if (r == 1) {
    const unsigned r2 = (first + second) % 11;
    check = r2 == 0 ? 0 : r2 == 1 ? 10 : 11 - r2;
  }
  SetResult(result, value,
            check == 10 ? std::string_view("10") : std::string_view(&"0123456789"[check], 1));
}

}  // namespace talvo::checks
