#include "driver/rows.h"

#include "memory_run.h"
#include "memory_streams.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace std::string_literals;
using talvo::test_support::ProcessRowsInMemory;
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
// start: the first line is taken again from what is still held, whether it lay whole in the
// block or came in over several reads, with or without a byte-order mark before it.
TEST(Rows, PipeWithoutHeaderKeepsEveryLine) {
  using namespace talvo::driver;
  using namespace talvo::test_support;
  const std::string bom = "\xEF\xBB\xBF";
  for (const std::string& start : {std::string(), bom}) {
    const std::string input = start + "123456\r\n1234\r\n";
    for (std::size_t block : {1u, 2u, 3u, 7u, 8u, 64u}) {
      MemorySource source(input);
      source.pipe = true;
      MemorySink sink;
      LineReader reader(source, block);
      LineWriter writer(sink, block);
      ProcessRows({"0", "1", "1", "0"}, source, reader, writer);
      writer.Flush();
      EXPECT_EQ(sink.bytes, start + "123456,1234564\r\n1234,12342\r\n") << block;
    }
  }
}

}  // namespace
