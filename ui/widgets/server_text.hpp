#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <string>

class QAbstractButton;
class QLabel;
class QTextEdit;
class QWidget;

namespace orvane::ui {

// Server text on screen. A field the server sends is either plain text (names, prices,
// marks, dates, alert texts), shown exactly as written with its markup and entities, or
// HTML (a campaign's reward description and how to take part, the notice, the inquiry
// agreement), shown as text with its paragraphs. Neither ever loads anything: no image,
// style sheet or file, whatever scheme it names, and no link is followed by the widget.
//
// Every widget the SDK fills from server data goes through these functions:
//   setServerText(label, camp.name);       // plain: QLabel, buttons, tool tips
//   setServerHtml(textView, camp.joindesc, colour, font);
// and a screen's test checks its whole widget tree with serverTextProblems(). GUI thread.

// The one document type for server HTML: it refuses every resource its text names
// (images, style sheets, any URL or path), during import as during layout. An image
// format in it (one inserted after the import) takes no room and draws nothing: Qt's own
// image handler would read a file that the image names directly.
class ServerTextDocument final : public QTextDocument {
  Q_OBJECT

 public:
  explicit ServerTextDocument(QObject* parent = nullptr);
  // How many resources and images it was asked for, all refused.
  int refusedResources() const { return refused_; }
  // False if its layout was replaced by one that would draw images (never by the SDK).
  bool isInert() const;

 protected:
  QVariant loadResource(int type, const QUrl& name) override;

 private:
  class NoImages;
  void guardLayout();

  NoImages* noImages_;
  int refused_ = 0;
};

// Plain server text on a label: `Tom & Jerry <b>Run</b>` shows exactly so.
void setServerText(QLabel* label, const QString& text);
void setServerText(QLabel* label, const std::string& text);
// On a button '&' marks a shortcut: it is doubled so that the text shows as written.
void setServerText(QAbstractButton* button, const QString& text);
void setServerText(QAbstractButton* button, const std::string& text);
// A tool tip reads markup when the text looks like it; this one always shows `text`
// as written (an empty text gives no tool tip).
QString serverToolTip(const QString& text);

// Server HTML as styled text that keeps the text and its paragraph structure (line
// breaks, lists, spacing): imported into a ServerTextDocument, images removed.
QTextDocumentFragment htmlToString(const QString& html);
// Sets one colour and one font over the whole document, keeping its block layout; the
// HTML's own character formats (anchors included) are replaced.
void setUniformStyle(QTextDocument& document, const QColor& color, const QFont& font);

// Shows server HTML in a read-only text view in one colour and font. The view's
// document becomes a ServerTextDocument (once) and links are not followed.
void setServerHtml(QTextEdit* view, const QString& html, const QColor& color, const QFont& font);
void setServerHtml(QTextEdit* view, const std::string& html, const QColor& color, const QFont& font);
// Readies a text view for server text without filling it (for a view filled later).
void prepareServerTextView(QTextEdit* view);

// What in `root`'s widget tree could show server text unsafely, one line per widget: a
// label or tool tip that would read its text as markup, a text view whose document is
// not a ServerTextDocument or that follows links, any other document showing text.
// Empty when there is none.
QStringList serverTextProblems(const QWidget* root);

}  // namespace orvane::ui
