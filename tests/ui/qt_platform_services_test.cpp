#include <gtest/gtest.h>
#include <sys/utsname.h>
#include <syslog.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <thread>

#include "core/support/platform/memory_key_value_store.hpp"
#include "orvane/log.hpp"
#include "platform/qt/qt_advertising_id.hpp"
#include "platform/qt/qt_device_info.hpp"
#include "platform/qt/qt_key_value_store.hpp"
#include "platform/qt/qt_log_sink.hpp"
#include "platform/qt/qt_main_queue.hpp"
#include "platform/qt/qt_platform.hpp"
#include "platform/qt/qt_tracking_authorization.hpp"
#include "platform/qt/qt_url_opener.hpp"
#include "platform/qt/syslog_log_sink.hpp"
#include "temp_settings.hpp"

namespace orvane {
namespace {

using namespace qt;

constexpr int kWaitMs = 5000;

bool isUpperUuid(const std::string& s) {
  static const QRegularExpression re("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$");
  return re.match(QString::fromStdString(s)).hasMatch();
}

QMessageBox* openConsentDialog() {
  for (auto* w : QApplication::topLevelWidgets()) {
    if (w->objectName() == QtTrackingAuthorization::kDialogName && w->isVisible())
      return qobject_cast<QMessageBox*>(w);
  }
  return nullptr;
}

int visibleConsentDialogs() {
  int n = 0;
  for (auto* w : QApplication::topLevelWidgets()) {
    if (w->objectName() == QtTrackingAuthorization::kDialogName && w->isVisible()) ++n;
  }
  return n;
}

void click(const char* buttonName) {
  QMessageBox* box = nullptr;
  ASSERT_TRUE(QTest::qWaitFor([&] { return (box = openConsentDialog()) != nullptr; }, kWaitMs));
  auto* button = box->findChild<QPushButton*>(buttonName);
  ASSERT_NE(button, nullptr);
  QTest::mouseClick(button, Qt::LeftButton);
}

// The advertising identifier of a user who allowed tracking, in a fresh object
// over `store` (as after a restart).
std::string allowedAdvertisingId(const std::shared_ptr<MemoryKeyValueStore>& store) {
  store->setInteger(QtTrackingAuthorization::kStatusKey, tracking::authorized);
  return QtAdvertisingId(std::make_shared<QtTrackingAuthorization>(store)).advertisingIdentifier();
}

TEST(QtIdentifiers, AreUpperCaseUuidsKeptPerUserAndRepairedWhenCorrupt) {
  auto store = std::make_shared<MemoryKeyValueStore>();
  const std::string ad = allowedAdvertisingId(store);
  EXPECT_TRUE(isUpperUuid(ad)) << ad;
  EXPECT_EQ(allowedAdvertisingId(store), ad);  // a later launch
  EXPECT_EQ(store->string(QtAdvertisingId::kKey), ad);

  const auto vendor = QtDeviceInfo(store).vendorIdentifier();
  ASSERT_TRUE(vendor);
  EXPECT_TRUE(isUpperUuid(*vendor));
  EXPECT_NE(*vendor, ad);

  store->setString(QtAdvertisingId::kKey, "6d92078a-8246-4ba4-ae5b-76104861e7dc");  // lower case
  const std::string repaired = allowedAdvertisingId(store);
  EXPECT_TRUE(isUpperUuid(repaired));
  store->setInteger(QtAdvertisingId::kKey, 12);
  EXPECT_TRUE(isUpperUuid(allowedAdvertisingId(store)));
}

TEST(QtIdentifiers, FirstCallsFromManyThreadsAgreeOnOneIdentifier) {
  auto store = std::make_shared<MemoryKeyValueStore>();
  store->setInteger(QtTrackingAuthorization::kStatusKey, tracking::authorized);
  QtAdvertisingId id(std::make_shared<QtTrackingAuthorization>(store));
  std::vector<std::string> seen(6);
  std::vector<std::thread> threads;
  for (auto& s : seen) threads.emplace_back([&id, &s] { s = id.advertisingIdentifier(); });
  for (auto& t : threads) t.join();
  for (const auto& s : seen) EXPECT_EQ(s, seen.front());
  EXPECT_NE(seen.front(), QtAdvertisingId::kZero);
}

TEST(QtDeviceInfo, ReportsTheDesktopsFacts) {
  QtDeviceInfo device(std::make_shared<MemoryKeyValueStore>());
  utsname u{};
  ASSERT_EQ(uname(&u), 0);
  EXPECT_EQ(device.machineIdentifier(), u.machine);
  EXPECT_FALSE(device.systemVersion().empty());
  EXPECT_EQ(device.carrierName(), std::nullopt);
  EXPECT_TRUE(device.isSystemVersionAtLeast(14));
  EXPECT_EQ(device.privacySettingsUrl(), std::string(QtDeviceInfo::kPrivacySettingsUrl));

  EXPECT_EQ(QtDeviceInfo::versionIdFromOsRelease("NAME=\"Debian\"\nVERSION_ID=\"12\"\nID=debian\n"), "12");
  EXPECT_EQ(QtDeviceInfo::versionIdFromOsRelease("ID=arch\r\nVERSION_ID=2024.01\r\n"), "2024.01");
  EXPECT_EQ(QtDeviceInfo::versionIdFromOsRelease("PRETTY_VERSION_ID=\"9\"\nID=x"), std::nullopt);
  EXPECT_EQ(QtDeviceInfo::versionIdFromOsRelease("VERSION_ID=\""), "\"");
  EXPECT_EQ(QtDeviceInfo::versionIdFromOsRelease(""), std::nullopt);
}

class TrackingTest : public ::testing::Test {
 protected:
  void TearDown() override {
    // Leave no dialog behind for the next test.
    if (auto* box = tracking_->dialog()) box->close();
  }
  std::shared_ptr<MemoryKeyValueStore> store_ = std::make_shared<MemoryKeyValueStore>();
  std::shared_ptr<QtTrackingAuthorization> tracking_ = std::make_shared<QtTrackingAuthorization>(store_);
};

TEST_F(TrackingTest, OneDialogAnswersEveryWaitingRequestAndIsRemembered) {
  EXPECT_EQ(tracking_->status(), tracking::notDetermined);
  std::vector<int> answers;
  tracking_->requestAuthorization([&](int s) { answers.push_back(s); }, {});
  tracking_->requestAuthorization([&](int s) { answers.push_back(s); }, {});
  EXPECT_TRUE(answers.empty());
  EXPECT_EQ(visibleConsentDialogs(), 1);

  click(QtTrackingAuthorization::kAllowButtonName);
  EXPECT_EQ(answers, (std::vector<int>{tracking::authorized, tracking::authorized}));
  EXPECT_EQ(store_->integer(QtTrackingAuthorization::kStatusKey), tracking::authorized);

  // Determined: answered at once, no dialog.
  tracking_->requestAuthorization([&](int s) { answers.push_back(s); }, {});
  EXPECT_EQ(answers.size(), 3u);
  EXPECT_EQ(answers.back(), tracking::authorized);
  EXPECT_EQ(tracking_->dialog(), nullptr);
}

TEST_F(TrackingTest, EscapeDeniesAndARequestFromAWorkerIsAnsweredToo) {
  std::atomic<int> answer{-1};
  std::thread worker([&] { tracking_->requestAuthorization([&](int s) { answer = s; }, {}); });
  worker.join();
  QMessageBox* box = nullptr;
  ASSERT_TRUE(QTest::qWaitFor([&] { return (box = openConsentDialog()) != nullptr; }, kWaitMs));
  QTest::keyClick(box, Qt::Key_Escape);
  ASSERT_TRUE(QTest::qWaitFor([&] { return answer != -1; }, kWaitMs));
  EXPECT_EQ(answer, tracking::denied);
  EXPECT_EQ(tracking_->status(), tracking::denied);
}

TEST_F(TrackingTest, AStatusThatIsNoStatusReadsAsNotDetermined) {
  store_->setInteger(QtTrackingAuthorization::kStatusKey, 7);
  EXPECT_EQ(tracking_->status(), tracking::notDetermined);
  store_->setString(QtTrackingAuthorization::kStatusKey, "3");
  EXPECT_EQ(tracking_->status(), tracking::notDetermined);
  store_->setInteger(QtTrackingAuthorization::kStatusKey, tracking::restricted);
  EXPECT_EQ(tracking_->status(), tracking::restricted);
}

TEST_F(TrackingTest, PrivacySettingsUrlReopensTheDialogToChangeTheAnswer) {
  store_->setInteger(QtTrackingAuthorization::kStatusKey, tracking::authorized);
  auto queue = std::make_shared<QtMainQueue>();
  QtUrlOpener opener(queue, tracking_);
  const std::string url = QtDeviceInfo::kPrivacySettingsUrl;
  ASSERT_TRUE(opener.canOpen(url));

  std::optional<bool> opened;
  opener.open(url, [&](bool ok) { opened = ok; });
  EXPECT_FALSE(opened);  // completion is posted, not called inline
  click(QtTrackingAuthorization::kDenyButtonName);
  ASSERT_TRUE(QTest::qWaitFor([&] { return opened.has_value(); }, kWaitMs));
  EXPECT_TRUE(*opened);
  EXPECT_EQ(tracking_->status(), tracking::denied);
}

TEST(SyslogLogSink, PassesTheMessageAsDataAndMapsTypesToPriorities) {
  SyslogLogSink sink("orvane_ui_tests");
  EXPECT_TRUE(sink.accepts(LogType::error));
  EXPECT_EQ(SyslogLogSink::priority(LogType::debug), LOG_DEBUG);
  EXPECT_EQ(SyslogLogSink::priority(LogType::info), LOG_INFO);
  EXPECT_EQ(SyslogLogSink::priority(LogType::defaultType), LOG_NOTICE);
  EXPECT_EQ(SyslogLogSink::priority(LogType::error), LOG_ERR);
  // Conversions in the text would read stray arguments if it were the format.
  sink.write(LogType::info, "🟠 INFO", "100% %s%s%s%n %x");
  sink.write(LogType::error, "", std::string_view("embedded\0nul", 12));
  EXPECT_EQ(SyslogLogSink::applicationIdentity(), "orvane_ui_tests");
}

// Qt's message handler for one test: the lines of the SDK's category it saw.
struct CapturedQtLog {
  static inline QStringList lines;
  static void handler(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (QLatin1String(context.category) == QLatin1String("orvane.sdk"))
      lines << QString::number(type) + u' ' + text;
  }
  CapturedQtLog() {
    lines.clear();
    previous = qInstallMessageHandler(handler);
  }
  ~CapturedQtLog() {
    qInstallMessageHandler(previous);
    QLoggingCategory::setFilterRules(QString());
  }
  QtMessageHandler previous;
};

TEST(QtLogSink, WritesUnderTheCategoryOnlyWhileDebugIsOnAndObeysTheHostsRules) {
  CapturedQtLog captured;
  Log::setSink(std::make_shared<QtLogSink>());
  const bool wasOn = Log::displayLog.exchange(false);

  Log::log("quiet", Log::Level::error());
  EXPECT_TRUE(captured.lines.isEmpty()) << "written while debug output is off";

  Log::displayLog = true;
  Log::log("loaded", {"12"}, Log::Level::info());
  Log::log("failed", Log::Level::error());
  ASSERT_EQ(captured.lines.size(), 2) << captured.lines.join(u'|').toStdString();
  EXPECT_TRUE(captured.lines[0].startsWith(QString::number(QtInfoMsg) + u' '));
  EXPECT_TRUE(captured.lines[0].endsWith(QStringLiteral("loaded 12")));
  EXPECT_TRUE(captured.lines[1].startsWith(QString::number(QtWarningMsg) + u' '));

  // The host's usual rules silence the category, and the sink says so up front.
  QLoggingCategory::setFilterRules(QStringLiteral("orvane.*=false"));
  EXPECT_FALSE(QtLogSink().accepts(LogType::error));
  Log::log("filtered", Log::Level::error());
  EXPECT_EQ(captured.lines.size(), 2);

  Log::displayLog = wasOn;
  Log::setSink(nullptr);
}

TEST(QtPlatform, InstallsTheDesktopServicesOnlyOverTheBareStandIn) {
  testing::TempSettings settings;
  Platform::install(nullptr);
  ASSERT_TRUE(QtPlatform::install());
  const auto installed = Platform::current();
  EXPECT_TRUE(installed->mainQueue && installed->urlOpener && installed->tracking && installed->device &&
              installed->advertisingId && installed->logSink && installed->clock);
  EXPECT_NE(dynamic_cast<QtLogSink*>(installed->logSink.get()), nullptr) << "lines go through Qt's logging";
  EXPECT_NE(dynamic_cast<QtKeyValueStore*>(installed->store.get()), nullptr);
  ASSERT_TRUE(QtPlatform::install());
  EXPECT_EQ(Platform::current(), installed);

  auto own = std::make_shared<Platform>(*installed);
  Platform::install(own);
  EXPECT_TRUE(QtPlatform::install());
  EXPECT_EQ(Platform::current(), own);
  Platform::install(nullptr);
}

}  // namespace
}  // namespace orvane
