#include "platform/qt/qt_url_opener.hpp"

#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QFile>
#include <QGuiApplication>
#include <QTest>
#include <QThread>
#include <QUrl>
#include <optional>

#include "platform/qt/qt_main_queue.hpp"
#include "platform/qt/qt_platform.hpp"
#include "tests/unit/xdg_test_tree.hpp"

namespace orvane {
namespace {

using qt::QtUrlOpener;
using testing::XdgTree;

constexpr int kWaitMs = 10000;

// A desktop with one application, registered for the scheme "orvanetest", that
// writes the arguments it was started with (one a line) to a file.
class HandlerDesktop {
 public:
  HandlerDesktop() {
    const auto out = (tree.root / "received").string();
    tree.program("orvanetest-handler", "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + out + ".part' && mv '" + out +
                                           ".part' '" + out + "'\n");
    XdgTree::app(tree.userApps(), "orvanetest-handler.desktop", "orvanetest-handler",
                 "x-scheme-handler/orvanetest;", "NoDisplay=true\n");
    received = QString::fromStdString(out);
  }

  // What the handler got, once it has run.
  std::optional<QByteArray> arguments() const {
    QFile f(received);
    if (!f.open(QIODevice::ReadOnly)) return std::nullopt;
    return f.readAll();
  }

  XdgTree tree;
  QString received;
};

// Opens `url` and waits (bounded) for the completion; counts completions and
// whether they ran on the GUI thread.
struct OpenResult {
  int completions = 0;
  bool opened = false;
  bool onGuiThread = false;
};

OpenResult openAndWait(QtUrlOpener& opener, const std::string& url) {
  auto result = std::make_shared<OpenResult>();
  opener.open(url, [result](bool ok) {
    ++result->completions;
    result->opened = ok;
    result->onGuiThread = QThread::currentThread() == qApp->thread();
  });
  EXPECT_EQ(result->completions, 0) << "completed inline";
  EXPECT_TRUE(QTest::qWaitFor([&] { return result->completions > 0; }, kWaitMs)) << url;
  QTest::qWait(0);  // a second completion would be queued by now
  return *result;
}

const std::string kUrl = "orvanetest://start?campaign=7&name=a%20b;$(touch%20x)";

class QtUrlOpenerTest : public ::testing::Test {
 protected:
  QtUrlOpener::Options options() {
    QtUrlOpener::Options o;
    o.environment = [env = desktop_.tree.env()] { return env; };
    return o;
  }
  std::shared_ptr<qt::QtMainQueue> queue_ = std::make_shared<qt::QtMainQueue>();
  HandlerDesktop desktop_;
};

TEST_F(QtUrlOpenerTest, StartsTheRegisteredHandlerWithTheUrlAsOneArgumentAndSaysSo) {
  QtUrlOpener opener(queue_, nullptr, options());
  const auto r = openAndWait(opener, kUrl);
  EXPECT_EQ(r.completions, 1);
  EXPECT_TRUE(r.opened);
  EXPECT_TRUE(r.onGuiThread);
  ASSERT_TRUE(QTest::qWaitFor([&] { return desktop_.arguments().has_value(); }, kWaitMs));
  EXPECT_EQ(*desktop_.arguments(), QByteArray::fromStdString(kUrl + "\n"));
}

TEST_F(QtUrlOpenerTest, WithoutAHandlerOrAWorkingOneNothingCountsAsOpened) {
  QtUrlOpener opener(queue_, nullptr, options());
  for (const char* url :
       {"someapp://start", "https://land.example/x", "file:///etc/passwd", "not a url", "https:///x", ""}) {
    const auto r = openAndWait(opener, url);
    EXPECT_EQ(r.completions, 1) << url;
    EXPECT_FALSE(r.opened) << url;
    EXPECT_TRUE(r.onGuiThread) << url;
  }

  // Registered, but its program cannot be executed: a start that fails is no start.
  desktop_.tree.program("orvanetest-handler", "#!/nonexistent/interpreter\n");
  const auto broken = openAndWait(opener, kUrl);
  EXPECT_EQ(broken.completions, 1);
  EXPECT_FALSE(broken.opened);
  EXPECT_FALSE(desktop_.arguments());
}

TEST_F(QtUrlOpenerTest, TheTimeLimitAnswersFalseOnceAndStartsNothing) {
  auto o = options();
  o.timeLimit = std::chrono::milliseconds(0);
  QtUrlOpener opener(queue_, nullptr, o);
  const auto r = openAndWait(opener, kUrl);
  EXPECT_EQ(r.completions, 1);
  EXPECT_FALSE(r.opened);
  EXPECT_FALSE(desktop_.arguments());
}

TEST_F(QtUrlOpenerTest, CanOpenAnswersFromALookUpMadeInTheBackground) {
  XdgTree::app(desktop_.tree.systemApps(), "browser.desktop", desktop_.tree.program("browser"), "text/html;");
  QtUrlOpener opener(queue_, nullptr, options());
  EXPECT_FALSE(opener.canOpen("not a url"));
  EXPECT_FALSE(opener.canOpen("https://"));
  // Unknown at first; known once the look-up has been made off the GUI thread.
  EXPECT_TRUE(QTest::qWaitFor([&] { return opener.canOpen("orvanetest://x"); }, kWaitMs));
  EXPECT_TRUE(QTest::qWaitFor([&] { return opener.canOpen("HTTPS://land.example/x"); }, kWaitMs));
  EXPECT_FALSE(opener.canOpen("someapp://start"));
  ASSERT_TRUE(opener.canOpen("orvanetest://y"));  // answered from the table, no new look-up
  // A look-up of the unregistered scheme has been made by now too, and still says no.
  const auto done = openAndWait(opener, "someapp://start");
  EXPECT_FALSE(done.opened);
  EXPECT_FALSE(opener.canOpen("someapp://start"));
}

// Stands in for a handler the host registered in-process.
class HostHandler : public QObject {
  Q_OBJECT
 public slots:
  void handle(const QUrl& url) { urls.push_back(url); }

 public:
  std::vector<QUrl> urls;
};

TEST_F(QtUrlOpenerTest, SchemesTheHostDeclaredGoToItsOwnHandler) {
  QtUrlOpener opener(queue_, nullptr, options());
  HostHandler handler;
  QDesktopServices::setUrlHandler("hostscheme", &handler, "handle");
  opener.addOpenableScheme("HostScheme");
  EXPECT_TRUE(opener.canOpen("hostscheme://start?x=1"));
  const auto r = openAndWait(opener, "hostscheme://start?x=1");
  QDesktopServices::unsetUrlHandler("hostscheme");
  EXPECT_TRUE(r.opened);
  ASSERT_EQ(handler.urls.size(), 1u);
  EXPECT_EQ(handler.urls[0].toString(), "hostscheme://start?x=1");
}

// On the real X11 platform (ctest runs it under xvfb-run), through the opener the
// desktop platform installs and the process environment, as a host gets it.
TEST(QtUrlOpenerOnXvfb, OpensARegisteredSchemeAndRefusesAnUnregisteredOne) {
  if (QGuiApplication::platformName() != "xcb") {
    if (qEnvironmentVariableIsSet("ORVANE_REQUIRE_XCB")) FAIL() << "needs the xcb platform";
    GTEST_SKIP() << "runs under xvfb-run with QT_QPA_PLATFORM=xcb";
  }
  HandlerDesktop desktop;
  const auto env = desktop.tree.env();
  // The process environment, as a host has it; put back afterwards.
  const std::pair<const char*, std::string> vars[] = {{"XDG_CONFIG_HOME", env.configHome},
                                                      {"XDG_CONFIG_DIRS", env.configDirs.front()},
                                                      {"XDG_DATA_HOME", env.dataHome},
                                                      {"XDG_DATA_DIRS", env.dataDirs.front()},
                                                      {"PATH", env.searchPath.front() + ":/usr/bin:/bin"}};
  std::vector<std::optional<QByteArray>> saved;
  for (const auto& [name, value] : vars) {
    saved.push_back(qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt);
    qputenv(name, QByteArray::fromStdString(value));
  }

  auto platform = qt::QtPlatform::make();
  ASSERT_TRUE(platform && platform->urlOpener);
  auto& opener = *platform->urlOpener;
  const auto opened = openAndWait(dynamic_cast<QtUrlOpener&>(opener), kUrl);
  const auto refused = openAndWait(dynamic_cast<QtUrlOpener&>(opener), "orvaneunknown://start");

  for (std::size_t i = 0; i < saved.size(); ++i) {
    if (saved[i]) {
      qputenv(vars[i].first, *saved[i]);
    } else {
      qunsetenv(vars[i].first);
    }
  }

  EXPECT_TRUE(opened.opened);
  EXPECT_FALSE(refused.opened);
  EXPECT_EQ(refused.completions, 1);
  ASSERT_TRUE(QTest::qWaitFor([&] { return desktop.arguments().has_value(); }, kWaitMs));
  EXPECT_EQ(*desktop.arguments(), QByteArray::fromStdString(kUrl + "\n"));
}

}  // namespace
}  // namespace orvane

#include "qt_url_opener_test.moc"
