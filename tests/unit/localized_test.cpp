#include "orvane/localized.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <string_view>

#include "core/support/localization.hpp"
#include "orvane/log.hpp"
#include "platform/fake/fakes.hpp"

namespace orvane {
namespace {

using Language = Localization::Language;

// Every key the screens and the participation flow look up, including the alert
// keys built from server result codes.
constexpr std::string_view kUsedKeys =
    "ascii_newline ov_accumulate ov_ad_select ov_alarm ov_allow_tracking "
    "ov_already_participation_campaign ov_benefits ov_benefits_received ov_breakdown_all ov_cancel "
    "ov_confirm ov_enter_all ov_input_inquiry ov_inquiry ov_inquiry_done ov_max_image_3 "
    "ov_max_image_size_3mb ov_not_ads ov_not_campaign ov_not_email_form ov_not_installed "
    "ov_not_participation_campaign ov_not_phone_form ov_participation_benefits ov_participation_check "
    "ov_participation_complete ov_participation_waiting ov_purchase_benefits ov_recently_month1 "
    "ov_recently_month3 ov_recently_week1 ov_request_type_etc ov_request_type_participate "
    "ov_request_type_savings ov_request_type_select ov_request_type_service_obstacle ov_select_photo "
    "ov_shoot_photo ov_sort_high ov_sort_init ov_sort_low ov_start_app ov_term ov_try_again ov_won "
    "ov_401 ov_402 ov_403 ov_406 ov_407 ov_410 ov_411 ov_500 ov_501 ov_502 ov_503 ov_900 ";

TEST(LocalizedTest, EmbeddedTablesHoldEveryUsedKeyInBothLanguages) {
  const auto& tables = Localization::embedded();
  std::istringstream words{std::string(kUsedKeys)};
  for (std::string key; words >> key;) {
    for (auto language : {Language::english, Language::korean}) {
      const auto text = tables.lookup(language, key);
      ASSERT_TRUE(text) << key << " missing in " << (language == Language::korean ? "ko" : "en");
      EXPECT_FALSE(text->empty()) << key;
    }
  }
  auto en = tables.keys(Language::english);
  auto ko = tables.keys(Language::korean);
  std::sort(en.begin(), en.end());
  std::sort(ko.begin(), ko.end());
  EXPECT_EQ(en, ko);

  for (auto language : {Language::english, Language::korean}) {
    EXPECT_EQ(tables.lookup(language, "ascii_newline"), "\n");
    // The sort mode is told apart by its button title, so the three must differ.
    const std::set<std::string> sortTitles{tables.text(language, "ov_sort_init"),
                                           tables.text(language, "ov_sort_high"),
                                           tables.text(language, "ov_sort_low")};
    EXPECT_EQ(sortTitles.size(), 3u);
  }
  EXPECT_EQ(tables.text(Language::korean, "ov_confirm"), "확인");
}

TEST(LocalizedTest, FallsBackToEnglishThenToKey) {
  const Localization tables(R"({"only_en": "English", "both": "B"})", R"({"both": "나"})");
  EXPECT_EQ(tables.text(Language::korean, "both"), "나");
  EXPECT_EQ(tables.text(Language::korean, "only_en"), "English");
  EXPECT_EQ(tables.text(Language::korean, "ov_nowhere"), "ov_nowhere");
  EXPECT_EQ(tables.text(Language::english, "ov_nowhere"), "ov_nowhere");
  EXPECT_EQ(tables.text(Language::english, ""), "");
}

TEST(LocalizedTest, BrokenTableIsLoggedAndKeysShowAsThemselves) {
  testing::FakePlatform fake;
  fake.install();
  Log::displayLog = true;
  const Localization tables(R"({"a": "A", "n": 5})", R"({"a": "가", )");
  Log::displayLog = false;
  EXPECT_EQ(tables.text(Language::english, "a"), "A");
  EXPECT_EQ(tables.text(Language::english, "n"), "n");
  EXPECT_EQ(tables.text(Language::korean, "a"), "A");
  EXPECT_TRUE(fake.logSink->contains("ko"));
  EXPECT_TRUE(fake.logSink->contains("entry is not text: n"));
}

TEST(LocalizedTest, LanguageFollowsLocaleNames) {
  for (const char* korean : {"ko", "KO", "ko_KR.UTF-8", "ko-KR"}) {
    EXPECT_EQ(Localization::languageForLocale(korean), Language::korean) << korean;
  }
  for (const char* english : {"", "C", "POSIX", "en_US.UTF-8", "kok_IN", "k", "de_DE"}) {
    EXPECT_EQ(Localization::languageForLocale(english), Language::english) << english;
  }
}

TEST(LocalizedTest, EnvironmentPrecedenceIsLcAllThenLcMessagesThenLang) {
  std::optional<std::string> saved[3];
  const char* names[3] = {"LC_ALL", "LC_MESSAGES", "LANG"};
  for (int i = 0; i < 3; ++i) {
    if (const char* v = std::getenv(names[i])) saved[i] = v;
    ::unsetenv(names[i]);
  }
  ::setenv("LANG", "ko_KR.UTF-8", 1);
  const auto fromLang = Localization::languageFromEnvironment();
  ::setenv("LC_MESSAGES", "en_GB.UTF-8", 1);
  const auto fromMessages = Localization::languageFromEnvironment();
  ::setenv("LC_ALL", "", 1);  // empty counts as unset
  const auto emptyAll = Localization::languageFromEnvironment();
  ::setenv("LC_ALL", "ko_KR.UTF-8", 1);
  const auto fromAll = Localization::languageFromEnvironment();
  for (int i = 0; i < 3; ++i) {
    if (saved[i]) {
      ::setenv(names[i], saved[i]->c_str(), 1);
    } else {
      ::unsetenv(names[i]);
    }
  }
  EXPECT_EQ(fromLang, Language::korean);
  EXPECT_EQ(fromMessages, Language::english);
  EXPECT_EQ(emptyAll, Language::english);
  EXPECT_EQ(fromAll, Language::korean);
}

TEST(LocalizedTest, LocalizedUsesChosenLanguage) {
  Localization::setLanguage("ko_KR");
  EXPECT_EQ(localized("ov_cancel"), "취소");
  EXPECT_EQ(localized("ascii_newline"), "\n");
  EXPECT_EQ(localized("no_such_key"), "no_such_key");
  Localization::setLanguage("en");
  EXPECT_EQ(localized("ov_cancel"), "Cancel");
}

}  // namespace
}  // namespace orvane
