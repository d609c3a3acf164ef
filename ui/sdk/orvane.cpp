#include "orvane/orvane.hpp"

#include "core/sdk/settings_keys.hpp"
#include "core/support/platform/platform.hpp"
#include "orvane/log.hpp"
#include "platform/qt/qt_platform.hpp"

namespace orvane {

namespace {

// Looked up at every call so that a store swapped in later (tests) is the one written.
std::shared_ptr<KeyValueStore> store() { return Platform::current()->store; }

}  // namespace

Orvane::Orvane() { qt::QtPlatform::install(); }

Orvane& Orvane::shared() {
  static Orvane instance;
  return instance;
}

void Orvane::initialize(const std::string& mkey, const std::string& mckey, const std::string& userId) {
  auto s = store();
  s->setString(keys::kMkey, mkey);
  s->setString(keys::kMckey, mckey);
  s->setString(keys::kUserId, userId);
  s->registerDefaults({{keys::kTrackingUsage, StoreValue{true}}});
}

void Orvane::setMainTitle(const std::string& mainTitle) { store()->setString(keys::kMainTitle, mainTitle); }

void Orvane::setListType(std::int64_t listType) { store()->setInteger(keys::kListType, listType); }

void Orvane::setDebugEnabled(bool enabled) { Log::displayLog = enabled; }

void Orvane::setAge(std::int64_t age) { store()->setInteger(keys::kAge, age); }

void Orvane::setGender(const std::string& gender) { store()->setString(keys::kGender, gender); }

void Orvane::setBenefitsType(std::int64_t benefitsType) {
  store()->setInteger(keys::kBenefitsDisplayType, benefitsType);
}

void Orvane::setCopyRightVisibility(bool visibility) {
  store()->setBool(keys::kCopyrightVisibility, visibility);
}

void Orvane::setTrackingUsage(bool use) { store()->setBool(keys::kTrackingUsage, use); }

}  // namespace orvane
