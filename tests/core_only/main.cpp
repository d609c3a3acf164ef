// Links nothing but the core: proves the core stands without Qt.
#include <cstdio>

#include "core/support/platform/platform.hpp"
#include "orvane/config.hpp"

int main() {
  auto platform = orvane::Platform::current();
  platform->store->setString("probe", "ok");
  const bool ok = platform->store->string("probe") == "ok";
  std::printf("orvane core %s without Qt: %s\n", orvane::config::kVersion, ok ? "ok" : "broken");
  return ok ? 0 : 1;
}
