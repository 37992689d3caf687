#include "driver/rows.h"

#include "driver/memory_streams.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace std::string_literals;
using talvo::driver::ProcessRowsInMemory;
using talvo::driver::RowSettings;

// The block size of reading and writing is invisible in the result: the same bytes come out,
// and a failure leaves the same complete lines, whatever the block.
TEST(Rows, BlockSizeDoesNotChangeTheOutput) {
  const std::string inputs[] = {
      "code,name\r\n123456,x\r\n1234,y\r\n",
      "h1,h2\r\n5\r\n9,a,b\r\n\x1a" "ignored\r\n",
      "ABC\x1a" "DEF\r\nGHI\r\n12\r34\n\n\x81,1,2\r\n"s + "a\0,b,C"s,
      "",
  };
  const RowSettings settings[] = {
      {"1", "1", "1", "6"}, {"0", "1", "0", "10"}, {"1", "2", "1", "0"}, {"0", "x", "1", "6"},
      {"1", "x", "0", "6"}, {"1", "1", "x", "6"},  {"0", "3", "2", "9"}, {"0", "1", "1", "11"},
  };
  for (const std::string& input : inputs) {
    for (const RowSettings& s : settings) {
      const auto whole = ProcessRowsInMemory(s, input);
      for (std::size_t block : {1u, 2u, 3u, 7u}) {
        const auto small = ProcessRowsInMemory(s, input, block);
        EXPECT_EQ(small.output, whole.output) << input << " block " << block;
        EXPECT_EQ(small.failure.has_value(), whole.failure.has_value());
      }
    }
  }
}

TEST(Rows, FailureNamesTheTextThatDidNotConvert) {
  const auto bad_w = ProcessRowsInMemory({"1", "x", "w?", "6"}, "h\r\nd\r\n");
  ASSERT_TRUE(bad_w.failure);
  EXPECT_EQ(bad_w.failure->kind, "EConvertError");
  EXPECT_TRUE(bad_w.failure->message.Bytes().starts_with("'w?' ")) << bad_w.failure->message.Bytes();
  EXPECT_EQ(bad_w.output, "h\r\n");

  const auto bad_r = ProcessRowsInMemory({"0", "r?", "0", "6"}, "d\r\n");
  ASSERT_TRUE(bad_r.failure);
  EXPECT_TRUE(bad_r.failure->message.Bytes().starts_with("'r?' ")) << bad_r.failure->message.Bytes();
  EXPECT_EQ(bad_r.output, "");
}

// Without a header the first line is read again as data. A pipe cannot be opened again at its
// start: what it gave is taken from the block still held, or, when the first line outgrew the
// block, the run fails rather than silently dropping what was read.
TEST(Rows, PipeWithoutHeaderKeepsEveryLine) {
  using namespace talvo::driver;
  const std::string input = "123456\r\n1234\r\n";
  for (std::size_t block : {3u, 7u, 8u, 64u}) {
    MemorySource source(input);
    source.pipe = true;
    MemorySink sink;
    LineReader reader(source, block);
    LineWriter writer(sink, block);
    try {
      ProcessRows({"0", "1", "1", "0"}, source, reader, writer);
      writer.Flush();
      EXPECT_GE(block, 8u) << "the first line and its end fit the block";
      EXPECT_EQ(sink.bytes, "123456,1234564\r\n1234,12342\r\n") << block;
    } catch (const Failure& failure) {
      EXPECT_LT(block, 8u);
      EXPECT_EQ(failure.message.Bytes(), "I/O \x83G\x83\x89\x81[ (25)");
      EXPECT_EQ(sink.bytes, "");
    }
  }
}

}  // namespace
