#include "ui/widgets/server_text.hpp"

#include <QAbstractButton>
#include <QAbstractTextDocumentLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextEdit>
#include <utility>
#include <vector>

#include "orvane/log.hpp"

namespace orvane::ui {

namespace {

const QString kToolTipStart = QStringLiteral("<p style='white-space:pre'>");
const QString kToolTipEnd = QStringLiteral("</p>");

constexpr Qt::TextInteractionFlags kLinkFlags = Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard;

void removeImages(QTextDocument& document) {
  // Collected first, removed from the last: a removal shifts only what follows it.
  std::vector<std::pair<int, int>> images;  // position, length
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      if (fragment.isValid() && fragment.charFormat().isImageFormat())
        images.emplace_back(fragment.position(), fragment.length());
    }
  }
  QTextCursor cursor(&document);
  for (auto image = images.rbegin(); image != images.rend(); ++image) {
    cursor.setPosition(image->first);
    cursor.setPosition(image->first + image->second, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
  }
}

bool readsMarkup(Qt::TextFormat format, const QString& text) {
  return format == Qt::RichText || format == Qt::MarkdownText ||
         (format == Qt::AutoText && Qt::mightBeRichText(text));
}

bool isServerToolTip(const QString& tip) {
  if (!tip.startsWith(kToolTipStart) || !tip.endsWith(kToolTipEnd)) return false;
  const auto inner =
      QStringView(tip).mid(kToolTipStart.size(), tip.size() - kToolTipStart.size() - kToolTipEnd.size());
  return !inner.contains(QLatin1Char('<'));
}

QString describe(const QObject* object) {
  const QString name = object->objectName();
  return QString::fromLatin1(object->metaObject()->className()) +
         (name.isEmpty() ? QString() : QStringLiteral(" '%1'").arg(name));
}

}  // namespace

class ServerTextDocument::NoImages : public QObject, public QTextObjectInterface {
  Q_OBJECT
  Q_INTERFACES(QTextObjectInterface)

 public:
  explicit NoImages(ServerTextDocument* document) : QObject(document), document_(document) {}
  QSizeF intrinsicSize(QTextDocument* /*doc*/, int /*posInDocument*/,
                       const QTextFormat& /*format*/) override {
    ++document_->refused_;
    return {};
  }
  void drawObject(QPainter* /*painter*/, const QRectF& /*rect*/, QTextDocument* /*doc*/,
                  int /*posInDocument*/, const QTextFormat& /*format*/) override {}

 private:
  ServerTextDocument* document_;
};

ServerTextDocument::ServerTextDocument(QObject* parent)
    : QTextDocument(parent), noImages_(new NoImages(this)) {
  // A provider of its own keeps a host's process-wide default provider out as well.
  setResourceProvider([](const QUrl&) { return QVariant(); });
  guardLayout();
  connect(this, &QTextDocument::documentLayoutChanged, this, &ServerTextDocument::guardLayout);
}

void ServerTextDocument::guardLayout() {
  documentLayout()->registerHandler(QTextFormat::ImageObject, noImages_);
}

bool ServerTextDocument::isInert() const {
  return documentLayout()->handlerForObject(QTextFormat::ImageObject) == noImages_;
}

QVariant ServerTextDocument::loadResource(int /*type*/, const QUrl& name) {
  ++refused_;
  Log::log("ServerTextDocument: resource refused:", {name.toString().toStdString()}, Log::Level::debug());
  return {};
}

void setServerText(QLabel* label, const QString& text) {
  // The format first: a label that guessed rich text would import the markup at once.
  label->setTextFormat(Qt::PlainText);
  label->setText(text);
}

void setServerText(QLabel* label, const std::string& text) {
  setServerText(label, QString::fromStdString(text));
}

void setServerText(QAbstractButton* button, const QString& text) {
  QString shown = text;
  shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
  button->setText(shown);
}

void setServerText(QAbstractButton* button, const std::string& text) {
  setServerText(button, QString::fromStdString(text));
}

QString serverToolTip(const QString& text) {
  if (text.isEmpty()) return {};
  return kToolTipStart + text.toHtmlEscaped() + kToolTipEnd;
}

QTextDocumentFragment htmlToString(const QString& html) {
  ServerTextDocument document;
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

void prepareServerTextView(QTextEdit* view) {
  if (!qobject_cast<ServerTextDocument*>(view->document())) {
    auto* document = new ServerTextDocument(view);
    document->setUndoRedoEnabled(false);
    view->setDocument(document);
  }
  view->setReadOnly(true);
  view->setTextInteractionFlags(view->textInteractionFlags() & ~kLinkFlags);
  if (auto* browser = qobject_cast<QTextBrowser*>(view)) {
    browser->setOpenLinks(false);
    browser->setOpenExternalLinks(false);
  }
}

void setServerHtml(QTextEdit* view, const QString& html, const QColor& color, const QFont& font) {
  prepareServerTextView(view);
  QTextDocument* document = view->document();
  document->clear();
  QTextCursor(document).insertFragment(htmlToString(html));
  setUniformStyle(*document, color, font);
}

void setServerHtml(QTextEdit* view, const std::string& html, const QColor& color, const QFont& font) {
  setServerHtml(view, QString::fromStdString(html), color, font);
}

QStringList serverTextProblems(const QWidget* root) {
  QStringList problems;
  if (root == nullptr) return problems;
  QList<const QWidget*> widgets{root};
  for (const QWidget* child : root->findChildren<QWidget*>()) widgets << child;
  for (const QWidget* widget : widgets) {
    // A tool tip on screen is a label of its own.
    if (const auto* label = qobject_cast<const QLabel*>(widget);
        label && readsMarkup(label->textFormat(), label->text()) && !isServerToolTip(label->text()))
      problems << describe(label) + QStringLiteral(" reads its text as markup: ") + label->text();
    const QString tip = widget->toolTip();
    if (!tip.isEmpty() && Qt::mightBeRichText(tip) && !isServerToolTip(tip))
      problems << describe(widget) + QStringLiteral(" has a tool tip read as markup: ") + tip;
    if (const auto* view = qobject_cast<const QTextEdit*>(widget)) {
      const auto* server = qobject_cast<const ServerTextDocument*>(view->document());
      if ((!server || !server->isInert()) && !view->document()->isEmpty())
        problems << describe(view) + QStringLiteral(" shows a document that may load resources");
      if (view->textInteractionFlags() & kLinkFlags)
        problems << describe(view) + QStringLiteral(" follows links");
      if (const auto* browser = qobject_cast<const QTextBrowser*>(view);
          browser && (browser->openLinks() || browser->openExternalLinks()))
        problems << describe(view) + QStringLiteral(" opens links");
    }
  }
  // Any other document that shows text: only labels (checked above) and plain-text
  // editors (the user's own input) may keep an ordinary one.
  for (const QTextDocument* document : root->findChildren<QTextDocument*>()) {
    if (const auto* server = qobject_cast<const ServerTextDocument*>(document); server && server->isInert())
      continue;
    if (document->isEmpty()) continue;
    const QObject* owner = document->parent();
    while (owner != nullptr && !owner->isWidgetType()) owner = owner->parent();
    if (qobject_cast<const QLabel*>(owner) || qobject_cast<const QPlainTextEdit*>(owner) ||
        qobject_cast<const QTextEdit*>(owner))
      continue;
    problems << describe(document) + QStringLiteral(" in ") +
                    (owner ? describe(owner) : QStringLiteral("?")) +
                    QStringLiteral(" is no ServerTextDocument");
  }
  return problems;
}

}  // namespace orvane::ui

#include "server_text.moc"
