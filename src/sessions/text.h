// Small text helpers of the session arrangement.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/variant.h"

namespace kelv::sessions {

// Without ASCII white space and ideographic spaces (U+3000) at either end.
std::string Trimmed(std::string_view s);

// The names a cell lists, split at 、 , ， ; ； and white space: "01、02 03"
// is 01, 02, 03. A number is one name, its text.
std::vector<std::string> SplitNames(const host::Variant& cell);

// 1234567 as "1,234,567".
std::string Thousands(int64_t n);

}  // namespace kelv::sessions
