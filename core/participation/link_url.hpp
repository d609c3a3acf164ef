#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "orvane/link_policy.hpp"

// Checks and mends the link texts the server sends before they reach the system's
// URL opener. Which of them may be opened at all: `checkServerLink`.

namespace orvane {

// Whether `text` is a well-formed URL reference: not empty; only characters that a
// URL may hold, with every '%' starting an escape of two hex digits; at most one '#';
// brackets only in the authority; a scheme, when there is one, of a letter followed
// by letters, digits, '+', '-' or '.'.
bool parsesAsUrl(std::string_view text);

// Percent-encodes (upper-case hex) every byte outside the characters a URL fragment
// may hold: letters, digits and !$&'()*+,-./:;=?@_~. '%' and '#' are encoded too.
std::string percentEncodeFragmentAllowed(std::string_view text);

// The landing link as it is opened: the text itself when it parses, else its
// fragment-allowed encoding when that parses; absent when neither does.
std::optional<std::string> openableLink(std::string_view text);

}  // namespace orvane
