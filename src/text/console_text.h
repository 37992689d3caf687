// A text for the console, put together from pieces that are either the program's own (its
// code-page-932 literals and the numbers it formats) or the user's (an argument, the program's
// name). The console may show the program's own pieces in another character set; the user's
// bytes are shown exactly as they were given, since only the user knows what they stand for.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace talvo::text {

class ConsoleText {
 public:
  // Each appends a piece; an empty one adds nothing, and a piece of the same origin as the one
  // before it is joined to it, so that equal texts compare equal however they were built.
  ConsoleText& Own(std::string_view bytes);
  ConsoleText& User(std::string_view bytes);
  ConsoleText& Append(const ConsoleText& more);

  // Every piece as it was given: the text as a code-page-932 console shows it.
  std::string Bytes() const;

  // The pieces in order, each own piece through `convert`. An own piece that `convert` cannot
  // take (nullopt) is kept as it was rather than lost.
  using Converter = std::function<std::optional<std::string>(std::string_view)>;
  std::string Join(const Converter& convert) const;

  bool operator==(const ConsoleText&) const = default;

 private:
  struct Piece {
    std::string bytes;
    bool own;
    bool operator==(const Piece&) const = default;
  };
  ConsoleText& Add(std::string_view bytes, bool own);

  std::vector<Piece> pieces_;
};

}  // namespace talvo::text
