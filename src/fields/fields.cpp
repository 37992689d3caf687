#include "fields/fields.h"

#include "text/cp932.h"

namespace talvo::fields {
namespace {
constexpr auto npos = std::string_view::npos;
}

std::int32_t CountFields(std::string_view line) noexcept {
  std::int32_t count = 1;
  std::size_t from = 0;
  for (;;) {
    const std::size_t p = text::FindByte(line.substr(from), ',');
    if (p == npos) return count;
    ++count;
    from += p + 1;
  }
}

std::string_view GetField(std::string_view line, std::int32_t n) noexcept {
  if (n < 1) return {};
  std::string_view rest = line;
  for (;;) {
    const std::size_t p = text::FindByte(rest, ',');
    if (p == npos) return n == 1 ? rest : std::string_view{};
    if (n == 1) return rest.substr(0, p);
    rest.remove_prefix(p + 1);
    --n;
  }
}

Replacement LocateReplacement(std::string_view line, std::int32_t n) noexcept {
  if (n < 1) return {0, false, 0};
  std::size_t start = 0;  // where the field being looked at begins
  for (;;) {
    const std::size_t p = text::FindByte(line.substr(start), ',');
    if (p == npos) return {start, false, line.size()};  // the last field takes the value
    if (n == 1) return {start, true, start + p + 1};
    start += p + 1;
    --n;
  }
}

std::string ReplaceField(std::string_view line, std::int32_t n, std::string_view value) {
  const Replacement r = LocateReplacement(line, n);
  std::string out;
  out.reserve(r.prefix + value.size() + 1 + (line.size() - r.rest));
  out.append(line.substr(0, r.prefix)).append(value);
  if (r.comma) out.push_back(',');
  out.append(line.substr(r.rest));
  return out;
}

}  // namespace talvo::fields
