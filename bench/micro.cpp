// Micro-benchmarks of the routines every data line goes through: the field routines, integer
// text, each family of check methods on typical values, the line reader, and row processing
// in memory (the whole per-line cost without the file system).
//
//   build-bench/bench/talvo_micro                       all of them
//   build-bench/bench/talvo_micro --benchmark_filter=Field
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "checks/alphabet.h"
#include "checks/modulus10.h"
#include "checks/modulus11.h"
#include "checks/remainder.h"
#include "driver/line_reader.h"
#include "memory_run.h"
#include "memory_streams.h"
#include "driver/rows.h"
#include "fields/fields.h"
#include "text/cp932.h"
#include "text/integer_text.h"

namespace {

using namespace talvo;

// A line of the throughput file, one with Japanese text in the middle field, and a wide one.
constexpr std::string_view kLine = "623347347957,item0,0";
constexpr std::string_view kJapaneseLine =
    "4901234567894,\x8F\xA4\x95\x69\x96\xBC\x81\x40\x83\x5C\x83\x74\x83\x67,12";  // 商品名　ソフト
const std::string kWideLine = [] {
  std::string s;
  for (int k = 0; k < 40; ++k) s += "field" + std::to_string(k) + ",";
  return s + "last";
}();

// ---------------------------------------------------------------------------------------------
// Fields

void BM_CountFields(benchmark::State& state, std::string_view line) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(line);
    benchmark::DoNotOptimize(fields::CountFields(line));
  }
}
BENCHMARK_CAPTURE(BM_CountFields, ascii, kLine);
BENCHMARK_CAPTURE(BM_CountFields, japanese, kJapaneseLine);
BENCHMARK_CAPTURE(BM_CountFields, wide, std::string_view(kWideLine));

void BM_GetField(benchmark::State& state, std::string_view line) {
  const auto n = static_cast<std::int32_t>(state.range(0));
  for (auto _ : state) {
    benchmark::DoNotOptimize(line);
    benchmark::DoNotOptimize(fields::GetField(line, n));
  }
}
BENCHMARK_CAPTURE(BM_GetField, ascii, kLine)->Arg(1)->Arg(3);
BENCHMARK_CAPTURE(BM_GetField, japanese, kJapaneseLine)->Arg(3);
BENCHMARK_CAPTURE(BM_GetField, wide, std::string_view(kWideLine))->Arg(41);

// Where an added last column goes: the line with "," after it, as row processing asks.
void BM_LocateAddedColumn(benchmark::State& state, std::string_view line) {
  const std::int32_t n = fields::CountFields(line) + 1;
  for (auto _ : state) {
    benchmark::DoNotOptimize(line);
    benchmark::DoNotOptimize(fields::GetFieldAndLocate(line, 0, ",", n).place);
  }
}
BENCHMARK_CAPTURE(BM_LocateAddedColumn, ascii, kLine);
BENCHMARK_CAPTURE(BM_LocateAddedColumn, japanese, kJapaneseLine);
BENCHMARK_CAPTURE(BM_LocateAddedColumn, wide, std::string_view(kWideLine));

// What row processing asks of every line: the target field and where an added column goes.
void BM_GetFieldAndLocate(benchmark::State& state, std::string_view line) {
  const std::int32_t n = fields::CountFields(line) + 1;
  for (auto _ : state) {
    benchmark::DoNotOptimize(line);
    benchmark::DoNotOptimize(fields::GetFieldAndLocate(line, 1, ",", n));
  }
}
BENCHMARK_CAPTURE(BM_GetFieldAndLocate, ascii, kLine);
BENCHMARK_CAPTURE(BM_GetFieldAndLocate, japanese, kJapaneseLine);
BENCHMARK_CAPTURE(BM_GetFieldAndLocate, wide, std::string_view(kWideLine));

void BM_ReplaceField(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(fields::ReplaceField(kLine, 2, "6233473479573"));
  }
}
BENCHMARK(BM_ReplaceField);

// ---------------------------------------------------------------------------------------------
// Integer text

void BM_ParseInt(benchmark::State& state, std::string_view s) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(s);
    benchmark::DoNotOptimize(text::ParseInt(s));
  }
}
BENCHMARK_CAPTURE(BM_ParseInt, decimal, std::string_view("12345"));
BENCHMARK_CAPTURE(BM_ParseInt, hexadecimal, std::string_view("$7FFFFFFF"));
BENCHMARK_CAPTURE(BM_ParseInt, not_integer, std::string_view("12a"));

void BM_ParseInt64(benchmark::State& state, std::string_view s) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(s);
    benchmark::DoNotOptimize(text::ParseInt64(s));
  }
}
BENCHMARK_CAPTURE(BM_ParseInt64, eighteen_digits, std::string_view("123456789012345678"));

// ---------------------------------------------------------------------------------------------
// Check methods, one family at a time, into a result kept from call to call as row processing
// keeps it.

template <typename Method>
void RunCheck(benchmark::State& state, std::string_view value, Method method) {
  std::string result;
  for (auto _ : state) {
    benchmark::DoNotOptimize(value);
    method(value, result);
    benchmark::DoNotOptimize(result.data());
  }
}

void BM_Remainder7DR(benchmark::State& state, std::string_view value) {
  RunCheck(state, value, [](std::string_view v, std::string& r) { checks::CheckDR(v, 7, false, r); });
}
BENCHMARK_CAPTURE(BM_Remainder7DR, twelve_digits, std::string_view("623347347957"));
BENCHMARK_CAPTURE(BM_Remainder7DR, thirty_digits,
                  std::string_view("623347347957123456789012345678"));

void BM_Modulus10(benchmark::State& state, std::string_view value) {
  const bool luhn = state.range(0) == 1;
  const int weight = luhn ? 2 : 3;
  RunCheck(state, value, [&](std::string_view v, std::string& r) {
    checks::CheckM10(v, weight, luhn, r);
  });
}
BENCHMARK_CAPTURE(BM_Modulus10, m10w3_twelve_digits, std::string_view("623347347957"))->Arg(0);
BENCHMARK_CAPTURE(BM_Modulus10, luhn_sixteen_digits, std::string_view("4111111111111111"))->Arg(1);

void BM_Modulus11(benchmark::State& state, std::string_view value) {
  RunCheck(state, value, [](std::string_view v, std::string& r) { checks::CheckM11(v, r); });
}
BENCHMARK_CAPTURE(BM_Modulus11, m11, std::string_view("1234567"));

void BM_WeightedModulus11(benchmark::State& state, std::string_view value) {
  RunCheck(state, value,
           [](std::string_view v, std::string& r) { checks::CheckWeightedM11(v, r); });
}
BENCHMARK_CAPTURE(BM_WeightedModulus11, twelve_digits, std::string_view("123456789013"));

void BM_AlphabetM16(benchmark::State& state, std::string_view value) {
  RunCheck(state, value, [](std::string_view v, std::string& r) { checks::CheckM16(v, r); });
}
BENCHMARK_CAPTURE(BM_AlphabetM16, codabar, std::string_view("A1234567890B"));

void BM_AlphabetM43(benchmark::State& state, std::string_view value) {
  RunCheck(state, value, [](std::string_view v, std::string& r) { checks::CheckM43(v, r); });
}
BENCHMARK_CAPTURE(BM_AlphabetM43, code39, std::string_view("Q0Y7426V62WL"));

// ---------------------------------------------------------------------------------------------
// Lines: the reader alone, and row processing in memory, per line.

std::string ManyLines(std::size_t count) {
  std::string s = "code,name,qty\r\n";
  for (std::size_t k = 0; k < count; ++k) {
    s += std::to_string(100000000000u + k * 7919u) + ",item" + std::to_string(k) + "," +
         std::to_string(k % 10) + "\r\n";
  }
  return s;
}

constexpr std::size_t kLines = 100000;

void BM_LineReader(benchmark::State& state) {
  const std::string input = ManyLines(kLines);
  for (auto _ : state) {
    test_support::MemorySource source(input);
    driver::LineReader reader(source);
    while (!reader.AtEnd()) benchmark::DoNotOptimize(reader.ReadLine());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kLines + 1));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(input.size()));
}
BENCHMARK(BM_LineReader)->Unit(benchmark::kMillisecond);

void BM_Rows(benchmark::State& state, driver::RowSettings settings) {
  const std::string input = ManyLines(kLines);
  for (auto _ : state) {
    benchmark::DoNotOptimize(test_support::ProcessRowsInMemory(settings, input).output.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kLines));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(input.size()));
}
BENCHMARK_CAPTURE(BM_Rows, m10w3_added_column, driver::RowSettings{"1", "1", "1", "6"})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Rows, m10w3_overwrite, driver::RowSettings{"1", "1", "0", "6"})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Rows, marked, driver::RowSettings{"1", "x", "1", "6"})
    ->Unit(benchmark::kMillisecond);

}  // namespace
