#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/support/result.hpp"
#include "core/support/url.hpp"

namespace orvane {

// One query parameter; an absent value is written as the bare name, without '='.
struct QueryItem {
  std::string name;
  std::optional<std::string> value;
};

// name=value pairs joined by '&', each side percent-encoded with everything but the
// unreserved characters (A-Z a-z 0-9 - . _ ~) escaped, so that '+', '&', '=' and '#'
// in a value reach the server as the text the host gave.
std::string encodeQuery(const std::vector<QueryItem>& items);

// An http or https URL split into the parts the request builder touches.
// Strict on purpose: a base URL comes from the host, and a typo should fail the
// request with a reason rather than reach the network half-parsed.
struct BaseUrl {
  std::string scheme;     // "http" or "https", lower case
  std::string authority;  // host with an optional ":port"
  std::string path;       // may be empty
  std::optional<std::string> query;

  static Result<BaseUrl> parse(std::string_view text);

  // The full text with the query replaced (an absent query drops the base's own)
  // and `appendPath` appended to the path as text, with one slash between the two
  // when the path ends in slashes and `appendPath` begins with one. The fragment is never kept:
  // it is not sent to a server anyway.
  std::string with(std::string_view appendPath, const std::optional<std::string>& newQuery) const;
  // The text as parsed, query included.
  std::string text() const;
};

}  // namespace orvane
