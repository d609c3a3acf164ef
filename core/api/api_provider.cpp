#include "core/api/api_provider.hpp"

#include <cstdint>
#include <random>
#include <utility>

#include "core/api/decode_utf8.hpp"
#include "orvane/log.hpp"
#include "orvane/mime_type.hpp"

namespace orvane {

namespace {

constexpr std::size_t kRuleLength = 71;

std::uint32_t randomFileNumber() {
  thread_local std::mt19937 engine{std::random_device{}()};
  return static_cast<std::uint32_t>(engine());
}

Result<std::string> outcome(const std::string& url, Result<HttpResponse> result) {
  if (!result.ok()) {
    Log::log("APIProvider Error : " + result.error().description, Log::Level::info());
    return result.error();
  }
  auto& response = result.value();
  if (!response.hasBody && response.body.empty()) {
    auto error = Error::make(Error::Kind::emptyResponse,
                             "empty response (HTTP status " + std::to_string(response.status) + ")");
    error.status = response.status;
    Log::log("APIProvider Error : " + error.description, Log::Level::info());
    return error;
  }
  // Building the line copies and repairs the whole body: only when someone reads it.
  if (Log::displayLog) Log::log(ApiProvider::responseLogLine(url, response.body), Log::Level::network());
  if (response.status == 200) return std::move(response.body);
  auto error = Error::make(Error::Kind::httpStatus, "HTTP status " + std::to_string(response.status));
  error.status = response.status;
  error.body = std::move(response.body);
  return error;
}

}  // namespace

ApiProvider::ApiProvider(std::shared_ptr<HttpSession> session, std::shared_ptr<const ImageCodec> imageCodec)
    : ApiProvider(std::move(session), std::move(imageCodec), Options{}) {}

ApiProvider::ApiProvider(std::shared_ptr<HttpSession> session, std::shared_ptr<const ImageCodec> imageCodec,
                         Options options)
    : session_(std::move(session)), imageCodec_(std::move(imageCodec)), options_(options) {}

RequestHandle ApiProvider::request(std::string url, std::string_view method, const FormFields& postParam,
                                   const std::vector<ImagePtr>& uploadFiles, Completion completion) const {
  if (!completion) completion = [](const Result<std::string>&) {};
  if (!session_) {
    completion(Error::make(Error::Kind::notConfigured, "no HTTP session"));
    return RequestHandle::completed();
  }
  HttpRequest request;
  request.url = url;
  request.method = std::string(method);
  request.timeout = options_.timeout;
  request.headers.emplace_back("User-Agent", std::string(kUserAgent));
  request.headers.emplace_back("cookie", "1");
  if (method == "POST") {
    auto payload = makePayload(postParam, uploadFiles);
    request.headers.emplace_back("Content-Type", "multipart/form-data; boundary=" + payload.boundary);
    request.body = std::move(payload.body);
  }
  if (Log::displayLog) Log::log(requestLogLine(url), Log::Level::network());
  return session_->send(std::move(request),
                        [url = std::move(url), completion = std::move(completion)](
                            Result<HttpResponse> result) { completion(outcome(url, std::move(result))); });
}

std::vector<FilePart> ApiProvider::encodeImages(const std::vector<ImagePtr>& images) const {
  std::vector<FilePart> files;
  files.reserve(images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    std::string fileName = "image" + std::to_string(randomFileNumber()) + ".jpg";
    std::optional<std::string> jpeg;
    if (images[i] && imageCodec_) jpeg = imageCodec_->encodeJpeg(*images[i], kJpegQuality);
    if (!jpeg) {
      // One unreadable screenshot should not cost the user the whole inquiry.
      Log::log("APIProvider image " + std::to_string(i) + " could not be encoded as JPEG; left out",
               Log::Level::error());
      continue;
    }
    auto contentType = mimeTypeForPath(fileName);
    files.push_back(
        {std::string(kUploadFieldName), std::move(fileName), std::move(contentType), std::move(*jpeg)});
  }
  return files;
}

std::string ApiProvider::createBody(const FormFields& fields, const std::vector<ImagePtr>& uploadFiles,
                                    std::string_view boundary) const {
  return Multipart::encode(fields, encodeImages(uploadFiles), boundary);
}

ApiProvider::Payload ApiProvider::makePayload(const FormFields& fields,
                                              const std::vector<ImagePtr>& images) const {
  const auto files = encodeImages(images);
  Payload payload;
  payload.boundary = Multipart::chooseBoundary(fields, files);
  payload.body = Multipart::encode(fields, files, payload.boundary);
  return payload;
}

std::string ApiProvider::mimeTypeForPath(std::string_view path) {
  // A phone asks its type database first and falls back to the table; on the
  // desktop both roads end in the same table.
  return mimeType(path);
}

std::string ApiProvider::requestLogLine(std::string_view url) {
  const std::string rule(kRuleLength, '>');
  std::string line = rule;
  line += " \n ";
  line += url;
  line += ' ';
  line += rule;
  return line;
}

std::string ApiProvider::responseLogLine(std::string_view url, std::string_view body) {
  const std::string rule(kRuleLength, '<');
  std::string line = rule;
  line += " \n ";
  line += url;
  line += " \n ";
  line += sanitizeUtf8(body);
  line += ' ';
  line += rule;
  return line;
}

std::string sanitizeUtf8(std::string_view bytes) { return repairUtf8(bytes); }

}  // namespace orvane
