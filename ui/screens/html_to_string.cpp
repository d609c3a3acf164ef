#include "ui/screens/html_to_string.hpp"

#include <QTextCursor>
#include <algorithm>

namespace orvane::ui {

HtmlToStringCache::HtmlToStringCache(std::size_t capacity) : capacity_(std::max<std::size_t>(capacity, 1)) {}

HtmlToStringCache& HtmlToStringCache::shared() {
  static HtmlToStringCache cache;
  return cache;
}

const QTextDocumentFragment* HtmlToStringCache::find(const QString& key) {
  const auto found = index_.find(key);
  if (found == index_.end()) return nullptr;
  entries_.splice(entries_.begin(), entries_, found->second);
  return &found->second->fragment;
}

QTextDocumentFragment HtmlToStringCache::store(const QString& key, QTextDocumentFragment fragment) {
  entries_.push_front(Entry{key, std::move(fragment)});
  index_.emplace(key, entries_.begin());
  if (entries_.size() > capacity_) {
    index_.erase(entries_.back().key);
    entries_.pop_back();
  }
  return entries_.front().fragment;
}

QTextDocumentFragment HtmlToStringCache::convert(const QString& html) {
  // Tagged keys keep plain and styled entries apart whatever the HTML says.
  const QString key = QLatin1Char('H') + html;
  if (const auto* hit = find(key)) return *hit;
  ++conversions_;
  return store(key, htmlToString(html));
}

QTextDocumentFragment HtmlToStringCache::convert(const QString& html, const QColor& color,
                                                 const QFont& font) {
  const QString key = QStringLiteral("S%1|%2|").arg(color.name(QColor::HexArgb), font.key()) + html;
  if (const auto* hit = find(key)) return *hit;
  ServerTextDocument document;
  QTextCursor(&document).insertFragment(convert(html));
  setUniformStyle(document, color, font);
  return store(key, QTextDocumentFragment(&document));
}

void HtmlToStringCache::clear() {
  index_.clear();
  entries_.clear();
}

}  // namespace orvane::ui
