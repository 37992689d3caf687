#include "checks/alphabet.h"

#include <array>
#include <cstdint>
#include <utility>

#include "checks/check_result.h"
#include "text/literals.h"

namespace talvo::checks {
namespace {

// Characters in value order: a character's position is its value.
constexpr std::string_view kNw7 = "0123456789-$:/.+ABCD";
constexpr std::string_view kCode39 = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%";

constexpr std::int8_t kNotInAlphabet = -1;
using ValueTable = std::array<std::int8_t, 256>;

// Byte-indexed reverse of an alphabet, so a lookup is one load; bytes outside it stay -1.
constexpr ValueTable MakeValueTable(std::string_view alphabet) {
  ValueTable table{};
  table.fill(kNotInAlphabet);
  for (std::size_t i = 0; i < alphabet.size(); ++i) {
    table[static_cast<unsigned char>(alphabet[i])] = static_cast<std::int8_t>(i);
  }
  return table;
}

constexpr ValueTable kNw7Values = MakeValueTable(kNw7);
constexpr ValueTable kCode39Values = MakeValueTable(kCode39);

// Sum of the values of all bytes by modulus; kNotInAlphabet when a byte is outside the
// alphabet. The sum is reduced once at the end: no length that fits in memory overflows it.
int SumMod(std::string_view value, const ValueTable& table, int modulus) {
  std::uint64_t sum = 0;
  for (const char c : value) {
    const int v = table[static_cast<unsigned char>(c)];
    if (v == kNotInAlphabet) return kNotInAlphabet;
    sum += static_cast<std::uint64_t>(v);
  }
  return static_cast<int>(sum % static_cast<std::uint64_t>(modulus));
}

}  // namespace

void CheckM16(std::string_view value, std::string& result) {
  constexpr int kModulus = 16;
  const int sum = SumMod(value, kNw7Values, kModulus);
  if (sum == kNotInAlphabet) {
    result.assign(text::kInputCharacterError);
    return;
  }
  const char check = kNw7[static_cast<std::size_t>((kModulus - sum) % kModulus)];

  // The check character goes before the stop letter, which stays last.
  if (value.empty()) {
    SetResult(result, {}, std::string_view(&check, 1));
  } else {
    SetResult(result, value, std::string_view(&check, 1));
    std::swap(result[value.size() - 1], result[value.size()]);
  }
}

void CheckM43(std::string_view value, std::string& result) {
  const int sum = SumMod(value, kCode39Values, 43);
  if (sum == kNotInAlphabet) {
    result.assign(text::kInputCharacterError);
    return;
  }
  SetResult(result, value, kCode39.substr(static_cast<std::size_t>(sum), 1));
}

}  // namespace talvo::checks
