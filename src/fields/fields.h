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

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "text/cp932.h"

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

// GetFieldAndLocate for a line of at most 64 bytes none of which is above 0x7F, whose commas
// are known: bit k of `commas` for byte k. No byte of such a line can lead, so every comma in it
// separates fields and nothing is stepped through. Inline: row processing asks it of nearly
// every line.
namespace plain {

// Where field n (from 1) of the line followed by `appended` starts and, when a comma ends it,
// that comma; `left` is what FieldSeeker keeps: the fields still to reach when none does. The
// commas are taken one by one, as few as n, and those of `appended` only once the line's run out.
struct Seek {
  std::size_t start = 0;
  std::size_t end = 0;
  std::uint32_t left = 0;
  bool found = false;
};
inline Seek SeekField(std::uint64_t commas, std::size_t size, std::string_view appended,
                      std::uint32_t n) noexcept {
  Seek seek{.left = n};
  const auto comma = [&seek](std::size_t at) {
    if (seek.left == 1) {
      seek.end = at;
      seek.found = true;
      return true;
    }
    --seek.left;
    seek.start = at + 1;
    return false;
  };
  for (; commas != 0; commas &= commas - 1) {
    if (comma(static_cast<std::size_t>(std::countr_zero(commas)))) return seek;
  }
  for (std::size_t at = 0; at < appended.size();) {
    const auto c = static_cast<unsigned char>(appended[at]);
    if (c == ',' && comma(size + at)) return seek;
    at += text::IsLeadByte(c) ? 2u : 1u;
  }
  return seek;
}

}  // namespace plain

inline FieldAndPlace GetFieldAndLocatePlain(std::string_view line, std::uint64_t commas,
                                            std::int32_t column, std::string_view appended,
                                            std::int32_t position) noexcept {
  FieldAndPlace out;
  if (column >= 1) {
    const plain::Seek f =
        plain::SeekField(commas, line.size(), {}, static_cast<std::uint32_t>(column));
    if (f.found) {
      out.field = line.substr(f.start, f.end - f.start);
    } else if (f.left == 1) {
      out.field = line.substr(f.start);  // the line's last field
    }
  }
  if (position >= 1) {
    const plain::Seek p =
        plain::SeekField(commas, line.size(), appended, static_cast<std::uint32_t>(position));
    out.place = p.found ? Replacement{p.start, true, p.end + 1}
                        : Replacement{p.start, false, line.size() + appended.size()};
  }
  return out;
}

}  // namespace talvo::fields
