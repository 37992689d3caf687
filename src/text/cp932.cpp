#include "text/cp932.h"

namespace talvo::text {

std::size_t FindLastByte(std::string_view s, char sought) noexcept {
  // Stepping only works forwards: a byte's role depends on everything before it.
  std::size_t found = std::string_view::npos;
  for (std::size_t i = 0; i < s.size(); i += CharacterWidth(s, i)) {
    if (s[i] == sought) found = i;
  }
  return found;
}

}  // namespace talvo::text
