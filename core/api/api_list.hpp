#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/api/api_provider.hpp"
#include "core/api/query.hpp"
#include "core/sdk/identity.hpp"
#include "core/support/platform/platform.hpp"
#include "core/support/request_handle.hpp"
#include "core/support/result.hpp"

namespace orvane {

// Turns each server operation into one HTTP request and hands the body (or the
// error) to the caller; decoding is the caller's step.
//
// Creation freezes the identity, the advertising id and the server addresses, so
// a builder made before a change of settings keeps the old ones. Age, gender, the
// inspection switch and the device facts are read for every request.
//
// Use a builder from one thread at a time. Every operation returns the request's
// handle; dropping it cancels the request (see RequestHandle), and a builder may go
// before its requests do. Every completion runs once unless its handle is dropped
// first: on the HTTP session's worker thread, or, when the request cannot be formed
// (SDK not initialised by the rule of readIdentity, a missing or malformed server
// address), at once on the calling thread with an error of kind notConfigured or
// invalidUrl, and nothing is sent. Screens and the
// flow go through `fetch` (core/support/fetch.hpp), which decodes off the GUI thread.
class ApiList {
 public:
  using Completion = ApiProvider::Completion;

  static constexpr std::string_view REQUEST_METHOD_GET = "GET";
  static constexpr std::string_view REQUEST_METHOD_POST = "POST";

  explicit ApiList(std::shared_ptr<const Platform> platform = Platform::current());
  ApiList(std::shared_ptr<const Platform> platform, ApiProvider::Options transportOptions);

  // API server.
  RequestHandle getReq(Completion completion);
  RequestHandle getView(const std::string& campid, Completion completion);
  RequestHandle getJoin(const std::string& campid, Completion completion);
  RequestHandle getState(const std::string& campid, Completion completion);
  // The answer is of no interest; failures are only logged. Dropping the handle at once
  // would cancel the report: keep it as long as the report may still go out.
  RequestHandle getInst(const std::string& campid);
  RequestHandle getExec(const std::string& campid, Completion completion);
  RequestHandle getReward(const std::string& campid, const std::string& ovnkey, Completion completion);

  // Partner server.
  RequestHandle getCampList(Completion completion);
  RequestHandle getAgreeContents(Completion completion);
  RequestHandle postCS(const std::string& name, const std::string& email, const std::string& tel,
                       const std::string& cstype, std::int64_t campid, const std::string& content,
                       const std::vector<ImagePtr>& uploadFiles, Completion completion);
  RequestHandle getRewardList(const std::string& rewardtype, const std::string& sdate,
                              const std::string& edate, Completion completion);

  // The notice document; needs neither the identity nor the server addresses.
  RequestHandle getVelmontNotice(Completion completion);

 private:
  enum class Server { api, partner };

  static Result<BaseUrl> chooseBase(Server server);

  // The base of `server` with the identity checked first; an error says why not.
  std::optional<Error> check(Server server) const;
  const BaseUrl& base(Server server) const;
  RequestHandle get(Server server, std::string_view path, std::vector<QueryItem> items,
                    Completion completion) const;
  static RequestHandle fail(const Error& error, const Completion& completion);

  std::vector<QueryItem> identityItems() const;  // mkey, mckey, userid
  QueryItem adid() const;
  QueryItem carrier() const;
  QueryItem gender() const;
  std::optional<QueryItem> age() const;

  std::shared_ptr<const Platform> platform_;
  ApiProvider provider_;
  Result<Identity> identity_;
  std::optional<std::string> idfa_;
  Result<BaseUrl> hostUrl_;
  Result<BaseUrl> hostPartnerUrl_;
  Result<BaseUrl> noticeUrl_;
};

}  // namespace orvane
