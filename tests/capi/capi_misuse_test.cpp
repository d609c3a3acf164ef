// Host misuse of the C API: every mistake gives a code and a text, never a crash.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/capi/capi_test_support.hpp"

using namespace capi_test;

TEST(CApiMisuse, NullPointersAndDeadHandlesGiveCodes) {
  EXPECT_EQ(orvane_create(nullptr, nullptr), ORVANE_E_INVALID_ARGUMENT);
  EXPECT_STRNE(orvane_last_error(), "");
  orvane_config tooBig{};
  tooBig.struct_size = sizeof tooBig + 64;
  orvane_sdk* sdk = nullptr;
  EXPECT_EQ(orvane_create(&tooBig, &sdk), ORVANE_E_INVALID_ARGUMENT);
  EXPECT_EQ(sdk, nullptr);

  EXPECT_EQ(orvane_pump(nullptr, nullptr), ORVANE_E_INVALID_ARGUMENT);
  EXPECT_EQ(orvane_initialize(nullptr, "a", "b", "c"), ORVANE_E_INVALID_ARGUMENT);
  EXPECT_EQ(orvane_load_list(nullptr, 0, ORVANE_SORT_INIT, ListOutcome::callback, nullptr, nullptr),
            ORVANE_E_INVALID_ARGUMENT);
  // A pointer that never was a handle.
  int bogus = 0;
  auto* fake = reinterpret_cast<orvane_sdk*>(&bogus);
  EXPECT_EQ(orvane_pump(fake, nullptr), ORVANE_E_INVALID_HANDLE);
  EXPECT_EQ(orvane_destroy(fake), ORVANE_E_INVALID_HANDLE);

  Host host;
  EXPECT_EQ(orvane_load_list(host.sdk, 0, ORVANE_SORT_INIT, nullptr, nullptr, nullptr),
            ORVANE_E_INVALID_ARGUMENT);
  EXPECT_EQ(orvane_load_list(host.sdk, 5, ORVANE_SORT_INIT, ListOutcome::callback, nullptr, nullptr),
            ORVANE_E_INVALID_ARGUMENT);
  EXPECT_EQ(orvane_load_list(host.sdk, 0, static_cast<orvane_sort_mode>(9), ListOutcome::callback, nullptr,
                             nullptr),
            ORVANE_E_INVALID_ARGUMENT);
  EXPECT_EQ(orvane_join(host.sdk, nullptr), ORVANE_E_INVALID_ARGUMENT);
  EXPECT_EQ(orvane_alert_press(host.sdk, 12345, 0), ORVANE_E_NOT_FOUND);
  EXPECT_EQ(orvane_answer_tracking(host.sdk, 77, 1), ORVANE_E_NOT_FOUND);
  EXPECT_EQ(orvane_cancel(host.sdk, 999), ORVANE_E_NOT_FOUND);
  EXPECT_EQ(orvane_is_polling(host.sdk, nullptr), ORVANE_E_INVALID_ARGUMENT);
  EXPECT_EQ(orvane_load_image(
                host.sdk, "file:///etc/passwd", [](auto...) {}, nullptr, nullptr),
            ORVANE_E_INVALID_URL);
  EXPECT_EQ(orvane_list_get_info(nullptr, nullptr), ORVANE_E_INVALID_ARGUMENT);
  EXPECT_EQ(orvane_campaign_int(nullptr, ORVANE_CAMP_CAMPID, nullptr), ORVANE_E_INVALID_ARGUMENT);
  orvane_list_free(nullptr);
  orvane_history_free(nullptr);
  std::int64_t due = 0;
  ASSERT_EQ(orvane_next_due_ms(host.sdk, &due), ORVANE_OK);
  EXPECT_EQ(due, -1);  // nothing waits

  orvane_sdk* dead = host.sdk;
  EXPECT_EQ(orvane_destroy(dead), ORVANE_OK);
  host.sdk = nullptr;
  EXPECT_EQ(orvane_pump(dead, nullptr), ORVANE_E_INVALID_HANDLE);
  EXPECT_EQ(orvane_initialize(dead, "a", "b", "c"), ORVANE_E_INVALID_HANDLE);
  EXPECT_EQ(orvane_destroy(dead), ORVANE_E_INVALID_HANDLE);
}

TEST(CApiMisuse, BadStringsAndAddressesAreRefusedAndChangeNothing) {
  Host host;
  EXPECT_EQ(orvane_set_main_title(host.sdk, "ok title"), ORVANE_OK);
  EXPECT_EQ(orvane_set_main_title(host.sdk, "\xC3\x28 broken"), ORVANE_E_INVALID_STRING);
  EXPECT_EQ(orvane_set_main_title(host.sdk, "\xED\xA0\x80 surrogate"), ORVANE_E_INVALID_STRING);
  const char* title = nullptr;
  ASSERT_EQ(orvane_main_title(host.sdk, &title), ORVANE_OK);
  EXPECT_STREQ(title, "ok title");
  EXPECT_EQ(orvane_initialize(host.sdk, "m", "\xFF", "u"), ORVANE_E_INVALID_STRING);
  int initialized = 1;
  ASSERT_EQ(orvane_is_initialized(host.sdk, &initialized), ORVANE_OK);
  EXPECT_EQ(initialized, 0);  // nothing of a refused call was written

  EXPECT_EQ(orvane_set_servers(host.sdk, "file:///etc/passwd", nullptr, nullptr), ORVANE_E_INVALID_URL);
  EXPECT_EQ(orvane_set_servers(host.sdk, "/v1", nullptr, nullptr), ORVANE_E_INVALID_URL);

  // An inquiry field with a NUL inside its given length.
  orvane_inquiry inquiry{};
  inquiry.struct_size = sizeof inquiry;
  const char name[] = {'a', '\0', 'b'};
  inquiry.name = {name, sizeof name};
  inquiry.agreed = 1;
  EXPECT_EQ(orvane_submit_inquiry(
                host.sdk, &inquiry, [](const orvane_error*, void*) {}, nullptr, nullptr),
            ORVANE_E_INVALID_STRING);
  EXPECT_NE(std::string(orvane_last_error()).find("NUL"), std::string::npos);
}

TEST(CApiMisuse, CallsOffTheMainThreadAreRefused) {
  Host host;
  orvane_status fromOther = ORVANE_OK;
  orvane_status pumpFromOther = ORVANE_OK;
  std::thread other([&] {
    fromOther = orvane_set_age(host.sdk, 30);
    pumpFromOther = orvane_pump(host.sdk, nullptr);
  });
  other.join();
  EXPECT_EQ(fromOther, ORVANE_E_WRONG_THREAD);
  EXPECT_EQ(pumpFromOther, ORVANE_E_WRONG_THREAD);
  EXPECT_EQ(orvane_set_age(host.sdk, 30), ORVANE_OK);
}

TEST(CApiMisuse, CampaignFieldsOfTheWrongTypeOrAbsentSayWhich) {
  LocalServer server;
  server.start();
  Host host;
  host.connect(server);
  ListOutcome out;
  ASSERT_EQ(orvane_load_list(host.sdk, 0, ORVANE_SORT_INIT, ListOutcome::callback, &out, nullptr), ORVANE_OK);
  ASSERT_TRUE(host.pumpUntil([&] { return out.done; }));
  ASSERT_NE(out.list, nullptr);
  const orvane_campaign* c = nullptr;
  ASSERT_EQ(orvane_list_campaign(out.list, 0, &c), ORVANE_OK);
  std::int64_t i = 0;
  double d = 0;
  const char* s = nullptr;
  std::size_t n = 0;
  EXPECT_EQ(orvane_campaign_int(c, ORVANE_CAMP_NAME, &i), ORVANE_E_INVALID_ARGUMENT);
  EXPECT_EQ(orvane_campaign_string(c, ORVANE_CAMP_CAMPID, &s), ORVANE_E_INVALID_ARGUMENT);
  EXPECT_EQ(orvane_campaign_string(c, ORVANE_CAMP_NATIVEURL, &s), ORVANE_E_NOT_FOUND);
  EXPECT_EQ(orvane_campaign_double(c, ORVANE_CAMP_REWARDPRICE, &d), ORVANE_OK);
  EXPECT_EQ(orvane_campaign_list_count(c, ORVANE_CAMP_TARGETPKG, &n), ORVANE_OK);
  EXPECT_EQ(n, 2u);
  EXPECT_EQ(orvane_campaign_list_item(c, ORVANE_CAMP_TARGETPKG, 2, &s), ORVANE_E_NOT_FOUND);
  EXPECT_EQ(orvane_campaign_list_count(c, ORVANE_CAMP_DETARGETPKG, &n), ORVANE_E_NOT_FOUND);
  EXPECT_EQ(orvane_list_campaign(out.list, 1000, &c), ORVANE_E_NOT_FOUND);
}

TEST(CApiSettings, PersistInTheirFileAndSurviveAHandle) {
  const auto dir = std::filesystem::temp_directory_path() / ("orvane-capi-" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  const auto file = dir / "settings";
  {
    Host host(true, file.c_str());
    ASSERT_EQ(orvane_set_main_title(host.sdk, "Coins\ttab\nline 100%"), ORVANE_OK);
    ASSERT_EQ(orvane_initialize(host.sdk, "m", "mc", "u"), ORVANE_OK);
  }  // destroying writes what is pending
  ASSERT_TRUE(std::filesystem::exists(file));
  {
    Host host(true, file.c_str());
    const char* title = nullptr;
    ASSERT_EQ(orvane_main_title(host.sdk, &title), ORVANE_OK);
    EXPECT_STREQ(title, "Coins\ttab\nline 100%");
    int initialized = 0;
    orvane_is_initialized(host.sdk, &initialized);
    EXPECT_EQ(initialized, 1);
  }
  // A settings "file" that is something else is not read, and no handle fails for it.
  std::filesystem::remove(file);
  std::filesystem::create_directories(file);
  {
    Host host(true, file.c_str());
    int initialized = 1;
    orvane_is_initialized(host.sdk, &initialized);
    EXPECT_EQ(initialized, 0);
  }
  std::filesystem::remove_all(dir);
}

TEST(CApiTexts, HtmlBecomesPlainTextWithParagraphs) {
  const char* text = nullptr;
  ASSERT_EQ(orvane_html_to_text("<p>One</p><p>Two &amp; <b>three</b></p>", ORVANE_NTS, &text), ORVANE_OK);
  EXPECT_STREQ(text, "One\n\nTwo & three");
  ASSERT_EQ(orvane_html_to_text("<ul><li>a</li><li>b</li></ul>x<br>y", ORVANE_NTS, &text), ORVANE_OK);
  EXPECT_STREQ(text, "\xE2\x80\xA2 a\n\xE2\x80\xA2 b\n\nx\ny");
  ASSERT_EQ(
      orvane_html_to_text("<script>alert(1)</script><style>p{}</style><!-- c -->ok <img src=\"file:///x\">",
                          ORVANE_NTS, &text),
      ORVANE_OK);
  EXPECT_STREQ(text, "ok");
  ASSERT_EQ(orvane_html_to_text("a &#x1F600; &#0; &bogus; 1 < 2 <unclosed tag", ORVANE_NTS, &text),
            ORVANE_OK);
  EXPECT_STREQ(text, "a \xF0\x9F\x98\x80 \xEF\xBF\xBD &bogus; 1 < 2");
  ASSERT_EQ(orvane_html_to_text("<pre>a\n  b</pre>\xFF", ORVANE_NTS, &text), ORVANE_OK);
  EXPECT_STREQ(text, "a\n  b\n\n\xEF\xBF\xBD");
}
