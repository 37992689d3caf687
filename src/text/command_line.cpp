#include "text/command_line.h"

#include <utility>

#include "text/cp932.h"

namespace talvo::text {
namespace {

constexpr bool IsSeparator(char c) noexcept {
  return static_cast<unsigned char>(c) >= 0x01 && static_cast<unsigned char>(c) <= 0x20;
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view line) {
  if (const std::size_t nul = line.find('\0'); nul != std::string_view::npos) {
    line = line.substr(0, nul);
  }
  const std::size_t n = line.size();
  const auto width = [&](std::size_t i) { return CharacterWidth(line, i); };

  std::vector<std::string> items;
  std::size_t i = 0;
  for (;;) {
    while (i < n && IsSeparator(line[i])) ++i;
    if (i >= n) break;

    std::string item;
    while (i < n && !IsSeparator(line[i])) {
      if (line[i] == '"') {
        ++i;
        while (i < n && line[i] != '"') {
          const std::size_t w = width(i);
          item.append(line.substr(i, w));
          i += w;
        }
        if (i < n) ++i;  // the closing quote
      } else {
        const std::size_t w = width(i);
        item.append(line.substr(i, w));
        i += w;
      }
    }
    // A pair of quotes is an empty stretch: where an item would begin, it adds nothing and the
    // item goes on after it, so a pair on its own (or a lone quote at the very end) leaves an
    // empty item, which is no item at all.
    if (!item.empty()) items.push_back(std::move(item));
  }
  return items;
}

}  // namespace talvo::text
