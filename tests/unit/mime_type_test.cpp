#include "orvane/mime_type.hpp"

#include <gtest/gtest.h>

#include <set>

#include "core/support/mime_types.hpp"

namespace orvane {
namespace {

TEST(MimeTypeTest, TableHas94DistinctLowerCaseRows) {
  const auto& table = mimeTypes();
  EXPECT_EQ(table.size(), 94u);
  std::set<std::string_view> types;
  for (const auto& [extension, type] : table) {
    EXPECT_FALSE(extension.empty());
    for (char c : extension) EXPECT_FALSE(c >= 'A' && c <= 'Z') << extension;
    types.insert(type);
  }
  EXPECT_EQ(types.size(), 75u);
  EXPECT_EQ(table.at("jpg"), "image/jpeg");
  EXPECT_EQ(table.at("svgz"), "image/svg+xml");
  EXPECT_EQ(table.at("crt"), "application/x-x509-ca-cert");
  EXPECT_EQ(table.at("pptx"), "application/vnd.openxmlformats-officedocument.presentationml.presentation");
  EXPECT_EQ(table.at("kar"), "audio/midi");
  EXPECT_EQ(table.at("3gp"), "video/3gpp");
  EXPECT_EQ(table.at("avi"), "video/x-msvideo");
}

TEST(MimeTypeTest, PathUsesLastExtensionOfLastComponentCaseInsensitively) {
  EXPECT_EQ(mimeType("PHOTO.JPG"), "image/jpeg");
  EXPECT_EQ(mimeType("/var/tmp/shot.Png"), "image/png");
  EXPECT_EQ(mimeType("archive.tar.gz"), "application/octet-stream");
  EXPECT_EQ(mimeType("backup.zip"), "application/zip");
  EXPECT_EQ(mimeType("README"), "application/octet-stream");
  EXPECT_EQ(mimeType("dir.png/README"), "application/octet-stream");
  EXPECT_EQ(mimeType("name."), "application/octet-stream");
  EXPECT_EQ(mimeType(""), "application/octet-stream");
  EXPECT_EQ(mimeType("a/b.pdf/"), "application/pdf");
  // Taken as plain text, a query stays part of the extension.
  EXPECT_EQ(mimeType("https://cdn.example.test/i/banner.png?x=1"), "application/octet-stream");
}

TEST(MimeTypeTest, UrlIgnoresSchemeHostQueryAndFragment) {
  EXPECT_EQ(mimeTypeOfUrl("https://cdn.example.test/i/banner.png?x=1"), "image/png");
  EXPECT_EQ(mimeTypeOfUrl("https://cdn.example.test/i/banner.png#top"), "image/png");
  EXPECT_EQ(mimeTypeOfUrl("https://cdn.example.test/doc.pdf?name=a.zip#b.mp4"), "application/pdf");
  EXPECT_EQ(mimeTypeOfUrl("https://cdn.example.test/a?f=x.png"), "application/octet-stream");
  EXPECT_EQ(mimeTypeOfUrl("https://cdn.example.png"), "application/octet-stream");
  EXPECT_EQ(mimeTypeOfUrl("https://cdn.example.test:8443/v.MP4"), "video/mp4");
  EXPECT_EQ(mimeTypeOfUrl("file:///tmp/x.json"), "application/json");
  EXPECT_EQ(mimeTypeOfUrl("relative/dir/clip.webm?x"), "video/webm");
  EXPECT_EQ(mimeTypeOfUrl("https://h.test/my%20photo.jpeg"), "image/jpeg");
  EXPECT_EQ(mimeTypeOfUrl(""), "application/octet-stream");
}

TEST(MimeTypeTest, ExtensionLookup) {
  EXPECT_EQ(mimeTypeForExtension("json"), "application/json");
  EXPECT_EQ(mimeTypeForExtension("JSON"), "application/json");
  EXPECT_EQ(mimeTypeForExtension("gz"), "");
  EXPECT_EQ(mimeTypeForExtension(""), "");
}

}  // namespace
}  // namespace orvane
