#include <gtest/gtest.h>

#include "core/support/platform/memory_key_value_store.hpp"

namespace orvane {
namespace {

TEST(KeyValueStore, MissingValuesReadAsPlatformDefaults) {
  MemoryKeyValueStore store;
  EXPECT_EQ(store.string("k"), std::nullopt);
  EXPECT_EQ(store.integer("k"), 0);
  EXPECT_FALSE(store.boolean("k"));
  EXPECT_EQ(store.number("k"), std::nullopt);
}

TEST(KeyValueStore, WrittenValueWinsOverRegisteredDefaultAndDefaultIsNotPersisted) {
  MemoryKeyValueStore store;
  store.registerDefaults({{"flag", StoreValue{true}}});
  EXPECT_TRUE(store.boolean("flag"));
  EXPECT_TRUE(store.persisted().empty());
  store.setBool("flag", false);
  EXPECT_FALSE(store.boolean("flag"));
  store.registerDefaults({{"flag", StoreValue{true}}});
  EXPECT_FALSE(store.boolean("flag"));
  store.removeObject("flag");
  EXPECT_TRUE(store.boolean("flag"));
}

TEST(KeyValueStore, ConvertsBetweenStoredTypesLikeThePlatform) {
  MemoryKeyValueStore store;
  store.setString("s", "42");
  EXPECT_EQ(store.integer("s"), 42);
  EXPECT_TRUE(store.boolean("s"));
  store.setString("junk", "abc");
  EXPECT_EQ(store.integer("junk"), 0);
  EXPECT_FALSE(store.boolean("junk"));
  store.setInteger("i", -7);
  EXPECT_EQ(store.string("i"), "-7");
  EXPECT_EQ(store.number("i"), -7.0);
  store.setNumber("d", 1e300);
  EXPECT_EQ(store.integer("d"), INT64_MAX);
}

}  // namespace
}  // namespace orvane
