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

QTextDocumentFragment HtmlToStringCache::convert(const QString& html) {
  if (const auto found = index_.find(html); found != index_.end()) {
    entries_.splice(entries_.begin(), entries_, found->second);
    return found->second->fragment;
  }
  ++conversions_;
  entries_.push_front(Entry{html, htmlToString(html)});
  index_.emplace(html, entries_.begin());
  if (entries_.size() > capacity_) {
    index_.erase(entries_.back().html);
    entries_.pop_back();
  }
  return entries_.front().fragment;
}

void HtmlToStringCache::clear() {
  index_.clear();
  entries_.clear();
}

}  // namespace orvane::ui
