#include "memory_run.h"

#include "driver/line_writer.h"
#include "driver/methods.h"
#include "memory_streams.h"

namespace talvo::test_support {

MemoryRun ProcessRowsInMemory(const driver::RowSettings& settings, std::string_view input,
                              std::size_t block) {
  MemorySource source(input);
  MemorySink sink;
  driver::LineReader reader(source, block);
  driver::LineWriter writer(sink, block);
  MemoryRun run;
  try {
    driver::ProcessRows(settings, source, reader, writer);
    writer.Flush();
  } catch (const driver::Failure& failure) {
    writer.FlushCompleteLinesQuietly();
    run.failure = failure;
  }
  run.output = std::move(sink.bytes);
  return run;
}

bool RunMethod(std::int32_t code, std::string_view value, std::string& result) {
  const driver::Method method = driver::LookUpMethod(code);
  if (method == nullptr) return false;
  method(value, result);
  return true;
}

}  // namespace talvo::test_support
