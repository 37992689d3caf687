#include "driver/failure.h"

#include <string>

#include "text/integer_text.h"
#include "text/literals.h"

namespace talvo::driver {

std::string IoText(int code) {
  switch (code) {
    case 2: return std::string(text::kIoFileNotFound);
    case 3: return std::string(text::kIoPathNotFound);
    case 4: return std::string(text::kIoTooManyOpenFiles);
    case 5: return std::string(text::kIoAccessDenied);
    default: {
      std::string s(text::kIoErrorOpen);
      s.append(std::to_string(code)).append(text::kIoErrorClose);
      return s;
    }
  }
}

// noinline keeps the return address that of the place that failed.
[[gnu::noinline]] void ThrowIoFailure(int code) {
  throw Failure{text::kInOutErrorKind, text::ConsoleText().Own(IoText(code)),
                reinterpret_cast<std::uintptr_t>(__builtin_return_address(0))};
}

[[gnu::noinline]] void ThrowConvertFailure(std::string_view s) {
  throw Failure{text::kConvertErrorKind, text::NotIntegerMessage(s),
                reinterpret_cast<std::uintptr_t>(__builtin_return_address(0))};
}

}  // namespace talvo::driver
