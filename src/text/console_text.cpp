#include "text/console_text.h"

namespace talvo::text {

ConsoleText& ConsoleText::Own(std::string_view bytes) { return Add(bytes, true); }

ConsoleText& ConsoleText::User(std::string_view bytes) { return Add(bytes, false); }

ConsoleText& ConsoleText::Append(const ConsoleText& more) {
  for (const Piece& piece : more.pieces_) Add(piece.bytes, piece.own);
  return *this;
}

ConsoleText& ConsoleText::Add(std::string_view bytes, bool own) {
  if (bytes.empty()) return *this;
  if (!pieces_.empty() && pieces_.back().own == own) {
    pieces_.back().bytes.append(bytes);
  } else {
    pieces_.push_back({std::string(bytes), own});
  }
  return *this;
}

std::string ConsoleText::Bytes() const {
  std::string s;
  for (const Piece& piece : pieces_) s.append(piece.bytes);
  return s;
}

std::string ConsoleText::Join(const Converter& convert) const {
  std::string s;
  for (const Piece& piece : pieces_) {
    std::optional<std::string> converted;
    if (piece.own) converted = convert(piece.bytes);
    s.append(converted ? *converted : piece.bytes);
  }
  return s;
}

}  // namespace talvo::text
