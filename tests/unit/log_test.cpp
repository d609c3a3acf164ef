#include "orvane/log.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/fake/fakes.hpp"

namespace orvane {
namespace {

using testing::CapturingLogSink;
using testing::FakePlatform;

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake.install();
    Log::displayLog = true;
  }
  void TearDown() override {
    Log::displayLog = false;
    Log::setSink(nullptr);
  }
  FakePlatform fake;
};

TEST_F(LogTest, EachLevelHasItsCategoryAndType) {
  struct Case {
    Log::Level level;
    const char* category;
    LogType type;
  };
  const Case cases[] = {
      {Log::Level::debug(), "🟡 DEBUG", LogType::debug},
      {Log::Level::info(), "🟠 INFO", LogType::info},
      {Log::Level::network(), "🔵 NETWORK", LogType::info},
      {Log::Level::error(), "🔴 ERROR", LogType::error},
      {Log::Level::custom("TEST"), "🟢 TEST", LogType::debug},
  };
  for (const auto& c : cases) {
    Log::log("stateAPICheck", c.level);
  }
  const auto lines = fake.logSink->lines();
  ASSERT_EQ(lines.size(), std::size(cases));
  for (std::size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i].category, cases[i].category);
    EXPECT_EQ(lines[i].type, cases[i].type);
    EXPECT_EQ(lines[i].message, "stateAPICheck ");
  }
}

TEST_F(LogTest, MessageJoinsFurtherItemsWithSingleSpaces) {
  Log::log("ApiJoin apiJoin Error :", {"Optional(401)", "x"}, Log::Level::error());
  EXPECT_EQ(fake.logSink->lines().at(0).message, "ApiJoin apiJoin Error : Optional(401) x");
  EXPECT_EQ(Log::format("a", {}), "a ");
  EXPECT_EQ(Log::format("", {""}), " ");
}

TEST_F(LogTest, NothingIsWrittenWhenSwitchedOffOrTypeRejected) {
  Log::displayLog = false;
  for (auto level : {Log::Level::debug(), Log::Level::info(), Log::Level::network(), Log::Level::error(),
                     Log::Level::custom("c")}) {
    Log::log("quiet", level);
  }
  EXPECT_TRUE(fake.logSink->lines().empty());

  Log::displayLog = true;
  fake.logSink->reject(LogType::error);
  Log::log("dropped", Log::Level::error());
  Log::log("kept", Log::Level::network());
  const auto lines = fake.logSink->lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].message, "kept ");
}

TEST_F(LogTest, InstalledSinkOverridesPlatformAndNullRestoresIt) {
  auto own = std::make_shared<CapturingLogSink>();
  Log::setSink(own);
  Log::log("to own", Log::Level::info());
  Log::setSink(nullptr);
  Log::log("to platform", Log::Level::info());
  EXPECT_TRUE(own->contains("to own"));
  EXPECT_FALSE(own->contains("to platform"));
  EXPECT_TRUE(fake.logSink->contains("to platform"));
  EXPECT_FALSE(fake.logSink->contains("to own"));
}

TEST_F(LogTest, SwappingSinksWhileOtherThreadsLogLosesNoLineAndDoesNotRace) {
  constexpr int kThreads = 4;
  constexpr int kPerThread = 500;
  auto a = std::make_shared<CapturingLogSink>();
  auto b = std::make_shared<CapturingLogSink>();
  std::atomic<bool> stop{false};
  std::thread swapper([&] {
    for (int i = 0; !stop; ++i) Log::setSink(i % 2 ? a : b);
  });
  std::vector<std::thread> writers;
  for (int t = 0; t < kThreads; ++t) {
    writers.emplace_back([] {
      for (int i = 0; i < kPerThread; ++i) Log::log("line", Log::Level::info());
    });
  }
  for (auto& w : writers) w.join();
  stop = true;
  swapper.join();
  EXPECT_EQ(a->lines().size() + b->lines().size() + fake.logSink->lines().size(),
            static_cast<std::size_t>(kThreads * kPerThread));
}

}  // namespace
}  // namespace orvane
