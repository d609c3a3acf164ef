#include "core/support/html_text.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <utility>

#include "core/api/decode_utf8.hpp"

namespace orvane {

namespace {

enum class Break { none, line, paragraph };

std::string lower(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

Break breakOf(const std::string& name) {
  static constexpr std::array<std::string_view, 12> kParagraph = {
      "p", "h1", "h2", "h3", "h4", "h5", "h6", "blockquote", "pre", "table", "ul", "ol"};
  static constexpr std::array<std::string_view, 14> kLine = {"br", "div",     "li",      "tr",     "dt",
                                                             "dd", "section", "article", "header", "footer",
                                                             "hr", "address", "nav",     "figure"};
  if (std::find(kParagraph.begin(), kParagraph.end(), name) != kParagraph.end()) return Break::paragraph;
  if (std::find(kLine.begin(), kLine.end(), name) != kLine.end()) return Break::line;
  return Break::none;
}

void appendUtf8(std::string& out, std::uint32_t cp) {
  if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// The character a reference at `text` (after '&') stands for, and its length with the
// ';'; nothing when it is none we know (the '&' then stays as it is).
std::pair<std::uint32_t, std::size_t> reference(std::string_view text) {
  static constexpr std::pair<std::string_view, std::uint32_t> kNamed[] = {
      {"amp", '&'},      {"lt", '<'},       {"gt", '>'},       {"quot", '"'},      {"apos", '\''},
      {"nbsp", ' '},     {"middot", 0xB7},  {"bull", 0x2022},  {"hellip", 0x2026}, {"mdash", 0x2014},
      {"ndash", 0x2013}, {"lsquo", 0x2018}, {"rsquo", 0x2019}, {"ldquo", 0x201C},  {"rdquo", 0x201D},
      {"copy", 0xA9},    {"reg", 0xAE},     {"trade", 0x2122}, {"times", 0xD7},    {"laquo", 0xAB},
      {"raquo", 0xBB},   {"won", 0x20A9},   {"yen", 0xA5},     {"euro", 0x20AC},   {"deg", 0xB0}};
  const std::size_t semi = text.find(';');
  if (semi == std::string_view::npos || semi == 0 || semi > 10) return {0, 0};
  const std::string_view name = text.substr(0, semi);
  if (name[0] == '#') {
    std::uint32_t cp = 0;
    const bool hex = name.size() > 1 && (name[1] == 'x' || name[1] == 'X');
    const std::string_view digits = name.substr(hex ? 2 : 1);
    if (digits.empty()) return {0, 0};
    for (const char c : digits) {
      const int v = std::isdigit(static_cast<unsigned char>(c))           ? c - '0'
                    : hex && std::isxdigit(static_cast<unsigned char>(c)) ? (std::tolower(c) - 'a' + 10)
                                                                          : -1;
      if (v < 0) return {0, 0};
      cp = std::min<std::uint32_t>(cp * (hex ? 16 : 10) + static_cast<std::uint32_t>(v), 0x110000);
    }
    return {cp, semi + 1};
  }
  for (const auto& [key, cp] : kNamed)
    if (key == name) return {cp, semi + 1};
  return {0, 0};
}

class Writer {
 public:
  void text(std::string_view chunk, bool preformatted) {
    for (const char c : chunk) {
      if (!preformatted && isSpace(c)) {
        space_ = true;
        continue;
      }
      if (preformatted && c == '\n') {
        flushBreak();
        out_ += '\n';
        space_ = false;
        continue;
      }
      if (c == '\r' && preformatted) continue;
      put(std::string_view(&c, 1));
    }
  }
  void character(std::uint32_t cp) {
    std::string bytes;
    appendUtf8(bytes, cp);
    put(bytes);
  }
  void addBreak(Break b) {
    if (b == Break::none || out_.empty()) return;
    pending_ = std::max(pending_, b);
    space_ = false;
  }
  void bullet() {
    addBreak(Break::line);
    put("\xE2\x80\xA2 ");  // "• "
    space_ = false;
  }
  std::string finish() { return std::move(out_); }

 private:
  void flushBreak() {
    if (pending_ == Break::line) out_ += '\n';
    if (pending_ == Break::paragraph) out_ += "\n\n";
    pending_ = Break::none;
  }
  void put(std::string_view s) {
    if (pending_ != Break::none) {
      flushBreak();
    } else if (space_ && !out_.empty() && out_.back() != '\n' && out_.back() != ' ') {
      out_ += ' ';
    }
    space_ = false;
    out_ += s;
  }

  std::string out_;
  Break pending_ = Break::none;
  bool space_ = false;
};

}  // namespace

std::string htmlToPlainText(std::string_view source) {
  const std::string html = repairUtf8(source);
  const std::string_view h(html);
  Writer writer;
  int preDepth = 0;
  std::size_t i = 0;
  while (i < h.size()) {
    const char c = h[i];
    if (c == '&') {
      const auto [cp, length] = reference(h.substr(i + 1));
      if (length > 0) {
        writer.character(cp);
        i += 1 + length;
      } else {
        writer.text("&", preDepth > 0);
        ++i;
      }
      continue;
    }
    if (c != '<') {
      const std::size_t next = std::min(h.find_first_of("<&", i), h.size());
      writer.text(h.substr(i, next - i), preDepth > 0);
      i = next;
      continue;
    }
    if (h.compare(i, 4, "<!--") == 0) {
      const std::size_t end = h.find("-->", i + 4);
      i = end == std::string_view::npos ? h.size() : end + 3;
      continue;
    }
    // A tag: '<', an optional '/', a name of letters and digits; anything else is text.
    std::size_t j = i + 1;
    const bool closing = j < h.size() && h[j] == '/';
    if (closing) ++j;
    const std::size_t nameStart = j;
    while (j < h.size() && std::isalnum(static_cast<unsigned char>(h[j]))) ++j;
    if (j == nameStart) {
      if (j < h.size() && (h[j] == '!' || h[j] == '?')) {  // doctype, processing instruction
        const std::size_t end = h.find('>', j);
        i = end == std::string_view::npos ? h.size() : end + 1;
        continue;
      }
      writer.text("<", preDepth > 0);
      ++i;
      continue;
    }
    const std::string name = lower(h.substr(nameStart, j - nameStart));
    // The tag ends at the first '>' outside a quoted attribute value.
    char quote = 0;
    while (j < h.size() && (quote || h[j] != '>')) {
      if (quote && h[j] == quote) {
        quote = 0;
      } else if (!quote && (h[j] == '"' || h[j] == '\'')) {
        quote = h[j];
      }
      ++j;
    }
    i = std::min(j + 1, h.size());
    if (!closing && (name == "script" || name == "style" || name == "head" || name == "title" ||
                     name == "template" || name == "noscript")) {
      // Their content is no text: skip to the matching end tag (or the end).
      std::size_t end = h.find("</", i);
      while (end != std::string_view::npos && lower(h.substr(end + 2, name.size())) != name)
        end = h.find("</", end + 2);
      const std::size_t close = end == std::string_view::npos ? end : h.find('>', end);
      i = close == std::string_view::npos ? h.size() : close + 1;
      continue;
    }
    if (name == "pre") preDepth = std::max(0, preDepth + (closing ? -1 : 1));
    if (name == "li" && !closing) {
      writer.bullet();
      continue;
    }
    writer.addBreak(breakOf(name));
  }
  return writer.finish();
}

}  // namespace orvane
