#include "core/api/multipart.hpp"

#include <gtest/gtest.h>

#include <regex>

#include "core/api/api_provider.hpp"
#include "orvane/log.hpp"
#include "platform/fake/fakes.hpp"

namespace orvane {
namespace {

using testing::FakeImageCodec;

// Splits a body at its delimiters; the parts lie between "--B" CRLF and the next CRLF "--B".
std::vector<std::string> parts(const std::string& body, const std::string& boundary) {
  std::vector<std::string> out;
  const std::string open = "--" + boundary + "\r\n";
  const std::string delimiter = "\r\n--" + boundary;
  if (body.rfind(open, 0) != 0) return out;
  std::size_t start = open.size();
  for (;;) {
    const auto end = body.find(delimiter, start);
    if (end == std::string::npos) return out;
    out.push_back(body.substr(start, end - start));
    start = end + delimiter.size();
    if (body.compare(start, 4, "--\r\n") == 0) return out;
    start += 2;  // CRLF after the delimiter
  }
}

std::string withPlaceholderNames(const std::string& body) {
  static const std::regex kFileName("filename=\"image[0-9]+\\.jpg\"");
  return std::regex_replace(body, kFileName, "filename=\"imageN.jpg\"");
}

class MultipartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Log::displayLog = true;
    Log::setSink(sink);
  }
  void TearDown() override {
    Log::displayLog = false;
    Log::setSink(nullptr);
  }

  std::shared_ptr<FakeImageCodec> codec = std::make_shared<FakeImageCodec>();
  std::shared_ptr<testing::CapturingLogSink> sink = std::make_shared<testing::CapturingLogSink>();
  ApiProvider provider{nullptr, codec};
};

TEST_F(MultipartTest, FieldsThenImagesByteForByte) {
  const FormFields fields = {
      {"mkey", std::string("mk")}, {"campid", std::int64_t{-42}}, {"content", std::string("a\r\nb")}};
  const auto body =
      provider.createBody(fields, {FakeImageCodec::make(3, 4), FakeImageCodec::make(5, 6)}, "^-----^");
  const std::string expected =
      "--^-----^\r\n"
      "Content-Disposition: form-data; name=\"mkey\"\r\n\r\n"
      "mk\r\n"
      "--^-----^\r\n"
      "Content-Disposition: form-data; name=\"campid\"\r\n\r\n"
      "-42\r\n"
      "--^-----^\r\n"
      "Content-Disposition: form-data; name=\"content\"\r\n\r\n"
      "a\r\nb\r\n"
      "--^-----^\r\n"
      "Content-Disposition: form-data; name=\"uploadfiles[]\"; filename=\"imageN.jpg\"\r\n"
      "Content-Type: image/jpeg\r\n\r\n"
      "IMG 3 4\r\n"
      "--^-----^\r\n"
      "Content-Disposition: form-data; name=\"uploadfiles[]\"; filename=\"imageN.jpg\"\r\n"
      "Content-Type: image/jpeg\r\n\r\n"
      "IMG 5 6\r\n"
      "--^-----^--\r\n";
  EXPECT_EQ(withPlaceholderNames(body), expected);
  EXPECT_EQ(provider.createBody({}, {}, "^-----^"), "--^-----^--\r\n");
}

TEST_F(MultipartTest, BoundaryChangesOnlyWhenSomePartContainsIt) {
  EXPECT_EQ(Multipart::chooseBoundary({{"name", std::string("^----^ almost")}}, {}), "^-----^");

  const std::vector<std::pair<FormFields, std::vector<FilePart>>> colliding = {
      {{{"content",
         std::string("x\r\n--^-----^\r\nContent-Disposition: form-data; name=\"mkey\"\r\n\r\nforged")}},
       {}},
      {{{"na^-----^me", std::string("v")}}, {}},
      {{}, {{"uploadfiles[]", "image1.jpg", "image/jpeg", std::string("\xFF\xD8^-----^\xFF\xD9")}}},
  };
  for (const auto& [fields, files] : colliding) {
    const auto boundary = Multipart::chooseBoundary(fields, files);
    ASSERT_NE(boundary, "^-----^");
    const auto body = Multipart::encode(fields, files, boundary);
    // The reader sees exactly the parts written, the typed text intact inside one of them.
    const auto split = parts(body, boundary);
    ASSERT_EQ(split.size(), fields.size() + files.size());
    if (!fields.empty()) {
      EXPECT_NE(split[0].find(std::get<std::string>(fields[0].second)), std::string::npos);
    } else {
      EXPECT_NE(split[0].find(files[0].data), std::string::npos);
    }
  }
  // Fresh boundaries are random, so two colliding bodies do not share one.
  const FormFields fields = {{"content", std::string("^-----^")}};
  EXPECT_NE(Multipart::chooseBoundary(fields, {}), Multipart::chooseBoundary(fields, {}));
}

TEST_F(MultipartTest, QuotesAndLineBreaksInNamesCannotEndTheHeader) {
  const auto body = Multipart::encode({{"a\"b\r\nX-Evil: 1", std::string("v")}}, {}, "^-----^");
  EXPECT_EQ(body,
            "--^-----^\r\n"
            "Content-Disposition: form-data; name=\"a%22b%0D%0AX-Evil: 1\"\r\n\r\n"
            "v\r\n"
            "--^-----^--\r\n");
}

TEST_F(MultipartTest, UnencodableImageIsLeftOutAndLogged) {
  codec->failEncoding = true;
  const auto body =
      provider.createBody({{"k", std::string("v")}}, {FakeImageCodec::make(1, 1), nullptr}, "^-----^");
  EXPECT_EQ(body, "--^-----^\r\nContent-Disposition: form-data; name=\"k\"\r\n\r\nv\r\n--^-----^--\r\n");
  const auto lines = sink->lines();
  ASSERT_EQ(lines.size(), 2u);
  for (const auto& line : lines) {
    EXPECT_EQ(line.type, LogType::error);
    EXPECT_NE(line.message.find("could not be encoded"), std::string::npos);
  }
}

TEST_F(MultipartTest, FileNamesAreRandomJpegNames) {
  const auto body = provider.createBody({}, {FakeImageCodec::make(1, 1), FakeImageCodec::make(1, 1)}, "B");
  static const std::regex kName("filename=\"image([0-9]+)\\.jpg\"");
  std::vector<std::uint64_t> numbers;
  for (auto it = std::sregex_iterator(body.begin(), body.end(), kName); it != std::sregex_iterator(); ++it) {
    numbers.push_back(std::stoull((*it)[1].str()));
  }
  ASSERT_EQ(numbers.size(), 2u);
  for (const auto n : numbers) EXPECT_LE(n, 0xFFFFFFFFull);
  EXPECT_EQ(ApiProvider::mimeTypeForPath("image123.jpg"), "image/jpeg");
  EXPECT_EQ(ApiProvider::mimeTypeForPath("x.unknown"), "application/octet-stream");
}

}  // namespace
}  // namespace orvane
