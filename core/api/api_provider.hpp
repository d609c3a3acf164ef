#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/api/multipart.hpp"
#include "core/support/platform/executor.hpp"
#include "core/support/platform/http_session.hpp"
#include "core/support/platform/image_codec.hpp"
#include "core/support/result.hpp"

namespace orvane {

// Performs one server request: fixed headers, the multipart body of a POST, the
// request and answer in the log, and the outcome as body bytes or an error.
//
// The session is shared and may reuse connections; nothing else is kept between
// requests, so one provider serves any number of them, from any thread.
class ApiProvider {
 public:
  // Called at most once, on the session's worker thread, and never once the request's
  // handle is dropped: with the body of a 200 answer (possibly empty), or with an error.
  // A status other than 200 fails with kind httpStatus, carrying the status and the
  // body; an answer without a body fails with kind emptyResponse.
  using Completion = std::function<void(Result<std::string>)>;

  static constexpr std::chrono::milliseconds kTimeout{60'000};
  static constexpr std::string_view kUserAgent =
      "Mozilla/5.0 (Windows NT 6.1; WOW64) AppleWebKit/535.7 (KHTML, like Gecko) Chrome/16.0.912.75 "
      "Safari/535.7";
  static constexpr std::string_view kUploadFieldName = "uploadfiles[]";
  static constexpr double kJpegQuality = 0.7;

  struct Options {
    std::chrono::milliseconds timeout = kTimeout;
  };

  // A null codec means that no image can be encoded: images are then skipped. With an
  // executor, the images of a POST are encoded there (JPEG encoding is image work, kept
  // off the caller's thread, which is usually the GUI thread); without one, at once.
  ApiProvider(std::shared_ptr<HttpSession> session, std::shared_ptr<const ImageCodec> imageCodec);
  ApiProvider(std::shared_ptr<HttpSession> session, std::shared_ptr<const ImageCodec> imageCodec,
              Options options, std::shared_ptr<Executor> executor = nullptr);

  // Returns at once with the request's handle; dropping it cancels the request, also
  // while its images are still being encoded. A GET ignores `postParam` and
  // `uploadFiles` and sends no body.
  RequestHandle request(std::string url, std::string_view method, const FormFields& postParam,
                        const std::vector<ImagePtr>& uploadFiles, Completion completion) const;

  // The body with a boundary the caller chose. An image that cannot be encoded as
  // JPEG is left out and logged.
  std::string createBody(const FormFields& fields, const std::vector<ImagePtr>& uploadFiles,
                         std::string_view boundary) const;

  // MIME type by the file name's extension, "application/octet-stream" when unknown.
  static std::string mimeTypeForPath(std::string_view path);

  // The network-level log lines, as written.
  static std::string requestLogLine(std::string_view url);
  static std::string responseLogLine(std::string_view url, std::string_view body);

 private:
  RequestHandle sendEncodingFirst(std::string url, const FormFields& postParam,
                                  const std::vector<ImagePtr>& uploadFiles, Completion completion) const;
  struct Payload {
    std::string boundary;
    std::string body;
  };
  std::vector<FilePart> encodeImages(const std::vector<ImagePtr>& images) const;
  Payload makePayload(const FormFields& fields, const std::vector<ImagePtr>& images) const;

  std::shared_ptr<HttpSession> session_;
  std::shared_ptr<const ImageCodec> imageCodec_;
  Options options_;
  std::shared_ptr<Executor> executor_;
};

// Valid UTF-8 with every ill-formed sequence replaced by U+FFFD, for logging.
std::string sanitizeUtf8(std::string_view bytes);

}  // namespace orvane
