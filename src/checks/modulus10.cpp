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
#if defined(__SSE2__)
  if constexpr (!digitSum) {
    // The common value, a bar-code number of 8 to 16 digits, in one 16-byte register: the last
    // eight bytes above, the first ones at the top of the eight below (the bytes both words
    // hold fall off), so that the rightmost digit is byte 15 and every digit that takes the
    // weight sits at an odd byte. Two sums of absolute differences add up all the digits and
    // the weighted ones. The value is read with two 8-byte loads and never past its ends.
    if (length >= 8 && length <= 16) {
      const char* p = value.data();
      const auto fill = static_cast<unsigned>(16 - length);  // bytes below the first digit
      const std::uint64_t last8 = text::words::Load(p + length - 8);
      const std::uint64_t first = fill == 8 ? 0 : text::words::Load(p) << (8 * fill);
      const std::uint64_t in_value = fill == 8 ? 0 : ~std::uint64_t{0} << (8 * fill);
      const __m128i region = _mm_set_epi64x(-1, static_cast<long long>(in_value));
      const __m128i d = _mm_and_si128(
          _mm_sub_epi8(_mm_set_epi64x(static_cast<long long>(last8), static_cast<long long>(first)),
                       _mm_set1_epi8('0')),
          region);
      // A byte of the value that is not a digit is above 9 once '0' is taken off.
      const __m128i over = _mm_subs_epu8(d, _mm_set1_epi8(9));
      if (_mm_movemask_epi8(_mm_cmpeq_epi8(over, _mm_setzero_si128())) != 0xFFFF) {
        result.assign(text::kInputCharacterError);
        return;
      }
      const __m128i all = _mm_sad_epu8(d, _mm_setzero_si128());
      const __m128i odd = _mm_sad_epu8(_mm_and_si128(d, _mm_set1_epi16(0xFF00 - 0x10000)),
                                       _mm_setzero_si128());
      const auto lanes = [](__m128i sums) {
        return static_cast<std::uint64_t>(_mm_cvtsi128_si64(sums)) +
               static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums)));
      };
      const std::uint64_t sum = lanes(all) + (weight - 1) * lanes(odd);
      const auto last = static_cast<unsigned>(sum % 10);
      const char check = static_cast<char>('0' + (last == 0 ? 0 : 10 - last));
      SetResult(result, value, std::string_view(&check, 1));
      return;
    }
  }
#endif
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
