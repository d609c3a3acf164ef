// Links chosen by a hostile server, through the real screens and the desktop's URL
// opener: a landing link or app-start link naming a file, a path, a local program or a
// scheme no application handles is never opened, a refused app start tells the user
// "not installed", and no install is reported.
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <filesystem>
#include <mutex>
#include <set>
#include <vector>

#include "open_wall_support.hpp"
#include "platform/qt/qt_url_opener.hpp"
#include "tests/unit/xdg_test_tree.hpp"

namespace orvane::testing {
namespace {

using sandbox::HostileKind;
using State = ui::CampTableViewCell::State;

// The desktop's opener, with a note of every URL handed to it and of each answer.
class WatchedOpener : public UrlOpener {
 public:
  explicit WatchedOpener(std::shared_ptr<UrlOpener> real) : real_(std::move(real)) {}
  bool canOpen(const std::string& url) const override { return real_->canOpen(url); }
  void open(const std::string& url, std::function<void(bool)> completion) override {
    {
      std::lock_guard lock(mutex_);
      asked_.push_back(url);
    }
    real_->open(url, [this, completion = std::move(completion)](bool opened) {
      {
        std::lock_guard lock(mutex_);
        (opened ? opened_ : refused_)++;
      }
      if (completion) completion(opened);
    });
  }
  std::vector<std::string> asked() const {
    std::lock_guard lock(mutex_);
    return asked_;
  }
  int opened() const {
    std::lock_guard lock(mutex_);
    return opened_;
  }
  int answered() const {
    std::lock_guard lock(mutex_);
    return opened_ + refused_;
  }

 private:
  std::shared_ptr<UrlOpener> real_;
  mutable std::mutex mutex_;
  std::vector<std::string> asked_;
  int opened_ = 0;
  int refused_ = 0;
};

class HostileLinks : public OpenWallTest {
 protected:
  void SetUp() override {
    OpenWallTest::SetUp();
    fifo_ = (desktop_.root / "never-opened.fifo").string();
    ASSERT_EQ(::mkfifo(fifo_.c_str(), 0600), 0);
    // A desktop that would open files, and a browser: if a link got through, a
    // handler would run and leave its mark.
    const std::string mark = (desktop_.root / "handler-ran").string();
    const auto handler = desktop_.program("recorder", "#!/bin/sh\necho \"$@\" >> '" + mark + "'\n");
    XdgTree::app(desktop_.userApps(), "recorder.desktop", handler,
                 "x-scheme-handler/file;text/html;x-scheme-handler/http;x-scheme-handler/https;"
                 "inode/directory;application/x-executable;application/x-shellscript;");
    mark_ = QString::fromStdString(mark);
    qt::QtUrlOpener::Options options;
    options.environment = [env = desktop_.env()] { return env; };
    opener_ = std::make_shared<WatchedOpener>(
        std::make_shared<qt::QtUrlOpener>(platform_->mainQueue, nullptr, options));
    platform_->urlOpener = opener_;
  }

  XdgTree desktop_;
  std::string fifo_;
  QString mark_;
  std::shared_ptr<WatchedOpener> opener_;
};

TEST_F(HostileLinks, FilesPathsProgramsAndUnknownSchemesAreNeverOpenedNorReportedInstalled) {
  open();
  const auto values = sandbox::hostileValues(HostileKind::Links, fifo_);
  ASSERT_GE(values.size(), 5u);
  // Campaigns that join from the list and then wait for their check: one per value.
  std::vector<Camp> campaigns;
  std::set<std::int64_t> taken;
  for (std::size_t i = 0; i < values.size(); ++i) {
    const auto camp = plainCampaign([&](const Camp& c) {
      return (c.bm == 2 || c.bm == 3) && c.bmcheck != 1 && c.detailpage == 0 && taken.count(c.campid) == 0;
    });
    ASSERT_TRUE(camp) << "the fixture has too few checked campaigns";
    taken.insert(camp->campid);
    campaigns.push_back(*camp);
  }

  std::set<std::string> reachedTheDesktop;
  for (std::size_t i = 0; i < values.size(); ++i) {
    const std::string& link = values[i];
    const std::int64_t id = campaigns[i].campid;
    SCOPED_TRACE(link);
    server_->setHostile({.kind = HostileKind::Links, .values = {link}});
    const int before = updates_;
    NotificationCenter::shared().post(kActionListChange);
    ASSERT_TRUE(QTest::qWaitFor([&] { return updates_ > before; }, kWaitMs));
    const auto row = rowOf(id);
    ASSERT_GE(row, 0);
    ASSERT_EQ(screen_->selectedAllCampList()[static_cast<std::size_t>(row)].package, link);

    // The join answers the link as its landing page: not opened; the flow goes on.
    const int answeredBefore = opener_->answered();
    const std::size_t askedBefore = opener_->asked().size();
    QTest::mouseClick(pillOf(id), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return cellOf(id) && cellOf(id)->state() == State::participationCheck; }, kWaitMs));
    // Starting the app: refused, "not installed", no install report.
    QTest::mouseClick(pillOf(id), Qt::LeftButton);
    ASSERT_TRUE(waitForAlert("ov_start_app"));
    QTest::mouseClick(alertButton(1), Qt::LeftButton);
    ASSERT_TRUE(waitForAlert("ov_not_installed")) << alertText().toStdString();
    QTest::mouseClick(alertButton(0), Qt::LeftButton);
    // What reached the desktop at all has been answered, and answered no.
    const auto asked = opener_->asked();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return opener_->answered() - answeredBefore == static_cast<int>(asked.size() - askedBefore); },
        kWaitMs));
    for (std::size_t a = askedBefore; a < asked.size(); ++a) reachedTheDesktop.insert(asked[a]);
    EXPECT_EQ(cellOf(id)->state(), State::participationCheck);
  }

  // Only the application link of an unknown scheme was looked up; the rest never left
  // the flow. Nothing ran, nothing was reported, nothing crashed.
  EXPECT_EQ(reachedTheDesktop, std::set<std::string>{"orvane-unregistered-scheme://start"});
  EXPECT_EQ(opener_->opened(), 0);
  EXPECT_EQ(count("/v1/inst"), 0u);
  EXPECT_EQ(count("/v1/state"), 0u);
  EXPECT_EQ(count("/v1/join"), values.size());
  EXPECT_EQ(count("/v1/exec"), values.size());
  EXPECT_FALSE(QFile::exists(mark_));
  struct stat st {};
  ASSERT_EQ(::stat(fifo_.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  EXPECT_TRUE(sink_->contains("ApiJoin lurl refused"));
  EXPECT_TRUE(sink_->contains("fail opened"));

  // The handler works: a web link does open on this desktop and leaves its mark.
  bool opened = false;
  platform_->urlOpener->open(server_->origin() + "/landing/1", [&](bool ok) { opened = ok; });
  ASSERT_TRUE(QTest::qWaitFor([&] { return opened && QFile::exists(mark_); }, kWaitMs));
}

}  // namespace
}  // namespace orvane::testing
