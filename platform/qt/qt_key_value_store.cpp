#include "platform/qt/qt_key_value_store.hpp"

#include <QCoreApplication>
#include <QSettings>
#include <QVariant>
#include <memory>
#include <set>

namespace orvane::qt {

namespace {

constexpr char kTagInteger[] = "i";
constexpr char kTagBool[] = "b";
constexpr char kTagDouble[] = "d";

QString toQString(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QString typeKey(const QString& key) { return QString::fromLatin1(QtKeyValueStore::kTypeGroup) + u'/' + key; }

// Text read back from disk, interpreted by the tag written with it. Text that does
// not parse as its tag says (the host edited the file) stays text.
StoreValue fromTaggedText(const QString& text, const QString& tag) {
  bool ok = false;
  if (tag == QLatin1String(kTagInteger)) {
    const qlonglong v = text.toLongLong(&ok);
    if (ok) return StoreValue{static_cast<std::int64_t>(v)};
  } else if (tag == QLatin1String(kTagDouble)) {
    const double v = text.toDouble(&ok);
    if (ok) return StoreValue{v};
  } else if (tag == QLatin1String(kTagBool)) {
    if (text == QLatin1String("true")) return StoreValue{true};
    if (text == QLatin1String("false")) return StoreValue{false};
  }
  return StoreValue{text.toStdString()};
}

std::optional<StoreValue> fromVariant(const QVariant& v, const QString& tag) {
  switch (v.metaType().id()) {
    case QMetaType::Bool:
      return StoreValue{v.toBool()};
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
      return StoreValue{static_cast<std::int64_t>(v.toLongLong())};
    case QMetaType::ULong:
    case QMetaType::ULongLong: {
      const qulonglong u = v.toULongLong();
      if (u <= static_cast<qulonglong>(INT64_MAX)) return StoreValue{static_cast<std::int64_t>(u)};
      return StoreValue{v.toDouble()};
    }
    case QMetaType::Float:
    case QMetaType::Double:
      return StoreValue{v.toDouble()};
    case QMetaType::QString:
      return fromTaggedText(v.toString(), tag);
    case QMetaType::QByteArray:
      return StoreValue{v.toByteArray().toStdString()};
    default:
      // Lists, rectangles and the like are no value of ours.
      if (v.canConvert<QString>()) return StoreValue{v.toString().toStdString()};
      return std::nullopt;
  }
}

// Flushes every live store while Qt is still whole: a store that lives until static
// destruction would otherwise write its last changes with half of Qt gone.
// Both are never destroyed: a store held by a process-wide object may go away
// during static destruction, after function-local statics are gone.
std::mutex& liveMutex() {
  static auto* m = new std::mutex;
  return *m;
}
std::set<QtKeyValueStore*>& liveStores() {
  static auto* s = new std::set<QtKeyValueStore*>;
  return *s;
}
void flushLiveStores() {
  std::lock_guard lock(liveMutex());
  for (auto* store : liveStores()) store->sync();
}

}  // namespace

QtKeyValueStore::QtKeyValueStore()
    : QtKeyValueStore(QCoreApplication::organizationName(), QCoreApplication::applicationName()) {}

QtKeyValueStore::QtKeyValueStore(QString organization, QString application)
    : organization_(std::move(organization)), application_(std::move(application)) {
  load();
  writer_ = std::thread([this] { runWriter(); });
  static std::once_flag hook;
  if (QCoreApplication::instance()) std::call_once(hook, [] { qAddPostRoutine(flushLiveStores); });
  std::lock_guard lock(liveMutex());
  liveStores().insert(this);
}

QtKeyValueStore::~QtKeyValueStore() {
  {
    std::lock_guard lock(liveMutex());
    liveStores().erase(this);
  }
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  writer_.join();  // writes what is still pending first
}

std::unique_ptr<QSettings> QtKeyValueStore::open() const {
  return std::make_unique<QSettings>(QSettings::defaultFormat(), QSettings::UserScope, organization_,
                                     application_);
}

void QtKeyValueStore::load() {
  auto settings = open();
  const QString tagPrefix = QString::fromLatin1(kTypeGroup) + u'/';
  for (const QString& key : settings->allKeys()) {
    if (key.startsWith(tagPrefix)) continue;
    if (auto value = fromVariant(settings->value(key), settings->value(tagPrefix + key).toString())) {
      values_.insert_or_assign(key.toStdString(), std::move(*value));
    }
  }
}

std::optional<StoreValue> QtKeyValueStore::object(std::string_view key) const {
  std::lock_guard lock(mutex_);
  if (auto it = values_.find(key); it != values_.end()) return it->second;
  if (auto it = defaults_.find(key); it != defaults_.end()) return it->second;
  return std::nullopt;
}

void QtKeyValueStore::setObject(std::string_view key, StoreValue value) {
  if (key.empty()) return;  // QSettings rejects an empty key
  queue(key, std::move(value));
}

void QtKeyValueStore::removeObject(std::string_view key) {
  if (key.empty()) return;
  queue(key, std::nullopt);
}

void QtKeyValueStore::queue(std::string_view key, Change change) {
  {
    std::lock_guard lock(mutex_);
    if (change) {
      values_.insert_or_assign(std::string(key), *change);
    } else if (auto it = values_.find(key); it != values_.end()) {
      values_.erase(it);
    }
    pending_.insert_or_assign(std::string(key), std::move(change));
    ++queued_;
  }
  wake_.notify_one();
}

void QtKeyValueStore::registerDefaults(const std::map<std::string, StoreValue>& defaults) {
  std::lock_guard lock(mutex_);
  for (const auto& [k, v] : defaults) defaults_.insert_or_assign(k, v);
}

void QtKeyValueStore::sync() {
  std::unique_lock lock(mutex_);
  const auto target = queued_;
  flushed_.wait(lock, [&] { return written_ >= target; });
}

void QtKeyValueStore::runWriter() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [&] { return stopping_ || written_ < queued_; });
    if (written_ == queued_) return;  // stopping, nothing left
    Batch batch;
    batch.swap(pending_);
    const auto target = queued_;
    lock.unlock();
    write(batch);
    lock.lock();
    written_ = target;
    flushed_.notify_all();
  }
}

void QtKeyValueStore::write(const Batch& batch) const {
  auto settings = open();
  for (const auto& [k, change] : batch) {
    const QString key = toQString(k);
    if (!change) {
      settings->remove(key);
      settings->remove(typeKey(key));
    } else if (auto* s = std::get_if<std::string>(&*change)) {
      settings->setValue(key, toQString(*s));
      settings->remove(typeKey(key));
    } else if (auto* i = std::get_if<std::int64_t>(&*change)) {
      settings->setValue(key, static_cast<qlonglong>(*i));
      settings->setValue(typeKey(key), QLatin1String(kTagInteger));
    } else if (auto* b = std::get_if<bool>(&*change)) {
      settings->setValue(key, *b);
      settings->setValue(typeKey(key), QLatin1String(kTagBool));
    } else if (auto* d = std::get_if<double>(&*change)) {
      settings->setValue(key, *d);
      settings->setValue(typeKey(key), QLatin1String(kTagDouble));
    }
  }
  settings->sync();
}

}  // namespace orvane::qt
