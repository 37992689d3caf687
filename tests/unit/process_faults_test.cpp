// What a run that meets a fault of the process leaves: the failure that any exception is told
// as.
#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>
#include <string>

#include "driver/failure.h"
#include "driver/run.h"
#include "text/literals.h"

namespace {

using talvo::driver::Failure;

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
    EXPECT_EQ(failure.message, rows[k].message) << "row " << k;
    EXPECT_EQ(failure.place, 0x1234u) << "row " << k;
  }
}

}  // namespace
