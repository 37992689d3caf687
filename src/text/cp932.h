// Code-page-932 character stepping.
//
// A lead byte (0x81-0x9F, 0xE0-0xFC) and the byte after it are one character only when that
// byte can be the second byte of a code-page-932 character (0x40-0x7E, 0x80-0xFC). Any other
// byte after a lead byte (a comma, CR, LF, NUL, a digit, '/', a blank, a double quote) is read
// as itself, and so is a lead byte at the very end of a text. Valid code-page-932 text steps as
// it always has ("表" is 0x95 0x5C and still hides its 0x5C from a search for '\'), but a
// stray lead byte, or UTF-8 text whose bytes happen to lead, can never swallow a comma, a quote
// or a separator after it.
#pragma once

#include <cstddef>
#include <string_view>

namespace talvo::text {

constexpr bool IsLeadByte(unsigned char b) noexcept {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

constexpr bool IsSecondByte(unsigned char b) noexcept {
  return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

// The number of bytes of the character that starts at s[i]: 2 for a lead byte followed by a
// byte that can be its second byte, 1 otherwise. i < s.size().
constexpr std::size_t CharacterWidth(std::string_view s, std::size_t i) noexcept {
  return IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size() &&
                 IsSecondByte(static_cast<unsigned char>(s[i + 1]))
             ? 2
             : 1;
}

// Index of the last byte equal to `sought` that starts a character, or npos. A byte that can
// never be a second byte (a '/', say) is found wherever it stands.
std::size_t FindLastByte(std::string_view s, char sought) noexcept;

}  // namespace talvo::text
