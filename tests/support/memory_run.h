// Row processing and the method table over values in memory, for tests, benchmarks and
// fuzzing. The program itself never links this: it runs rows over its open files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "driver/failure.h"
#include "driver/line_reader.h"
#include "driver/rows.h"

namespace talvo::test_support {

// The whole of row processing over bytes in memory: what the output file holds afterwards and
// the failure that ended it, if one did.
struct MemoryRun {
  std::string output;
  std::optional<driver::Failure> failure;
};
MemoryRun ProcessRowsInMemory(const driver::RowSettings& settings, std::string_view input,
                              std::size_t block = driver::LineReader::kDefaultBlock);

// Runs the method of `code` on value into `result` and returns true; for a code outside the
// table runs nothing, leaves `result` as it was and returns false.
bool RunMethod(std::int32_t code, std::string_view value, std::string& result);

}  // namespace talvo::test_support
