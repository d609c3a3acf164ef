#include "ui/screens/html_to_string.hpp"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>

namespace orvane::ui {

namespace {

// Server text must not make the SDK read files or fetch URLs (<img src="file:...">).
class InertDocument : public QTextDocument {
 protected:
  QVariant loadResource(int /*type*/, const QUrl& /*name*/) override { return {}; }
};

void removeImages(QTextDocument& document) {
  // Walk backwards so that removals do not shift positions still to be visited.
  for (QTextBlock block = document.lastBlock(); block.isValid(); block = block.previous()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      if (!fragment.isValid() || !fragment.charFormat().isImageFormat()) continue;
      QTextCursor cursor(&document);
      cursor.setPosition(fragment.position());
      cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
      cursor.removeSelectedText();
      it = block.begin();  // the block's fragments changed
      if (it.atEnd()) break;
    }
  }
}

}  // namespace

QTextDocumentFragment htmlToString(const QString& html) {
  InertDocument document;
  document.setHtml(html);
  removeImages(document);
  return QTextDocumentFragment(&document);
}

void setUniformStyle(QTextDocument& document, const QColor& color, const QFont& font) {
  QTextCursor cursor(&document);
  cursor.select(QTextCursor::Document);
  QTextCharFormat format;
  format.setForeground(color);
  format.setFont(font, QTextCharFormat::FontPropertiesAll);
  // Replaces every character format (sizes, anchors, weights) but keeps the blocks.
  cursor.setCharFormat(format);
  document.setDefaultFont(font);
}

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
  QTextDocument document;
  QTextCursor(&document).insertFragment(convert(html));
  setUniformStyle(document, color, font);
  return store(key, QTextDocumentFragment(&document));
}

void HtmlToStringCache::clear() {
  index_.clear();
  entries_.clear();
}

}  // namespace orvane::ui
