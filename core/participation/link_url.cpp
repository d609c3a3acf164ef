#include "core/participation/link_url.hpp"

#include <algorithm>
#include <iterator>
#include <string_view>

#include "core/support/url.hpp"

namespace orvane {

namespace {

bool isAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHex(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

bool isFragmentAllowed(char c) {
  return isAlpha(c) || isDigit(c) ||
         std::string_view("!$&'()*+,-./:;=?@_~").find(c) != std::string_view::npos;
}

// Characters a URL may hold literally, '%' and the delimiters included.
bool isUrlCharacter(char c) { return isFragmentAllowed(c) || c == '%' || c == '#' || c == '[' || c == ']'; }

// The end of the scheme's ':' when the text starts with a scheme, 0 when it has none,
// npos when the part before the first ':' cannot be a scheme.
std::size_t schemeEnd(std::string_view text) {
  const auto colon = text.find(':');
  const auto delimiter = text.find_first_of("/?#");
  if (colon == std::string_view::npos || (delimiter != std::string_view::npos && delimiter < colon)) return 0;
  if (colon == 0 || !isAlpha(text[0])) return std::string_view::npos;
  for (std::size_t i = 1; i < colon; ++i) {
    const char c = text[i];
    if (!isAlpha(c) && !isDigit(c) && c != '+' && c != '-' && c != '.') return std::string_view::npos;
  }
  return colon + 1;
}

std::string lowerCase(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
  return out;
}

int hexValue(char c) {
  if (isDigit(c)) return c - '0';
  return (c | 0x20) - 'a' + 10;
}

// One round of percent-decoding; malformed escapes stay as they are.
std::string percentDecoded(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && isHex(text[i + 1]) && isHex(text[i + 2])) {
      out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// Whether "file:" starts a scheme somewhere in `text` (not "profile:").
bool namesFileScheme(std::string_view text) {
  const auto lower = lowerCase(text);
  for (auto at = lower.find("file:"); at != std::string::npos; at = lower.find("file:", at + 1)) {
    const char before = at == 0 ? '/' : lower[at - 1];
    if (!isAlpha(before) && !isDigit(before) && before != '+' && before != '-' && before != '.') return true;
  }
  return false;
}

// Whether `text`, also once or several times percent-decoded, names a file: URL.
bool carriesFileUrl(std::string_view text) {
  std::string current(text);
  for (int round = 0; round < 4; ++round) {
    if (namesFileScheme(current)) return true;
    auto next = percentDecoded(current);
    if (next == current) return false;
    current = std::move(next);
  }
  return namesFileScheme(current);
}

constexpr std::string_view kRefusedSchemes[] = {
    // Local files, programs, browser internals.
    "file", "data", "javascript", "vbscript", "about", "blob", "filesystem", "view-source", "jar", "resource",
    "chrome", "chrome-extension", "moz-extension",
    // What file managers and help viewers open as files or folders.
    "trash", "recent", "computer", "network", "burn", "admin", "archive", "mtp", "gphoto2", "afc", "cdda",
    "smb", "nfs", "afp", "sftp", "ftp", "ftps", "dav", "davs", "ssh", "fish", "man", "info", "help", "ghelp",
    // Our own in-process page.
    "orvane-settings"};

LinkCheck refused(std::string reason) { return LinkCheck{false, std::move(reason)}; }

// The host of an authority "//user@host:port/...", empty when there is none.
std::string_view hostOf(std::string_view afterScheme) {
  if (afterScheme.substr(0, 2) != "//") return {};
  auto authority = afterScheme.substr(2);
  authority = authority.substr(0, authority.find_first_of("/?#"));
  if (const auto at = authority.rfind('@'); at != std::string_view::npos) authority.remove_prefix(at + 1);
  if (!authority.empty() && authority.front() == '[') return authority.substr(0, authority.find(']') + 1);
  return authority.substr(0, authority.find(':'));
}

// Whether a mailto query names a parameter `attach` or `attachment` (any case, encoded or not).
bool mailtoAttaches(std::string_view afterScheme) {
  const auto q = afterScheme.find('?');
  if (q == std::string_view::npos) return false;
  auto query = afterScheme.substr(q + 1);
  query = query.substr(0, query.find('#'));
  while (!query.empty()) {
    const auto amp = query.find('&');
    const auto pair = query.substr(0, amp);
    const auto name = lowerCase(percentDecoded(pair.substr(0, pair.find('='))));
    if (name == "attach" || name == "attachment") return true;
    query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
  }
  return false;
}

}  // namespace

LinkCheck checkServerLink(std::string_view url) {
  if (!parsesAsUrl(url)) return refused("not a URL");
  const auto end = schemeEnd(url);
  if (end == 0 || end == std::string_view::npos) return refused("no scheme");
  const std::string scheme = lowerCase(url.substr(0, end - 1));
  if (scheme.size() < 2) return refused("a drive letter, not a scheme");
  if (std::find(std::begin(kRefusedSchemes), std::end(kRefusedSchemes), scheme) !=
      std::end(kRefusedSchemes)) {
    return refused("the scheme " + scheme + " reaches local resources");
  }
  const auto rest = url.substr(end);
  if (scheme == "http" || scheme == "https") {
    if (hostOf(rest).empty()) return refused("a web link without a host");
    return {true, {}};
  }
  if (carriesFileUrl(rest)) return refused("an application link carrying a file URL");
  if (scheme == "mailto" && mailtoAttaches(rest)) return refused("a mail link attaching files");
  return {true, {}};
}

bool parsesAsUrl(std::string_view text) {
  if (text.empty()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!isUrlCharacter(text[i])) return false;
    if (text[i] == '%' && (i + 2 >= text.size() || !isHex(text[i + 1]) || !isHex(text[i + 2]))) return false;
  }
  const auto hash = text.find('#');
  if (hash != std::string_view::npos && text.find('#', hash + 1) != std::string_view::npos) return false;

  const auto afterScheme = schemeEnd(text);
  if (afterScheme == std::string_view::npos) return false;
  std::size_t authorityEnd = afterScheme;
  if (text.substr(afterScheme, 2) == "//") {
    authorityEnd = text.find_first_of("/?#", afterScheme + 2);
    if (authorityEnd == std::string_view::npos) authorityEnd = text.size();
  }
  return text.find_first_of("[]", authorityEnd) == std::string_view::npos;
}

std::string percentEncodeFragmentAllowed(std::string_view text) {
  return percentEncode(text, kFragmentAllowed);
}

std::optional<std::string> openableLink(std::string_view text) {
  if (parsesAsUrl(text)) return std::string(text);
  auto encoded = percentEncodeFragmentAllowed(text);
  if (parsesAsUrl(encoded)) return encoded;
  return std::nullopt;
}

}  // namespace orvane
