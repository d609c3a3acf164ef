#pragma once

#include <string>
#include <string_view>

namespace orvane {

// Server HTML as plain UTF-8 text for hosts that draw their own text: tags dropped,
// paragraphs and headings separated by a blank line, <br>, <div>, rows and list items
// on lines of their own (items with a bullet), runs of white space collapsed outside
// <pre>, character references resolved. Scripts, styles, the head and comments leave
// nothing; images and links leave only their text, so nothing the HTML names is ever
// loaded. Ill-formed UTF-8 becomes U+FFFD. Pure; any thread.
std::string htmlToPlainText(std::string_view source);

}  // namespace orvane
