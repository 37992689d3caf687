// Comma-separated fields of one line.
//
// Every comma that starts a code-page-932 character separates two fields: double quotes and
// blanks mean nothing, nothing is trimmed, and an empty line is one empty field. A comma right
// after a lead byte belongs to that character. A NUL byte is an ordinary byte, so lines from
// fixed-width exports padded with NULs keep all their fields.
//
// None of these routines allocates except ReplaceField's result, and none costs more for a
// field number beyond the line's last field than for the last field itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace talvo::fields {

// The number of separating commas plus 1.
std::int32_t CountFields(std::string_view line) noexcept;

// The n-th field (from 1); empty when n < 1 or the line has fewer than n fields.
std::string_view GetField(std::string_view line, std::int32_t n) noexcept;

// Where ReplaceField puts a value: the result is the first `prefix` bytes of the line, the
// value, a comma when `comma` is set, and the line from `rest` on. Lets the caller write the
// pieces straight to the output without building the line.
struct Replacement {
  std::size_t prefix = 0;
  bool comma = false;
  std::size_t rest = 0;
};
Replacement LocateReplacement(std::string_view line, std::int32_t n) noexcept;

// The same for the line with `appended` after it, without joining the two: positions count in
// the joined text, so a position past the line's end falls in `appended`. The comma search runs
// on into `appended` as it would in the joined text: after a line that ends in a lone lead
// byte, the first appended byte is that character's second byte.
Replacement LocateReplacement(std::string_view line, std::string_view appended,
                              std::int32_t n) noexcept;

// GetField(line, column) and LocateReplacement(line, appended, position) from one pass over
// the line: what row processing asks of every data line.
struct FieldAndPlace {
  std::string_view field;
  Replacement place;
};
FieldAndPlace GetFieldAndLocate(std::string_view line, std::int32_t column,
                                std::string_view appended, std::int32_t position) noexcept;

// The line with field n replaced by value. For n beyond the last field the last field is
// replaced; for n < 1 the value is put in front of the whole line, without a comma.
std::string ReplaceField(std::string_view line, std::int32_t n, std::string_view value);

}  // namespace talvo::fields
