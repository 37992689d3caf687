// The method table: check type 0 to 10 selects one of the eleven check methods.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace talvo::driver {

// A check method: the result for `value` into `result`, reusing its storage.
using Method = void (*)(std::string_view value, std::string& result);

// The method of `code`, or nullptr for a code outside the table. Looked up once for a run, so
// that each line makes one call.
Method LookUpMethod(std::int32_t code);

}  // namespace talvo::driver
