#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvane::sandbox {

using Fields = std::vector<std::pair<std::string, std::string>>;

// Percent-decoding only: a literal '+' stays '+', because the clients encode the query
// component without the form convention. A malformed escape is kept as written.
std::string percentDecode(std::string_view text);

// Splits a raw query into decoded pairs in their order. A bare name gives an empty value.
Fields parseQuery(std::string_view rawQuery);

// First value of `name`, or nullptr.
const std::string* findField(const Fields& fields, std::string_view name);

std::string htmlEscape(std::string_view text);

bool isValidUtf8(std::string_view text);

}  // namespace orvane::sandbox
