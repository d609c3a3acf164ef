#include "tools/sandbox/multipart.hpp"

#include <gtest/gtest.h>

namespace orvane::sandbox {
namespace {

TEST(SandboxMultipart, BoundaryComesFromTheContentType) {
  EXPECT_EQ(multipartBoundary("multipart/form-data; boundary=^-----^"), "^-----^");
  EXPECT_EQ(multipartBoundary("Multipart/Form-Data;boundary=\"a;b c\"; charset=utf-8"), "a;b c");
  EXPECT_EQ(multipartBoundary("multipart/form-data; charset=utf-8; boundary=xyz"), "xyz");
  EXPECT_FALSE(multipartBoundary("multipart/form-data"));
  EXPECT_FALSE(multipartBoundary("multipart/form-data; boundary="));
  EXPECT_FALSE(multipartBoundary("application/json; boundary=x"));
  EXPECT_FALSE(multipartBoundary("multipart/form-data; boundary=" + std::string(71, 'b')));
}

TEST(SandboxMultipart, ParsesFieldsAndFilesWithBinaryContent) {
  const std::string jpeg("\xff\xd8\r\n--^-----\x00\xff\xd9", 14);  // looks like a delimiter, is not one
  const std::string body =
      "--^-----^\r\nContent-Disposition: form-data; name=\"name\"\r\n\r\nKim; \"Lee\"\r\n"
      "--^-----^\r\nContent-Disposition: form-data; name=\"empty\"\r\n\r\n\r\n"
      "--^-----^\r\nContent-Disposition: form-data; name=\"uploadfiles[]\"; "
      "filename=\"image42.jpg\"\r\nContent-Type: image/jpeg\r\n\r\n" +
      jpeg + "\r\n--^-----^--\r\n";
  const MultipartResult r = parseMultipart(body, "^-----^");
  ASSERT_TRUE(r.ok()) << r.error;
  ASSERT_EQ(r.parts.size(), 3u);
  EXPECT_EQ(r.parts[0].name, "name");
  EXPECT_EQ(r.parts[0].data, "Kim; \"Lee\"");
  EXPECT_FALSE(r.parts[0].fileName);
  EXPECT_EQ(r.parts[1].data, "");
  EXPECT_EQ(r.parts[2].name, "uploadfiles[]");
  EXPECT_EQ(r.parts[2].fileName, "image42.jpg");
  EXPECT_EQ(r.parts[2].contentType, "image/jpeg");
  EXPECT_EQ(r.parts[2].data, jpeg);
}

TEST(SandboxMultipart, ClosingDelimiterAloneIsAnEmptyForm) {
  const MultipartResult r = parseMultipart("--^-----^--\r\n", "^-----^");
  EXPECT_TRUE(r.ok());
  EXPECT_TRUE(r.parts.empty());
}

TEST(SandboxMultipart, BrokenFramingIsReportedNotStored) {
  const std::string part = "--b\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\nvalue";
  EXPECT_FALSE(parseMultipart(part, "b").ok());                                  // truncated
  EXPECT_FALSE(parseMultipart(part + "\r\n--other--", "b").ok());                // wrong boundary at the end
  EXPECT_FALSE(parseMultipart("hello", "b").ok());                               // no boundary at all
  EXPECT_FALSE(parseMultipart("--b\r\nX-Only: 1\r\n\r\nv\r\n--b--", "b").ok());  // no disposition
  EXPECT_FALSE(parseMultipart("--b\r\nContent-Disposition: form-data; name=\"a\"", "b").ok());
  EXPECT_FALSE(parseMultipart("--bXX\r\n", "b").ok());
}

}  // namespace
}  // namespace orvane::sandbox
