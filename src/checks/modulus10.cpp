#include "checks/modulus10.h"

#include <cstdint>

#include "checks/check_result.h"
#include "text/byte_words.h"
#include "text/literals.h"

namespace talvo::checks {

namespace {

// Inlined into each method with its weight and rule fixed, which the loops then fold in.
template <bool digitSum>
[[gnu::always_inline]] inline void M10(std::string_view value, unsigned weight,
                                        std::string& result) {
  // The digits that take the weight (the rightmost and every second one to its left) and the
  // others are summed apart and weighted once at the end; the sums cannot overflow for any
  // length that fits in memory. A bad byte anywhere gives the same error word as the first bad
  // one, so the bytes are tested all together rather than one by one in order.
  const std::size_t length = value.size();
  std::uint64_t weighted = 0;
  std::uint64_t plain = 0;
  unsigned bad = 0;
  const auto digit = [&](std::size_t i) {
    const auto d = static_cast<unsigned char>(value[i] - '0');
    bad |= d > 9 ? 1u : 0u;
    return d > 9 ? 0u : d;
  };
  std::size_t i = length;
  if constexpr (digitSum) {
    // Each weighted product is summed by its digits.
    const unsigned w = weight;
    const auto digits_of = [](unsigned p) { return p >= 10 ? p / 10 + p % 10 : p; };
    for (; i >= 2; i -= 2) {
      weighted += digits_of(digit(i - 1) * w);
      plain += digit(i - 2);
    }
    if (i == 1) weighted += digits_of(digit(0) * w);
  } else {
    if constexpr (text::words::kEnabled) {
      // Eight digits at a time from the right end. Stepping by eight keeps the rightmost byte
      // of each word weighted, and with it the bytes two, four and six to its left: in a
      // little-endian word, bytes 7, 5, 3 and 1. Those are weighted in place, in 16-bit lanes
      // that cannot overflow, and the four lanes summed across the word in one multiplication;
      // a word with any byte outside '0'-'9' is caught as a whole. The weighted sum goes to
      // `plain`: `weighted` holds only what is weighted at the end.
      constexpr std::uint64_t kZeros = 0x3030303030303030u;
      constexpr std::uint64_t kAboveNine = 0x4646464646464646u;  // lifts ':' and up to 0x80
      constexpr std::uint64_t kLanes = 0x00FF00FF00FF00FFu;
      constexpr std::uint64_t kSumLanes = 0x0001000100010001u;
      const auto w8 = static_cast<std::uint64_t>(weight);
      const auto add_word = [&](std::uint64_t w, unsigned shift) {
        bad |= ((((w + kAboveNine) | (w - kZeros) | w) & text::words::kHighBits) << shift) != 0
                   ? 1u
                   : 0u;
        const std::uint64_t d = (w - kZeros) << shift;
        plain += ((((d >> 8) & kLanes) * w8 + (d & kLanes)) * kSumLanes) >> 48;
      };
      const char* p = value.data();
      for (; i >= 8; i -= 8) add_word(text::words::Load(p + i - 8), 0);
      if (i != 0 && length >= 8) {
        // The first few digits: the word at the start of the value, moved up so that they end
        // at its top byte, as the rightmost digit of each word above does, and the digits
        // already summed fall off. Whatever a bad byte borrows or carries runs upwards, into
        // what falls off or into a value that is bad anyway.
        add_word(text::words::Load(p), 8 * (8 - static_cast<unsigned>(i)));
        i = 0;
      }
    }
    for (; i >= 2; i -= 2) {
      weighted += digit(i - 1);
      plain += digit(i - 2);
    }
    if (i == 1) weighted += digit(0);
    weighted *= weight;
  }
  if (bad != 0) {
    result.assign(text::kInputCharacterError);
    return;
  }
  const auto last = static_cast<unsigned>((weighted + plain) % 10);
  const char check = static_cast<char>('0' + (last == 0 ? 0 : 10 - last));
  SetResult(result, value, std::string_view(&check, 1));
}

}  // namespace

void CheckM10(std::string_view value, int weight, bool digitSum, std::string& result) {
  const auto w = static_cast<unsigned>(weight);
  if (digitSum) {
    M10<true>(value, w, result);
  } else {
    M10<false>(value, w, result);
  }
}

void CheckM10W2(std::string_view value, std::string& result) { M10<false>(value, 2, result); }
void CheckLuhnM10W2(std::string_view value, std::string& result) { M10<true>(value, 2, result); }
void CheckM10W3(std::string_view value, std::string& result) { M10<false>(value, 3, result); }

}  // namespace talvo::checks
