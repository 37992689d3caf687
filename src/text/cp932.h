// Code-page-932 character stepping.
//
// A lead byte (0x81-0x9F, 0xE0-0xFC) and the byte after it are one character, whatever that
// second byte is, so a search that steps by characters never takes the second byte of a pair
// for the byte it looks for (the 0x5C of "表" is not a '\'). A lead byte at the very end of a
// text is a character of its own.
#pragma once

#include <cstddef>
#include <string_view>

namespace talvo::text {

constexpr bool IsLeadByte(unsigned char b) noexcept {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Index of the first byte equal to `sought` that starts a character, or npos.
std::size_t FindByte(std::string_view s, char sought) noexcept;

// Index of the last byte equal to `sought` that starts a character, or npos.
std::size_t FindLastByte(std::string_view s, char sought) noexcept;

}  // namespace talvo::text
