// The field routines over arbitrary lines, checked by what must hold between them rather than
// by how they work: splitting a line into its fields and joining them gives the line back, a
// field replaced by itself leaves the line as it was, and a value put into a field can be taken
// out again while the other fields stay.
//
// Input: the line, then the replacement value and its length byte at the end.
#include <climits>
#include <cstdint>
#include <string>
#include <string_view>

#include "fields/fields.h"
#include "fuzz_check.h"

namespace {

using talvo::fields::CountFields;
using talvo::fields::GetField;
using talvo::fields::ReplaceField;

// Every comma byte separates, whatever byte comes before it: a comma is never the second byte
// of a character.
std::int32_t SeparatingCommas(std::string_view line) {
  std::int32_t commas = 0;
  for (const char c : line) commas += c == ',' ? 1 : 0;
  return commas;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  talvo::fuzz::TailReader input(data, size);
  const std::string_view value = input.Text();
  const std::string_view line = input.Rest();

  const std::int32_t k = CountFields(line);
  FUZZ_CHECK(k == SeparatingCommas(line) + 1, "field count is not the separating commas plus 1");

  std::string joined;
  for (std::int32_t n = 1; n <= k; ++n) {
    const std::string_view field = GetField(line, n);
    if (n > 1) joined.push_back(',');
    joined.append(field);
    FUZZ_CHECK(ReplaceField(line, n, field) == line, "a field replaced by itself changed the line");
  }
  FUZZ_CHECK(joined == line, "the fields joined with commas are not the line");

  for (const std::int32_t n : {0, -1, INT_MIN}) {
    FUZZ_CHECK(GetField(line, n).empty(), "a field before the first is not empty");
    FUZZ_CHECK(ReplaceField(line, n, value) == std::string(value) + std::string(line),
               "a value for a field before the first does not go in front of the line");
  }
  for (const std::int32_t n : {k + 1, INT_MAX}) {
    FUZZ_CHECK(GetField(line, n).empty(), "a field after the last is not empty");
    FUZZ_CHECK(ReplaceField(line, n, value) == ReplaceField(line, k, value),
               "a field after the last does not replace the last");
  }

  // The value goes into field n and nowhere else.
  if (SeparatingCommas(value) == 0) {
    // The first, a middle and the last field: enough to see the fields kept apart without the
    // cost growing with the square of a long line's field count.
    for (const std::int32_t n : {1, (k + 1) / 2, k}) {
      const std::string replaced = ReplaceField(line, n, value);
      FUZZ_CHECK(CountFields(replaced) == k, "replacing a field changed the field count");
      for (std::int32_t m = 1; m <= k; ++m) {
        FUZZ_CHECK(GetField(replaced, m) == (m == n ? value : GetField(line, m)),
                   "replacing a field changed another one");
      }
    }
  }
  return 0;
}
