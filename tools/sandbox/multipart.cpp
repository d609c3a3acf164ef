#include "tools/sandbox/multipart.hpp"

#include <algorithm>
#include <cctype>

namespace orvane::sandbox {

namespace {

std::string lower(std::string_view s) {
  std::string out(s);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

struct HeaderValue {
  std::string value;                                        // the part before the first ';', lower-cased
  std::vector<std::pair<std::string, std::string>> params;  // names lower-cased
};

// Parses `value; a=b; c="d;e"`, honouring quotes and backslash escapes inside them.
HeaderValue parseHeaderValue(std::string_view text) {
  HeaderValue out;
  std::size_t i = 0;
  auto readToken = [&](std::string_view stops) {
    const std::size_t start = i;
    while (i < text.size() && stops.find(text[i]) == std::string_view::npos) ++i;
    return trim(text.substr(start, i - start));
  };
  out.value = lower(readToken(";"));
  while (i < text.size()) {
    ++i;  // ';'
    std::string name = lower(readToken("=;"));
    std::string value;
    if (i < text.size() && text[i] == '=') {
      ++i;
      while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
      if (i < text.size() && text[i] == '"') {
        ++i;
        while (i < text.size() && text[i] != '"') {
          if (text[i] == '\\' && i + 1 < text.size()) ++i;
          value.push_back(text[i++]);
        }
        if (i < text.size()) ++i;  // closing quote
        readToken(";");            // ignore trailing junk
      } else {
        value = std::string(readToken(";"));
      }
    }
    if (!name.empty()) out.params.emplace_back(std::move(name), std::move(value));
  }
  return out;
}

const std::string* param(const HeaderValue& h, std::string_view name) {
  for (const auto& [k, v] : h.params) {
    if (k == name) return &v;
  }
  return nullptr;
}

}  // namespace

std::optional<std::string> multipartBoundary(std::string_view contentType) {
  const HeaderValue h = parseHeaderValue(contentType);
  if (h.value != "multipart/form-data") return std::nullopt;
  const std::string* b = param(h, "boundary");
  // RFC 2046 allows 1 to 70 characters.
  if (b == nullptr || b->empty() || b->size() > 70) return std::nullopt;
  return *b;
}

MultipartResult parseMultipart(std::string_view body, std::string_view boundary) {
  MultipartResult result;
  if (boundary.empty()) {
    result.error = "empty boundary";
    return result;
  }
  const std::string delimiter = "--" + std::string(boundary);
  const std::string innerDelimiter = "\r\n" + delimiter;

  // The first delimiter opens the body, or follows a preamble that ends in CRLF.
  std::size_t pos;
  if (body.substr(0, delimiter.size()) == delimiter) {
    pos = delimiter.size();
  } else {
    const auto found = body.find(innerDelimiter);
    if (found == std::string_view::npos) {
      result.error = "boundary not found in body";
      return result;
    }
    pos = found + innerDelimiter.size();
  }

  while (true) {
    if (body.substr(pos, 2) == "--") return result;  // closing delimiter
    while (pos < body.size() && (body[pos] == ' ' || body[pos] == '\t')) ++pos;
    if (body.substr(pos, 2) != "\r\n") {
      result.error = "malformed delimiter line";
      return result;
    }
    pos += 2;

    const auto headerEnd = body.find("\r\n\r\n", pos);
    const auto nextDelimiter = body.find(innerDelimiter, pos);
    const bool noHeaders = body.substr(pos, 2) == "\r\n";
    if (!noHeaders && (headerEnd == std::string_view::npos || headerEnd > nextDelimiter)) {
      result.error = "part headers are not terminated";
      return result;
    }
    MultipartPart part;
    bool hasDisposition = false;
    std::string_view headers = noHeaders ? std::string_view{} : body.substr(pos, headerEnd - pos);
    pos = noHeaders ? pos + 2 : headerEnd + 4;
    while (!headers.empty()) {
      const auto eol = headers.find("\r\n");
      const std::string_view line = headers.substr(0, eol);
      headers = eol == std::string_view::npos ? std::string_view{} : headers.substr(eol + 2);
      const auto colon = line.find(':');
      if (colon == std::string_view::npos) {
        result.error = "malformed part header";
        return result;
      }
      const std::string name = lower(trim(line.substr(0, colon)));
      const std::string_view value = trim(line.substr(colon + 1));
      if (name == "content-disposition") {
        const HeaderValue h = parseHeaderValue(value);
        const std::string* fieldName = param(h, "name");
        if (h.value != "form-data" || fieldName == nullptr) {
          result.error = "part is not form-data with a name";
          return result;
        }
        hasDisposition = true;
        part.name = *fieldName;
        if (const std::string* file = param(h, "filename")) part.fileName = *file;
      } else if (name == "content-type") {
        part.contentType = std::string(value);
      }
    }
    if (!hasDisposition) {
      result.error = "part without Content-Disposition";
      return result;
    }

    const auto end = body.find(innerDelimiter, pos);
    if (end == std::string_view::npos) {
      result.error = "body is truncated: closing boundary missing";
      return result;
    }
    part.data = std::string(body.substr(pos, end - pos));
    result.parts.push_back(std::move(part));
    pos = end + innerDelimiter.size();
  }
}

}  // namespace orvane::sandbox
