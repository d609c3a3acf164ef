#include <simdjson.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "core/api/decode_utf8.hpp"
#include "core/api/record_fields.hpp"
#include "core/api/records.hpp"

namespace orvane {
namespace {

void appendString(std::string& out, std::string_view s) {
  std::string repaired;
  if (!simdjson::validate_utf8(s.data(), s.size())) {
    repaired = repairUtf8(s);
    s = repaired;
  }
  out += '"';
  for (const char ch : s) {
    switch (ch) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      default:
        if (static_cast<unsigned char>(ch) < 0x20) {
          static constexpr char kHex[] = "0123456789abcdef";
          out += "\\u00";
          out += kHex[(ch >> 4) & 0xF];
          out += kHex[ch & 0xF];
        } else {
          out += ch;
        }
    }
  }
  out += '"';
}

// Appends the "key": prefix, with a comma before every member but the first.
class ObjectWriter {
 public:
  explicit ObjectWriter(std::string& out) : out_(out) { out_ += '{'; }
  ~ObjectWriter() { out_ += '}'; }
  ObjectWriter(const ObjectWriter&) = delete;
  ObjectWriter& operator=(const ObjectWriter&) = delete;

  void field(std::string_view key, std::int64_t v) {
    char buf[24];
    const auto end = std::to_chars(buf, buf + sizeof buf, v).ptr;
    this->key(key);
    out_.append(buf, end);
  }
  void field(std::string_view key, double v) {
    this->key(key);
    if (!std::isfinite(v)) {
      out_ += "null";
      return;
    }
    char buf[32];
    const auto end = std::to_chars(buf, buf + sizeof buf, v).ptr;
    out_.append(buf, end);
  }
  void field(std::string_view key, const std::string& v) {
    this->key(key);
    appendString(out_, v);
  }
  void field(std::string_view key, const std::vector<std::string>& v) {
    this->key(key);
    out_ += '[';
    for (std::size_t i = 0; i < v.size(); ++i) {
      if (i) out_ += ',';
      appendString(out_, v[i]);
    }
    out_ += ']';
  }
  template <class T>
  void field(std::string_view key, const std::optional<T>& v) {
    if (v) field(key, *v);
  }

 private:
  void key(std::string_view k) {
    if (!first_) out_ += ',';
    first_ = false;
    appendString(out_, k);
    out_ += ':';
  }

  std::string& out_;
  bool first_ = true;
};

}  // namespace

// Written from the campaign's field table, so the keys and their order are the decoder's.
std::string encodeCamp(const Camp& camp) {
  std::string out;
  out.reserve(1024);
  {
    ObjectWriter w(out);
    std::apply([&](const auto&... field) { (w.field(field.key, camp.*field.member), ...); },
               records::Fields<Camp>::fields);
  }
  return out;
}

}  // namespace orvane
