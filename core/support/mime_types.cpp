#include "core/support/mime_types.hpp"

#include <cctype>
#include <string>

#include "orvane/mime_type.hpp"

namespace orvane {

namespace {

std::unordered_map<std::string_view, std::string_view> buildMimeTypes() {
  struct Group {
    std::string_view type;
    std::initializer_list<std::string_view> extensions;
  };
  const Group groups[] = {
      {"text/html", {"html", "htm", "shtml"}},
      {"text/css", {"css"}},
      {"text/xml", {"xml"}},
      {"text/mathml", {"mml"}},
      {"text/plain", {"txt"}},
      {"text/vnd.sun.j2me.app-descriptor", {"jad"}},
      {"text/vnd.wap.wml", {"wml"}},
      {"text/x-component", {"htc"}},
      {"image/gif", {"gif"}},
      {"image/jpeg", {"jpeg", "jpg"}},
      {"image/png", {"png"}},
      {"image/tiff", {"tif", "tiff"}},
      {"image/vnd.wap.wbmp", {"wbmp"}},
      {"image/x-icon", {"ico"}},
      {"image/x-jng", {"jng"}},
      {"image/x-ms-bmp", {"bmp"}},
      {"image/svg+xml", {"svg", "svgz"}},
      {"image/webp", {"webp"}},
      {"application/javascript", {"js"}},
      {"application/atom+xml", {"atom"}},
      {"application/rss+xml", {"rss"}},
      {"application/font-woff", {"woff"}},
      {"application/java-archive", {"jar", "war", "ear"}},
      {"application/json", {"json"}},
      {"application/mac-binhex40", {"hqx"}},
      {"application/msword", {"doc"}},
      {"application/pdf", {"pdf"}},
      {"application/postscript", {"ps", "eps", "ai"}},
      {"application/rtf", {"rtf"}},
      {"application/vnd.apple.mpegurl", {"m3u8"}},
      {"application/vnd.ms-excel", {"xls"}},
      {"application/vnd.ms-fontobject", {"eot"}},
      {"application/vnd.ms-powerpoint", {"ppt"}},
      {"application/vnd.wap.wmlc", {"wmlc"}},
      {"application/vnd.google-earth.kml+xml", {"kml"}},
      {"application/vnd.google-earth.kmz", {"kmz"}},
      {"application/x-7z-compressed", {"7z"}},
      {"application/x-cocoa", {"cco"}},
      {"application/x-java-archive-diff", {"jardiff"}},
      {"application/x-java-jnlp-file", {"jnlp"}},
      {"application/x-makeself", {"run"}},
      {"application/x-perl", {"pl", "pm"}},
      {"application/x-pilot", {"prc", "pdb"}},
      {"application/x-rar-compressed", {"rar"}},
      {"application/x-redhat-package-manager", {"rpm"}},
      {"application/x-sea", {"sea"}},
      {"application/x-shockwave-flash", {"swf"}},
      {"application/x-stuffit", {"sit"}},
      {"application/x-tcl", {"tcl", "tk"}},
      {"application/x-x509-ca-cert", {"der", "pem", "crt"}},
      {"application/x-xpinstall", {"xpi"}},
      {"application/xhtml+xml", {"xhtml"}},
      {"application/xspf+xml", {"xspf"}},
      {"application/zip", {"zip"}},
      {"application/epub+zip", {"epub"}},
      {"application/vnd.openxmlformats-officedocument.wordprocessingml.document", {"docx"}},
      {"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet", {"xlsx"}},
      {"application/vnd.openxmlformats-officedocument.presentationml.presentation", {"pptx"}},
      {"audio/midi", {"mid", "midi", "kar"}},
      {"audio/mpeg", {"mp3"}},
      {"audio/ogg", {"ogg"}},
      {"audio/x-m4a", {"m4a"}},
      {"audio/x-realaudio", {"ra"}},
      {"video/3gpp", {"3gpp", "3gp"}},
      {"video/mp2t", {"ts"}},
      {"video/mp4", {"mp4"}},
      {"video/mpeg", {"mpeg", "mpg"}},
      {"video/quicktime", {"mov"}},
      {"video/webm", {"webm"}},
      {"video/x-flv", {"flv"}},
      {"video/x-m4v", {"m4v"}},
      {"video/x-mng", {"mng"}},
      {"video/x-ms-asf", {"asx", "asf"}},
      {"video/x-ms-wmv", {"wmv"}},
      {"video/x-msvideo", {"avi"}},
  };
  std::unordered_map<std::string_view, std::string_view> table;
  for (const auto& group : groups) {
    for (const auto extension : group.extensions) table.emplace(extension, group.type);
  }
  return table;
}

std::string lowerAscii(std::string_view text) {
  std::string out(text);
  for (auto& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// The part of the last path component after its last dot; empty when there is none.
std::string_view pathExtension(std::string_view path) {
  while (!path.empty() && path.back() == '/') path.remove_suffix(1);
  const auto slash = path.rfind('/');
  const auto component = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const auto dot = component.rfind('.');
  return dot == std::string_view::npos ? std::string_view() : component.substr(dot + 1);
}

bool isSchemeChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
}

// The path of a URL reference: without scheme, authority, query and fragment.
std::string_view urlPath(std::string_view url) {
  url = url.substr(0, url.find('#'));
  url = url.substr(0, url.find('?'));
  const auto colon = url.find(':');
  if (colon != std::string_view::npos && colon > 0 && std::isalpha(static_cast<unsigned char>(url[0]))) {
    bool scheme = true;
    for (std::size_t i = 0; i < colon; ++i) scheme = scheme && isSchemeChar(url[i]);
    if (scheme) url.remove_prefix(colon + 1);
  }
  if (url.starts_with("//")) {
    const auto pathStart = url.find('/', 2);
    url = pathStart == std::string_view::npos ? std::string_view() : url.substr(pathStart);
  }
  return url;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string percentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

const std::unordered_map<std::string_view, std::string_view>& mimeTypes() {
  static const auto table = buildMimeTypes();
  return table;
}

std::string_view mimeTypeForExtension(std::string_view extension) {
  const auto& table = mimeTypes();
  const auto it = table.find(lowerAscii(extension));
  return it == table.end() ? std::string_view() : it->second;
}

std::string mimeType(std::string_view path) {
  const auto type = mimeTypeForExtension(pathExtension(path));
  return std::string(type.empty() ? kDefaultMimeType : type);
}

std::string mimeTypeOfUrl(std::string_view url) {
  // Escapes in the path count as their characters, as with a parsed URL's path.
  return mimeType(percentDecode(urlPath(url)));
}

}  // namespace orvane
