#include "core/support/util.hpp"

#include <gtest/gtest.h>
#include <sys/utsname.h>

#include <string>
#include <vector>

#include "orvane/orvane_sdk.hpp"
#include "platform/fake/fakes.hpp"

namespace orvane {
namespace {

using testing::FakePlatform;

TEST(ModelNameTest, MapsKnownIdentifiersAndPassesOthersThrough) {
  EXPECT_EQ(Util::modelNameFor("x86_64"), "Simulator");
  EXPECT_EQ(Util::modelNameFor("i386"), "Simulator");
  EXPECT_EQ(Util::modelNameFor("iPod7,1"), "iPod Touch");
  EXPECT_EQ(Util::modelNameFor("iPad6,11"), "iPad 5");
  EXPECT_EQ(Util::modelNameFor("iPad6,3"), "iPad Pro 9.7 Inch");
  EXPECT_EQ(Util::modelNameFor("iPad7,2"), "iPad Pro 12.9 Inch 2. Generation");
  EXPECT_EQ(Util::modelNameFor("iPhone9,3"), "iPhone 7");
  EXPECT_EQ(Util::modelNameFor("iPhone10,6"), "iPhone X");
  EXPECT_EQ(Util::modelNameFor("iPhone12,8"), "iPhone SE 2nd Gen");
  EXPECT_EQ(Util::modelNameFor("iPhone13,4"), "iPhone 12 Pro Max");

  for (const char* unknown : {"iPhone14,2", "arm64", "", "iPhone13,", "iphone13,2", "iPhone13,2 "}) {
    EXPECT_EQ(Util::modelNameFor(unknown), unknown);
  }
}

TEST(ModelNameTest, UsesDeviceServiceElseUname) {
  {
    FakePlatform fake;
    fake.device->machine = "iPhone11,8";
    fake.install();
    EXPECT_EQ(Util::getModelName(), "iPhone XR");
  }
  // Bare platform: no device service.
  struct utsname info {};
  ASSERT_EQ(::uname(&info), 0);
  EXPECT_EQ(Util::getModelName(), Util::modelNameFor(info.machine));
}

// Records every open call, including ones a careless caller makes after canOpen said no.
class RecordingOpener : public UrlOpener {
 public:
  bool canOpen(const std::string& url) const override {
    asked.push_back(url);
    return openable;
  }
  void open(const std::string& url, std::function<void(bool)> completion) override {
    opened.push_back(url);
    hadCompletion = static_cast<bool>(completion);
  }
  bool openable = true;
  mutable std::vector<std::string> asked;
  std::vector<std::string> opened;
  bool hadCompletion = false;
};

class PrivacySettingsTest : public ::testing::Test {
 protected:
  void install() {
    auto platform = fake.platform();
    platform->urlOpener = opener;
    Platform::install(platform);
  }
  void TearDown() override { Platform::install(nullptr); }

  FakePlatform fake;
  std::shared_ptr<RecordingOpener> opener = std::make_shared<RecordingOpener>();
};

TEST_F(PrivacySettingsTest, OpensSettingsPageWithoutCompletion) {
  fake.device->settingsUrl = "app-settings:";
  install();
  Util::gotoAppPrivacySettings();
  EXPECT_EQ(opener->opened, std::vector<std::string>{"app-settings:"});
  EXPECT_FALSE(opener->hadCompletion);
}

TEST_F(PrivacySettingsTest, DoesNothingWhenAnyConditionFails) {
  opener->openable = false;
  install();
  Util::gotoAppPrivacySettings();
  EXPECT_EQ(opener->asked.size(), 1u);
  EXPECT_TRUE(opener->opened.empty());

  opener->openable = true;
  fake.device->modernMajor = 9;
  Util::gotoAppPrivacySettings();
  EXPECT_TRUE(opener->opened.empty());

  fake.device->modernMajor = 17;
  fake.device->settingsUrl.reset();
  Util::gotoAppPrivacySettings();
  EXPECT_TRUE(opener->opened.empty());

  Platform::install(nullptr);  // no device, no opener
  Util::gotoAppPrivacySettings();
  EXPECT_TRUE(opener->opened.empty());
}

TEST(OrvaneSdkTest, ResetRestoresInitialValues) {
  auto& sdk = OrvaneSDK::shared();
  sdk.hostUrl = "https://api.example.test/v1";
  sdk.hostPartnerUrl = "https://partner.example.test/api";
  sdk.isInspect = true;
  sdk.noticeUrl = "https://notice.example.test/";
  OrvaneSDK::shared().reset();
  EXPECT_FALSE(sdk.hostUrl || sdk.hostPartnerUrl || sdk.isInspect || sdk.noticeUrl);
}

}  // namespace
}  // namespace orvane
