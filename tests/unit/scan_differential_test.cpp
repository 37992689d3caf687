// The word-at-a-time scans (character stepping, fields, line ends), the line writer's long
// lines and row processing without copying the line, each held against a plain step-by-step
// reference kept here, over many random texts. The texts are made of the bytes where the rules
// turn: commas, CR, LF, 0x1A, NUL, lead bytes (also right before a comma or a line end), high
// bytes that do not lead, and runs of plain bytes long enough to cross the 8-byte words.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "checks/alphabet.h"
#include "checks/modulus10.h"
#include "driver/failure.h"
#include "driver/line_writer.h"
#include "memory_run.h"
#include "memory_streams.h"
#include "driver/methods.h"
#include "driver/rows.h"
#include "fields/fields.h"
#include "text/cp932.h"
#include "text/integer_text.h"
#include "text/literals.h"

namespace {

using namespace std::string_literals;
using namespace talvo;

// ---------------------------------------------------------------------------------------------
// The references: each rule done one byte at a time, as plainly as it is stated.

bool Lead(char c) {
  const auto b = static_cast<unsigned char>(c);
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

bool Second(char c) {
  const auto b = static_cast<unsigned char>(c);
  return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

// The last `sought` that starts a character, stepping as the rule says: a lead byte takes the
// byte after it only when that byte can be a second byte.
std::size_t RefFindLastByte(std::string_view s, char sought) {
  std::size_t found = std::string_view::npos;
  for (std::size_t i = 0; i < s.size();) {
    if (s[i] == sought) found = i;
    i += Lead(s[i]) && i + 1 < s.size() && Second(s[i + 1]) ? 2u : 1u;
  }
  return found;
}

// Position from 1 of the first comma, 0 when there is none: every comma separates.
std::size_t FirstComma(std::string_view s) {
  const std::size_t p = s.find(',');
  return p == std::string_view::npos ? 0 : p + 1;
}

std::int32_t RefCountFields(std::string_view line) {
  std::int32_t count = 0;
  for (std::size_t p; (p = FirstComma(line)) != 0; line.remove_prefix(p)) ++count;
  return count + 1;
}

std::string RefGetField(std::string_view line, std::int32_t n) {
  std::string_view rest = line;
  std::string field;
  for (std::int32_t i = n; i > 0;) {
    const std::size_t p = FirstComma(rest);
    if (p == 0) {
      field = i == 1 ? std::string(rest) : "";
      break;
    }
    field = rest.substr(0, p - 1);
    rest.remove_prefix(p);
    --i;
  }
  return field;
}

std::string RefReplaceField(std::string_view line, std::int32_t n, std::string_view value) {
  std::string_view rest = line;
  std::size_t prefix = 0;
  std::size_t previous = 0;
  for (std::int32_t i = n; i > 0; --i) {
    const std::size_t p = FirstComma(rest);
    rest = p > 0 ? rest.substr(p) : std::string_view{};
    prefix += previous;
    previous = p;
    if (p == 0) break;  // every later pass adds nothing
  }
  std::string out(line.substr(0, prefix));
  out += value;
  if (previous != 0) out += ',';
  out += rest;
  return out;
}

// The line rules: LF ends a line, every CR is dropped, 0x1A at a line start ends the input and
// inside a line ends the line and skips the rest of it.
std::vector<std::string> RefLines(std::string_view in) {
  std::vector<std::string> lines;
  std::size_t pos = 0;
  bool ended = false;
  while (!ended && pos < in.size() && in[pos] != '\x1a') {
    std::string line;
    while (pos < in.size()) {
      const char c = in[pos++];
      if (c == '\n') break;
      if (c == '\r') continue;
      if (c == '\x1a') {
        while (pos < in.size()) {
          const char skipped = in[pos];
          if (skipped == '\x1a') {
            ended = true;
            break;
          }
          ++pos;
          if (skipped == '\n') break;
        }
        break;
      }
      line += c;
    }
    lines.push_back(line);
  }
  return lines;
}

struct RefRun {
  std::string output;
  bool failed = false;
};

// Row processing with the line copied and extended as the rules say.
RefRun RefRows(const driver::RowSettings& s, std::string_view input) {
  const std::vector<std::string> lines = RefLines(input);
  const std::string first = lines.empty() ? "" : lines[0];
  const std::int32_t field_count = RefCountFields(first);
  RefRun run;
  std::size_t data = 0;
  if (s.header == "1") {
    run.output += first + (s.write == "1" ? ",OutPut" : "") + "\r\n";
    data = 1;
  }
  const auto column = text::ParseInt(s.column);
  const auto write = text::ParseInt(s.write);
  const auto check = text::ParseInt(s.check);
  std::string checked;
  std::int32_t position = 0;
  for (std::size_t k = data; k < lines.size(); ++k) {
    std::string current = lines[k];
    if (column && check) {
      test_support::RunMethod(*check, RefGetField(current, *column), checked);
    } else {
      current += text::kMarker;
    }
    if (!write || (*write == 0 && !column)) {
      run.failed = true;
      return run;
    }
    if (*write == 0) position = *column;
    if (*write == 1) {
      position = static_cast<std::int32_t>(static_cast<std::uint32_t>(field_count) + 1u);
      current += ',';
    }
    run.output += RefReplaceField(current, position, checked) + "\r\n";
  }
  return run;
}

// ---------------------------------------------------------------------------------------------
// Random texts

class Texts {
 public:
  explicit Texts(std::uint32_t seed) : rng_(seed) {}

  std::size_t Below(std::size_t n) { return static_cast<std::size_t>(rng_() % n); }

  // Up to max_pieces pieces; with line_ends, also CR, LF and 0x1A; plain, only bytes below 0x80.
  std::string Make(std::size_t max_pieces, bool line_ends, bool plain = false) {
    static const std::array<std::string, 17> kPieces = {
        ",", ",", ",", "\x81", "\x9f", "\xe0", "\xfc", "\x81,", "\xfc,",
        "a", "7", std::string(1, '\0'), "\x80", "\xa0", "\xfd", "\x40", "plain123",
    };
    static const std::array<std::string, 6> kLineEnds = {"\r\n", "\n", "\r", "\x1a", "\x81\r\n",
                                                         "\xe0\n"};
    std::string s;
    const std::size_t pieces = Below(max_pieces + 1);
    for (std::size_t k = 0; k < pieces; ++k) {
      const std::size_t pick = Below(line_ends ? 24 : 20);
      if (plain) {
        s += "a,,7\0 ,plain123"s.substr(Below(16), Below(9));
      } else if (pick < kPieces.size()) {
        s += kPieces[pick];
      } else if (pick < 20) {
        s += static_cast<char>(rng_());  // any byte at all
      } else {
        s += kLineEnds[Below(kLineEnds.size())];
      }
    }
    return s;
  }

 private:
  std::mt19937 rng_;
};

// Field numbers around a line's own: before the first, each field, beyond the last, the largest.
std::vector<std::int32_t> FieldNumbers(std::int32_t count) {
  std::vector<std::int32_t> ns = {std::numeric_limits<std::int32_t>::min(), -1, 0};
  for (std::int32_t n = 1; n <= count + 2; ++n) ns.push_back(n);
  ns.push_back(std::numeric_limits<std::int32_t>::max());
  return ns;
}

std::string Apply(std::string_view joined, const fields::Replacement& at, std::string_view value) {
  std::string out(joined.substr(0, at.prefix));
  out += value;
  if (at.comma) out += ',';
  out += joined.substr(at.rest);
  return out;
}

// ---------------------------------------------------------------------------------------------

TEST(ScanDifferential, CharacterSteppingMatchesTheReference) {
  Texts texts(1);
  for (int k = 0; k < 20000; ++k) {
    const std::string s = texts.Make(24, true);
    ASSERT_EQ(text::FindLastByte(s, '\\'), RefFindLastByte(s, '\\')) << testing::PrintToString(s);
    // A byte that can never be a second byte is found wherever it stands, whatever leads it.
    for (const char sought : {',', '/', '"', ' ', '\n', '\r', '\0', '7'}) {
      ASSERT_EQ(text::FindLastByte(s, sought), s.rfind(sought)) << testing::PrintToString(s);
    }
  }
}

TEST(ScanDifferential, FieldsMatchTheReference) {
  // What row processing appends after a line: nothing, the added column's comma, the marker
  // and that comma; also a text starting with a byte that a lone lead byte would swallow.
  const std::string appended[] = {"", ",", std::string(text::kMarker) + ",",
                                  std::string(text::kMarker), "\x40,x"};
  Texts texts(2);
  for (int k = 0; k < 8000; ++k) {
    // Every other line without high bytes, where a short line's commas are found all at once.
    const std::string line = texts.Make(20, false, k % 2 == 0);
    const std::int32_t count = RefCountFields(line);
    ASSERT_EQ(fields::CountFields(line), count) << testing::PrintToString(line);
    for (const std::int32_t n : FieldNumbers(count)) {
      const std::string field = RefGetField(line, n);
      ASSERT_EQ(fields::GetField(line, n), field) << testing::PrintToString(line) << " n=" << n;
      ASSERT_EQ(fields::ReplaceField(line, n, "<V>"), RefReplaceField(line, n, "<V>"))
          << testing::PrintToString(line) << " n=" << n;
      for (const std::string& tail : appended) {
        const std::string joined = line + tail;
        const std::string expected = RefReplaceField(joined, n, "<V>");
        ASSERT_EQ(Apply(joined, fields::GetFieldAndLocate(line, 0, tail, n).place, "<V>"), expected)
            << testing::PrintToString(joined) << " n=" << n;
        // Both at once, with the column sought anywhere around the write position.
        const std::int32_t column = static_cast<std::int32_t>(texts.Below(6)) - 1;
        const fields::FieldAndPlace both = fields::GetFieldAndLocate(line, column, tail, n);
        ASSERT_EQ(both.field, RefGetField(line, column))
            << testing::PrintToString(line) << " column=" << column;
        ASSERT_EQ(Apply(joined, both.place, "<V>"), expected)
            << testing::PrintToString(joined) << " n=" << n << " column=" << column;
      }
    }
  }
}

// A line longer than the block and its slack goes to the sink in pieces; whatever the room, the
// sink ends up holding only whole lines, a prefix of everything, also when the last line was
// never ended.
TEST(ScanDifferential, WriterKeepsOnlyWholeLinesOfAnyLength) {
  Texts texts(3);
  for (int k = 0; k < 2000; ++k) {
    std::vector<std::string> lines(texts.Below(k % 2 == 0 ? 8 : 40) + 1);
    for (std::string& line : lines) {
      line = std::string(texts.Below(4) == 0 ? 300 + texts.Below(3000) : texts.Below(20), 'x');
    }
    const bool last_unfinished = texts.Below(3) == 0;
    std::string all;
    for (const std::string& line : lines) all += line + "\r\n";
    const std::size_t block = std::array<std::size_t, 4>{1, 7, 64, 1 << 20}[texts.Below(4)];
    const std::size_t room = texts.Below(all.size() + 2);

    test_support::MemorySink sink(room);
    driver::LineWriter writer(sink, block);
    bool failed = false;
    try {
      for (std::size_t j = 0; j < lines.size(); ++j) {
        if (k % 2 == 1 && j + 1 < lines.size() && texts.Below(2) == 0) {
          // Runs of ended lines handed over at once, as the pieces of row processing are, so
          // that a write that fails may end in any of them; long runs go straight to the file.
          std::vector<std::string> runs(1);
          for (const std::size_t stop = std::min(lines.size() - 1, j + texts.Below(30) + 1);
               j < stop; ++j) {
            if (texts.Below(4) == 0) runs.emplace_back();
            runs.back() += lines[j] + "\r\n";
          }
          const std::vector<std::string_view> views(runs.begin(), runs.end());
          writer.AppendLines(views);
          --j;
          continue;
        }
        // Each line in two pieces cut anywhere, so that a long one may start out in the buffer
        // or end there, with whole lines after it.
        const std::string_view line = lines[j];
        const std::size_t cut = texts.Below(line.size() + 1);
        writer.Append(line.substr(0, cut));
        writer.Append(line.substr(cut));
        if (j + 1 < lines.size() || !last_unfinished) writer.EndLine();
      }
      writer.Flush();
    } catch (const driver::Failure&) {
      failed = true;
    }
    writer.FlushCompleteLinesQuietly();

    std::string whole;  // the lines that were ended
    for (std::size_t j = 0; j < lines.size() - (last_unfinished ? 1 : 0); ++j) {
      whole += lines[j] + "\r\n";
    }
    const std::string context = "block " + std::to_string(block) + " room " +
                                std::to_string(room) + " of " + std::to_string(all.size());
    EXPECT_TRUE(whole.starts_with(sink.bytes)) << context;
    EXPECT_TRUE(sink.bytes.empty() || sink.bytes.ends_with("\r\n")) << context;
    if (room >= whole.size()) {
      EXPECT_EQ(sink.bytes, whole) << context;
    } else {
      EXPECT_TRUE(failed) << context;
    }
    if (room >= all.size()) {
      EXPECT_FALSE(failed) << context;
    }
  }
}

TEST(ScanDifferential, RowsMatchTheReferenceAtEveryBlockSize) {
  const driver::RowSettings settings[] = {
      {"1", "1", "1", "6"}, {"0", "2", "1", "10"}, {"1", "2", "0", "4"}, {"0", "x", "1", "6"},
      {"1", "1", "x", "6"}, {"0", "x", "0", "0"},  {"1", "3", "2", "9"}, {"0", "0", "0", "5"},
      {"1", "1", "1", "11"}, {"0", "-1", "0", "7"},
  };
  Texts texts(4);
  for (int k = 0; k < 1500; ++k) {
    const std::string input = texts.Make(40, true);
    for (const driver::RowSettings& s : settings) {
      const RefRun expected = RefRows(s, input);
      for (const std::size_t block : {std::size_t{1}, std::size_t{2}, std::size_t{3},
                                      std::size_t{7}, driver::LineReader::kDefaultBlock}) {
        const test_support::MemoryRun run = test_support::ProcessRowsInMemory(s, input, block);
        ASSERT_EQ(run.output, expected.output)
            << testing::PrintToString(input) << " block " << block << " f=" << s.header
            << " r=" << s.column << " w=" << s.write << " c=" << s.check;
        ASSERT_EQ(run.failure.has_value(), expected.failed) << testing::PrintToString(input);
      }
    }
  }
}

// Long runs of whole lines are shared out between two threads; the output must not show it,
// whether or not CRs, lead bytes before line ends or a late 0x1A come along.
TEST(ScanDifferential, RowsOfLongInputsMatchTheReference) {
  const driver::RowSettings settings[] = {
      {"1", "1", "1", "6"}, {"0", "2", "0", "10"}, {"1", "x", "1", "6"}, {"1", "2", "7", "11"}};
  const std::string ends[] = {"\r\n", "\r\n", "\n", "\r\r\n", "\x81\r\n", "a\rb\r\n"};
  Texts texts(6);
  for (int k = 0; k < 6; ++k) {
    std::string input;
    while (input.size() < 700000) input += texts.Make(12, false, k % 2 == 0) + ends[texts.Below(6)];
    if (k >= 4) input.insert(600000 + texts.Below(1000), "\x1a");  // the rest of a line, or all
    for (const driver::RowSettings& s : settings) {
      const RefRun expected = RefRows(s, input);
      for (const std::size_t block : {std::size_t{4093}, std::size_t{300007},
                                      driver::LineReader::kDefaultBlock}) {
        const test_support::MemoryRun run = test_support::ProcessRowsInMemory(s, input, block);
        ASSERT_EQ(run.output, expected.output) << "input " << k << " block " << block;
        ASSERT_FALSE(run.failure.has_value());
      }
    }
  }
}

// A read or a write failing while the helper thread has pieces in hand: the failure is told,
// and the file holds whole lines only, the first ones of what a whole run gives. A read that
// fails loses none of the lines read before it: the first block's lines are all written.
TEST(ScanDifferential, FailureWhileLinesAreSharedKeepsWholeLines) {
  Texts texts(8);
  std::string input = "code,name\r\n";
  while (input.size() < 3000000) input += texts.Make(12, false, true) + "\r\n";
  const driver::RowSettings settings{"1", "1", "1", "6"};
  const std::string expected = RefRows(settings, input).output;
  for (int k = 0; k < 6; ++k) {
    // The second or third block read fails, inside the file; or the disk fills up, after the
    // header.
    const std::size_t fail_after[] = {1500000, 2500000};
    test_support::MemorySource source(input, k < 2 ? fail_after[k] : std::numeric_limits<std::size_t>::max());
    test_support::MemorySink sink(k < 2 ? expected.size() : 20 + texts.Below(expected.size() - 20));
    driver::LineReader reader(source);
    driver::LineWriter writer(sink);
    bool failed = false;
    try {
      driver::ProcessRows(settings, source, reader, writer);
      writer.Flush();
    } catch (const driver::Failure&) {
      failed = true;
      writer.FlushCompleteLinesQuietly();
    }
    EXPECT_TRUE(failed) << k;
    EXPECT_TRUE(expected.starts_with(sink.bytes)) << k;
    EXPECT_TRUE(sink.bytes.ends_with("\r\n")) << k;  // the header at least
    EXPECT_LT(sink.bytes.size(), expected.size()) << k;
    if (k < 2) {
      const std::string_view first_block =
          std::string_view(input).substr(0, driver::LineReader::kDefaultBlock);
      const std::string before =
          RefRows(settings, first_block.substr(0, first_block.rfind('\n') + 1)).output;
      EXPECT_GE(sink.bytes.size(), before.size()) << k;
    }
  }
}

// Decimal integer text takes its first digits without a range check; held against the plain
// reading that checks every digit, on texts around the limits of both widths.
template <typename Signed>
std::optional<Signed> RefParseDecimal(std::string_view s) {
  using Unsigned = std::make_unsigned_t<Signed>;
  std::size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  const bool negative = i < s.size() && s[i] == '-';
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  if (i == s.size()) return std::nullopt;
  const Unsigned limit =
      static_cast<Unsigned>(std::numeric_limits<Signed>::max()) + (negative ? 1u : 0u);
  Unsigned value = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return std::nullopt;
    const auto d = static_cast<Unsigned>(s[i] - '0');
    if (value > (limit - d) / 10) return std::nullopt;
    value = static_cast<Unsigned>(value * 10 + d);
  }
  if (negative) value = static_cast<Unsigned>(Unsigned{0} - value);
  return static_cast<Signed>(value);
}

TEST(ScanDifferential, DecimalIntegerTextMatchesTheReference) {
  Texts texts(7);
  const std::string edges[] = {"2147483647", "2147483648", "9223372036854775807",
                               "9223372036854775808", "99999999999999999999"};
  for (int k = 0; k < 20000; ++k) {
    std::string s = std::string(texts.Below(2), ' ') + std::string(texts.Below(2), "+-"[k % 2]);
    if (k % 3 == 0) {
      s += std::string(texts.Below(3), '0') + edges[texts.Below(std::size(edges))];
      if (texts.Below(2) == 0) s.back() = static_cast<char>('0' + texts.Below(10));
    } else {
      for (std::size_t d = texts.Below(22); d > 0; --d) s += static_cast<char>('0' + texts.Below(10));
    }
    if (texts.Below(8) == 0 && !s.empty()) s[texts.Below(s.size())] = "a \0+"[texts.Below(4)];
    ASSERT_EQ(text::ParseInt(s), RefParseDecimal<std::int32_t>(s)) << testing::PrintToString(s);
    ASSERT_EQ(text::ParseInt64(s), RefParseDecimal<std::int64_t>(s)) << testing::PrintToString(s);
  }
}

// The check methods sum their bytes in a different order from the rule's one-by-one walk; held
// against that walk over random values, bad bytes included.
TEST(ScanDifferential, SummingMethodsMatchTheReference) {
  const auto ref_m10 = [](std::string_view v, unsigned weight, bool digit_sum) -> std::string {
    unsigned sum = 0;
    for (std::size_t i = 0; i < v.size(); ++i) {
      if (v[i] < '0' || v[i] > '9') return "Input Character Error";
      unsigned p = static_cast<unsigned>(v[i] - '0') * ((v.size() - 1 - i) % 2 == 0 ? weight : 1);
      if (digit_sum && p >= 10) p = p / 10 + p % 10;
      sum += p;
    }
    return std::string(v) + static_cast<char>('0' + (sum % 10 == 0 ? 0 : 10 - sum % 10));
  };
  const auto ref_alphabet = [](std::string_view v, std::string_view alphabet) -> int {
    int sum = 0;
    for (const char c : v) {
      const std::size_t at = alphabet.find(c);
      if (at == std::string_view::npos) return -1;
      sum += static_cast<int>(at);
    }
    return sum;
  };
  constexpr std::string_view kNw7 = "0123456789-$:/.+ABCD";
  constexpr std::string_view kCode39 = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%";
  Texts texts(5);
  for (int k = 0; k < 5000; ++k) {
    std::string digits(texts.Below(40), '0');
    for (char& c : digits) c = static_cast<char>('0' + texts.Below(10));
    if (!digits.empty() && texts.Below(4) == 0) digits[texts.Below(digits.size())] = "a /:\x81\xff"[k % 6];
    ASSERT_EQ(checks::CheckM10(digits, 2, false), ref_m10(digits, 2, false)) << digits;
    ASSERT_EQ(checks::CheckM10(digits, 2, true), ref_m10(digits, 2, true)) << digits;
    ASSERT_EQ(checks::CheckM10(digits, 3, false), ref_m10(digits, 3, false)) << digits;

    std::string code(texts.Below(40), ' ');
    for (char& c : code) c = kCode39[texts.Below(kCode39.size())];
    // Bytes just outside each range of the alphabet, and beside its signs.
    constexpr std::string_view kNotCode39(":@[`az\x80\xff\0#*,\x1f!&", 15);
    if (!code.empty() && texts.Below(4) == 0) {
      code[texts.Below(code.size())] = kNotCode39[texts.Below(kNotCode39.size())];
    }
    const int sum43 = ref_alphabet(code, kCode39);
    ASSERT_EQ(checks::CheckM43(code),
              sum43 < 0 ? "Input Character Error" : code + kCode39[static_cast<std::size_t>(sum43 % 43)])
        << code;

    std::string codabar(texts.Below(40), ' ');
    for (char& c : codabar) c = kNw7[texts.Below(kNw7.size())];
    if (!codabar.empty() && texts.Below(4) == 0) codabar[texts.Below(codabar.size())] = 'E';
    const int sum16 = ref_alphabet(codabar, kNw7);
    std::string m16 = "Input Character Error";
    if (sum16 >= 0) {
      const char check = kNw7[static_cast<std::size_t>((16 - sum16 % 16) % 16)];
      m16 = codabar.empty() ? std::string(1, check)
                            : codabar.substr(0, codabar.size() - 1) + check + codabar.back();
    }
    ASSERT_EQ(checks::CheckM16(codabar), m16) << codabar;
  }
}

}  // namespace
