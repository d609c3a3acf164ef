#pragma once

#include <string>

namespace demo {

// With a display: a small host window with the facade's options and a button that
// presents the wall. Returns at once; the event loop does the rest.
void showHostWindow(const std::string& mkey, const std::string& mckey);

}  // namespace demo
