#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace orvane {

// The SDK's text tables, English and Korean: flat JSON objects from key to text.
// The embedded instance serves `localized`; others are for tests.
class Localization {
 public:
  enum class Language { english, korean };

  // A table that does not parse is logged and left empty, so its keys show as themselves.
  Localization(std::string_view englishJson, std::string_view koreanJson);

  // The tables compiled into the library, parsed on first use.
  static const Localization& embedded();

  // The entry of one table, without fallback.
  std::optional<std::string_view> lookup(Language language, std::string_view key) const;
  // The entry in `language`, else in English, else the key itself.
  std::string text(Language language, std::string_view key) const;
  std::vector<std::string> keys(Language language) const;

  // Chooses the language by a locale name ("ko", "ko_KR.UTF-8", "en-US"): Korean
  // for "ko..." in any case, English for anything else. The Qt layer calls it with
  // the system locale; until then the language comes from the environment.
  static void setLanguage(std::string_view locale);
  static Language language();

  static Language languageForLocale(std::string_view locale);
  // The first non-empty of LC_ALL, LC_MESSAGES and LANG, as POSIX ranks them.
  static Language languageFromEnvironment();

 private:
  struct StringHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  using Table = std::unordered_map<std::string, std::string, StringHash, std::equal_to<>>;

  static Table parse(std::string_view json, std::string_view name);
  const Table& table(Language language) const { return language == Language::korean ? korean_ : english_; }

  Table english_;
  Table korean_;
};

}  // namespace orvane
