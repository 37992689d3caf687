#include "text/cp932.h"

namespace talvo::text {

std::size_t FindByte(std::string_view s, char sought) noexcept {
  return ScanCharacterStarts(s, sought, [](std::size_t) { return true; });
}

std::size_t FindLastByte(std::string_view s, char sought) noexcept {
  // Stepping only works forwards: a byte's role depends on everything before it.
  std::size_t found = std::string_view::npos;
  const std::size_t n = s.size();
  for (std::size_t i = 0; i < n;) {
    const char c = s[i];
    if (c == sought) found = i;
    i += IsLeadByte(static_cast<unsigned char>(c)) ? 2u : 1u;
  }
  return found;
}

}  // namespace talvo::text
