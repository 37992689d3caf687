// Console texts: which pieces are the program's own, how they are joined for the console, and
// where a failure report too long for the console is cut.
#include <gtest/gtest.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "driver/failure.h"
#include "driver/run.h"
#include "text/console_text.h"
#include "text/literals.h"

namespace talvo::driver {
namespace {

using namespace std::string_literals;
using text::ConsoleText;

// Stands for the console's converter: it marks every own piece it is given, so that a joined
// text shows which bytes were the program's, and cannot take a piece holding '?'.
std::optional<std::string> Mark(std::string_view own) {
  if (own.find('?') != std::string_view::npos) return std::nullopt;
  std::string marked("[");
  marked.append(own).push_back(']');
  return marked;
}

TEST(ConsoleText, OwnPiecesAreConvertedTheUsersKeptAsGiven) {
  ConsoleText t;
  t.Own("a").Own("b").User("\x95\\").User("").Own("c?").User("d").Own("e");
  EXPECT_EQ(t.Bytes(), "ab\x95\\c?de");
  // "c?" cannot be converted and is kept as it was, not dropped.
  EXPECT_EQ(t.Join(Mark), "[ab]\x95\\c?d[e]");
  EXPECT_EQ(ConsoleText().Own("ab").User("x"), ConsoleText().Own("a").Own("b").User("x"));
  EXPECT_NE(ConsoleText().Own("ab"), ConsoleText().User("ab"));
}

Failure Caught(void (*raise)()) {
  try {
    raise();
  } catch (const Failure& failure) {
    return failure;
  }
  ADD_FAILURE() << "nothing was thrown";
  return {};
}

TEST(FailureReport, OnlyTheProgramNameAndTheArgumentAreTheUsers) {
  const Failure convert = Caught([] { ThrowConvertFailure("x\x95"); });
  EXPECT_EQ(FailureReport(convert, "bin\x95", 0xAB12).Join(Mark),
            "["s + std::string(text::kConvertErrorKind) + std::string(text::kReportRaisedIn) +
                "]bin\x95[" + std::string(text::kReportAt) + "0000AB12" +
                std::string(text::kReportOccurred) + "\r\n'" + "]x\x95[" +
                std::string(text::kNotIntegerTail) + ".\r\n]");

  const Failure io = Caught([] { ThrowIoFailure(5); });
  EXPECT_EQ(FailureReport(io, "talvo", 0).Join(Mark),
            "["s + std::string(text::kInOutErrorKind) + std::string(text::kReportRaisedIn) +
                "]talvo[" + std::string(text::kReportAt) + "00000000" +
                std::string(text::kReportOccurred) + "\r\n" + std::string(text::kIoAccessDenied) +
                ".\r\n]");
}

TEST(UsageText, IsAllTheProgramsOwn) {
  EXPECT_EQ(UsageText().Join(Mark), Mark(UsageText().Bytes()));
}

// A console that takes bytes as they are.
std::size_t OneByte(std::string_view) { return 1; }

// A UTF-8 console, as the C library steps it: a byte that starts no whole character is one.
std::size_t Utf8(std::string_view s) {
  const auto lead = static_cast<unsigned char>(s[0]);
  const std::size_t n = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  if (n > s.size()) return 1;
  for (std::size_t k = 1; k < n; ++k) {
    if ((static_cast<unsigned char>(s[k]) & 0xC0) != 0x80) return 1;
  }
  return n;
}

TEST(CutReport, WithinTheLimitAtTheEndOfAWholeCharacter) {
  const std::string x1021(1021, 'x');
  const std::string ha_cp932 = "\x82\xCD";     // は
  const std::string ha_utf8 = "\xE3\x81\xAF";  // は
  struct Case {
    std::string bytes;
    CharacterLength length;
    std::size_t kept;  // bytes before the closing CR LF
  };
  // clang-format off
  const Case cases[] = {
      /*  0 */ {"short",                             OneByte, 5},
      /*  1 */ {std::string(1024, 'x'),              Utf8,    1024},  // at the limit: whole
      /*  2 */ {std::string(1025, 'x'),              OneByte, 1024},
      /*  3 */ {x1021 + "xx" + ha_cp932 + "y",       OneByte, 1024},  // inside a character
      /*  4 */ {x1021 + "x" + ha_utf8 + "y",         Utf8,    1022},  // before it
      /*  5 */ {x1021 + ha_utf8 + "yy",              Utf8,    1024},  // it ends at the limit
      /*  6 */ {x1021 + "xx" + std::string(5, '\x95'), Utf8,  1024},  // no characters: bytes
      /*  7 */ {std::string(2000, '\x95') + ha_utf8,  Utf8,   1024},
  };
  // clang-format on
  for (std::size_t k = 0; k < std::size(cases); ++k) {
    const Case& c = cases[k];
    EXPECT_EQ(CutReport(c.bytes, c.length), c.bytes.substr(0, c.kept) + "\r\n") << "row " << k;
  }
}

}  // namespace
}  // namespace talvo::driver
