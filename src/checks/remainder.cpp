#include "checks/remainder.h"

#include <charconv>
#include <cstdint>
#include <optional>

#include "checks/check_result.h"
#include "text/integer_text.h"
#include "text/literals.h"

namespace talvo::checks {
namespace {

// Longest text read as one 64-bit number; longer values are read as a high part and the last
// kPartLength bytes, so that up to two parts' worth of digits still get a check digit.
constexpr std::size_t kPartLength = 18;
constexpr std::size_t kMinLength = 3;
constexpr std::size_t kMaxLength = 2 * kPartLength;
constexpr std::uint64_t kPartScale = 1'000'000'000'000'000'000ULL;  // 10^18, one part's worth

// Remainder with the sign of the dividend. Well defined for every n, INT64_MIN included,
// because modulus is never -1. The two moduli in use are spelled out, so that each becomes a
// multiplication rather than a division.
std::int64_t Remainder(std::int64_t n, std::int64_t modulus) {
  switch (modulus) {
    case 7: return n % 7;
    case 9: return n % 9;
    default: return n % modulus;
  }
}

// Reads the value as one or two numbers and folds them into a single remainder; nullopt when a
// part is not integer text.
std::optional<std::int64_t> ValueRemainder(std::string_view value, std::int64_t modulus) {
  if (value.size() <= kPartLength) {
    const auto n = text::ParseInt64(value);
    if (!n) return std::nullopt;
    return Remainder(*n, modulus);
  }
  const std::size_t split = value.size() - kPartLength;
  const auto high = text::ParseInt64(value.substr(0, split));
  const auto low = text::ParseInt64(value.substr(split));
  if (!high || !low) return std::nullopt;
  // high % modulus times 10^18 plus a hexadecimal low part can leave the signed range; the sum
  // wraps around as two's complement, so it is formed in unsigned arithmetic and converted back.
  const std::uint64_t wrapped = static_cast<std::uint64_t>(Remainder(*high, modulus)) * kPartScale +
                                static_cast<std::uint64_t>(*low);
  return Remainder(static_cast<std::int64_t>(wrapped), modulus);
}

// Inlined into each method with its modulus and rule fixed.
[[gnu::always_inline]] inline void DR(std::string_view value, int modulus, bool subtract,
                                       std::string& result) {
  if (value.size() < kMinLength) {
    result.assign(text::kNone);
    return;
  }
  if (value.size() > kMaxLength) {
    result.assign(text::kInputLengthError);
    return;
  }

  const auto remainder = ValueRemainder(value, modulus);
  if (!remainder) {
    result.assign(text::kInputCharacterError);
    return;
  }

  // A negative value keeps its negative remainder, so DSR can give more than the modulus.
  const std::int64_t check = subtract ? modulus - *remainder : *remainder;

  char digits[48];  // more than to_chars needs: room for CopyBytes to move it in wide words
  const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, check);
  (void)ec;  // a remainder below the modulus always fits
  const auto checkLength = static_cast<std::size_t>(end - digits);

  SetResult(result, value, std::string_view(digits, checkLength));
}

}  // namespace

void CheckDR(std::string_view value, int modulus, bool subtract, std::string& result) {
  DR(value, modulus, subtract, result);
}

void Check7DR(std::string_view value, std::string& result) { DR(value, 7, false, result); }
void Check7DSR(std::string_view value, std::string& result) { DR(value, 7, true, result); }
void Check9DR(std::string_view value, std::string& result) { DR(value, 9, false, result); }
void Check9DSR(std::string_view value, std::string& result) { DR(value, 9, true, result); }

}  // namespace talvo::checks
