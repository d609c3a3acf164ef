#include "core/support/url.hpp"

#include <gtest/gtest.h>

namespace orvane {
namespace {

TEST(UrlText, EncodesWithTheCallersSetAndDecodesBack) {
  const std::string text = "a b/c?d=e&f#g%h\xC3\xA9";
  EXPECT_EQ(percentEncode(text), "a%20b%2Fc%3Fd%3De%26f%23g%25h%C3%A9");
  EXPECT_EQ(percentEncode(text, kFragmentAllowed), "a%20b/c?d=e&f%23g%25h%C3%A9");
  EXPECT_EQ(percentEncode(text, kHostAllowed), "a%20b%2Fc%3Fd=e&f%23g%25h%C3%A9");
  for (const auto* set : {&kUnreserved, &kFragmentAllowed, &kHostAllowed}) {
    EXPECT_EQ(percentDecode(percentEncode(text, *set)), text);
    EXPECT_TRUE(isPercentEncoded(percentEncode(text, *set), *set));
  }
  // A '%' without two hex digits is no escape: kept when decoding, refused when checking.
  EXPECT_EQ(percentDecode("100%"), "100%");
  EXPECT_EQ(percentDecode("%zz%4"), "%zz%4");
  EXPECT_FALSE(isPercentEncoded("a%2", kUnreserved));
  EXPECT_FALSE(isPercentEncoded("a/b", kUnreserved));
}

TEST(UrlText, OnlyWebAddressesWithAHostAreDownloadable) {
  EXPECT_EQ(webUrl("https://img.example.com/a.png"), "https://img.example.com/a.png");
  EXPECT_EQ(webUrl("HTTP://img.example.com:8080/a b.png"), "HTTP://img.example.com:8080/a%20b.png");
  EXPECT_EQ(webUrl("http://127.0.0.1:9/%C3%A9.png"), "http://127.0.0.1:9/%C3%A9.png");
  // Files of this machine, other schemes and addresses without a host are not.
  for (const char* refused :
       {"file:///etc/passwd", "/etc/passwd", "../x.png", "ftp://a.example/x", "https://", "https:///x.png",
        "http://:80/x", "https:/a.example/x", "javascript:alert(1)", "not a url", ""}) {
    EXPECT_EQ(webUrl(refused), std::nullopt) << refused;
  }
  EXPECT_TRUE(isUrlText("https://a/b?c#d[e]%20"));
  EXPECT_FALSE(isUrlText("https://a/b c"));
  EXPECT_EQ(asUrlText("https://a/b c#d#e"), "https://a/b%20c%23d%23e");
}

}  // namespace
}  // namespace orvane
