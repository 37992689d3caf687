// Integer text against the standard library's own number reading.
//
// Every input is a text. The text is sorted into decimal, hexadecimal or neither by the shape
// alone; std::from_chars then gives the value that ParseInt and ParseInt64 must agree with, and
// must fail exactly where they fail.
#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "text/integer_text.h"

namespace {

using talvo::text::ParseInt;
using talvo::text::ParseInt64;

struct Expected {
  std::optional<std::int64_t> wide;
  std::optional<std::int32_t> narrow;
};

bool AllOf(std::string_view s, bool (*is)(char)) {
  for (const char c : s) {
    if (!is(c)) return false;
  }
  return true;
}
bool IsDecimal(char c) { return c >= '0' && c <= '9'; }
bool IsHex(char c) { return IsDecimal(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

Expected Reference(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  bool negative = false;
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  std::string_view hex;
  if (!s.empty() && (s.front() == '$' || s.front() == 'x' || s.front() == 'X')) {
    hex = s.substr(1);
  } else if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    hex = s.substr(2);
  } else {
    if (s.empty() || !AllOf(s, IsDecimal)) return {};
    // from_chars takes a '-' but no '+'; the magnitude is read with its sign so that the most
    // negative values fit.
    const std::string text = (negative ? "-" : "") + std::string(s);
    Expected e;
    std::int64_t wide = 0;
    const auto w = std::from_chars(text.data(), text.data() + text.size(), wide);
    if (w.ec == std::errc() && w.ptr == text.data() + text.size()) e.wide = wide;
    std::int32_t narrow = 0;
    const auto n = std::from_chars(text.data(), text.data() + text.size(), narrow);
    if (n.ec == std::errc() && n.ptr == text.data() + text.size()) e.narrow = narrow;
    return e;
  }
  if (hex.empty() || !AllOf(hex, IsHex)) return {};
  // Up to 16 significant hex digits fit 64 bits, up to 8 fit 32: exactly the widths' limits.
  std::uint64_t magnitude = 0;
  const auto r = std::from_chars(hex.data(), hex.data() + hex.size(), magnitude, 16);
  if (r.ec != std::errc()) return {};
  const std::uint64_t value = negative ? std::uint64_t{0} - magnitude : magnitude;
  Expected e;
  e.wide = static_cast<std::int64_t>(value);
  if (magnitude <= 0xFFFFFFFFu) e.narrow = static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
  return e;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  const std::string_view s(reinterpret_cast<const char*>(data), size);
  const auto wide = ParseInt64(s);
  const auto narrow = ParseInt(s);
  const Expected expected = Reference(s);
  FUZZ_CHECK(wide == expected.wide, "ParseInt64 differs from from_chars");
  FUZZ_CHECK(narrow == expected.narrow, "ParseInt differs from from_chars");

  // A NUL is a byte like any other non-digit, and nothing may follow the digits.
  const std::string with_nul = std::string(s) + '\0';
  FUZZ_CHECK(!ParseInt64(with_nul) && !ParseInt(with_nul), "a trailing NUL was ignored");
  const std::string with_blank = std::string(s) + ' ';
  FUZZ_CHECK(!ParseInt64(with_blank) && !ParseInt(with_blank), "a trailing blank was accepted");

  // Any value read back from its plain decimal spelling is the same value.
  if (wide) {
    char digits[24];
    const auto r = std::to_chars(digits, digits + sizeof digits, *wide);
    FUZZ_CHECK(ParseInt64(std::string_view(digits, static_cast<std::size_t>(r.ptr - digits))) == wide,
               "decimal spelling does not read back");
  }
  return 0;
}
