#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "driver/failure.h"
#include "driver/line_reader.h"
#include "driver/line_writer.h"
#include "driver/pieces.h"
#include "driver/wakeup.h"
#include "memory_streams.h"

namespace {

using namespace std::string_literals;
using talvo::driver::Failure;
using talvo::driver::LineReader;
using talvo::driver::LineWriter;
using talvo::test_support::MemorySink;
using talvo::test_support::MemorySource;

std::vector<std::string> ReadAll(const std::string& bytes, std::size_t block) {
  MemorySource source(bytes);
  LineReader reader(source, block);
  std::vector<std::string> lines;
  while (!reader.AtEnd()) lines.emplace_back(reader.ReadLine());
  EXPECT_EQ(reader.ReadLine(), "") << "reading at the end gives an empty line";
  return lines;
}

using Lines = std::vector<std::string>;

struct ReaderRow {
  std::string bytes;
  Lines lines;
};

// clang-format off
const ReaderRow kReaderRows[] = {
    /*  0 */ {"",                           {}},
    /*  1 */ {"a",                          {"a"}},
    /*  2 */ {"a\r\nb\r\n",                 {"a", "b"}},
    /*  3 */ {"a\nb",                       {"a", "b"}},
    /*  4 */ {"\r\n\r\n",                   {"", ""}},
    /*  5 */ {"ab\rcd\r\n",                 {"abcd"}},           // a lone CR is dropped
    /*  6 */ {"ab\r",                       {"ab"}},
    /*  7 */ {"\r\r\r\n",                   {""}},
    /*  8 */ {"a\r\n\x1a" "b\r\nc\r\n",     {"a"}},              // 0x1A at a line start ends the input
    /*  9 */ {"\x1a" "abc",                 {}},
    /* 10 */ {"abc\x1a" "def\r\nghi",       {"abc", "ghi"}},     // inside a line: the rest is skipped
    /* 11 */ {"ab\x1aX\x1aY\r\nCD\r\n",     {"ab"}},             // a second 0x1A while skipping ends it
    /* 12 */ {"ab\x1a\r\ncd",               {"ab", "cd"}},
    /* 13 */ {"ab\x1a",                     {"ab"}},
    /* 14 */ {"a\0b\r\n\0"s,                {"a\0b"s, "\0"s}},  // NUL is an ordinary byte
    /* 15 */ {"\x81\r\n\x82\n",             {"\x81", "\x82"}},   // no stepping in line ends
    /* 16 */ {"a\r\n\x1a",                  {"a"}},
};
// clang-format on

TEST(LineReader, LineRulesAtEveryBlockSize) {
  for (std::size_t k = 0; k < std::size(kReaderRows); ++k) {
    for (std::size_t block : {1u, 2u, 3u, 5u, 1u << 20}) {
      EXPECT_EQ(ReadAll(kReaderRows[k].bytes, block), kReaderRows[k].lines)
          << "row " << k << " block " << block;
    }
  }
}

TEST(LineReader, LongLineAcrossManyBlocks) {
  const std::string line = std::string(100000, 'x') + "\r" + std::string(100000, 'y');
  const Lines expected{std::string(100000, 'x') + std::string(100000, 'y'), "z"};
  EXPECT_EQ(ReadAll(line + "\r\nz", 4096), expected);
}

// Lines lent to another thread keep their bytes until the share is given back, however the
// reader is driven meanwhile: it waits rather than read into a block that is still lent.
TEST(LineReader, LentLinesKeepTheirBytesUntilGivenBack) {
  std::string input;
  for (int k = 0; k < 2000; ++k) input += "line" + std::to_string(k) + ",x\r\n";
  MemorySource source(input);
  LineReader reader(source, 4096);
  const std::string_view lines = reader.TakeLines();
  ASSERT_TRUE(reader.CanLend());
  const std::string copy(lines);
  std::atomic<bool> returned{false};
  std::thread borrower([&, loan = reader.Lend()]() mutable {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(lines, copy) << "the lent lines changed while lent";
    returned = true;
    loan.Return();
  });
  // The lent block becomes the spare one, which the second read ahead reads into.
  for (reader.ReadAhead(); !reader.AtEnd(); reader.ReadAhead()) reader.TakeLines();
  EXPECT_TRUE(returned) << "the reader read on before the share came back";
  borrower.join();
}

// Two threads take turns many thousands of times, each sleeping until the other has moved the
// count on: a wake-up lost even once leaves both asleep, and the test never ends.
TEST(Wakeup, NoWakeUpIsLostBetweenThreadsTakingTurns) {
  constexpr int kTurns = 20000;
  talvo::driver::Wakeup moved;
  std::atomic<int> count{0};
  const auto take_turns = [&](int parity) {
    for (int turn = parity; turn < kTurns; turn += 2) {
      moved.Wait([&] { return count.load(std::memory_order_acquire) == turn; });
      count.store(turn + 1, std::memory_order_release);
      moved.Notify();
    }
  };
  std::thread other(take_turns, 1);
  take_turns(0);
  other.join();
  EXPECT_EQ(count.load(), kTurns);
}

TEST(LineReader, ReadFailureIsAnInOutError) {
  MemorySource source("a\r\nb\r\n", 3);  // the read after the first block fails
  LineReader reader(source, 3);
  EXPECT_EQ(reader.ReadLine(), "a");
  try {
    reader.ReadLine();
    FAIL() << "no failure";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.kind, "EInOutError");
    EXPECT_EQ(failure.message.Bytes(), "I/O \x83G\x83\x89\x81[ (1117)");
  }
}

// Whatever the room and the block, the file holds only whole lines: the piece of a line that
// fitted is cut off again before the failure is told.
TEST(LineWriter, FullDiskLeavesOnlyCompleteLines) {
  for (std::size_t room : {0u, 1u, 4u, 5u, 9u, 10u, 11u, 100u}) {
    for (std::size_t block : {1u, 8u, 64u}) {
      MemorySink sink(room);
      LineWriter writer(sink, block);
      bool failed = false;
      try {
        for (const char* line : {"abc", "de", "fghij"}) {
          writer.Append(line);
          writer.EndLine();
        }
        writer.Flush();
      } catch (const Failure& failure) {
        failed = true;
        EXPECT_EQ(failure.message.Bytes(), "I/O \x83G\x83\x89\x81[ (112)");
        writer.FlushCompleteLinesQuietly();
      }
      const std::string all = "abc\r\nde\r\nfghij\r\n";
      EXPECT_EQ(failed, room < all.size()) << room << "/" << block;
      EXPECT_TRUE(all.starts_with(sink.bytes)) << room << "/" << block;
      EXPECT_TRUE(sink.bytes.empty() || sink.bytes.ends_with("\r\n")) << room << "/" << block;
    }
  }
}

// A piece that fails to turn out is told once the pieces before it are written, and nothing
// after them is, whether the pieces go to the file as they come (a small writer block) or
// gathered into large writes, and however many helper threads there are (none: this thread
// turns out every piece as it is added).
TEST(PieceQueue, APieceThatFailsIsToldOnceThoseBeforeItAreWritten) {
  using talvo::driver::PieceQueue;
  std::string good;
  for (int k = 0; good.size() < 3000000; ++k) good += "line " + std::to_string(k) + "\r\n";
  std::mt19937 random(7);
  for (int round = 0; round < 24; ++round) {
    std::string input = good;
    const std::size_t bad = input.find('\n', random() % (input.size() - 100)) + 1;
    input[bad] = '!';  // the line that fails
    const unsigned helpers = std::array{0u, 1u, 4u}[static_cast<std::size_t>(round % 3)];
    for (const std::size_t block : {std::size_t{4096}, LineWriter::kDefaultBlock}) {
      MemorySink sink;
      LineWriter writer(sink, block);
      bool failed = false;
      try {
        PieceQueue queue(
            [](std::string_view lines, talvo::driver::PieceOutput& out) {
              if (lines.find('!') != std::string_view::npos) throw std::runtime_error("bad line");
              std::memcpy(out.lines.Room(lines.size()), lines.data(), lines.size());
              out.lines.Filled(lines.size());
            },
            writer, helpers);
        // In runs of about a block read, as row processing adds them.
        for (std::string_view rest = input; !rest.empty();) {
          const std::size_t end = rest.find('\n', std::min(rest.size() - 1, std::size_t{1} << 20));
          queue.Add(rest.substr(0, end + 1), talvo::driver::LinesLoan(), "");
          rest.remove_prefix(end + 1);
        }
        queue.WriteAll();
      } catch (const std::runtime_error&) {
        failed = true;
      }
      writer.FlushCompleteLinesQuietly();
      const std::string where = "round " + std::to_string(round) + " block " +
                                std::to_string(block) + " helpers " + std::to_string(helpers);
      EXPECT_TRUE(failed) << where;
      EXPECT_TRUE(input.starts_with(sink.bytes)) << where;
      EXPECT_LE(sink.bytes.size(), bad) << where;
      // The failing piece starts at most a piece and a line before the failing line.
      EXPECT_GT(sink.bytes.size() + PieceQueue::kPieceBytes + 16, bad) << where;
    }
  }
}

TEST(LineWriter, QuietFlushDropsAnUnfinishedLine) {
  MemorySink sink(1000);
  LineWriter writer(sink, 1 << 20);
  writer.Append("done");
  writer.EndLine();
  writer.Append("half");
  writer.FlushCompleteLinesQuietly();
  EXPECT_EQ(sink.bytes, "done\r\n");
}

}  // namespace
