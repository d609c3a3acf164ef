#include "ui/widgets/server_text.hpp"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextBrowser>
#include <QToolTip>

#include "tests/unit/fifo_watch.hpp"
#include "tools/sandbox/hostile.hpp"

namespace orvane::ui {
namespace {

int imagesIn(const QTextDocument& document) {
  int images = 0;
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
    for (auto it = block.begin(); !it.atEnd(); ++it)
      if (it.fragment().charFormat().isImageFormat()) ++images;
  return images;
}

class ServerText : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(fifo.armed()); }

  QTemporaryDir dir;
  testing::FifoWatch fifo{dir.filePath("fifo").toStdString()};
};

// Consecutive images, files, devices, the FIFO, style sheets, backgrounds and links: the
// text survives, no image is left, and laying the text out loads nothing.
TEST_F(ServerText, HostileHtmlKeepsItsTextAndLoadsNothing) {
  const auto first = htmlToString(R"(<img src="a.png"><img src="file:///dev/zero">text)");
  EXPECT_EQ(first.toPlainText(), "text");

  for (const auto& sample : sandbox::hostileHtmlSamples(fifo.string())) {
    SCOPED_TRACE(sample);
    ServerTextDocument document;
    QTextCursor(&document).insertFragment(htmlToString(QString::fromStdString(sample)));
    EXPECT_EQ(imagesIn(document), 0);
    EXPECT_FALSE(document.toPlainText().contains(QChar::ObjectReplacementCharacter));
    document.setTextWidth(300);
    EXPECT_GT(document.size().height(), 0);
    QImage canvas(300, 300, QImage::Format_RGB32);
    QPainter painter(&canvas);
    document.drawContents(&painter);
  }
  const auto links = htmlToString(QString::fromStdString(sandbox::hostileHtmlSamples()[4]));
  EXPECT_EQ(links.toPlainText(), "A local file A program An unknown scheme");
  EXPECT_FALSE(fifo.opened());
}

// Whatever is put into one, even images inserted after the import and naming bare
// paths (which Qt's own image handler would read directly), it loads nothing.
TEST_F(ServerText, TheServerDocumentRefusesEveryResource) {
  ServerTextDocument document;
  const QString fifoUrl = QStringLiteral("file://%1").arg(fifo.string().c_str());
  document.setHtml(QStringLiteral("<link rel='stylesheet' type='text/css' href='%1'><style>@import url('%1');"
                                  "</style><p style=\"background-image:url('%1')\">x</p>")
                       .arg(fifoUrl));
  EXPECT_GE(document.refusedResources(), 2);
  QTextCursor cursor(&document);
  for (const std::string& name : {fifo.string(), std::string("/dev/zero")}) {
    QTextImageFormat image;
    image.setName(QString::fromStdString(name));
    cursor.insertImage(image);
  }
  document.setTextWidth(200);
  QImage canvas(200, 100, QImage::Format_RGB32);
  QPainter painter(&canvas);
  document.drawContents(&painter);
  EXPECT_TRUE(document.isInert());
  EXPECT_GE(document.refusedResources(), 4);
  EXPECT_FALSE(document.resource(QTextDocument::ImageResource, QUrl("file:///dev/zero")).isValid());
  EXPECT_FALSE(fifo.opened());
}

TEST_F(ServerText, PlainFieldsShowAsWrittenOnLabelsButtonsAndToolTips) {
  const QString name = QString::fromUtf8("Tom & Jerry <b>Run</b> 게임");
  const QString image = QStringLiteral("<img src=\"file://%1\">").arg(fifo.string().c_str());
  QWidget root;
  auto* label = new QLabel(&root);
  auto* imageLabel = new QLabel(&root);
  auto* button = new QPushButton(&root);
  setServerText(label, name);
  setServerText(imageLabel, image);
  setServerText(button, name);
  root.setToolTip(serverToolTip(image));
  root.resize(300, 100);
  root.show();
  root.grab();

  EXPECT_EQ(label->text(), name);
  EXPECT_EQ(label->textFormat(), Qt::PlainText);
  EXPECT_EQ(button->text(), QString::fromUtf8("Tom && Jerry <b>Run</b> 게임"));
  EXPECT_EQ(serverToolTip("a<b>&"), "<p style='white-space:pre'>a&lt;b&gt;&amp;</p>");
  EXPECT_EQ(serverToolTip(""), "");
  QToolTip::showText(QPoint(10, 10), root.toolTip(), &root);
  QToolTip::hideText();
  EXPECT_TRUE(serverTextProblems(&root).isEmpty()) << serverTextProblems(&root).join("\n").toStdString();
  EXPECT_FALSE(fifo.opened());
}

// The check the screens' tests run: it finds each way of showing server text unsafely.
TEST_F(ServerText, TheWidgetCheckFindsEveryUnsafeWay) {
  QWidget root;
  auto* guessing = new QLabel(QStringLiteral("a <b>b</b>"), &root);
  auto* browser = new QTextBrowser(&root);
  browser->setHtml("<p>x</p>");
  auto* tipped = new QWidget(&root);
  tipped->setToolTip("<b>bold</b>");
  auto* document = new QTextDocument(&root);
  document->setHtml("<p>y</p>");
  const QStringList problems = serverTextProblems(&root);
  EXPECT_EQ(problems.size(), 6) << problems.join("\n").toStdString();  // the browser twice: document, links

  setServerText(guessing, guessing->text());
  setServerHtml(browser, QStringLiteral("<p>x</p>"), Qt::gray, QFont());
  tipped->setToolTip(serverToolTip(tipped->toolTip()));
  delete document;
  EXPECT_TRUE(serverTextProblems(&root).isEmpty()) << serverTextProblems(&root).join("\n").toStdString();
  EXPECT_EQ(browser->toPlainText(), "x");
  EXPECT_FALSE(browser->openLinks());
}

}  // namespace
}  // namespace orvane::ui
