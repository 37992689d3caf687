#include "text/command_line.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace talvo::text {
namespace {

using namespace std::string_view_literals;
using Items = std::vector<std::string>;

TEST(SplitCommandLine, Table) {
  struct Case {
    std::string_view line;
    Items items;
  };
  const Case cases[] = {
      /*  0 */ {"talvo.exe i o 1 1 1 6",              {"talvo.exe", "i", "o", "1", "1", "1", "6"}},
      /*  1 */ {"\"C:\\Program Files\\t.exe\" a",     {"C:\\Program Files\\t.exe", "a"}},
      /*  2 */ {"  a \t\x01\x1F\r\n b\x7F ",          {"a", "b\x7F"}},
      /*  3 */ {"x\"y z\"w \"a b\"c",                 {"xy zw", "a bc"}},
      /*  4 */ {"a \"b  c",                           {"a", "b  c"}},       // open to the end
      /*  5 */ {"\"C:\\work\\\" x",                   {"C:\\work\\", "x"}}, // no escapes
      /*  6 */ {"\\\"a b",                            {"\\a b"}},
      /*  7 */ {"a \"\" b",                           {"a", "b"}},          // a lone pair
      /*  8 */ {"\"\" \"\"\t\"\"",                    {}},
      /*  9 */ {"\"\"x \"\"\"y z\"",                  {"x", "y z"}},        // pair before an item
      /* 10 */ {"a\"\"b a\"\" b",                     {"ab", "a", "b"}},    // pair inside an item
      /* 11 */ {"\" \" \"\t\"",                       {" ", "\t"}},
      /* 12 */ {"a \"",                               {"a"}},               // lone quote at the end
      /* 13 */ {"a \"\"\"",                           {"a"}},
      /* 14 */ {"",                                   {}},
      /* 15 */ {" \t ",                               {}},
      /* 16 */ {"a\0b c"sv,                           {"a"}},               // NUL ends the line
      /* 17 */ {"\xA0\xFD\xFE\xFF\x80",               {"\xA0\xFD\xFE\xFF\x80"}},
      // Double-byte characters: a second byte is never a quote or a separator, and a lead byte
      // before a quote or a separator stands alone.
      /* 18 */ {"C:\\w\\\x95\\ \x83\\",               {"C:\\w\\\x95\\", "\x83\\"}},
      /* 19 */ {"\x81\" b",                           {"\x81 b"}},
      /* 20 */ {"\x81 b c",                           {"\x81", "b", "c"}},
      /* 21 */ {"\x9F\tb\xE0\x01 c\xFC\x20",          {"\x9F", "b\xE0", "c\xFC"}},
      /* 22 */ {"\"\x81\" x\" y",                     {"\x81", "x y"}},
      /* 23 */ {"\x81\"\"\" x",                       {"\x81 x"}},
      /* 24 */ {"a \x81",                             {"a", "\x81"}},       // lead byte at the end
      /* 25 */ {"a \x81\0\" b"sv,                     {"a", "\x81"}},
      /* 26 */ {"\"a\x81\"",                          {"a\x81"}},
      /* 27 */ {"\x95\x5C\"\x95\" x\"",               {"\x95\x5C\x95", "x"}},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(SplitCommandLine(cases[i].line), cases[i].items) << "row " << i;
  }
}

// Any items made of whole characters and holding no quote of their own come back unchanged
// when each is put in quotes and they are joined by blanks.
TEST(SplitCommandLine, QuotedItemsComeBackWhole) {
  std::mt19937 rng(4);
  std::uniform_int_distribution<int> length(1, 8);
  std::uniform_int_distribution<int> byte(1, 255);
  for (int n = 0; n < 2000; ++n) {
    Items items(static_cast<std::size_t>(length(rng)) % 4 + 1);
    std::string line = "prog";
    for (std::string& item : items) {
      for (int k = length(rng); k > 0; --k) {
        const auto b = static_cast<unsigned char>(byte(rng));
        if ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) {
          item.push_back(static_cast<char>(b));
          // Any byte that can be a second byte (never a quote or a separator).
          unsigned char second;
          do {
            second = static_cast<unsigned char>(byte(rng));
          } while (!((second >= 0x40 && second <= 0x7E) || (second >= 0x80 && second <= 0xFC)));
          item.push_back(static_cast<char>(second));
        } else if (b != '"') {
          item.push_back(static_cast<char>(b));
        }
      }
      if (item.empty()) item.push_back('x');
      line.append(" \"").append(item).append("\"");
    }
    Items expected{"prog"};
    expected.insert(expected.end(), items.begin(), items.end());
    EXPECT_EQ(SplitCommandLine(line), expected) << "line " << ::testing::PrintToString(line);
  }
}

}  // namespace
}  // namespace talvo::text
