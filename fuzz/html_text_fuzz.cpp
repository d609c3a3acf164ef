// The server's HTML as the C API hands it to hosts: whatever the bytes, the text is
// valid UTF-8, grows at most by a small factor, and text without markup keeps every
// character that is not white space, in order.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "core/api/decode_utf8.hpp"
#include "core/support/html_text.hpp"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

std::string withoutSpace(std::string_view text) {
  std::string out;
  for (const char c : text)
    if (c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != '\f') out += c;
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view html(reinterpret_cast<const char*>(data), size);
  const std::string text = orvane::htmlToPlainText(html);

  std::vector<std::size_t> repairs;
  orvane::repairUtf8(text, &repairs);
  check(repairs.empty());
  // U+FFFD for a stray byte is three; a list item's bullet and break a little more than its tag.
  check(text.size() <= 4 * size + 16);

  std::vector<std::size_t> inputRepairs;
  orvane::repairUtf8(html, &inputRepairs);
  if (inputRepairs.empty() && html.find_first_of("<&") == std::string_view::npos)
    check(withoutSpace(text) == withoutSpace(html));
  return 0;
}
