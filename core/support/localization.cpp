#include "core/support/localization.hpp"

#include <simdjson.h>

#include <atomic>
#include <cctype>
#include <cstdlib>

#include "orvane/localized.hpp"
#include "orvane/log.hpp"

namespace orvane {

namespace resources {
extern const std::string_view kLocalizationEn;
extern const std::string_view kLocalizationKo;
}  // namespace resources

namespace {

constexpr int kUnset = -1;
std::atomic<int> chosenLanguage{kUnset};

}  // namespace

Localization::Localization(std::string_view englishJson, std::string_view koreanJson)
    : english_(parse(englishJson, "en")), korean_(parse(koreanJson, "ko")) {}

Localization::Table Localization::parse(std::string_view json, std::string_view name) {
  Table table;
  simdjson::dom::parser parser;
  const simdjson::padded_string padded(json);
  simdjson::dom::object object;
  if (const auto error = parser.parse(padded).get_object().get(object)) {
    Log::log("Localization table", {name, simdjson::error_message(error)}, Log::Level::error());
    return table;
  }
  for (const auto field : object) {
    std::string_view value;
    if (field.value.get_string().get(value) == simdjson::SUCCESS) {
      table.insert_or_assign(std::string(field.key), std::string(value));
    } else {
      Log::log("Localization table", {name, "entry is not text:", field.key}, Log::Level::error());
    }
  }
  return table;
}

const Localization& Localization::embedded() {
  static const Localization instance(resources::kLocalizationEn, resources::kLocalizationKo);
  return instance;
}

std::optional<std::string_view> Localization::lookup(Language language, std::string_view key) const {
  const auto& entries = table(language);
  const auto it = entries.find(key);
  if (it == entries.end()) return std::nullopt;
  return std::string_view(it->second);
}

std::string Localization::text(Language language, std::string_view key) const {
  if (const auto found = lookup(language, key)) return std::string(*found);
  if (const auto found = lookup(Language::english, key)) return std::string(*found);
  return std::string(key);
}

std::vector<std::string> Localization::keys(Language language) const {
  std::vector<std::string> out;
  for (const auto& [key, value] : table(language)) out.push_back(key);
  return out;
}

Localization::Language Localization::languageForLocale(std::string_view locale) {
  // "ko", "ko_KR.UTF-8", "ko-KR", but not a longer language code such as "kok".
  const bool korean = locale.size() >= 2 && std::tolower(static_cast<unsigned char>(locale[0])) == 'k' &&
                      std::tolower(static_cast<unsigned char>(locale[1])) == 'o' &&
                      (locale.size() == 2 || !std::isalpha(static_cast<unsigned char>(locale[2])));
  return korean ? Language::korean : Language::english;
}

Localization::Language Localization::languageFromEnvironment() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    // The SDK never changes the environment, so reading it races with nothing of ours.
    const char* value = std::getenv(name);  // NOLINT(concurrency-mt-unsafe)
    if (value && *value) return languageForLocale(value);
  }
  return Language::english;
}

void Localization::setLanguage(std::string_view locale) {
  chosenLanguage.store(static_cast<int>(languageForLocale(locale)));
}

Localization::Language Localization::language() {
  int chosen = chosenLanguage.load();
  if (chosen == kUnset) {
    // Read once; a racing `setLanguage` wins over the environment.
    const int fromEnvironment = static_cast<int>(languageFromEnvironment());
    chosen = chosenLanguage.compare_exchange_strong(chosen, fromEnvironment) ? fromEnvironment : chosen;
  }
  return static_cast<Language>(chosen);
}

std::string localized(std::string_view key) {
  return Localization::embedded().text(Localization::language(), key);
}

}  // namespace orvane
