#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>

#include "checks/alphabet.h"
#include "checks/modulus10.h"
#include "checks/modulus11.h"
#include "checks/remainder.h"
#include "text/literals.h"

namespace talvo::checks {
namespace {

using namespace std::string_view_literals;
using text::kInputCharacterError;
using text::kInputLengthError;
using text::kNone;

std::string RandomText(std::mt19937& rng, std::string_view alphabet, std::size_t minLength,
                       std::size_t maxLength) {
  std::uniform_int_distribution<std::size_t> length(minLength, maxLength);
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  std::string s(length(rng), '\0');
  for (char& c : s) c = alphabet[pick(rng)];
  return s;
}

// ---------------------------------------------------------------------------------------------
// Remainder methods

// The four methods in the order 7DR, 7DSR, 9DR, 9DSR.
std::array<std::string, 4> AllDR(std::string_view value) {
  return {CheckDR(value, 7, false), CheckDR(value, 7, true), CheckDR(value, 9, false),
          CheckDR(value, 9, true)};
}

TEST(CheckDR, AppendsRemainderOrModulusMinusRemainder) {
  struct Case {
    std::string_view value;
    std::array<std::string_view, 4> checks;  // appended by 7DR, 7DSR, 9DR, 9DSR
  };
  const Case cases[] = {
      /*  0 */ {"123456",                               {"4",  "3",  "3",  "6"}},
      /*  1 */ {"1234567",                              {"5",  "2",  "1",  "8"}},
      /*  2 */ {"777",                                  {"0",  "7",  "3",  "6"}},
      /*  3 */ {"999",                                  {"5",  "2",  "0",  "9"}},
      /*  4 */ {"000",                                  {"0",  "7",  "0",  "9"}},
      /*  5 */ {" 123",                                 {"4",  "3",  "6",  "3"}},
      /*  6 */ {"-123",                                 {"-4", "11", "-6", "15"}},
      /*  7 */ {"$FF",                                  {"3",  "4",  "3",  "6"}},
      /*  8 */ {"0x10",                                 {"2",  "5",  "7",  "2"}},
      /*  9 */ {"999999999999999999",                   {"0",  "7",  "0",  "9"}},
      /* 10 */ {"1234567890123456789",                  {"5",  "2",  "0",  "9"}},
      /* 11 */ {"123456789012345678901234567890123456", {"4",  "3",  "3",  "6"}},
      /* 12 */ {"-1234567890123456789",                 {"-4", "11", "-2", "11"}},
      /* 13 */ {"1-23456789012345678",                  {"5",  "2",  "2",  "7"}},
      // (H mod m) x 10^18 plus a hexadecimal low part leaves the signed range and wraps.
      /* 14 */ {"80x7FFFFFFFFFFFFFFF",                  {"-1", "8",  "-1", "10"}},
      // The most negative 64-bit value, also through the negation of its own hex reading.
      /* 15 */ {"$8000000000000000",                    {"-1", "8",  "-8", "17"}},
      /* 16 */ {"-$8000000000000000",                   {"-1", "8",  "-8", "17"}},
      // Split as "-9" and "223372036854775808": the sign reaches the high part only.
      /* 17 */ {"-9223372036854775808",                 {"-3", "10", "8",  "1"}},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    const auto got = AllDR(c.value);
    for (std::size_t m = 0; m < 4; ++m) {
      EXPECT_EQ(got[m], std::string(c.value) + std::string(c.checks[m]))
          << "row " << i << ", method " << m;
    }
  }
}

TEST(CheckDR, ErrorWords) {
  const std::string digits37(37, '1');
  const std::string junk37(37, 'x');
  struct Case {
    std::string_view value;
    std::string_view expected;  // the same for all four methods
  };
  const Case cases[] = {
      /*  0 */ {"",                                    kNone},
      /*  1 */ {"12",                                  kNone},
      /*  2 */ {"ab",                                  kNone},
      /*  3 */ {"123 ",                                kInputCharacterError},
      /*  4 */ {"12a",                                 kInputCharacterError},
      /*  5 */ {"1\0" "23"sv,                          kInputCharacterError},
      /*  6 */ {"123\0"sv,                             kInputCharacterError},
      /*  7 */ {"$10000000000000000",                  kInputCharacterError},  // 17 hex digits
      /*  8 */ {"x123456789012345678",                 kInputCharacterError},  // high part prefix only
      /*  9 */ {" 123456789012345678",                 kInputCharacterError},  // high part blank only
      /* 10 */ {"-123456789012345678",                 kInputCharacterError},  // high part sign only
      /* 11 */ {"12345678901234567\0" "1"sv,           kInputCharacterError},  // NUL in the low part
      /* 12 */ {"123456789012345678x",                 kInputCharacterError},
      /* 13 */ {std::string_view(junk37).substr(1),    kInputCharacterError},  // 36 bytes
      /* 14 */ {digits37,                              kInputLengthError},
      /* 15 */ {junk37,                                kInputLengthError},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    for (const std::string& got : AllDR(c.value)) EXPECT_EQ(got, c.expected) << "row " << i;
  }
}

// For digits only, the two-part reading must give the remainder of the whole number, which the
// test takes by long division one digit at a time.
TEST(CheckDR, DigitTextsMatchLongDivision) {
  std::mt19937 rng(20240611);
  for (int n = 0; n < 2000; ++n) {
    const std::string value = RandomText(rng, "0123456789", 3, 36);
    for (const int modulus : {7, 9}) {
      int r = 0;
      for (const char c : value) r = (r * 10 + (c - '0')) % modulus;
      EXPECT_EQ(CheckDR(value, modulus, false), value + std::to_string(r)) << value;
      EXPECT_EQ(CheckDR(value, modulus, true), value + std::to_string(modulus - r)) << value;
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Modulus 10 methods

TEST(CheckM10, AppendsDigitThatCompletesTheSum) {
  struct Case {
    std::string_view value;
    std::string_view m10w2, luhn, m10w3;
  };
  const Case cases[] = {
      /* 0 */ {"7992739871",   "79927398715",   "79927398713",   "79927398712"},
      /* 1 */ {"490123456789", "4901234567898", "4901234567894", "4901234567894"},
      /* 2 */ {"12345678901",  "123456789018",  "123456789015",  "123456789012"},
      /* 3 */ {"5",            "50",            "59",            "55"},
      /* 4 */ {"9",            "92",            "91",            "93"},
      /* 5 */ {"",             "0",             "0",             "0"},
      /* 6 */ {"0000",         "00000",         "00000",         "00000"},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    EXPECT_EQ(CheckM10(c.value, 2, false), c.m10w2) << "row " << i;
    EXPECT_EQ(CheckM10(c.value, 2, true), c.luhn) << "row " << i;
    EXPECT_EQ(CheckM10(c.value, 3, false), c.m10w3) << "row " << i;
  }
}

TEST(CheckM10, AnyNonDigitIsACharacterError) {
  for (const std::string_view value :
       {"12a"sv, " 12"sv, "+1"sv, "12 "sv, "1\0" "2"sv, "\0"sv, "12/"sv, "12:"sv, "\xFF"sv}) {
    EXPECT_EQ(CheckM10(value, 2, false), kInputCharacterError);
    EXPECT_EQ(CheckM10(value, 2, true), kInputCharacterError);
    EXPECT_EQ(CheckM10(value, 3, false), kInputCharacterError);
  }
}

// Validation formulas as a scanner applies them to the full number, check digit included.
bool EanValid(std::string_view full) {
  int sum = 0;
  for (std::size_t k = 0; k < full.size(); ++k) {  // k counts from the right, check digit 0
    const int d = full[full.size() - 1 - k] - '0';
    sum += k % 2 == 1 ? 3 * d : d;
  }
  return sum % 10 == 0;
}

bool LuhnValid(std::string_view full) {
  int sum = 0;
  for (std::size_t k = 0; k < full.size(); ++k) {
    int d = full[full.size() - 1 - k] - '0';
    if (k % 2 == 1) {
      d *= 2;
      if (d > 9) d -= 9;
    }
    sum += d;
  }
  return sum % 10 == 0;
}

TEST(CheckM10, ResultPassesEanAndLuhnValidation) {
  std::mt19937 rng(7);
  for (int n = 0; n < 2000; ++n) {
    const std::string value = RandomText(rng, "0123456789", 0, 30);
    const std::string ean = CheckM10(value, 3, false);
    const std::string luhn = CheckM10(value, 2, true);
    ASSERT_EQ(ean.size(), value.size() + 1);
    ASSERT_EQ(luhn.size(), value.size() + 1);
    EXPECT_EQ(ean.substr(0, value.size()), value);
    EXPECT_EQ(luhn.substr(0, value.size()), value);
    EXPECT_TRUE(EanValid(ean)) << ean;
    EXPECT_TRUE(LuhnValid(luhn)) << luhn;
  }
}

// ---------------------------------------------------------------------------------------------
// Modulus 11 methods

TEST(CheckM11, WeightsFirstSixDigits) {
  struct Case {
    std::string_view value;
    std::string_view expected;
  };
  const Case cases[] = {
      /*  0 */ {"123456",      "1234561"},  // remainder 0
      /*  1 */ {"654321",      "6543219"},
      /*  2 */ {"100000",      "1000004"},
      /*  3 */ {"000010",      "0000108"},
      /*  4 */ {"000006",      "0000060"},  // remainder 1
      /*  5 */ {"000005",      "0000051"},  // remainder 10
      /*  6 */ {"123456xyz",   "123456xyz1"},
      /*  7 */ {"123456\0 "sv, "123456\0 1"sv},  // bytes after the sixth ride along unread
      /*  8 */ {"12345",       kNone},
      /*  9 */ {"",            kNone},
      /* 10 */ {"12a456",      kInputCharacterError},
      /* 11 */ {"1 3456",      kInputCharacterError},
      /* 12 */ {"12345\0"sv,   kInputCharacterError},
      /* 13 */ {"-12345",      kInputCharacterError},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(CheckM11(cases[i].value), cases[i].expected) << "row " << i;
  }
}

TEST(CheckWeightedM11, WeightsFromTheRightWithSecondPassOnRemainderOne) {
  struct Case {
    std::string_view value;
    std::string_view expected;
  };
  const Case cases[] = {
      /*  0 */ {"1",             "19"},
      /*  1 */ {"2",             "27"},
      /*  2 */ {"12",            "121"},
      /*  3 */ {"123456789",     "1234567891"},
      /*  4 */ {"123456789013",  "1234567890138"},
      /*  5 */ {"000000000000",  "0000000000000"},
      /*  6 */ {"",              "0"},
      /*  7 */ {"6",             "60"},          // first sum 12: second pass, total 66
      /*  8 */ {"50000107",      "5000010710"},  // first sum 67, total 188: remainder 1 gives "10"
      /*  9 */ {"40000047",      "400000478"},   // first sum 56, total 124: 11 - 3
      /* 10 */ {"1234567890123", kNone},
      /* 11 */ {"abcdefghijklm", kNone},         // length is judged before the bytes
      /* 12 */ {"12a",           kInputCharacterError},
      /* 13 */ {"\0" "1"sv,      kInputCharacterError},
      /* 14 */ {"1 ",            kInputCharacterError},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(CheckWeightedM11(cases[i].value), cases[i].expected) << "row " << i;
  }
}

// ---------------------------------------------------------------------------------------------
// Alphabet methods

constexpr std::string_view kNw7 = "0123456789-$:/.+ABCD";
constexpr std::string_view kCode39 = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%";

TEST(CheckM16, PutsCheckCharacterBeforeTheLastByte) {
  struct Case {
    std::string_view value;
    std::string_view expected;
  };
  const Case cases[] = {
      /*  0 */ {"A1234B",  "A12345B"},
      /*  1 */ {"A12345A", "A123451A"},
      /*  2 */ {"12-34",   "12-3:4"},
      /*  3 */ {"B0D",     "B0:D"},
      /*  4 */ {"D$:/.+C", "D$:/.+-C"},
      /*  5 */ {"A",       "0A"},
      /*  6 */ {"",        "0"},
      /*  7 */ {"1",       "+1"},   // check value 15, the last of the check characters
      /*  8 */ {"D",       "/D"},   // 'D' is 19, the highest value
      /*  9 */ {"a1234b",  kInputCharacterError},
      /* 10 */ {"12 34",   kInputCharacterError},
      /* 11 */ {"A12E",    kInputCharacterError},  // Code 39 letter, not NW-7
      /* 12 */ {"A1\0B"sv, kInputCharacterError},
      /* 13 */ {"A1\xC1",  kInputCharacterError},  // bytes above 0x7F never match
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(CheckM16(cases[i].value), cases[i].expected) << "row " << i;
  }
}

TEST(CheckM43, AppendsCheckCharacter) {
  struct Case {
    std::string_view value;
    std::string_view expected;
  };
  const Case cases[] = {
      /*  0 */ {"CODE 39",    "CODE 39R"},
      /*  1 */ {"ABC123",     "ABC123$"},
      /*  2 */ {"A-1.$/+%",   "A-1.$/+%V"},
      /*  3 */ {"1234567890", "12345678902"},
      /*  4 */ {"",           "0"},
      /*  5 */ {"%",          "%%"},   // 42, the last value
      /*  6 */ {"%1",         "%10"},  // sum 43 wraps to the first
      /*  7 */ {"Z",          "ZZ"},
      /*  8 */ {" ",          "  "},
      /*  9 */ {"abc",        kInputCharacterError},
      /* 10 */ {"AB:",        kInputCharacterError},  // NW-7 only
      /* 11 */ {"AB\0"sv,     kInputCharacterError},
      /* 12 */ {"\x82\xA0",   kInputCharacterError},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(CheckM43(cases[i].value), cases[i].expected) << "row " << i;
  }
}

TEST(CheckM16, ResultSumsToMultipleOf16) {
  std::mt19937 rng(16);
  for (int n = 0; n < 2000; ++n) {
    const std::string value = RandomText(rng, kNw7, 1, 40);
    const std::string got = CheckM16(value);
    ASSERT_EQ(got.size(), value.size() + 1);
    EXPECT_EQ(got.substr(0, value.size() - 1), value.substr(0, value.size() - 1));
    EXPECT_EQ(got.back(), value.back());
    std::size_t sum = 0;
    for (const char c : got) sum += kNw7.find(c);
    EXPECT_EQ(sum % 16, 0u) << got;
  }
}

TEST(CheckM43, CheckCharacterIsSumMod43) {
  std::mt19937 rng(43);
  for (int n = 0; n < 2000; ++n) {
    const std::string value = RandomText(rng, kCode39, 0, 40);
    const std::string got = CheckM43(value);
    ASSERT_EQ(got.size(), value.size() + 1);
    EXPECT_EQ(got.substr(0, value.size()), value);
    std::size_t sum = 0;
    for (const char c : value) sum += kCode39.find(c);
    EXPECT_EQ(kCode39.find(got.back()), sum % 43) << got;
  }
}

}  // namespace
}  // namespace talvo::checks
