#pragma once

#include <string>

namespace demo {

// With a display: a small host window with the facade's options, a button that presents
// the wall and one that shows the carousel in a window of the host's. Returns at once;
// the event loop does the rest.
void showHostWindow(const std::string& mkey, const std::string& mckey);

}  // namespace demo
