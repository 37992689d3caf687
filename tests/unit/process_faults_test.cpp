// What an interrupted or failed run leaves: the length the writer marks as whole lines, which an
// interruption cuts the output back to, and the failure that any exception is told as.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <limits>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "driver/failure.h"
#include "driver/line_writer.h"
#include "driver/run.h"
#include "memory_streams.h"
#include "text/literals.h"

namespace {

using talvo::driver::ByteSink;
using talvo::driver::Failure;
using talvo::driver::LineWriter;

// Holds what is written, up to `room` bytes, and checks every mark as it comes: the bytes
// before it must be whole lines that are all in the sink.
class MarkedSink final : public ByteSink {
 public:
  explicit MarkedSink(std::size_t room = std::numeric_limits<std::size_t>::max()) : room_(room) {}

  talvo::platform::IoResult Write(std::span<const std::string_view> pieces) override {
    return talvo::test_support::AppendWithin(bytes, room_, pieces);
  }
  void Truncate(std::uint64_t size) override { bytes.resize(static_cast<std::size_t>(size)); }
  void MarkComplete(std::uint64_t size) override {
    EXPECT_LE(size, bytes.size());
    EXPECT_GE(size, marked) << "a mark never goes back";
    EXPECT_TRUE(size == 0 || bytes.substr(0, static_cast<std::size_t>(size)).ends_with("\r\n"))
        << "mark " << size << " inside a line";
    marked = size;
  }

  std::string bytes;
  std::uint64_t marked = 0;

 private:
  std::size_t room_;
};

// Lines short and long beside the block, put together in pieces, ended one by one and handed
// over many at once: after every step each whole line in the file is marked, so that what lies
// beyond the mark is at most the start of one line. A file that fills up is marked at what it
// keeps.
TEST(ProcessFaults, WriterMarksEveryWholeLineItWrites) {
  const std::string long_line(300, 'x');
  const std::vector<std::function<void(LineWriter&)>> steps = {
      [](LineWriter& w) { w.Append("ab"); },
      [&](LineWriter& w) { w.Append(long_line); },
      [](LineWriter& w) { w.EndLine(); },
      [](LineWriter& w) { w.AppendLines("c\r\nd\r\n"); },
      [](LineWriter& w) { w.Append("e"); },
      [](LineWriter& w) { w.EndLine(); },
      [&](LineWriter& w) { w.AppendLines(long_line + "\r\n" + long_line + "\r\n"); },
      [&](LineWriter& w) { w.Append(long_line); },
      [&](LineWriter& w) { w.Append(long_line); },
      [](LineWriter& w) { w.EndLine(); },
      [](LineWriter& w) { w.Flush(); },
  };
  const std::size_t total = 2 + 5 * 300 + 6 + 3 + 4 * 2;
  for (std::size_t room : {std::numeric_limits<std::size_t>::max(), std::size_t{0}, std::size_t{7},
                           std::size_t{150}, std::size_t{700}}) {
    for (std::size_t block : {1u, 5u, 64u, 1024u}) {
      const std::string where = "room " + std::to_string(room) + " block " + std::to_string(block);
      MarkedSink sink(room);
      LineWriter writer(sink, block);
      try {
        for (std::size_t k = 0; k < steps.size(); ++k) {
          steps[k](writer);
          EXPECT_EQ(sink.bytes.find('\n', static_cast<std::size_t>(sink.marked)), std::string::npos)
              << where << " step " << k << ": a whole line beyond the mark";
        }
      } catch (const Failure&) {
        writer.FlushCompleteLinesQuietly();
      }
      EXPECT_EQ(sink.marked, sink.bytes.size()) << where;
      EXPECT_EQ(sink.bytes.size() == total, room >= total) << where;
    }
  }
}

// Anything that reaches the top is told as a failure: running out of memory in its own words,
// anything else with the run-time library's text, at the place the caller gives.
TEST(ProcessFaults, EveryExceptionIsTold) {
  struct Row {
    std::function<void()> raise;
    std::string_view kind;
    std::string message;
  };
  const std::string out_of_memory(talvo::text::kOutOfMemory);
  // clang-format off
  const Row rows[] = {
      /* 0 */ {[] { throw std::bad_alloc(); },             "EOutOfMemory", out_of_memory},
      /* 1 */ {[] { throw std::bad_array_new_length(); },  "EOutOfMemory", out_of_memory},
      /* 2 */ {[] { throw std::length_error("too long"); }, "Exception",   "too long"},
      /* 3 */ {[] { throw 7; },                             "Exception",   ""},
  };
  // clang-format on
  for (std::size_t k = 0; k < std::size(rows); ++k) {
    Failure failure{};
    try {
      rows[k].raise();
    } catch (...) {
      failure = talvo::driver::UnexpectedFailure(0x1234);
    }
    EXPECT_EQ(failure.kind, rows[k].kind) << "row " << k;
    EXPECT_EQ(failure.message.Bytes(), rows[k].message) << "row " << k;
    EXPECT_EQ(failure.place, 0x1234u) << "row " << k;
  }
}

}  // namespace
