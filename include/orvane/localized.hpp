#pragma once

#include <string>
#include <string_view>

#include "orvane/export.hpp"

namespace orvane {

// The user-visible text for `key` in the current language, else in English, else
// the key itself. Callable from any thread.
ORVANE_EXPORT std::string localized(std::string_view key);

}  // namespace orvane
