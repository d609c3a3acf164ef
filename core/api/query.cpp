#include "core/api/query.hpp"

#include <cctype>

namespace orvane {

namespace {

bool isUnreserved(unsigned char c) {
  return std::isalnum(c) != 0 || c == '-' || c == '.' || c == '_' || c == '~';
}

bool isHex(unsigned char c) { return std::isxdigit(c) != 0; }

// A path's characters; a query and a fragment may also hold '?'.
constexpr CharSet kPathAllowed = kUnreserved.with("!$&'()*+,;=:@/");

bool validHost(std::string_view host) {
  if (host.empty()) return false;
  if (host.front() == '[') {
    if (host.size() < 3 || host.back() != ']') return false;
    for (const char ch : host.substr(1, host.size() - 2)) {
      const auto c = static_cast<unsigned char>(ch);
      if (!isHex(c) && c != ':' && c != '.') return false;
    }
    return true;
  }
  for (const char ch : host) {
    if (!isUnreserved(static_cast<unsigned char>(ch))) return false;
  }
  return true;
}

bool validPort(std::string_view port) {
  if (port.empty() || port.size() > 5) return false;
  long value = 0;
  for (const char ch : port) {
    if (std::isdigit(static_cast<unsigned char>(ch)) == 0) return false;
    value = value * 10 + (ch - '0');
  }
  return value >= 1 && value <= 65535;
}

Error invalid(std::string_view text, std::string_view why) {
  return Error::make(Error::Kind::invalidUrl,
                     "invalid base URL \"" + std::string(text) + "\": " + std::string(why));
}

}  // namespace

std::string encodeQuery(const std::vector<QueryItem>& items) {
  std::string out;
  for (const auto& item : items) {
    if (!out.empty()) out += '&';
    out += percentEncode(item.name);
    if (item.value) {
      out += '=';
      out += percentEncode(*item.value);
    }
  }
  return out;
}

Result<BaseUrl> BaseUrl::parse(std::string_view text) {
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c <= 0x20 || c >= 0x7F) return invalid(text, "contains a space, a control or a non-ASCII character");
  }
  const auto schemeEnd = text.find("://");
  if (schemeEnd == std::string_view::npos) return invalid(text, "no scheme");
  std::string scheme(text.substr(0, schemeEnd));
  for (auto& ch : scheme) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  if (scheme != "http" && scheme != "https") return invalid(text, "scheme is not http or https");

  auto rest = text.substr(schemeEnd + 3);
  const auto authorityEnd = rest.find_first_of("/?#");
  const auto authority = rest.substr(0, authorityEnd);
  rest = authorityEnd == std::string_view::npos ? std::string_view() : rest.substr(authorityEnd);
  if (authority.find('@') != std::string_view::npos) return invalid(text, "user information is not accepted");

  // The port is what follows the last ':' outside an IPv6 literal.
  auto host = authority;
  const auto closing = authority.rfind(']');
  const auto colon = authority.rfind(':');
  if (colon != std::string_view::npos && (closing == std::string_view::npos || colon > closing)) {
    host = authority.substr(0, colon);
    if (!validPort(authority.substr(colon + 1))) return invalid(text, "bad port");
  }
  if (!validHost(host)) return invalid(text, "bad or empty host");

  BaseUrl url;
  url.scheme = std::move(scheme);
  url.authority = std::string(authority);

  const auto fragmentStart = rest.find('#');
  if (fragmentStart != std::string_view::npos) {
    if (!isPercentEncoded(rest.substr(fragmentStart + 1), kFragmentAllowed))
      return invalid(text, "bad fragment");
    rest = rest.substr(0, fragmentStart);
  }
  const auto queryStart = rest.find('?');
  if (queryStart != std::string_view::npos) {
    const auto query = rest.substr(queryStart + 1);
    if (!isPercentEncoded(query, kFragmentAllowed)) return invalid(text, "bad query");
    url.query = std::string(query);
    rest = rest.substr(0, queryStart);
  }
  if (!isPercentEncoded(rest, kPathAllowed)) return invalid(text, "bad path");
  url.path = std::string(rest);
  return url;
}

std::string BaseUrl::with(std::string_view appendPath, const std::optional<std::string>& newQuery) const {
  // Hosts write base URLs with and without a trailing slash; the endpoint paths start
  // with one, and "v1//view" is a different resource to many servers.
  std::string_view basePath = path;
  if (!appendPath.empty() && appendPath.front() == '/') {
    while (!basePath.empty() && basePath.back() == '/') basePath.remove_suffix(1);
  }
  std::string out = scheme + "://" + authority;
  out += basePath;
  out += appendPath;
  if (newQuery) {
    out += '?';
    out += *newQuery;
  }
  return out;
}

std::string BaseUrl::text() const { return with({}, query); }

}  // namespace orvane
