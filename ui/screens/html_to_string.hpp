#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QTextDocumentFragment>
#include <cstddef>
#include <list>
#include <unordered_map>

#include "ui/widgets/server_text.hpp"  // htmlToString, setUniformStyle

namespace orvane::ui {

// Bounded LRU of conversions keyed by the HTML text, so that scrolling a list does not
// convert the same description twice.
class HtmlToStringCache {
 public:
  explicit HtmlToStringCache(std::size_t capacity = 512);

  static HtmlToStringCache& shared();

  QTextDocumentFragment convert(const QString& html);
  // The conversion with setUniformStyle already applied: the cells' common case, so
  // that binding a row copies styled text instead of restyling it.
  QTextDocumentFragment convert(const QString& html, const QColor& color, const QFont& font);

  std::size_t size() const { return entries_.size(); }
  std::size_t capacity() const { return capacity_; }
  std::size_t conversions() const { return conversions_; }
  void clear();

 private:
  struct Entry {
    QString key;
    QTextDocumentFragment fragment;
  };

  const QTextDocumentFragment* find(const QString& key);
  QTextDocumentFragment store(const QString& key, QTextDocumentFragment fragment);

  std::size_t capacity_;
  std::size_t conversions_ = 0;
  std::list<Entry> entries_;  // most recently used first
  std::unordered_map<QString, std::list<Entry>::iterator> index_;
};

}  // namespace orvane::ui
