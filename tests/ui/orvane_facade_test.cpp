#include <gtest/gtest.h>

#include <QSettings>
#include <set>
#include <thread>
#include <vector>

#include "core/sdk/settings_keys.hpp"
#include "core/support/platform/memory_key_value_store.hpp"
#include "orvane/log.hpp"
#include "orvane/orvane.hpp"
#include "platform/qt/qt_key_value_store.hpp"
#include "platform/qt/qt_platform.hpp"
#include "temp_settings.hpp"

namespace orvane {
namespace {

using qt::QtKeyValueStore;

std::shared_ptr<Platform> installQtPlatform() {
  auto platform = qt::QtPlatform::make();
  Platform::install(platform);
  return platform;
}

class FacadeTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(platform_); }
  void TearDown() override {
    Platform::install(nullptr);
    Log::displayLog = false;
  }

  void flush() { dynamic_cast<QtKeyValueStore&>(*platform_->store).sync(); }
  void restart() {
    flush();
    settings_.simulateRestart();
  }
  // A store of its own, reading what is on disk rather than the facade's instance.
  std::unique_ptr<QtKeyValueStore> freshStore() {
    flush();
    return std::make_unique<QtKeyValueStore>();
  }

  testing::TempSettings settings_;
  std::shared_ptr<Platform> platform_ = installQtPlatform();  // before the facade's first use
  Orvane& orvane_ = Orvane::shared();
};

TEST_F(FacadeTest, WritesEverySettingUnderItsKeyWithItsType) {
  orvane_.initialize("mk", "mck", "user-1");
  orvane_.setMainTitle("Earn points");
  orvane_.setListType(Orvane::TYPE_LIST_ICON);
  orvane_.setAge(31);
  orvane_.setGender(Orvane::TYPE_GENDER_WOMAN);
  orvane_.setBenefitsType(Orvane::TYPE_BENEFITS_DISPLAY_LIST_TOP);
  orvane_.setCopyRightVisibility(true);
  orvane_.setTrackingUsage(false);

  restart();
  const auto fresh = freshStore();
  const auto& store = *fresh;
  EXPECT_EQ(store.object(keys::kMkey), StoreValue{std::string("mk")});
  EXPECT_EQ(store.object(keys::kMckey), StoreValue{std::string("mck")});
  EXPECT_EQ(store.object(keys::kUserId), StoreValue{std::string("user-1")});
  EXPECT_EQ(store.object(keys::kMainTitle), StoreValue{std::string("Earn points")});
  EXPECT_EQ(store.object(keys::kListType), StoreValue{std::int64_t{2}});
  EXPECT_EQ(store.object(keys::kAge), StoreValue{std::int64_t{31}});
  EXPECT_EQ(store.object(keys::kGender), StoreValue{std::string("2")});
  EXPECT_EQ(store.object(keys::kBenefitsDisplayType), StoreValue{std::int64_t{1}});
  EXPECT_EQ(store.object(keys::kCopyrightVisibility), StoreValue{true});
  EXPECT_EQ(store.object(keys::kTrackingUsage), StoreValue{false});
}

TEST_F(FacadeTest, UnwrittenSettingsReadAsTheirPlatformDefaults) {
  const auto fresh = freshStore();
  const auto& store = *fresh;
  EXPECT_EQ(store.string(keys::kMkey), std::nullopt);
  EXPECT_EQ(store.string(keys::kMainTitle), std::nullopt);
  EXPECT_EQ(store.integer(keys::kAge), 0);
  EXPECT_EQ(store.integer(keys::kListType), 0);
  EXPECT_FALSE(store.boolean(keys::kCopyrightVisibility));
  EXPECT_FALSE(store.boolean(keys::kTrackingUsage));
}

TEST_F(FacadeTest, TrackingUsageDefaultComesFromInitializeAndNeverReachesDisk) {
  auto& store = *platform_->store;
  EXPECT_FALSE(store.boolean(keys::kTrackingUsage));

  orvane_.initialize("mk", "mck", "u");
  EXPECT_TRUE(store.boolean(keys::kTrackingUsage));
  flush();
  EXPECT_FALSE(QSettings().contains(keys::kTrackingUsage));
  EXPECT_FALSE(settings_.fileContents().contains(keys::kTrackingUsage));

  // An explicit false wins, also over a later initialize.
  orvane_.setTrackingUsage(false);
  orvane_.initialize("mk", "mck", "u");
  EXPECT_FALSE(store.boolean(keys::kTrackingUsage));

  // Removing the written value uncovers the default again.
  store.removeObject(keys::kTrackingUsage);
  EXPECT_TRUE(store.boolean(keys::kTrackingUsage));

  // The next process starts without the default.
  restart();
  EXPECT_FALSE(freshStore()->boolean(keys::kTrackingUsage));
}

TEST_F(FacadeTest, SecondInitializeReplacesTheFirstAndEmptyStringsAreStored) {
  orvane_.initialize("mk1", "mck1", "user1");
  orvane_.initialize("", "mck2", "user2");
  const auto fresh = freshStore();
  const auto& store = *fresh;
  EXPECT_EQ(store.string(keys::kMkey), "");
  EXPECT_EQ(store.string(keys::kMckey), "mck2");
  EXPECT_EQ(store.string(keys::kUserId), "user2");
}

TEST_F(FacadeTest, ValuesOutsideTheConstantsAreStoredUnchanged) {
  orvane_.setAge(0);
  EXPECT_EQ(freshStore()->object(keys::kAge), StoreValue{std::int64_t{0}});
  orvane_.setAge(-5);
  orvane_.setListType(7);
  orvane_.setGender("F");
  orvane_.setMainTitle("  spaced & %s 한국어 ");
  orvane_.setBenefitsType(INT64_MIN);
  restart();
  const auto fresh = freshStore();
  const auto& store = *fresh;
  EXPECT_EQ(store.object(keys::kAge), StoreValue{std::int64_t{-5}});
  EXPECT_EQ(store.integer(keys::kListType), 7);
  EXPECT_EQ(store.string(keys::kGender), "F");
  EXPECT_EQ(store.string(keys::kMainTitle), "  spaced & %s 한국어 ");
  EXPECT_EQ(store.integer(keys::kBenefitsDisplayType), INT64_MIN);
}

TEST_F(FacadeTest, DebugSwitchLivesOnlyInMemory) {
  orvane_.setDebugEnabled(true);
  EXPECT_TRUE(Log::displayLog);
  orvane_.setDebugEnabled(false);
  EXPECT_FALSE(Log::displayLog);
  EXPECT_TRUE(QSettings().allKeys().isEmpty());
}

TEST_F(FacadeTest, ColoursHaveTheirExactValues) {
  // QColor keeps 16 bits per channel and answers in float.
  const QColor primary = orvane_.orvaneColorPrimary;
  EXPECT_EQ(primary, QColor::fromRgbF(1.0, 92 / 255.0, 90 / 255.0, 1.0));
  EXPECT_EQ(primary.rgba(), 0xFFFF5C5Au);
  EXPECT_EQ(primary.toRgb(), primary);
  EXPECT_FLOAT_EQ(primary.greenF(), 92 / 255.0f);
  EXPECT_FLOAT_EQ(primary.blueF(), 90 / 255.0f);
  EXPECT_FLOAT_EQ(primary.alphaF(), 1.0f);
  const QColor disable = orvane_.orvaneColorDisable;
  EXPECT_EQ(disable, QColor::fromRgbF(160 / 255.0, 160 / 255.0, 160 / 255.0, 1.0));
  EXPECT_EQ(disable.rgba(), 0xFFA0A0A0u);
}

TEST_F(FacadeTest, SharedIsOneInstanceFromEveryThread) {
  std::vector<Orvane*> seen(8, nullptr);
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < seen.size(); ++i)
    threads.emplace_back([&seen, i] { seen[i] = &Orvane::shared(); });
  for (auto& t : threads) t.join();
  for (auto* p : seen) EXPECT_EQ(p, &orvane_);
}

TEST_F(FacadeTest, FacadeWritesToWhateverStoreIsInstalledNow) {
  auto other = std::make_shared<Platform>(*platform_);
  auto memory = std::make_shared<MemoryKeyValueStore>();
  other->store = memory;
  Platform::install(other);
  orvane_.setGender("1");
  EXPECT_EQ(memory->string(keys::kGender), "1");
  EXPECT_FALSE(QSettings().contains(keys::kGender));
}

// --- the store itself

class QtKeyValueStoreTest : public ::testing::Test {
 protected:
  testing::TempSettings settings_;
  QtKeyValueStore store_;  // made after the temporary settings folder
};

TEST_F(QtKeyValueStoreTest, EveryTypeSurvivesARestartAsItself) {
  store_.setString("text", "42");
  store_.setString("at", "@Variant(x)");
  store_.setInteger("int", INT64_MAX);
  store_.setBool("flag", true);
  store_.setNumber("date", 1'700'000'000.25);
  store_.setNumber("tiny", 0.1);
  store_.sync();
  settings_.simulateRestart();
  QtKeyValueStore fresh;
  EXPECT_EQ(fresh.object("text"), StoreValue{std::string("42")});
  EXPECT_EQ(fresh.object("at"), StoreValue{std::string("@Variant(x)")});
  EXPECT_EQ(fresh.object("int"), StoreValue{INT64_MAX});
  EXPECT_EQ(fresh.object("flag"), StoreValue{true});
  EXPECT_EQ(fresh.object("date"), StoreValue{1'700'000'000.25});
  EXPECT_EQ(fresh.object("tiny"), StoreValue{0.1});

  // Overwriting with another type drops the old type.
  fresh.setString("int", "now text");
  fresh.removeObject("flag");
  fresh.sync();
  settings_.simulateRestart();
  QtKeyValueStore again;
  EXPECT_EQ(again.object("int"), StoreValue{std::string("now text")});
  EXPECT_EQ(again.object("flag"), std::nullopt);
}

TEST_F(QtKeyValueStoreTest, WritesReachTheFileWhenTheStoreGoes) {
  {
    QtKeyValueStore scoped;
    for (int i = 0; i < 20; ++i) scoped.setInteger("n" + std::to_string(i), i);
    scoped.removeObject("n3");
  }
  QSettings s;
  EXPECT_EQ(s.value("n19").toInt(), 19);
  EXPECT_FALSE(s.contains("n3"));
  EXPECT_EQ(s.value(QString(QtKeyValueStore::kTypeGroup) + "/n19").toString(), "i");
}

TEST_F(QtKeyValueStoreTest, ValuesTheHostWroteItselfReadSensibly) {
  {
    QSettings s;
    s.setValue("typed", 5);
    s.setValue("double", 2.5);
    s.setValue("list", QStringList{"a", "b"});
    // A hand-edited file: the tag says integer, the text is not one.
    s.setValue("edited", "abc");
    s.setValue(QString(QtKeyValueStore::kTypeGroup) + "/edited", "i");
  }
  QtKeyValueStore store;  // reads the file as it is now
  EXPECT_EQ(store.object("typed"), StoreValue{std::int64_t{5}});
  EXPECT_EQ(store.object("double"), StoreValue{2.5});
  EXPECT_EQ(store.object("edited"), StoreValue{std::string("abc")});
  EXPECT_EQ(store.integer("edited"), 0);
  (void)store.object("list");  // no value of ours: must not crash, whatever it reads as
  EXPECT_EQ(store.object(""), std::nullopt);
  store.setString("", "ignored");
  EXPECT_EQ(store.object(""), std::nullopt);
}

TEST_F(QtKeyValueStoreTest, ConcurrentWritersAndReadersKeepEveryValue) {
  constexpr int kThreads = 4;
  constexpr int kPerThread = 25;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([this, t] {
      for (int i = 0; i < kPerThread; ++i) {
        const std::string key = "k" + std::to_string(t) + "_" + std::to_string(i);
        store_.setInteger(key, t * 1000 + i);
        (void)store_.object("k0_0");
      }
    });
  }
  for (auto& th : threads) th.join();
  for (int t = 0; t < kThreads; ++t) {
    for (int i = 0; i < kPerThread; ++i) {
      EXPECT_EQ(store_.integer("k" + std::to_string(t) + "_" + std::to_string(i)), t * 1000 + i);
    }
  }
}

}  // namespace
}  // namespace orvane
