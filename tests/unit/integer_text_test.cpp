#include "text/integer_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

namespace {

using namespace std::string_literals;
using talvo::text::ParseInt;
using talvo::text::ParseInt64;

constexpr std::optional<std::int64_t> kFails = std::nullopt;

struct IntRow {
  std::string text;
  std::optional<std::int64_t> as32;  // ParseInt
  std::optional<std::int64_t> as64;  // ParseInt64
};

// clang-format off
const IntRow kRows[] = {
    /*  0 */ {"0",                     0,            0},
    /*  1 */ {"123",                   123,          123},
    /*  2 */ {"  -42",                 -42,          -42},
    /*  3 */ {"+7",                    7,            7},
    /*  4 */ {"0007",                  7,            7},
    /*  5 */ {"2147483647",            2147483647,   2147483647},
    /*  6 */ {"2147483648",            kFails,       2147483648},
    /*  7 */ {"-2147483648",           -2147483648LL, -2147483648LL},
    /*  8 */ {"-2147483649",           kFails,       -2147483649LL},
    /*  9 */ {"9223372036854775807",   kFails,       INT64_MAX},
    /* 10 */ {"-9223372036854775808",  kFails,       INT64_MIN},
    /* 11 */ {"9223372036854775808",   kFails,       kFails},
    /* 12 */ {"99999999999999999999",  kFails,       kFails},
    /* 13 */ {"$FF",                   255,          255},
    /* 14 */ {"x1f",                   31,           31},
    /* 15 */ {"X1F",                   31,           31},
    /* 16 */ {"0x10",                  16,           16},
    /* 17 */ {"0X10",                  16,           16},
    /* 18 */ {"-$10",                  -16,          -16},
    /* 19 */ {"$FFFFFFFF",             -1,           4294967295LL},
    /* 20 */ {"-$FFFFFFFF",            1,            -4294967295LL},
    /* 21 */ {"$80000000",             -2147483648LL, 2147483648LL},
    /* 22 */ {"$000000000FFFFFFFF",    -1,           4294967295LL},   // leading zeros are not significant
    /* 23 */ {"$100000000",            kFails,       4294967296LL},
    /* 24 */ {"$FFFFFFFFFFFFFFFF",     kFails,       -1},
    /* 25 */ {"$8000000000000000",     kFails,       INT64_MIN},
    /* 26 */ {"-$8000000000000000",    kFails,       INT64_MIN},
    /* 27 */ {"$10000000000000000",    kFails,       kFails},
    /* 28 */ {"",                      kFails,       kFails},
    /* 29 */ {" ",                     kFails,       kFails},
    /* 30 */ {"-",                     kFails,       kFails},
    /* 31 */ {"$",                     kFails,       kFails},
    /* 32 */ {"0x",                    kFails,       kFails},
    /* 33 */ {"-0x",                   kFails,       kFails},
    /* 34 */ {"1 ",                    kFails,       kFails},   // nothing may follow the digits
    /* 35 */ {"\t1",                   kFails,       kFails},   // only 0x20 is a blank
    /* 36 */ {"- 1",                   kFails,       kFails},
    /* 37 */ {"+-1",                   kFails,       kFails},
    /* 38 */ {"1.0",                   kFails,       kFails},
    /* 39 */ {"00x1",                  kFails,       kFails},
    /* 40 */ {"$G",                    kFails,       kFails},
    /* 41 */ {"1\0"s,                  kFails,       kFails},   // NUL is a non-digit, not an end
    /* 42 */ {"\0"s,                   kFails,       kFails},
    /* 43 */ {"\x82\x50",              kFails,       kFails},   // full-width 1
};
// clang-format on

TEST(IntegerText, Table) {
  for (std::size_t k = 0; k < std::size(kRows); ++k) {
    const IntRow& row = kRows[k];
    const auto as32 = ParseInt(row.text);
    const auto as64 = ParseInt64(row.text);
    EXPECT_EQ(as32.has_value(), row.as32.has_value()) << "row " << k;
    if (as32 && row.as32) {
      EXPECT_EQ(*as32, *row.as32) << "row " << k;
    }
    EXPECT_EQ(as64.has_value(), row.as64.has_value()) << "row " << k;
    if (as64 && row.as64) {
      EXPECT_EQ(*as64, *row.as64) << "row " << k;
    }
  }
}

// Every 32-bit value written in decimal reads back as itself.
TEST(IntegerText, DecimalRoundTrip) {
  for (std::int64_t v = INT32_MIN; v <= INT32_MAX; v += 65537 * 97) {
    EXPECT_EQ(ParseInt(std::to_string(v)), v);
  }
  EXPECT_EQ(ParseInt(std::to_string(INT32_MIN)), INT32_MIN);
  EXPECT_EQ(ParseInt(std::to_string(INT32_MAX)), INT32_MAX);
}

}  // namespace
