#include "platform/qt/stored_uuid.hpp"

#include <QUuid>
#include <cctype>

namespace orvane::qt {

StoredUuid::StoredUuid(std::shared_ptr<KeyValueStore> store, std::string key)
    : store_(std::move(store)), key_(std::move(key)) {}

std::string StoredUuid::value() {
  std::lock_guard lock(mutex_);
  if (auto stored = store_->string(key_); stored && isUuidText(*stored)) return *stored;
  const std::string fresh = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper().toStdString();
  store_->setString(key_, fresh);
  return fresh;
}

void StoredUuid::reset() {
  std::lock_guard lock(mutex_);
  store_->removeObject(key_);
}

bool StoredUuid::isUuidText(const std::string& text) {
  if (text.size() != 36) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (c != '-') return false;
    } else if (!std::isxdigit(static_cast<unsigned char>(c)) || std::islower(static_cast<unsigned char>(c))) {
      return false;
    }
  }
  return true;
}

}  // namespace orvane::qt
