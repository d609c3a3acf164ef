#include "ui/screens/html_to_string.hpp"

#include <gtest/gtest.h>

#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>

namespace orvane::ui {
namespace {

QString plain(const QTextDocumentFragment& fragment) { return fragment.toPlainText(); }

TEST(HtmlToString, KeepsTextAndParagraphStructure) {
  EXPECT_EQ(plain(htmlToString("plain text without tags")), "plain text without tags");
  EXPECT_EQ(plain(htmlToString("a &amp; b &lt;3")), "a & b <3");
  EXPECT_EQ(plain(htmlToString("first<br>second")), "first\nsecond");
  EXPECT_EQ(plain(htmlToString("<p>one</p><p>two</p>")), "one\ntwo");

  QTextDocument document;
  QTextCursor(&document).insertFragment(htmlToString("<ul><li>install</li><li>open</li></ul>"));
  ASSERT_EQ(document.blockCount(), 2);
  ASSERT_NE(document.firstBlock().textList(), nullptr);
  EXPECT_EQ(document.firstBlock().text(), "install");
  EXPECT_EQ(document.lastBlock().text(), "open");
}

TEST(HtmlToString, DropsImagesAndNeverLoadsThem) {
  const auto fragment = htmlToString(R"(before<img src="file:///etc/passwd">after)");
  EXPECT_EQ(plain(fragment), "beforeafter");
}

TEST(HtmlToString, UniformStyleOverridesTheHtmlStyles) {
  QTextDocument document;
  QTextCursor(&document).insertFragment(
      htmlToString(R"(<b style="color:red">bold</b> <a href="x">link</a> <font size=7>big</font>)"));
  QFont font;
  font.setPixelSize(12);
  setUniformStyle(document, QColor(140, 140, 140), font);
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextCharFormat format = it.fragment().charFormat();
      EXPECT_EQ(format.foreground().color(), QColor(140, 140, 140)) << it.fragment().text().toStdString();
      EXPECT_EQ(format.font().pixelSize(), 12);
      EXPECT_NE(format.fontWeight(), QFont::Bold);
      EXPECT_FALSE(format.fontUnderline());
    }
  }
}

TEST(HtmlToStringCache, ConvertsEachTextOnceAndStaysBounded) {
  HtmlToStringCache cache(2);
  EXPECT_EQ(plain(cache.convert("<b>a</b>")), "a");
  EXPECT_EQ(plain(cache.convert("<b>a</b>")), "a");
  EXPECT_EQ(cache.conversions(), 1U);

  cache.convert("b");
  cache.convert("<b>a</b>");  // now the most recent: "b" is the one evicted next
  cache.convert("c");
  EXPECT_EQ(cache.size(), 2U);
  EXPECT_EQ(cache.conversions(), 3U);
  cache.convert("<b>a</b>");
  EXPECT_EQ(cache.conversions(), 3U);
  EXPECT_EQ(plain(cache.convert("b")), "b");
  EXPECT_EQ(cache.conversions(), 4U);
}

// The styled form shares the plain conversion, differs per colour and font, and an
// HTML text that looks like a styled entry's key is still converted as itself.
TEST(HtmlToStringCache, StyledConversionsReuseThePlainOneAndKeepTheirStyle) {
  HtmlToStringCache cache(8);
  QFont small;
  small.setPixelSize(12);
  const QColor grey(140, 140, 140);
  const auto styled = cache.convert("<b>deal</b>", grey, small);
  cache.convert("<b>deal</b>", QColor(Qt::red), small);
  cache.convert("<b>deal</b>", grey, small);
  EXPECT_EQ(cache.conversions(), 1U);

  QTextDocument document;
  QTextCursor(&document).insertFragment(styled);
  const QTextCharFormat format = document.firstBlock().begin().fragment().charFormat();
  EXPECT_EQ(format.foreground().color(), grey);
  EXPECT_EQ(format.font().pixelSize(), 12);
  EXPECT_NE(format.fontWeight(), QFont::Bold);

  const QString lookalike = QStringLiteral("S%1|%2|<b>deal</b>").arg(grey.name(QColor::HexArgb), small.key());
  EXPECT_EQ(plain(cache.convert(lookalike)), plain(htmlToString(lookalike)));
  EXPECT_TRUE(plain(cache.convert(lookalike)).endsWith("|deal"));
}

}  // namespace
}  // namespace orvane::ui
