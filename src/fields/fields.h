// Comma-separated fields of one line.
//
// Every comma byte separates two fields. A comma is never the second byte of a character, so
// finding fields is a byte search, the same for code-page-932 text, UTF-8 text and plain ASCII.
// Double quotes and blanks mean nothing, nothing is trimmed, and an empty line is one empty
// field. A NUL byte is an ordinary byte, so lines from fixed-width exports padded with NULs keep
// all their fields.
//
// Every routine here finds its commas through ForEachCommaMask and seeks its field with
// FieldSeeker: one rule, whatever the caller. None allocates except ReplaceField's result, and
// none costs more for a field number beyond the line's last field than for the last field.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "text/byte_words.h"

namespace talvo::fields {

// Calls `commas(mask, base)` for each stretch of 64 bytes of `bytes` in turn: bit k of mask is
// set for a comma at position base + k, where positions count from `offset` at the first byte.
// Stops when it returns true, and returns whether it did. Sixteen bytes are looked at in one
// step, so a line of up to 64 bytes (the common line of an export) has all its commas from one
// mask.
template <typename Commas>
inline bool ForEachCommaMask(std::string_view bytes, std::size_t offset, Commas&& commas) {
  namespace words = text::words;
  const char* const p = bytes.data();
  const std::size_t n = bytes.size();
  for (std::size_t at = 0; at < n; at += 64) {
    const std::size_t m = n - at < 64 ? n - at : 64;
    std::uint64_t mask = 0;
    if constexpr (words::kEnabled) {
      mask = words::ByteMask64(p + at, m, ',');
    } else {
      for (std::size_t k = 0; k < m; ++k) mask |= std::uint64_t{p[at + k] == ','} << k;
    }
    if (commas(mask, offset + at)) return true;
  }
  return false;
}

// Where ReplaceField puts a value: the result is the first `prefix` bytes of the text, the
// value, a comma when `comma` is set, and the text from `rest` on. Lets the caller write the
// pieces straight to the output without building the line.
struct Replacement {
  std::size_t prefix = 0;
  bool comma = false;
  std::size_t rest = 0;
};

// Seeks field n among the separating commas of a text, told to it in order: where the field
// starts and the comma that ends it.
class FieldSeeker {
 public:
  explicit FieldSeeker(std::int32_t n) noexcept
      : left_(n < 1 ? 0 : static_cast<std::uint32_t>(n)), done_(n < 1) {}
  bool Done() const noexcept { return done_; }
  // Told the commas in order, a mask at a time (bit k for a comma at base + k); returns
  // Done(). Only as many commas are looked at as it takes to reach the field.
  [[gnu::always_inline]] bool Commas(std::uint64_t mask, std::size_t base) noexcept {
    if (done_) return true;
    // Each comma before the one that ends the field passes a field; the field starts after the
    // last one passed.
    std::uint64_t passed = 0;
    for (; left_ > 1 && mask != 0; --left_) {
      passed = mask;
      mask &= mask - 1;
    }
    if (passed != 0) start_ = base + static_cast<std::size_t>(std::countr_zero(passed)) + 1;
    if (mask == 0) return false;
    end_ = base + static_cast<std::size_t>(std::countr_zero(mask));
    done_ = true;
    return true;
  }
  // The field, once every comma of `line` is told: one not ended by a comma ends with the line
  // when it is the line's last field, and is empty otherwise.
  [[gnu::always_inline]] std::string_view Field(std::string_view line) const noexcept {
    if (left_ == 0) return {};  // n < 1
    if (done_) return {line.data() + start_, end_ - start_};
    return left_ == 1 ? std::string_view{line.data() + start_, line.size() - start_}
                      : std::string_view{};
  }
  // Where the value goes, once every comma of a text of `size` bytes is told: a field not ended
  // by a comma is the last one, which takes the value whatever n was beyond it.
  [[gnu::always_inline]] Replacement Place(std::size_t size) const noexcept {
    if (left_ == 0) return {};  // n < 1: the value goes in front of the whole text
    if (done_) return {start_, true, end_ + 1};
    return {start_, false, size};
  }

 private:
  std::uint32_t left_;     // fields still to reach, counting the one sought; 0 for n < 1
  bool done_;
  std::size_t start_ = 0;  // where the field being looked at begins
  std::size_t end_ = 0;    // the comma that ends the sought field, once done
};

// GetField(line, column), and where ReplaceField(line + appended, position, ...) would put its
// value, from one pass over the line and `appended` (what the caller means to put after the
// line, given apart so that the two need not be joined: positions count in the joined text).
struct FieldAndPlace {
  std::string_view field;
  Replacement place;
};

// The same from the commas of the line and of `appended` as `line_masks(commas)` and
// `appended_masks(commas)` tell them (ForEachCommaMask's contract, each over its own text).
template <typename LineMasks, typename AppendedMasks>
inline FieldAndPlace SeekFieldAndPlace(std::string_view line, LineMasks&& line_masks,
                                       std::int32_t column, std::string_view appended,
                                       AppendedMasks&& appended_masks, std::int32_t position) {
  FieldSeeker field(column);
  FieldSeeker place(position);
  if (!(field.Done() && place.Done())) {
    line_masks([&](std::uint64_t mask, std::size_t base) {
      const bool field_done = field.Commas(mask, base);
      return place.Commas(mask, base) && field_done;
    });
    if (!place.Done()) {
      appended_masks([&](std::uint64_t mask, std::size_t base) { return place.Commas(mask, base); });
    }
  }
  return {field.Field(line), place.Place(line.size() + appended.size())};
}

inline FieldAndPlace GetFieldAndLocate(std::string_view line, std::int32_t column,
                                       std::string_view appended, std::int32_t position) {
  return SeekFieldAndPlace(
      line, [line](auto&& commas) { return ForEachCommaMask(line, 0, commas); }, column,
      appended,
      [&](auto&& commas) { return ForEachCommaMask(appended, line.size(), commas); }, position);
}

// The commas of a text of at most 64 bytes: bit k for a comma at byte k.
inline std::uint64_t CommaMask(std::string_view text) noexcept {
  std::uint64_t mask = 0;
  ForEachCommaMask(text, 0, [&mask](std::uint64_t commas, std::size_t) {
    mask = commas;
    return true;
  });
  return mask;
}

// The same for a line and an appended text of at most 64 bytes each whose commas are already
// known (CommaMask's form), from a look at their bytes made for another reason: row
// processing knows those of a short line from finding its end, and those of what it appends
// to every line from the start.
[[gnu::always_inline]] inline FieldAndPlace GetFieldAndLocate(std::string_view line,
                                                              std::uint64_t commas,
                                                              std::int32_t column,
                                                              std::string_view appended,
                                                              std::uint64_t appended_commas,
                                                              std::int32_t position) {
  FieldSeeker field(column);
  field.Commas(commas, 0);
  FieldSeeker place(position);
  const std::size_t size = line.size() + appended.size();
  if (line.size() < 64 && size <= 64) {
    // The commas of the line and of what follows it, as those of one text.
    place.Commas(commas | appended_commas << line.size(), 0);
  } else if (!place.Commas(commas, 0)) {
    place.Commas(appended_commas, line.size());
  }
  return {field.Field(line), place.Place(size)};
}

// The number of separating commas plus 1.
std::int32_t CountFields(std::string_view line) noexcept;

// The n-th field (from 1); empty when n < 1 or the line has fewer than n fields.
std::string_view GetField(std::string_view line, std::int32_t n) noexcept;

// The line with field n replaced by value. For n beyond the last field the last field is
// replaced; for n < 1 the value is put in front of the whole line, without a comma.
std::string ReplaceField(std::string_view line, std::int32_t n, std::string_view value);

}  // namespace talvo::fields
