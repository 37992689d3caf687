// Integer text: the lenient number syntax of the column, write-mode and check-type arguments
// and of the remainder methods' values.
//
// Leading blanks (0x20 only), one optional sign, then decimal digits or a hexadecimal prefix
// ('$', 'x', 'X', "0x", "0X") and hex digits; nothing may follow. Decimal must fit the signed
// range; hexadecimal may have up to 8 (16) significant digits and is read as the two's
// complement of that width, negated after '-'. A NUL byte is an ordinary, non-digit byte: a text
// holding one does not convert (a column padded with NULs must not read as a number).
// Never throws and never allocates.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

#include "text/byte_words.h"
#include "text/console_text.h"

namespace talvo::text {

// The reading itself is here rather than in a source file of its own, so that the remainder
// methods, which read every value of a run with it, have it inlined into their loops.
namespace detail {

inline int HexValue(char c) noexcept {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Shared by both widths: `Signed` is std::int32_t or std::int64_t. Works in unsigned arithmetic
// throughout so that the two's-complement readings of hexadecimal and the negation of the most
// negative value are defined behaviour.
template <typename Signed>
inline std::optional<Signed> Parse(std::string_view s) noexcept {
  using Unsigned = std::make_unsigned_t<Signed>;
  constexpr int kHexDigits = std::numeric_limits<Unsigned>::digits / 4;

  std::size_t i = 0;
  const std::size_t n = s.size();
  while (i < n && s[i] == ' ') ++i;
  bool negative = false;
  if (i < n && (s[i] == '+' || s[i] == '-')) {
    negative = s[i] == '-';
    ++i;
  }

  bool hex = false;
  if (i < n && (s[i] == '$' || s[i] == 'x' || s[i] == 'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < n && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i == n) return std::nullopt;  // no digit after the sign or the prefix

  Unsigned value = 0;
  if (hex) {
    int significant = 0;
    for (; i < n; ++i) {
      const int d = HexValue(s[i]);
      if (d < 0) return std::nullopt;
      if (significant > 0 || d != 0) ++significant;
      if (significant > kHexDigits) return std::nullopt;
      value = static_cast<Unsigned>((value << 4) | static_cast<Unsigned>(d));
    }
  } else {
    // As many digits as the type always holds (9, or 18) are taken without a range check: the
    // 30-digit values of the remainder methods are read in parts of that length.
    constexpr auto kAlwaysFits = static_cast<std::size_t>(std::numeric_limits<Signed>::digits10);
    const std::size_t unchecked_end = i + std::min(n - i, kAlwaysFits);
    if constexpr (words::kEnabled) {
      // Eight digits at a time: each pair of neighbours, then of pairs, then of fours, is
      // joined in place across the word. A word with any byte outside '0'-'9' fails as a whole,
      // as its first bad byte would.
      constexpr std::uint64_t kZeros = 0x3030303030303030u;
      constexpr std::uint64_t kAboveNine = 0x4646464646464646u;  // lifts ':' and up to 0x80
      for (; unchecked_end - i >= 8; i += 8) {
        const std::uint64_t w = words::Load(s.data() + i);
        if ((((w + kAboveNine) | (w - kZeros) | w) & words::kHighBits) != 0) return std::nullopt;
        std::uint64_t d = w - kZeros;  // the first digit in the lowest byte
        d = (d * 10 + (d >> 8)) & 0x00FF00FF00FF00FFu;
        d = (d * 100 + (d >> 16)) & 0x0000FFFF0000FFFFu;
        d = (d * 10000 + (d >> 32)) & 0x00000000FFFFFFFFu;
        value = static_cast<Unsigned>(value * 100000000u + d);
      }
    }
    for (; i < unchecked_end; ++i) {
      const auto d = static_cast<unsigned char>(s[i] - '0');
      if (d > 9) return std::nullopt;
      value = static_cast<Unsigned>(value * 10 + d);
    }
    // The magnitude may reach one past the positive maximum, for the most negative value.
    const Unsigned limit =
        static_cast<Unsigned>(std::numeric_limits<Signed>::max()) + (negative ? 1u : 0u);
    for (; i < n; ++i) {
      const char c = s[i];
      if (c < '0' || c > '9') return std::nullopt;
      const auto d = static_cast<Unsigned>(c - '0');
      if (value > (limit - d) / 10) return std::nullopt;
      value = static_cast<Unsigned>(value * 10 + d);
    }
  }
  if (negative) value = static_cast<Unsigned>(Unsigned{0} - value);
  return static_cast<Signed>(value);
}

}  // namespace detail

inline std::optional<std::int32_t> ParseInt(std::string_view s) noexcept {
  return detail::Parse<std::int32_t>(s);
}
inline std::optional<std::int64_t> ParseInt64(std::string_view s) noexcept {
  return detail::Parse<std::int64_t>(s);
}

// The message of a failed conversion: "'" + s + "' は整数ではありません", with s the user's.
ConsoleText NotIntegerMessage(std::string_view s);

}  // namespace talvo::text
