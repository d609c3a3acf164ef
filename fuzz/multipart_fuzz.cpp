// Any field names, values and file bytes must come back out of the body as the same
// parts: no text can close a part early or add a field.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/api/multipart.hpp"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

std::vector<std::string> splitParts(const std::string& body, const std::string& boundary) {
  std::vector<std::string> parts;
  const std::string open = "--" + boundary + "\r\n";
  const std::string delimiter = "\r\n--" + boundary;
  if (body.rfind(open, 0) != 0) return parts;
  std::size_t start = open.size();
  for (;;) {
    const auto end = body.find(delimiter, start);
    if (end == std::string::npos) return parts;
    parts.push_back(body.substr(start, end - start));
    start = end + delimiter.size();
    if (body.compare(start, std::string::npos, "--\r\n") == 0) return parts;
    check(body.compare(start, 2, "\r\n") == 0);
    start += 2;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  orvane::FormFields fields;
  std::vector<orvane::FilePart> files;
  const auto fieldCount = input.ConsumeIntegralInRange<int>(0, 4);
  for (int i = 0; i < fieldCount; ++i) {
    auto name = input.ConsumeRandomLengthString(64);
    if (input.ConsumeBool()) {
      fields.emplace_back(std::move(name), input.ConsumeIntegral<std::int64_t>());
    } else {
      fields.emplace_back(std::move(name), input.ConsumeRandomLengthString(256));
    }
  }
  const auto fileCount = input.ConsumeIntegralInRange<int>(0, 3);
  for (int i = 0; i < fileCount; ++i) {
    files.push_back({"uploadfiles[]", "image" + std::to_string(i) + ".jpg", "image/jpeg",
                     input.ConsumeRandomLengthString(512)});
  }

  const auto boundary = orvane::Multipart::chooseBoundary(fields, files);
  const auto body = orvane::Multipart::encode(fields, files, boundary);
  const auto parts = splitParts(body, boundary);
  check(parts.size() == fields.size() + files.size());

  for (std::size_t i = 0; i < parts.size(); ++i) {
    const auto headerEnd = parts[i].find("\r\n\r\n");
    check(headerEnd != std::string::npos);
    const auto headers = parts[i].substr(0, headerEnd);
    const auto content = parts[i].substr(headerEnd + 4);
    if (i < fields.size()) {
      // One header line, the name inside it with no quote or line break of its own.
      check(headers.find("\r\n") == std::string::npos);
      const std::string prefix = "Content-Disposition: form-data; name=\"";
      check(headers.rfind(prefix, 0) == 0 && headers.back() == '"');
      const auto name = headers.substr(prefix.size(), headers.size() - prefix.size() - 1);
      check(name.find('"') == std::string::npos);
      check(name == orvane::Multipart::escapeHeaderValue(fields[i].first));
      check(content == orvane::Multipart::valueText(fields[i].second));
    } else {
      check(content == files[i - fields.size()].data);
    }
  }
  return 0;
}
