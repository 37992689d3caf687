// Row processing in memory, driven by arbitrary file bytes and arbitrary argument texts.
//
// Input: the file's bytes; then f, r, w and c, each followed by its length byte; then two bytes
// of a fault position (high, low), a fault kind byte and a block-size byte. Checked for every
// run:
// - reading in blocks of 1 to 16 bytes gives what reading the whole file at once gives;
// - the output is whole lines only, each ended by CR LF, and their number follows from the
//   line rules, counted here apart from the line reader;
// - a run fails exactly when a data line meets a write mode that is not integer text, or a
//   column that is not integer text while the write mode is 0; it then holds the header alone;
// - no output line is more than about twice the longest input line, so memory follows the
//   longest line and not the file;
// - when the output fills up at the fault position, it keeps exactly the whole lines that fit;
//   when reading fails there, the run fails and the output holds whole lines of the full one.
#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

#include <cstring>
#include <optional>

#include "driver/failure.h"
#include "memory_run.h"
#include "memory_streams.h"
#include "driver/rows.h"
#include "fuzz_check.h"
#include "text/integer_text.h"

namespace {

using talvo::driver::Failure;
using talvo::driver::LineReader;
using talvo::driver::LineWriter;
using talvo::test_support::MemoryRun;
using talvo::test_support::ProcessRowsInMemory;
using talvo::driver::RowSettings;
using talvo::platform::IoResult;

// A device that holds `room` bytes: a write takes what still fits and then fails as full.
class FillingSink final : public talvo::driver::ByteSink {
 public:
  explicit FillingSink(std::size_t room) : room_(room) {}
  IoResult Write(std::span<const std::string_view> pieces) override {
    return talvo::test_support::AppendWithin(bytes, room_, pieces);
  }
  void Truncate(std::uint64_t size) override {
    FUZZ_CHECK(size <= bytes.size(), "cut to beyond the end of what was written");
    bytes.resize(static_cast<std::size_t>(size));
  }
  std::string bytes;

 private:
  std::size_t room_;
};

// The run as the program makes it: on a failure, the whole lines held are still handed over.
MemoryRun RunFaulty(const RowSettings& settings, talvo::driver::ByteSource& source,
                    FillingSink& sink, std::size_t block) {
  LineReader reader(source, block);
  LineWriter writer(sink, block);
  MemoryRun run;
  try {
    talvo::driver::ProcessRows(settings, source, reader, writer);
    writer.Flush();
  } catch (const Failure& failure) {
    writer.FlushCompleteLinesQuietly();
    run.failure = failure;
  }
  run.output = sink.bytes;
  return run;
}

// The whole lines at the start of `out` that lie within its first `size` bytes.
std::string_view WholeLinesWithin(std::string_view out, std::size_t size) {
  if (size >= out.size()) return out;
  const std::size_t lf = out.substr(0, size).rfind('\n');
  return out.substr(0, lf == std::string_view::npos ? 0 : lf + 1);
}

constexpr char kEndMark = '\x1A';

// Lines of the input by the line rules: LF ends a line; 0x1A where a line would begin ends the
// input; 0x1A inside a line ends it and the rest of that physical line is skipped, unless a
// second 0x1A is met there, which ends the input; the last line may lack its LF.
std::size_t CountLines(std::string_view in) {
  std::size_t lines = 0;
  std::size_t i = 0;
  const std::size_t n = in.size();
  for (;;) {
    if (i == n || in[i] == kEndMark) return lines;
    ++lines;
    while (i < n && in[i] != '\n' && in[i] != kEndMark) ++i;
    if (i == n) return lines;
    if (in[i] == kEndMark) {
      for (++i; i < n && in[i] != '\n'; ++i) {
        if (in[i] == kEndMark) return lines;
      }
      if (i == n) return lines;
    }
    ++i;  // the LF
  }
}

std::size_t LongestPhysicalLine(std::string_view in) {
  std::size_t longest = 0;
  std::size_t start = 0;
  for (;;) {
    const std::size_t lf = in.find('\n', start);
    const std::size_t end = lf == std::string_view::npos ? in.size() : lf;
    longest = std::max(longest, end - start);
    if (lf == std::string_view::npos) return longest;
    start = lf + 1;
  }
}

// Number of output lines when every one of them is ended by CR LF and no CR or LF stands
// alone; -1 otherwise.
long CompleteLines(std::string_view out, std::size_t longest_allowed) {
  long lines = 0;
  std::size_t start = 0;
  while (start < out.size()) {
    const std::size_t lf = out.find('\n', start);
    if (lf == std::string_view::npos || lf == start || out[lf - 1] != '\r') return -1;
    const std::string_view line = out.substr(start, lf - 1 - start);
    if (line.find('\r') != std::string_view::npos) return -1;
    FUZZ_CHECK(line.size() <= longest_allowed, "an output line outgrew its input line");
    ++lines;
    start = lf + 1;
  }
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  talvo::fuzz::TailReader input(data, size);
  const std::size_t block = 1 + input.Byte() % 16;
  const unsigned fault = input.Byte() % 3;
  std::size_t fault_at = input.Byte();
  fault_at |= std::size_t{input.Byte()} << 8;
  const std::string_view c = input.Text();
  const std::string_view w = input.Text();
  const std::string_view r = input.Text();
  const std::string_view f = input.Text();
  const std::string_view file = input.Rest();
  const RowSettings settings{f, r, w, c};

  const MemoryRun small = ProcessRowsInMemory(settings, file, block);
  const MemoryRun whole = ProcessRowsInMemory(settings, file, std::size_t{1} << 16);
  FUZZ_CHECK(small.output == whole.output, "the block size changed the output");
  FUZZ_CHECK(small.failure.has_value() == whole.failure.has_value(),
             "the block size changed whether the run failed");
  if (small.failure) {
    FUZZ_CHECK(small.failure->kind == whole.failure->kind &&
                   small.failure->message == whole.failure->message,
               "the block size changed the failure");
  }

  // A UTF-8 byte-order mark at the start belongs to no line: the output's first line starts
  // with it, and the lines are those after it.
  const std::string_view mark = "\xEF\xBB\xBF";
  const std::string_view text = file.starts_with(mark) ? file.substr(mark.size()) : file;
  FUZZ_CHECK(text.size() == file.size() || small.output.empty() || small.output.starts_with(mark),
             "the byte-order mark is not the start of the output");
  const bool header = f == "1";
  const std::size_t lines = CountLines(text);
  const std::size_t data_lines = header ? (lines == 0 ? 0 : lines - 1) : lines;
  const auto column = talvo::text::ParseInt(r);
  const auto write = talvo::text::ParseInt(w);
  const bool should_fail = data_lines > 0 && (!write || (*write == 0 && !column));
  FUZZ_CHECK(small.failure.has_value() == should_fail, "the run failed, or did not, wrongly");

  // A line grows at most by the marker, a comma and a check result no longer than its field
  // plus two or an error word.
  const std::size_t longest_allowed = 2 * LongestPhysicalLine(file) + 64 + mark.size();
  const long written = CompleteLines(small.output, longest_allowed);
  FUZZ_CHECK(written >= 0, "the output is not whole lines ended by CR LF");
  const std::size_t expected = (header ? 1 : 0) + (should_fail ? 0 : data_lines);
  FUZZ_CHECK(static_cast<std::size_t>(written) == expected, "wrong number of output lines");

  if (fault == 1) {
    talvo::test_support::MemorySource source(file);
    FillingSink sink(fault_at);
    const MemoryRun full = RunFaulty(settings, source, sink, block);
    FUZZ_CHECK(full.output == WholeLinesWithin(small.output, fault_at),
               "a full device kept other than the whole lines that fit");
    FUZZ_CHECK(full.failure.has_value() == (small.failure || small.output.size() > fault_at),
               "a full device was not reported, or reported when all fitted");
  } else if (fault == 2) {
    talvo::test_support::MemorySource source(file, fault_at);
    FillingSink sink(std::string::npos);
    const MemoryRun broken = RunFaulty(settings, source, sink, block);
    if (!source.tripped) {
      FUZZ_CHECK(broken.output == small.output && broken.failure.has_value() == should_fail,
                 "a read fault that never happened changed the run");
    } else {
      FUZZ_CHECK(broken.failure && broken.output.size() <= small.output.size() &&
                     WholeLinesWithin(small.output, broken.output.size()) == broken.output,
                 "a read fault left other than whole lines of the output");
    }
  }
  return 0;
}
