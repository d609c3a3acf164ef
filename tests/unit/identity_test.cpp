#include "core/sdk/identity.hpp"

#include <gtest/gtest.h>

#include "core/api/api_list.hpp"
#include "core/sdk/settings_keys.hpp"
#include "orvane/orvane_sdk.hpp"
#include "platform/fake/fakes.hpp"

namespace orvane {
namespace {

using testing::FakePlatform;

void writeIdentity(KeyValueStore& store, const std::string& mkey, const std::string& mckey,
                   const std::string& userId) {
  store.setString(keys::kMkey, mkey);
  store.setString(keys::kMckey, mckey);
  store.setString(keys::kUserId, userId);
}

TEST(IdentityRule, AllThreeWrittenAndNonEmptyOrAnErrorNamingEachFault) {
  MemoryKeyValueStore store;
  EXPECT_FALSE(isInitialized(nullptr));
  auto none = readIdentity(&store);
  ASSERT_FALSE(none.ok());
  EXPECT_EQ(none.error().kind, Error::Kind::notConfigured);
  EXPECT_NE(none.error().description.find("missing STANDARD_MKEY, STANDARD_MCKEY, STANDARD_USER_ID"),
            std::string::npos)
      << none.error().description;

  writeIdentity(store, "mk", "mck", "u 1");
  const auto whole = readIdentity(&store);
  ASSERT_TRUE(whole.ok());
  EXPECT_EQ(whole.value().mkey, "mk");
  EXPECT_EQ(whole.value().mckey, "mck");
  EXPECT_EQ(whole.value().userId, "u 1");

  // Each empty value alone is enough; several are all named.
  for (const char* key : {keys::kMkey, keys::kMckey, keys::kUserId}) {
    SCOPED_TRACE(key);
    writeIdentity(store, "mk", "mck", "u");
    store.setString(key, "");
    const auto result = readIdentity(&store);
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().kind, Error::Kind::notConfigured);
    EXPECT_NE(result.error().description.find(std::string("empty ") + key), std::string::npos);
  }
  // Only emptiness is refused: what a value means is the server's business.
  writeIdentity(store, " ", "0", "-");
  EXPECT_TRUE(isInitialized(&store));
}

// The builder follows the same rule: made with an empty key, it sends nothing and fails
// each request at once; the notice document needs no identity.
TEST(IdentityRule, ABuilderMadeWithAnEmptyKeyFailsAtOnceAndSendsNothing) {
  OrvaneSDK::shared().reset();
  OrvaneSDK::shared().hostUrl = "http://127.0.0.1:8080/v1";
  OrvaneSDK::shared().hostPartnerUrl = "http://127.0.0.1:8080/api";
  FakePlatform fake;
  fake.http->handler = [](const HttpRequest&) {
    return Result<HttpResponse>(testing::FakeHttpSession::ok("{}"));
  };
  writeIdentity(*fake.store, "mk", "", "u");
  ApiList api(fake.platform());
  // A later initialize does not repair a builder made before it.
  writeIdentity(*fake.store, "mk", "mck", "u");

  std::vector<Result<std::string>> results;
  auto keep = [&](Result<std::string> r) { results.push_back(std::move(r)); };
  RequestGroup kept;
  kept.add(api.getReq(keep));
  kept.add(api.getJoin("1", keep));
  kept.add(api.getReward("1", "k", keep));
  kept.add(api.getRewardList("0", "20240101", "20240131", keep));
  kept.add(api.postCS("n", "e", "t", "1", 1, "c", {}, keep));
  kept.add(api.getInst("1"));
  ASSERT_EQ(results.size(), 5u);
  for (const auto& r : results) {
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().kind, Error::Kind::notConfigured);
    EXPECT_NE(r.error().description.find("empty STANDARD_MCKEY"), std::string::npos);
  }
  EXPECT_TRUE(fake.http->requests().empty());
  kept.add(api.getVelmontNotice(keep));
  EXPECT_EQ(fake.http->requests().size(), 1u);
  OrvaneSDK::shared().reset();
}

}  // namespace
}  // namespace orvane
