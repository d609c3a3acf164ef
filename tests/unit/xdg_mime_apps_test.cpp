#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <map>

#include "platform/xdg/desktop_entry.hpp"
#include "platform/xdg/mime_apps.hpp"
#include "platform/xdg/os_release.hpp"
#include "tests/unit/xdg_test_tree.hpp"

namespace orvane::xdg {
namespace {

using testing::XdgTree;
using Status = HandlerLookup::Status;

Deadline soon() { return std::chrono::steady_clock::now() + std::chrono::seconds(10); }

std::string handlerId(const HandlerLookup& r) { return r.handler ? r.handler->id : "<none>"; }

std::vector<std::string> argvFor(const std::string& exec, const std::string& url,
                                 const std::string& icon = "") {
  DesktopEntry e;
  e.exec = exec;
  e.name = "App";
  e.icon = icon;
  e.path = "/apps/app.desktop";
  auto argv = expandExec(e, url);
  return argv ? *argv : std::vector<std::string>{"<malformed>"};
}

TEST(XdgDesktopEntry, ReadsTheKeysALauncherNeedsFromTheFirstGroupOnly) {
  const auto e = DesktopEntry::parse(
      "# comment\n[Desktop Entry]\nType = Application\nName=Web\\sBrowser\nName[de]=Netz\n"
      "Exec=browser --new \"a b\" %u\nMimeType=x-scheme-handler/http;text/a\\;b;;\nNoDisplay=true\n"
      "Name=Second wins nothing\n[Desktop Action new]\nExec=evil\nHidden=true\n");
  ASSERT_TRUE(e);
  EXPECT_EQ(e->type, "Application");
  EXPECT_EQ(e->name, "Web Browser");
  EXPECT_EQ(e->exec, "browser --new \"a b\" %u");
  EXPECT_EQ(e->mimeTypes, (std::vector<std::string>{"x-scheme-handler/http", "text/a;b"}));
  EXPECT_TRUE(e->noDisplay);
  EXPECT_FALSE(e->hidden);  // the action's key does not count

  const auto cache = KeyFile::parse("[MIME Cache]\na=1\n[Broken\nb=lost\n[Other]\n[MIME Cache]\nb=2\na=3\n");
  EXPECT_EQ(cache.value("MIME Cache", "a"), "1");  // groups merge; the first occurrence counts
  EXPECT_EQ(cache.value("MIME Cache", "b"), "2");
  EXPECT_EQ(cache.value("Other", "b"), std::nullopt);

  EXPECT_FALSE(DesktopEntry::parse("[Desktop Action x]\nExec=a\n[Desktop Entry]\nExec=b\n"));
  EXPECT_FALSE(DesktopEntry::parse("Exec=a\n"));
}

TEST(XdgDesktopEntry, ExpandsExecIntoAnArgumentVectorWithoutEverMakingShellText) {
  const std::string url = "app://x?a=1&b=\"$(rm -rf ~)\"` ;|";
  EXPECT_EQ(argvFor("app %u", url), (std::vector<std::string>{"app", url}));
  EXPECT_EQ(argvFor("app --url=%u --name=%c %k", "u:1"),
            (std::vector<std::string>{"app", "--url=u:1", "--name=App", "/apps/app.desktop"}));
  EXPECT_EQ(argvFor("app %U %F", "u:1"), (std::vector<std::string>{"app", "u:1"}));  // once only
  EXPECT_EQ(argvFor("app --flag", "u:1"), (std::vector<std::string>{"app", "--flag", "u:1"}));
  EXPECT_EQ(argvFor("app %i %u", "u:1", "icon"), (std::vector<std::string>{"app", "--icon", "icon", "u:1"}));
  EXPECT_EQ(argvFor("app %i %u", "u:1"), (std::vector<std::string>{"app", "u:1"}));
  EXPECT_EQ(argvFor("app %d 100%% %u", "u:1"), (std::vector<std::string>{"app", "100%", "u:1"}));
  EXPECT_EQ(argvFor("\"/opt/my app/run\" \"say \\\"hi\\\" \\$HOME 50%%\" %u", "u:1"),
            (std::vector<std::string>{"/opt/my app/run", "say \"hi\" $HOME 50%", "u:1"}));

  // A URL inside a quoted argument (often `sh -c "..."`) would become a command.
  EXPECT_EQ(argvFor("sh -c \"open %u\"", "u:1"), std::vector<std::string>{"<malformed>"});
  EXPECT_EQ(argvFor("%u --x", "u:1"), std::vector<std::string>{"<malformed>"});  // the URL as program
  EXPECT_EQ(argvFor("app %z", "u:1"), std::vector<std::string>{"<malformed>"});
  EXPECT_EQ(argvFor("app --a=%U", "u:1"), std::vector<std::string>{"<malformed>"});
  EXPECT_EQ(argvFor("app \"unclosed %u", "u:1"), std::vector<std::string>{"<malformed>"});
  EXPECT_EQ(argvFor("  ", "u:1"), std::vector<std::string>{"<malformed>"});
}

TEST(XdgOsRelease, ReadsVersionIdWithOrWithoutQuotes) {
  EXPECT_EQ(xdg::versionIdFromOsRelease("NAME=\"Debian\"\nVERSION_ID=\"12\"\nID=debian\n"), "12");
  EXPECT_EQ(xdg::versionIdFromOsRelease("ID=arch\r\nVERSION_ID=2024.01\r\n"), "2024.01");
  EXPECT_EQ(xdg::versionIdFromOsRelease("PRETTY_VERSION_ID=\"9\"\nID=x"), std::nullopt);
  EXPECT_EQ(xdg::versionIdFromOsRelease("VERSION_ID=\""), "\"");
  EXPECT_EQ(xdg::versionIdFromOsRelease(""), std::nullopt);
}

TEST(XdgEnvironment, TakesDefaultsAndIgnoresRelativePaths) {
  std::map<std::string, std::string> vars{{"HOME", "/home/u/"},
                                          {"XDG_DATA_DIRS", "relative:/opt/share/::/usr/share"},
                                          {"XDG_CONFIG_HOME", "not/absolute"},
                                          {"XDG_CURRENT_DESKTOP", "ubuntu:GNOME"},
                                          {"PATH", "/usr/bin::bin:/bin"}};
  const auto env = XdgEnvironment::from([&](const char* name) -> std::optional<std::string> {
    auto it = vars.find(name);
    return it == vars.end() ? std::nullopt : std::optional(it->second);
  });
  EXPECT_EQ(env.configHome, "/home/u/.config");
  EXPECT_EQ(env.dataHome, "/home/u/.local/share");
  EXPECT_EQ(env.configDirs, std::vector<std::string>{"/etc/xdg"});
  EXPECT_EQ(env.dataDirs, (std::vector<std::string>{"/opt/share", "/usr/share"}));
  EXPECT_EQ(env.desktops, (std::vector<std::string>{"ubuntu", "gnome"}));
  EXPECT_EQ(env.searchPath, (std::vector<std::string>{"/usr/bin", "/bin"}));  // no working directory

  vars.erase("HOME");
  const auto homeless = XdgEnvironment::from([&](const char* name) -> std::optional<std::string> {
    auto it = vars.find(name);
    return it == vars.end() ? std::nullopt : std::optional(it->second);
  });
  EXPECT_TRUE(homeless.configHome.empty());
  EXPECT_TRUE(homeless.dataHome.empty());
}

class XdgLookupTest : public ::testing::Test {
 protected:
  HandlerLookup scheme(std::string_view s) { return findUrlHandler(tree_.env(), s, soon()); }
  XdgTree tree_;
};

TEST_F(XdgLookupTest, NoHandlerMeansNoneAndAStrangeSchemeFindsNothing) {
  EXPECT_EQ(scheme("someapp").status, Status::none);
  XdgTree::app(tree_.systemApps(), "any.desktop", tree_.program("any"), "x-scheme-handler/..;");
  EXPECT_EQ(scheme("..").status, Status::none);
  EXPECT_EQ(scheme("").status, Status::none);
  EXPECT_EQ(scheme("a/b").status, Status::none);
}

TEST_F(XdgLookupTest, UserDefaultsBeatSystemOnesAndAMissingDefaultFallsThrough) {
  const auto prog = tree_.program("handler");
  XdgTree::app(tree_.systemApps(), "sys.desktop", prog, "x-scheme-handler/game;");
  XdgTree::app(tree_.systemApps(), "user.desktop", prog, "");
  XdgTree::app(tree_.userApps(), "vendor/sub.desktop", prog, "");
  EXPECT_EQ(handlerId(scheme("GAME")), "sys.desktop");  // by its MimeType= line, any case of scheme

  XdgTree::write(tree_.systemConfig() / "mimeapps.list",
                 "[Default Applications]\nx-scheme-handler/game=gone.desktop;vendor-sub.desktop;\n");
  EXPECT_EQ(handlerId(scheme("game")), "vendor-sub.desktop");  // an ID naming a subdirectory
  XdgTree::write(tree_.configHome() / "mimeapps.list",
                 "[Default Applications]\nx-scheme-handler/game=user.desktop\n");
  const auto found = scheme("game");
  EXPECT_EQ(handlerId(found), "user.desktop");
  EXPECT_EQ(found.program, prog);

  // The current desktop's own list comes first in its directory.
  XdgTree::write(tree_.configHome() / "kde-mimeapps.list",
                 "[Default Applications]\nx-scheme-handler/game=sys.desktop\n");
  auto env = tree_.env();
  env.desktops = {"kde"};
  EXPECT_EQ(handlerId(findUrlHandler(env, "game", soon())), "sys.desktop");
}

TEST_F(XdgLookupTest, HiddenDeletesNoDisplayDoesNotAndRemovedAssociationsApplyDownwards) {
  const auto prog = tree_.program("handler");
  XdgTree::app(tree_.systemApps(), "a.desktop", prog, "x-scheme-handler/game;");
  XdgTree::app(tree_.userApps(), "a.desktop", prog, "x-scheme-handler/game;", "Hidden=true\n");
  EXPECT_EQ(scheme("game").status, Status::none);  // the user's Hidden file masks the system's

  XdgTree::app(tree_.systemApps(), "b.desktop", prog, "x-scheme-handler/game;", "NoDisplay=true\n");
  EXPECT_EQ(handlerId(scheme("game")), "b.desktop");

  XdgTree::write(tree_.configHome() / "mimeapps.list",
                 "[Removed Associations]\nx-scheme-handler/game=b.desktop;\n");
  EXPECT_EQ(scheme("game").status, Status::none);
  XdgTree::write(tree_.systemConfig() / "mimeapps.list",
                 "[Default Applications]\nx-scheme-handler/game=b.desktop\n");
  EXPECT_EQ(scheme("game").status, Status::none);  // a removal also hides a less important default

  XdgTree::app(tree_.systemApps(), "c.desktop", prog, "text/plain;");
  XdgTree::write(tree_.configHome() / "mimeapps.list",
                 "[Removed Associations]\nx-scheme-handler/game=b.desktop;\n"
                 "[Added Associations]\nx-scheme-handler/game=c.desktop;\n");
  EXPECT_EQ(handlerId(scheme("game")), "c.desktop");
}

TEST_F(XdgLookupTest, OnlyLaunchableApplicationsCount) {
  const auto prog = tree_.program("handler");
  const auto mime = "x-scheme-handler/game;";
  XdgTree::app(tree_.systemApps(), "1-term.desktop", prog, mime, "Terminal=true\n");
  XdgTree::write(tree_.systemApps() / "2-link.desktop",
                 "[Desktop Entry]\nType=Link\nExec=handler %u\nMimeType=x-scheme-handler/game;\n");
  XdgTree::app(tree_.systemApps(), "3-noprog.desktop", (tree_.bin() / "missing").string(), mime);
  XdgTree::app(tree_.systemApps(), "4-tryexec.desktop", prog, mime, "TryExec=missing\n");
  XdgTree::write(tree_.systemApps() / "5-quote.desktop",
                 "[Desktop Entry]\nType=Application\nExec=handler \"%u\nMimeType=x-scheme-handler/game;\n");
  XdgTree::write(tree_.systemApps() / "6-relative.desktop",
                 "[Desktop Entry]\nType=Application\nExec=bin/handler %u\nMimeType=x-scheme-handler/game;\n");
  XdgTree::write(tree_.bin() / "noexec", "#!/bin/sh\n");
  XdgTree::app(tree_.systemApps(), "7-noexec.desktop", "noexec", mime);
  EXPECT_EQ(scheme("game").status, Status::none);

  XdgTree::app(tree_.systemApps(), "8-ok.desktop", "handler", mime);  // found along PATH
  const auto found = scheme("game");
  EXPECT_EQ(handlerId(found), "8-ok.desktop");
  EXPECT_EQ(found.program, prog);
}

TEST_F(XdgLookupTest, WebLinksFallBackToTheHtmlViewerOtherSchemesDoNot) {
  XdgTree::app(tree_.systemApps(), "viewer.desktop", tree_.program("viewer"), "text/html;");
  EXPECT_EQ(handlerId(scheme("https")), "viewer.desktop");
  EXPECT_EQ(handlerId(scheme("HTTP")), "viewer.desktop");
  EXPECT_EQ(scheme("ftp").status, Status::none);
  XdgTree::app(tree_.systemApps(), "browser.desktop", tree_.program("browser"), "x-scheme-handler/https;");
  EXPECT_EQ(handlerId(scheme("https")), "browser.desktop");
}

TEST_F(XdgLookupTest, UsesACurrentMimeinfoCacheAndScansWhenItIsStale) {
  const auto prog = tree_.program("handler");
  const auto apps = tree_.systemApps();
  XdgTree::app(apps, "listed.desktop", prog, "x-scheme-handler/game;");
  XdgTree::app(apps, "fresh.desktop", prog, "x-scheme-handler/game;");
  // The cache names an entry that went away, and one that no longer declares the type.
  XdgTree::write(apps / "mimeinfo.cache",
                 "[MIME Cache]\nx-scheme-handler/game=deleted.desktop;listed.desktop;\n"
                 "x-scheme-handler/other=listed.desktop;\n");
  XdgTree::touch(apps, 1000);
  XdgTree::touch(apps / "mimeinfo.cache", 2000);
  EXPECT_EQ(handlerId(scheme("game")), "listed.desktop");
  EXPECT_EQ(scheme("other").status, Status::none);

  XdgTree::app(apps, "listed.desktop", prog, "text/plain;");
  EXPECT_EQ(scheme("game").status, Status::none);  // fresh.desktop is not in the cache

  XdgTree::touch(apps, 3000);  // a file came after the cache: read the files themselves
  EXPECT_EQ(handlerId(scheme("game")), "fresh.desktop");
}

TEST_F(XdgLookupTest, FifosHugeFilesAndEscapingIdsAreSkippedWithoutBlocking) {
  const auto prog = tree_.program("handler");
  ASSERT_EQ(::mkfifo((tree_.configHome() / "mimeapps.list").c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo((tree_.systemApps() / "fifo.desktop").c_str(), 0600), 0);
  XdgTree::write(tree_.systemApps() / "huge.desktop",
                 "[Desktop Entry]\nType=Application\nExec=handler %u\nMimeType=x-scheme-handler/game;\n" +
                     std::string(2u << 20, '#'));
  XdgTree::write(tree_.systemConfig() / "mimeapps.list",
                 "[Default Applications]\nx-scheme-handler/game=fifo.desktop;..-outside.desktop;"
                 "sub-..-..-outside.desktop;/tmp/x.desktop\n");
  XdgTree::app(tree_.root / "share", "outside.desktop", prog, "");
  std::filesystem::create_directories(tree_.systemApps() / "sub");
  EXPECT_EQ(scheme("game").status, Status::none);

  XdgTree::app(tree_.systemApps(), "ok.desktop", prog, "x-scheme-handler/game;");
  EXPECT_EQ(handlerId(scheme("game")), "ok.desktop");
}

TEST_F(XdgLookupTest, GivesUpAtItsDeadline) {
  XdgTree::app(tree_.systemApps(), "ok.desktop", tree_.program("handler"), "x-scheme-handler/game;");
  const auto past = std::chrono::steady_clock::now() - std::chrono::milliseconds(1);
  EXPECT_EQ(findUrlHandler(tree_.env(), "game", past).status, Status::timedOut);
}

}  // namespace
}  // namespace orvane::xdg
