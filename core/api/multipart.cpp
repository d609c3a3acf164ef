#include "core/api/multipart.hpp"

#include <random>

namespace orvane {

namespace {

constexpr std::string_view kCrlf = "\r\n";
constexpr std::string_view kDisposition = "Content-Disposition: form-data; name=\"";

bool occursIn(std::string_view boundary, const FormFields& fields, const std::vector<FilePart>& files) {
  const auto has = [&](std::string_view text) { return text.find(boundary) != std::string_view::npos; };
  for (const auto& [name, value] : fields) {
    if (has(Multipart::escapeHeaderValue(name))) return true;
    if (const auto* text = std::get_if<std::string>(&value); text && has(*text)) return true;
  }
  for (const auto& file : files) {
    if (has(Multipart::escapeHeaderValue(file.fieldName)) ||
        has(Multipart::escapeHeaderValue(file.fileName)) || has(file.contentType) || has(file.data))
      return true;
  }
  return false;
}

std::string randomBoundary() {
  static constexpr std::string_view kAlphabet =
      "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  thread_local std::mt19937_64 engine{std::random_device{}()};
  std::uniform_int_distribution<std::size_t> pick(0, kAlphabet.size() - 1);
  std::string boundary = "----OrvaneFormBoundary";
  for (int i = 0; i < 24; ++i) boundary += kAlphabet[pick(engine)];
  return boundary;
}

}  // namespace

std::string Multipart::chooseBoundary(const FormFields& fields, const std::vector<FilePart>& files) {
  std::string boundary(kDefaultBoundary);
  // 24 random characters from 62: a repeat is practically impossible, but the
  // check stays so that a collision is never sent.
  while (occursIn(boundary, fields, files)) boundary = randomBoundary();
  return boundary;
}

std::string Multipart::escapeHeaderValue(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '"':
        out += "%22";
        break;
      case '\r':
        out += "%0D";
        break;
      case '\n':
        out += "%0A";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string Multipart::valueText(const FormValue& value) {
  if (const auto* text = std::get_if<std::string>(&value)) return *text;
  return std::to_string(std::get<std::int64_t>(value));
}

std::string Multipart::encode(const FormFields& fields, const std::vector<FilePart>& files,
                              std::string_view boundary) {
  std::string body;
  const auto openPart = [&] {
    body += "--";
    body += boundary;
    body += kCrlf;
  };
  for (const auto& [name, value] : fields) {
    openPart();
    body += kDisposition;
    body += escapeHeaderValue(name);
    body += '"';
    body += kCrlf;
    body += kCrlf;
    body += valueText(value);
    body += kCrlf;
  }
  for (const auto& file : files) {
    openPart();
    body += kDisposition;
    body += escapeHeaderValue(file.fieldName);
    body += "\"; filename=\"";
    body += escapeHeaderValue(file.fileName);
    body += '"';
    body += kCrlf;
    body += "Content-Type: ";
    body += file.contentType;
    body += kCrlf;
    body += kCrlf;
    body += file.data;
    body += kCrlf;
  }
  body += "--";
  body += boundary;
  body += "--";
  body += kCrlf;
  return body;
}

}  // namespace orvane
