#include "platform/qt/qt_advertising_id.hpp"

#include <gtest/gtest.h>

#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <mutex>

#include "core/api/api_list.hpp"
#include "core/sdk/settings_keys.hpp"
#include "core/support/platform/memory_key_value_store.hpp"
#include "orvane/orvane_sdk.hpp"
#include "platform/qt/qt_tracking_authorization.hpp"

namespace orvane {
namespace {

using qt::QtAdvertisingId;
using qt::QtTrackingAuthorization;

const std::string kZero = "00000000-0000-0000-0000-000000000000";

// Keeps the URL of every request instead of sending it.
class RecordingSession : public HttpSession {
 public:
  RequestHandle send(HttpRequest request, Completion completion) override {
    {
      std::lock_guard lock(mutex_);
      urls_.push_back(request.url);
    }
    completion(Error::make(Error::Kind::cancelled, "recorded, not sent"));
    return RequestHandle::completed();
  }
  std::string lastUrl() const {
    std::lock_guard lock(mutex_);
    return urls_.empty() ? std::string() : urls_.back();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> urls_;
};

// The desktop's consent dialog and advertising id, read by the request builder as
// the SDK reads them.
class AdvertisingIdConsentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OrvaneSDK::shared().reset();
    OrvaneSDK::shared().hostUrl = "http://127.0.0.1:9/v1";
    OrvaneSDK::shared().hostPartnerUrl = "http://127.0.0.1:9/api";
    store_->setString(keys::kMkey, "mk");
    store_->setString(keys::kMckey, "mck");
    store_->setString(keys::kUserId, "u1");
    restart();
  }
  void TearDown() override {
    if (auto* box = tracking_->dialog()) box->close();
    OrvaneSDK::shared().reset();
  }

  // Presses a button of this test's own dialog: a consent dialog of another test or of
  // the process-wide platform may be on screen too, and answering it would leave ours
  // open with its completion waiting.
  void press(const char* buttonName) {
    QMessageBox* box = nullptr;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
          box = tracking_->dialog();
          return box != nullptr && box->isVisible();
        },
        5000));
    auto* button = box->findChild<QPushButton*>(buttonName);
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(tracking_->dialog(), nullptr);
  }

  // New platform objects over the same store, as after a restart of the host.
  void restart() {
    tracking_ = std::make_shared<QtTrackingAuthorization>(store_);
    auto platform = std::make_shared<Platform>();
    platform->store = store_;
    platform->http = http_;
    platform->advertisingId = std::make_shared<QtAdvertisingId>(tracking_);
    platform->tracking = tracking_;
    platform_ = platform;
  }

  // The `adid` of a campaign-list request built now.
  std::string adidSent() {
    const RequestHandle request = ApiList(platform_).getReq([](Result<std::string>) {});
    const auto url = http_->lastUrl();
    const auto at = url.find("&adid=");
    if (at == std::string::npos) return "<no adid>";
    const auto start = at + 6;
    return url.substr(start, url.find('&', start) - start);
  }

  // Written by completions that may still run after the test body (TearDown closing an
  // unanswered dialog, or the tracking object's end): never a local of the body.
  int answer_ = -1;
  std::shared_ptr<MemoryKeyValueStore> store_ = std::make_shared<MemoryKeyValueStore>();
  std::shared_ptr<RecordingSession> http_ = std::make_shared<RecordingSession>();
  std::shared_ptr<QtTrackingAuthorization> tracking_;
  std::shared_ptr<const Platform> platform_;
};

TEST_F(AdvertisingIdConsentTest, ZerosUntilAllowedAndANewIdAfterEveryWithdrawal) {
  EXPECT_EQ(adidSent(), kZero);  // never asked

  tracking_->requestAuthorization([this](int s) { answer_ = s; }, {});
  press(QtTrackingAuthorization::kAllowButtonName);
  ASSERT_EQ(answer_, tracking::authorized);
  const auto first = adidSent();
  EXPECT_NE(first, kZero);
  EXPECT_EQ(first.size(), 36u);
  EXPECT_EQ(adidSent(), first);
  restart();
  EXPECT_EQ(adidSent(), first);  // kept across launches while allowed

  tracking_->showSettings();
  press(QtTrackingAuthorization::kDenyButtonName);
  EXPECT_EQ(adidSent(), kZero);
  EXPECT_FALSE(store_->object(QtAdvertisingId::kKey));  // nothing left to come back

  tracking_->showSettings();
  press(QtTrackingAuthorization::kAllowButtonName);
  const auto second = adidSent();
  EXPECT_NE(second, kZero);
  EXPECT_NE(second, first);

  // Allowing again while allowed keeps the identifier.
  tracking_->showSettings();
  press(QtTrackingAuthorization::kAllowButtonName);
  EXPECT_EQ(adidSent(), second);
}

TEST_F(AdvertisingIdConsentTest, AnIdKeptWithoutConsentIsDroppedNotHandedOutLater) {
  // What an earlier version stored before anyone asked the user, or while denied.
  const std::string stale = "6D92078A-8246-4BA4-AE5B-76104861E7DC";
  for (const auto status : {tracking::notDetermined, tracking::denied, tracking::restricted}) {
    store_->setInteger(QtTrackingAuthorization::kStatusKey, status);
    store_->setString(QtAdvertisingId::kKey, stale);
    EXPECT_EQ(adidSent(), kZero) << status;
    EXPECT_FALSE(store_->object(QtAdvertisingId::kKey)) << status;
  }
  store_->setString(QtAdvertisingId::kKey, stale);
  tracking_->showSettings();
  press(QtTrackingAuthorization::kAllowButtonName);
  const auto fresh = adidSent();
  EXPECT_NE(fresh, stale);
  EXPECT_NE(fresh, kZero);
}

}  // namespace
}  // namespace orvane
