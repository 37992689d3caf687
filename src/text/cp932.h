// Code-page-932 character stepping.
//
// A lead byte (0x81-0x9F, 0xE0-0xFC) and the byte after it are one character, whatever that
// second byte is, so a search that steps by characters never takes the second byte of a pair
// for the byte it looks for (the 0x5C of "表" is not a '\'). A lead byte at the very end of a
// text is a character of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "text/byte_words.h"

namespace talvo::text {

constexpr bool IsLeadByte(unsigned char b) noexcept {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Index of the first byte equal to `sought` that starts a character, or npos.
std::size_t FindByte(std::string_view s, char sought) noexcept;

// Calls `hit(i)` for every index i of a byte equal to `sought` that starts a character, in
// order, until `hit` returns true; returns that i, or npos when it never did. One pass over the
// text, however many bytes it finds: the field routines count commas with it.
template <typename Hit>
std::size_t ScanCharacterStarts(std::string_view s, char sought, Hit&& hit);

// Index of the last byte equal to `sought` that starts a character, or npos.
std::size_t FindLastByte(std::string_view s, char sought) noexcept;

// True when the last character of `s` is a lead byte without its second byte, so that a byte
// put after `s` would be taken as that second byte. Looks only at the end of `s`.
inline bool EndsInsideCharacter(std::string_view s) noexcept {
  // The byte after the last byte that cannot lead starts a character, whether that byte stood
  // alone or ended a pair; from there on every byte can lead, so they pair up in order and the
  // text ends inside a character exactly when their number is odd.
  std::size_t leads = 0;
  for (std::size_t i = s.size(); i > 0 && IsLeadByte(static_cast<unsigned char>(s[i - 1])); --i) {
    ++leads;
  }
  return leads % 2 == 1;
}

// Eight bytes at a time: a word whose bytes are all below 0x80 holds no lead byte, so every byte
// in it starts a character and the sought bytes are picked out of the word at once. Only from
// the first high byte of a word on is it stepped through one character at a time.
template <typename Hit>
std::size_t ScanCharacterStarts(std::string_view s, char sought, Hit&& hit) {
  const char* const p = s.data();
  const std::size_t n = s.size();
  const auto b = static_cast<unsigned char>(sought);
  std::size_t i = 0;
  if constexpr (words::kEnabled) {
    while (i < n && n >= 8) {
      // The next eight bytes, or, for the last few, the last eight with those already seen
      // shifted out.
      const std::size_t here = n - i;
      std::uint64_t w;
      std::uint64_t in_text = ~std::uint64_t{0};
      if (here >= 8) {
        w = words::Load(p + i);
      } else {
        w = words::Load(p + n - 8) >> (8 * (8 - here));
        in_text = (std::uint64_t{1} << (8 * here)) - 1;
      }
      const std::uint64_t high = w & words::kHighBits & in_text;
      std::uint64_t hits = words::BytesEqual(w, b) & in_text;
      // Bytes below the first high byte are single-byte characters.
      if (high != 0) hits &= (high & (0 - high)) - 1;
      for (; hits != 0; hits &= hits - 1) {
        const std::size_t at = i + words::FirstMarked(hits);
        if (hit(at)) return at;
      }
      const std::size_t word_end = i + (here >= 8 ? 8 : here);
      if (high == 0) {
        i = word_end;
        continue;
      }
      // Step from the first high byte to the end of the word; a pair may reach one byte into
      // the next word, which then starts after it.
      i += words::FirstMarked(high);
      while (i < word_end) {
        const auto c = static_cast<unsigned char>(p[i]);
        if (c == b && hit(i)) return i;
        i += IsLeadByte(c) ? 2u : 1u;
      }
    }
  }
  while (i < n) {
    const auto c = static_cast<unsigned char>(p[i]);
    if (c == b && hit(i)) return i;
    i += IsLeadByte(c) ? 2u : 1u;
  }
  return std::string_view::npos;
}

}  // namespace talvo::text
