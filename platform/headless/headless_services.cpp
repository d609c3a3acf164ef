#include "platform/headless/headless_services.hpp"

#include <sys/utsname.h>

#include <array>
#include <cctype>
#include <cstdio>
#include <random>

#include "orvane/log.hpp"

namespace orvane::headless {

namespace {

std::string readSmallFile(const char* path) {
  std::string text;
  if (std::FILE* f = std::fopen(path, "re")) {
    std::array<char, 4096> buffer{};
    // os-release is a few hundred bytes; anything past 64 KiB is no os-release.
    while (text.size() < 65536) {
      const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), f);
      if (n == 0) break;
      text.append(buffer.data(), n);
    }
    std::fclose(f);
  }
  return text;
}

}  // namespace

// --- StoredUuid

StoredUuid::StoredUuid(std::shared_ptr<KeyValueStore> store, std::string key)
    : store_(std::move(store)), key_(std::move(key)) {}

std::string StoredUuid::value() {
  std::lock_guard lock(mutex_);
  if (auto stored = store_->string(key_); stored && isUuidText(*stored)) return *stored;
  std::string fresh = random();
  store_->setString(key_, fresh);
  return fresh;
}

void StoredUuid::reset() {
  std::lock_guard lock(mutex_);
  store_->removeObject(key_);
}

bool StoredUuid::isUuidText(std::string_view text) {
  if (text.size() != 36) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (c != '-') return false;
    } else if (!std::isxdigit(c) || std::islower(c)) {
      return false;
    }
  }
  return true;
}

std::string StoredUuid::random() {
  std::random_device device;
  std::array<unsigned char, 16> bytes{};
  for (auto& b : bytes) b = static_cast<unsigned char>(device() & 0xFF);
  bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);  // version 4
  bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) out += '-';
    out += kHex[bytes[i] >> 4];
    out += kHex[bytes[i] & 0xF];
  }
  return out;
}

// --- HeadlessTracking

HeadlessTracking::HeadlessTracking(std::shared_ptr<KeyValueStore> store, Ask ask)
    : store_(std::move(store)), ask_(std::move(ask)), id_(store_, kAdvertisingIdKey) {}

int HeadlessTracking::status() const {
  const auto stored = store_->integer(kStatusKey);
  return stored == tracking::authorized || stored == tracking::denied ? static_cast<int>(stored)
                                                                      : tracking::notDetermined;
}

void HeadlessTracking::record(int status) {
  if (status == this->status()) return;
  store_->setInteger(kStatusKey, status);
  id_.reset();  // a new answer, a new identifier
}

void HeadlessTracking::requestAuthorization(std::function<void(int status)> completion,
                                            std::weak_ptr<AlertHost> /*host*/) {
  const int now = status();
  if (now != tracking::notDetermined || !ask_) {
    if (completion) completion(ask_ ? now : tracking::restricted);
    return;
  }
  // The host may answer at once, later, or never; only its first answer counts.
  auto once = std::make_shared<std::once_flag>();
  ask_([this, once, completion = std::move(completion)](bool allowed) {
    std::call_once(*once, [&] {
      const int status = allowed ? tracking::authorized : tracking::denied;
      record(status);
      if (completion) completion(status);
    });
  });
}

std::string HeadlessTracking::advertisingIdentifier() {
  return status() == tracking::authorized ? id_.value() : std::string(kZeroAdvertisingId);
}

void HeadlessTracking::reset() {
  store_->removeObject(kStatusKey);
  id_.reset();
}

// --- HeadlessDeviceInfo

HeadlessDeviceInfo::HeadlessDeviceInfo(std::shared_ptr<KeyValueStore> store,
                                       std::optional<std::string> systemVersion,
                                       std::optional<std::string> machine)
    : vendorId_(std::move(store), kVendorIdKey) {
  utsname u{};
  const bool named = uname(&u) == 0;
  if (systemVersion) {
    systemVersion_ = *systemVersion;
  } else {
    for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
      if (auto v = versionIdFromOsRelease(readSmallFile(path))) {
        systemVersion_ = *v;
        break;
      }
    }
    if (systemVersion_.empty() && named) systemVersion_ = u.release;
  }
  machine_ = machine ? *machine : (named ? std::string(u.machine) : std::string("unknown"));
}

std::optional<std::string> HeadlessDeviceInfo::versionIdFromOsRelease(std::string_view text) {
  constexpr std::string_view kField = "VERSION_ID=";
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!line.starts_with(kField)) continue;
    std::string_view value = line.substr(kField.size());
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
      value = value.substr(1, value.size() - 2);
    }
    if (value.empty()) return std::nullopt;
    return std::string(value);
  }
  return std::nullopt;
}

}  // namespace orvane::headless
