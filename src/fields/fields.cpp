#include "fields/fields.h"

namespace talvo::fields {

std::int32_t CountFields(std::string_view line) noexcept {
  // Counted without sign so that a line of more than 2^31 commas wraps as a 32-bit count does.
  std::uint32_t commas = 0;
  ForEachCommaMask(line, 0, [&](std::uint64_t mask, std::size_t) {
    commas += static_cast<std::uint32_t>(std::popcount(mask));
    return false;
  });
  return static_cast<std::int32_t>(commas + 1u);
}

std::string_view GetField(std::string_view line, std::int32_t n) noexcept {
  return GetFieldAndLocate(line, n, {}, 0).field;
}

std::string ReplaceField(std::string_view line, std::int32_t n, std::string_view value) {
  const Replacement r = GetFieldAndLocate(line, 0, {}, n).place;
  std::string out;
  out.reserve(r.prefix + value.size() + 1 + (line.size() - r.rest));
  out.append(line.substr(0, r.prefix)).append(value);
  if (r.comma) out.push_back(',');
  out.append(line.substr(r.rest));
  return out;
}

}  // namespace talvo::fields
