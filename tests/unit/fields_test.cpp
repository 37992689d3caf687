#include "fields/fields.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <string_view>

namespace {

using namespace std::string_literals;
using talvo::fields::CountFields;
using talvo::fields::GetField;
using talvo::fields::ReplaceField;

struct FieldRow {
  std::string line;
  int n;
  std::string field;     // GetField(line, n)
  std::string replaced;  // ReplaceField(line, n, "X")
};

// clang-format off
const FieldRow kFieldRows[] = {
    /*  0 */ {"a,b,c",         1,       "a",    "X,b,c"},
    /*  1 */ {"a,b,c",         2,       "b",    "a,X,c"},
    /*  2 */ {"a,b,c",         3,       "c",    "a,b,X"},
    /*  3 */ {"a,b,c",         4,       "",     "a,b,X"},
    /*  4 */ {"a,b,c",         INT_MAX, "",     "a,b,X"},
    /*  5 */ {"a,b,c",         0,       "",     "Xa,b,c"},
    /*  6 */ {"a,b,c",         INT_MIN, "",     "Xa,b,c"},
    /*  7 */ {"a,,c",          2,       "",     "a,X,c"},
    /*  8 */ {"a,b,",          3,       "",     "a,b,X"},
    /*  9 */ {"a,b,c,d,",      4,       "d",    "a,b,c,X,"},
    /* 10 */ {"",              1,       "",     "X"},
    /* 11 */ {"",              2,       "",     "X"},
    /* 12 */ {",",             2,       "",     ",X"},
    /* 13 */ {"\"a,b\",c",     2,       "b\"",  "\"a,X,c"},     // quotes mean nothing
    /* 14 */ {" a , b ",       2,       " b ",  " a ,X"},       // nothing is trimmed
    /* 15 */ {"a\0,b,c"s,      2,       "b",    "a\0,X,c"s},    // NUL is an ordinary byte
    /* 16 */ {"a\0b,c"s,       1,       "a\0b"s, "X,c"},
    /* 17 */ {"\x81,b,c",      1,       "\x81", "X,b,c"},       // a lead byte never takes a comma
    /* 18 */ {"\x81,b,c",      2,       "b",    "\x81,X,c"},
    /* 19 */ {"\x95\x5C,\x82",  2,      "\x82", "\x95\x5C,X"},  // 表 then a lead byte at the end
    /* 20 */ {"\xE0,\xFC,x,y", 2,       "\xFC", "\xE0,X,x,y"},
    /* 21 */ {"\x80,\xA0,\xFD", 3,      "\xFD", "\x80,\xA0,X"}, // 0x80, 0xA0, 0xFD are single bytes
    /* 22 */ {"\xE3\x82\x8A\xE3\x82\x93\xE3\x81\x94,4901", 2, "4901", "\xE3\x82\x8A\xE3\x82\x93\xE3\x81\x94,X"},  // UTF-8 りんご
};
// clang-format on

TEST(Fields, GetAndReplaceTable) {
  for (std::size_t k = 0; k < std::size(kFieldRows); ++k) {
    const FieldRow& row = kFieldRows[k];
    EXPECT_EQ(GetField(row.line, row.n), row.field) << "row " << k;
    EXPECT_EQ(ReplaceField(row.line, row.n, "X"), row.replaced) << "row " << k;
  }
}

TEST(Fields, CountFields) {
  struct {
    std::string line;
    int count;
  } const rows[] = {
      {"", 1}, {"a", 1}, {",", 2}, {"a,b,", 3}, {"a\0,b"s, 2}, {"\x81,", 2}, {"\x81\x81,", 2},
      {std::string(100000, ','), 100001},
  };
  for (const auto& row : rows) EXPECT_EQ(CountFields(row.line), row.count) << row.line.size();
}

// Every field is found again where the count says it is: taking the fields 1..k apart and
// joining them with commas gives the line back, and putting a field back in its place changes
// nothing.
TEST(Fields, SplitJoinAndReplaceBack) {
  const std::string lines[] = {"", ",,", "a,b,c", "\x82\xA0,\x82\xA2,x", "\x81,b,,c\x81",
                               "1,\"2,3\",4 ", "a\0,\0b"s};
  for (const std::string& line : lines) {
    const int k = CountFields(line);
    std::string joined;
    for (int n = 1; n <= k; ++n) {
      if (n > 1) joined += ',';
      joined += GetField(line, n);
      EXPECT_EQ(ReplaceField(line, n, GetField(line, n)), line) << line << " n=" << n;
    }
    EXPECT_EQ(joined, line);
  }
}

}  // namespace
