// Every check method over arbitrary values. None may crash; each result is an error word or the
// value with its check character where the method puts it, and a check character is checked by
// validating the completed number the way a reader of the bar code would, not by computing it
// again the same way.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "checks/alphabet.h"
#include "checks/modulus10.h"
#include "checks/modulus11.h"
#include "checks/remainder.h"
#include "fuzz_check.h"

namespace {

using namespace talvo::checks;

constexpr std::string_view kNone = "none";
constexpr std::string_view kCharacterError = "Input Character Error";
constexpr std::string_view kLengthError = "Input Length Error";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
int Digit(char c) { return c - '0'; }

bool AllDigits(std::string_view s) {
  for (const char c : s) {
    if (!IsDigit(c)) return false;
  }
  return true;
}

// The suffix that a method appended to value, or nothing when result does not start with it.
bool SplitSuffix(std::string_view result, std::string_view value, std::string_view& suffix) {
  if (!result.starts_with(value)) return false;
  suffix = result.substr(value.size());
  return true;
}

// A decimal number with an optional '-', as the remainder methods append it.
bool ReadSigned(std::string_view s, int& out) {
  bool negative = !s.empty() && s.front() == '-';
  if (negative) s.remove_prefix(1);
  if (s.empty() || s.size() > 2 || !AllDigits(s)) return false;
  out = 0;
  for (const char c : s) out = out * 10 + Digit(c);
  if (negative) out = -out;
  return true;
}

void Remainder(std::string_view value, int modulus, bool subtract) {
  const std::string result = CheckDR(value, modulus, subtract);
  if (value.size() < 3) return FUZZ_CHECK(result == kNone, "DR: short value");
  if (value.size() > 36) return FUZZ_CHECK(result == kLengthError, "DR: long value");
  if (AllDigits(value)) {
    // The whole number's remainder, digit by digit: no split into parts, no 64-bit reading.
    int remainder = 0;
    for (const char c : value) remainder = (remainder * 10 + Digit(c)) % modulus;
    const std::string expected = std::to_string(subtract ? modulus - remainder : remainder);
    return FUZZ_CHECK(result == std::string(value) + expected, "DR: wrong check digit");
  }
  if (result == kCharacterError) return;
  std::string_view suffix;
  int check = 0;
  FUZZ_CHECK(SplitSuffix(result, value, suffix) && ReadSigned(suffix, check), "DR: result shape");
  // A remainder keeps the dividend's sign, so it lies strictly between -modulus and modulus.
  if (subtract) {
    FUZZ_CHECK(check >= 1 && check <= 2 * modulus - 1, "DSR: check out of range");
  } else {
    FUZZ_CHECK(check > -modulus && check < modulus, "DR: check out of range");
  }
}

void Modulus10(std::string_view value, int weight, bool digitSum) {
  const std::string result = CheckM10(value, weight, digitSum);
  if (!AllDigits(value)) return FUZZ_CHECK(result == kCharacterError, "M10: non-digit accepted");
  FUZZ_CHECK(result.size() == value.size() + 1 && result.starts_with(value) &&
                 IsDigit(result.back()),
             "M10: result shape");
  // Validation of the completed number: its check digit has weight 1, the digit left of it the
  // weight, and so on alternately; the sum is a multiple of 10.
  int sum = 0;
  for (std::size_t j = 0; j < result.size(); ++j) {
    int p = Digit(result[result.size() - 1 - j]) * (j % 2 == 1 ? weight : 1);
    if (digitSum && p >= 10) p = p / 10 + p % 10;
    sum += p;
  }
  FUZZ_CHECK(sum % 10 == 0, "M10: completed number does not validate");
}

void Modulus11(std::string_view value) {
  const std::string result = CheckM11(value);
  if (value.size() < 6) return FUZZ_CHECK(result == kNone, "M11: short value");
  if (!AllDigits(value.substr(0, 6))) {
    return FUZZ_CHECK(result == kCharacterError, "M11: non-digit accepted");
  }
  FUZZ_CHECK(result.size() == value.size() + 1 && result.starts_with(value) &&
                 IsDigit(result.back()),
             "M11: result shape");
  int sum = 0;
  for (int i = 0; i < 6; ++i) sum += Digit(value[static_cast<std::size_t>(i)]) * (7 - i);
  const int check = Digit(result.back());
  // Remainders 0 and 1 have no single check digit that validates; they get 1 and 0.
  if (sum % 11 == 0) return FUZZ_CHECK(check == 1, "M11: remainder 0");
  if (sum % 11 == 1) return FUZZ_CHECK(check == 0, "M11: remainder 1");
  FUZZ_CHECK((sum + check) % 11 == 0, "M11: completed number does not validate");
}

void WeightedModulus11(std::string_view value) {
  const std::string result = CheckWeightedM11(value);
  if (value.size() > 12) return FUZZ_CHECK(result == kNone, "weighted M11: long value");
  if (!AllDigits(value)) return FUZZ_CHECK(result == kCharacterError, "weighted M11: non-digit");
  std::string_view suffix;
  FUZZ_CHECK(SplitSuffix(result, value, suffix) &&
                 ((suffix.size() == 1 && IsDigit(suffix[0])) || suffix == "10"),
             "weighted M11: result shape");
  constexpr std::array<int, 12> kWeights = {2, 6, 3, 5, 4, 8, 7, 10, 9, 5, 3, 6};
  int sum = 0;
  for (std::size_t k = 0; k < value.size(); ++k) {
    sum += Digit(value[value.size() - 1 - k]) * kWeights[k];
  }
  // Remainder 1 goes to the second row of weights; every other remainder validates with the
  // first row.
  if (sum % 11 != 1) {
    FUZZ_CHECK(suffix != "10" && (sum + Digit(suffix[0])) % 11 == 0,
               "weighted M11: completed number does not validate");
  }
}

constexpr std::string_view kNw7 = "0123456789-$:/.+ABCD";
constexpr std::string_view kCode39 = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%";

bool InAlphabet(std::string_view s, std::string_view alphabet) {
  for (const char c : s) {
    if (alphabet.find(c) == std::string_view::npos) return false;
  }
  return true;
}

std::size_t AlphabetSum(std::string_view s, std::string_view alphabet) {
  std::size_t sum = 0;
  for (const char c : s) sum += alphabet.find(c);
  return sum;
}

void Modulus16(std::string_view value) {
  const std::string result = CheckM16(value);
  if (!InAlphabet(value, kNw7)) return FUZZ_CHECK(result == kCharacterError, "M16: outsider");
  FUZZ_CHECK(result.size() == value.size() + 1 && InAlphabet(result, kNw7), "M16: result shape");
  if (!value.empty()) {
    FUZZ_CHECK(result.starts_with(value.substr(0, value.size() - 1)) &&
                   result.back() == value.back(),
               "M16: the check character is not in front of the last character");
  }
  FUZZ_CHECK(AlphabetSum(result, kNw7) % 16 == 0, "M16: completed text does not validate");
}

void Modulus43(std::string_view value) {
  const std::string result = CheckM43(value);
  if (!InAlphabet(value, kCode39)) return FUZZ_CHECK(result == kCharacterError, "M43: outsider");
  FUZZ_CHECK(result.size() == value.size() + 1 && result.starts_with(value) &&
                 InAlphabet(result.substr(value.size()), kCode39),
             "M43: result shape");
  FUZZ_CHECK(AlphabetSum(value, kCode39) % 43 == kCode39.find(result.back()),
             "M43: check character is not the sum's");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  const std::string_view value(reinterpret_cast<const char*>(data), size);
  for (const int modulus : {7, 9}) {
    Remainder(value, modulus, false);
    Remainder(value, modulus, true);
  }
  Modulus10(value, 2, false);
  Modulus10(value, 2, true);
  Modulus10(value, 3, false);
  Modulus11(value);
  WeightedModulus11(value);
  Modulus16(value);
  Modulus43(value);
  return 0;
}
