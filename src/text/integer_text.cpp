#include "text/integer_text.h"

#include "text/literals.h"

namespace talvo::text {

ConsoleText NotIntegerMessage(std::string_view s) {
  ConsoleText message;
  message.Own(kNotIntegerHead).User(s).Own(kNotIntegerTail);
  return message;
}

}  // namespace talvo::text
