#include <gtest/gtest.h>

#include <cstring>

#include "orvane/config.hpp"

namespace orvane {
const char* orvaneVersion();
}

TEST(Library, ReportsItsVersion) { EXPECT_STREQ(orvane::orvaneVersion(), orvane::config::kVersion); }
