#include "checks/alphabet.h"

#include <array>
#include <cstdint>

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

// Sum of the values of all bytes, reduced by modulus as it goes so no length can overflow it;
// kNotInAlphabet when a byte is outside the alphabet.
int SumMod(std::string_view value, const ValueTable& table, int modulus) {
  int sum = 0;
  for (const char c : value) {
    const int v = table[static_cast<unsigned char>(c)];
    if (v == kNotInAlphabet) return kNotInAlphabet;
    sum = (sum + v) % modulus;
  }
  return sum;
}

}  // namespace

std::string CheckM16(std::string_view value) {
  constexpr int kModulus = 16;
  const int sum = SumMod(value, kNw7Values, kModulus);
  if (sum == kNotInAlphabet) return std::string(text::kInputCharacterError);
  const char check = kNw7[static_cast<std::size_t>((kModulus - sum) % kModulus)];

  // The check character goes before the stop letter, which stays last.
  std::string result;
  result.reserve(value.size() + 1);
  if (value.empty()) {
    result.push_back(check);
  } else {
    result.append(value.substr(0, value.size() - 1));
    result.push_back(check);
    result.push_back(value.back());
  }
  return result;
}

std::string CheckM43(std::string_view value) {
  const int sum = SumMod(value, kCode39Values, 43);
  if (sum == kNotInAlphabet) return std::string(text::kInputCharacterError);

  std::string result;
  result.reserve(value.size() + 1);
  result.append(value);
  result.push_back(kCode39[static_cast<std::size_t>(sum)]);
  return result;
}

}  // namespace talvo::checks
