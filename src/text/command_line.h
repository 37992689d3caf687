// Splitting a whole command line into its items, for systems that hand the program one line
// (Windows) rather than ready-made arguments.
//
// Items are separated by runs of the bytes 0x01 to 0x20. A double quote opens a quoted stretch
// that runs to the next double quote or to the end of the line; inside it separators belong to
// the item. The quotes are dropped, and a backslash is an ordinary byte, so a path such as
// "C:\work\" keeps its last backslash. A pair of double quotes where an item would begin is
// skipped, so an item is never empty and such a pair on its own is no item at all. The line is
// stepped by code-page-932 characters: the second byte of a double-byte character is never taken
// for a quote or a separator, and neither a quote nor a separator is ever a second byte. The line ends at its first NUL byte, as the system's own does.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace talvo::text {

// Every item of `line`, the program's own name (the first item) included.
std::vector<std::string> SplitCommandLine(std::string_view line);

}  // namespace talvo::text
