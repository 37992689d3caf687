// Integer text: the lenient number syntax of the column, write-mode and check-type arguments
// and of the remainder methods' values.
//
// Leading blanks (0x20 only), one optional sign, then decimal digits or a hexadecimal prefix
// ('$', 'x', 'X', "0x", "0X") and hex digits; nothing may follow. Decimal must fit the signed
// range; hexadecimal may have up to 8 (16) significant digits and is read as the two's
// complement of that width, negated after '-'. A NUL byte is an ordinary, non-digit byte: a text
// holding one does not convert (a column padded with NULs must not read as a number).
// Never throws and never allocates.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "text/console_text.h"

namespace talvo::text {

std::optional<std::int32_t> ParseInt(std::string_view s) noexcept;
std::optional<std::int64_t> ParseInt64(std::string_view s) noexcept;

// The message of a failed conversion: "'" + s + "' は整数ではありません", with s the user's.
ConsoleText NotIntegerMessage(std::string_view s);

}  // namespace talvo::text
