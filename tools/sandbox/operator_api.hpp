#pragma once

#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <random>
#include <string>

#include "tools/sandbox/fixture.hpp"
#include "tools/sandbox/http_util.hpp"
#include "tools/sandbox/multipart.hpp"
#include "tools/sandbox/store.hpp"

namespace orvane::sandbox {

struct ApiRequest {
  std::string method;
  std::string path;
  Fields query;
  Fields form;                       // text parts of a multipart body
  std::vector<MultipartPart> files;  // parts with a file name
  bool multipart = false;
  std::string multipartError;  // why a multipart body was refused, if it was
  std::string origin;          // http://127.0.0.1:PORT, for links in answers
};

struct ApiResponse {
  int status = 200;
  std::string contentType = "application/json; charset=utf-8";
  std::optional<nlohmann::json> json;  // JSON answers; serialised by the caller
  std::string body;                    // other answers
};

struct ApiLimits {
  int statePollsUntilDone = 2;
  std::size_t maxUploadFiles = 5;
  std::size_t maxUploadFileBytes = 5 * 1024 * 1024;
};

// The operator's behaviour, free of HTTP: answers one request from the fixture and the
// store. Thread-safe: requests are serialised on one lock (images on their own).
class OperatorApi {
 public:
  OperatorApi(Fixture fixture, const std::string& dbPath, ApiLimits limits);

  // nullopt when no endpoint has this path.
  std::optional<ApiResponse> handle(const ApiRequest& request);

  std::vector<StoredInquiry> inquiries();
  const Fixture& fixture() const { return fixture_; }

 private:
  ApiResponse campaignList(const ApiRequest& r, const Media& media);
  ApiResponse view(const ApiRequest& r);
  ApiResponse join(const ApiRequest& r, const Media& media);
  ApiResponse state(const ApiRequest& r, const Media& media);
  ApiResponse install(const ApiRequest& r, const Media& media);
  ApiResponse exec(const ApiRequest& r, const Media& media);
  ApiResponse reward(const ApiRequest& r, const Media& media);
  ApiResponse userCampaigns(const ApiRequest& r, const Media& media);
  ApiResponse rewardList(const ApiRequest& r, const Media& media);
  ApiResponse inquiry(const ApiRequest& r, const Media& media);
  ApiResponse landing(const ApiRequest& r, const std::string& campid);
  ApiResponse image(const std::string& name);

  void confirm(Participation& p, const Media& media);
  void credit(Participation& p);
  std::string newKey();
  nlohmann::json wireCampaign(const Fixture::Campaign& c, const std::string& origin) const;

  Fixture fixture_;
  ApiLimits limits_;
  std::mutex mutex_;
  Store store_;
  std::mt19937_64 random_;

  std::mutex imageMutex_;
  std::map<std::string, std::pair<std::string, std::string>> images_;  // name -> (type, bytes)
};

}  // namespace orvane::sandbox
