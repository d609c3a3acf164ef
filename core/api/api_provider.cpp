#include "core/api/api_provider.hpp"

#include <cstdint>
#include <mutex>
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
                         Options options, std::shared_ptr<Executor> executor)
    : session_(std::move(session)),
      imageCodec_(std::move(imageCodec)),
      options_(options),
      executor_(std::move(executor)) {}

RequestHandle ApiProvider::request(std::string url, std::string_view method, const FormFields& postParam,
                                   const std::vector<ImagePtr>& uploadFiles, Completion completion) const {
  if (!completion) completion = [](const Result<std::string>&) {};
  if (!session_) {
    completion(Error::make(Error::Kind::notConfigured, "no HTTP session"));
    return RequestHandle::completed();
  }
  if (method == "POST" && !uploadFiles.empty() && executor_)
    return sendEncodingFirst(std::move(url), postParam, uploadFiles, std::move(completion));
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

RequestHandle ApiProvider::sendEncodingFirst(std::string url, const FormFields& postParam,
                                             const std::vector<ImagePtr>& uploadFiles,
                                             Completion completion) const {
  // The transfer starts on the executor; the caller's handle may go before or after.
  struct Sending {
    std::mutex mutex;
    bool cancelled = false;
    RequestHandle transfer;
  };
  auto gate = std::make_shared<CompletionGate>();
  auto sending = std::make_shared<Sending>();
  const bool posted = executor_->post([provider = ApiProvider(session_, imageCodec_, options_), url,
                                       postParam, uploadFiles, completion, gate, sending]() mutable {
    if (gate->closed()) return;
    auto transfer = provider.request(std::move(url), "POST", postParam, uploadFiles,
                                     [gate, completion](Result<std::string> result) {
                                       gate->pass([&] { completion(std::move(result)); });
                                     });
    std::unique_lock lock(sending->mutex);
    if (!sending->cancelled) {
      sending->transfer = std::move(transfer);
      return;
    }
    lock.unlock();
    transfer.reset();
  });
  if (!posted) {
    gate->pass(
        [&] { completion(Error::make(Error::Kind::cancelled, "Request cancelled: the SDK shuts down")); });
  }
  return RequestHandle(gate, [sending] {
    RequestHandle transfer;
    {
      std::lock_guard lock(sending->mutex);
      sending->cancelled = true;
      transfer = std::move(sending->transfer);
    }
    transfer.reset();
  });
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
