// A host that configures the SDK before it makes its QApplication. The facade's first
// use happens once per process, so ctest runs each case in a process of its own
// (ui.facade_before_application.*); a second case in the same process skips.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <memory>
#include <optional>
#include <thread>
#include <utility>

#include "core/api/api_list.hpp"
#include "core/sdk/settings_keys.hpp"
#include "core/support/platform/platform.hpp"
#include "orvane/orvane.hpp"
#include "platform/qt/qt_key_value_store.hpp"
#include "tests/ui/temp_settings.hpp"

namespace orvane {
namespace {

int argc = 1;
char name[] = "orvane_early_facade_tests";
char* argv[] = {name, nullptr};

// What every case does before the application exists: configure, and find that the
// entry points refuse loudly and that nothing can be sent.
class EarlyFacade : public ::testing::Test {
 protected:
  void SetUp() override {
    static bool used = false;
    if (std::exchange(used, true) || QCoreApplication::instance() != nullptr)
      GTEST_SKIP() << "one case per process: run it with --gtest_filter";
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    settings_ = std::make_unique<testing::TempSettings>();

    Orvane& sdk = Orvane::shared();
    sdk.initialize("early-mk", "early-mck", "early-user");
    sdk.setGender(Orvane::TYPE_GENDER_WOMAN);
    EXPECT_TRUE(Platform::current()->store->boolean(keys::kTrackingUsage));

    // No HTTP session yet: a request fails at once instead of going anywhere.
    std::optional<Result<std::string>> answer;
    const auto request = ApiList().getReq([&](Result<std::string> r) { answer.emplace(std::move(r)); });
    ASSERT_TRUE(answer.has_value());
    EXPECT_FALSE(answer->ok());
    EXPECT_EQ(Platform::current()->http, nullptr);

    ::testing::internal::CaptureStderr();
    EXPECT_EQ(sdk.orvaneViewController(), nullptr);
    EXPECT_EQ(sdk.orvaneCarouselView(), nullptr);
    sdk.presentOrvane(nullptr);
    const std::string told = ::testing::internal::GetCapturedStderr();
    for (const char* operation : {"orvaneViewController", "orvaneCarouselView", "presentOrvane"})
      EXPECT_NE(told.find(std::string(operation) + ": there is no QApplication yet"), std::string::npos)
          << told;
  }

  // A host that names itself after making the application, as most do.
  std::unique_ptr<QApplication> makeApplication() {
    auto app = std::make_unique<QApplication>(argc, argv);
    QCoreApplication::setOrganizationName("OrvaneEarly");
    QCoreApplication::setApplicationName("early_host");
    return app;
  }

  static bool installed() { return Platform::current()->mainQueue != nullptr; }

  // What the host's settings file holds, read as a restarted process would.
  void expectEarlyValuesOnDisk() {
    settings_->simulateRestart();
    qt::QtKeyValueStore disk("OrvaneEarly", "early_host");
    EXPECT_EQ(disk.string(keys::kMkey), "early-mk");
    EXPECT_EQ(disk.string(keys::kMckey), "early-mck");
    EXPECT_EQ(disk.string(keys::kUserId), "early-user");
    EXPECT_EQ(disk.string(keys::kGender), "2");
    // A registered default, never a written value.
    EXPECT_FALSE(disk.object(keys::kTrackingUsage).has_value());
  }

  std::unique_ptr<testing::TempSettings> settings_;
};

TEST_F(EarlyFacade, TheEventLoopInstallsThePlatformWithEverythingWrittenBefore) {
  auto app = makeApplication();
  EXPECT_FALSE(installed()) << "not before the host has named its application";
  // A worker thread writes meanwhile; the write is not lost in the hand-over.
  std::thread([] { Orvane::shared().setAge(44); }).join();
  QCoreApplication::processEvents();
  ASSERT_TRUE(installed());
  const auto platform = Platform::current();
  EXPECT_NE(platform->http, nullptr);
  ASSERT_NE(dynamic_cast<qt::QtKeyValueStore*>(platform->store.get()), nullptr);
  EXPECT_EQ(platform->store->integer(keys::kAge), 44);
  EXPECT_TRUE(platform->store->boolean(keys::kTrackingUsage)) << "initialize's default came along";
  dynamic_cast<qt::QtKeyValueStore&>(*platform->store).sync();
  expectEarlyValuesOnDisk();
}

TEST_F(EarlyFacade, TheFirstCallOnTheGuiThreadInstallsItAtOnce) {
  auto app = makeApplication();
  Orvane::shared().setListType(Orvane::TYPE_LIST_ICON);
  ASSERT_TRUE(installed());
  EXPECT_EQ(Platform::current()->store->integer(keys::kListType), 2);
  EXPECT_EQ(Platform::current()->store->string(keys::kMkey), "early-mk");
  std::unique_ptr<QWidget> wall(Orvane::shared().orvaneViewController());
  EXPECT_NE(wall, nullptr) << "initialised before the application, usable after it";
  wall.reset();
  dynamic_cast<qt::QtKeyValueStore&>(*Platform::current()->store).sync();
  expectEarlyValuesOnDisk();
}

TEST_F(EarlyFacade, AnApplicationThatEndsFirstStillGetsTheSettingsWritten) {
  makeApplication().reset();
  expectEarlyValuesOnDisk();
}

}  // namespace
}  // namespace orvane
