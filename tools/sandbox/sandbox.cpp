#include "tools/sandbox/sandbox.hpp"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "tools/sandbox/http_util.hpp"
#include "tools/sandbox/multipart.hpp"
#include "tools/sandbox/operator_api.hpp"

namespace orvane::sandbox {

namespace {

using nlohmann::json;

constexpr char kHandledHeader[] = "X-Orvane-Sandbox";
constexpr std::size_t kMaxLoggedRequests = 20000;
constexpr char kInvalidUtf8Marker[] = "@@ORVANE_INVALID_UTF8@@";

std::optional<std::string> first(const std::vector<std::pair<std::string, std::string>>& fields,
                                 const std::string& name) {
  for (const auto& [k, v] : fields) {
    if (k == name) return v;
  }
  return std::nullopt;
}

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

const char* bodyModeName(BodyMode m) {
  switch (m) {
    case BodyMode::Malformed:
      return "malformed";
    case BodyMode::Empty:
      return "empty";
    case BodyMode::Huge:
      return "huge";
    case BodyMode::InvalidUtf8:
      return "invalid_utf8";
    case BodyMode::Normal:
      break;
  }
  return "normal";
}

std::optional<BodyMode> bodyModeFrom(const std::string& s) {
  for (BodyMode m :
       {BodyMode::Normal, BodyMode::Malformed, BodyMode::Empty, BodyMode::Huge, BodyMode::InvalidUtf8}) {
    if (s == bodyModeName(m)) return m;
  }
  return std::nullopt;
}

std::string dumpLenient(const json& j) { return j.dump(-1, ' ', false, json::error_handler_t::replace); }

json requestJson(const ReceivedRequest& r) {
  json files = json::array();
  for (const FileInfo& f : r.files) {
    files.push_back(
        {{"field", f.field}, {"fileName", f.fileName}, {"contentType", f.contentType}, {"size", f.size}});
  }
  json form = json::array();
  for (const auto& [k, v] : r.formFields) form.push_back({k, v});
  json query = json::array();
  for (const auto& [k, v] : r.query) query.push_back({k, v});
  json out = {{"method", r.method}, {"path", r.path},       {"rawQuery", r.rawQuery},
              {"query", query},     {"headers", r.headers}, {"formFields", form},
              {"files", files},     {"status", r.status},   {"bodySize", r.body.size()}};
  if (r.body.size() <= 64 * 1024 && r.files.empty()) out["body"] = r.body;
  return out;
}

// Mutates a normal JSON answer into the forced shape.
std::string shapeBody(std::optional<json> j, std::string raw, const Forcing& f) {
  switch (f.body) {
    case BodyMode::Normal:
      return j ? j->dump() : raw;
    case BodyMode::Empty:
      return {};
    case BodyMode::Malformed: {
      std::string text = j ? j->dump() : raw;
      return text.substr(0, text.size() / 2);  // cut mid-document
    }
    case BodyMode::Huge: {
      json body = j && j->is_object() ? *j : json{{"result", kResultOk}};
      const std::size_t base = body.dump().size() + (body.empty() ? 8 : 9);  // ,"pad":""
      body["pad"] = std::string(f.hugeBytes > base ? f.hugeBytes - base : 0, 'x');
      return body.dump();
    }
    case BodyMode::InvalidUtf8: {
      if (!j || !j->is_object()) return raw + "\xff\xfe";
      json body = *j;
      auto camp = body.find("camp");
      if (camp != body.end() && camp->is_array() && !camp->empty() && (*camp)[0].is_object()) {
        (*camp)[0]["name"] = (*camp)[0].value("name", std::string{}) + kInvalidUtf8Marker;
      } else {
        body["errmsg"] = kInvalidUtf8Marker;
      }
      std::string text = body.dump();
      const auto pos = text.find(kInvalidUtf8Marker);
      text.replace(pos, sizeof(kInvalidUtf8Marker) - 1, " \xC3\x28\xFF bad bytes");
      return text;
    }
  }
  return raw;
}

}  // namespace

std::optional<std::string> ReceivedRequest::queryValue(const std::string& name) const {
  return first(query, name);
}
std::optional<std::string> ReceivedRequest::formValue(const std::string& name) const {
  return first(formFields, name);
}
std::optional<std::string> Inquiry::field(const std::string& name) const { return first(fields, name); }

struct Server::Impl {
  Options options;
  OperatorApi api;
  httplib::Server http;
  std::thread thread;
  std::atomic<int> port{0};

  mutable std::mutex mutex;  // guards the fields below
  mutable std::condition_variable changed;
  std::vector<ReceivedRequest> log;
  std::size_t logBase = 0;  // requests dropped from the front of the log
  std::map<std::string, Forcing> forcings;
  bool stopping = false;
  bool started = false;

  explicit Impl(Options o)
      : options(std::move(o)),
        api(options.fixturePath.empty() ? Fixture::builtIn() : Fixture::fromFile(options.fixturePath),
            options.dbPath,
            ApiLimits{options.statePollsUntilDone, options.maxUploadFiles, options.maxUploadFileBytes}) {}

  std::string origin() const { return "http://127.0.0.1:" + std::to_string(port.load()); }

  std::optional<Forcing> takeForcing(const std::string& path) {
    std::lock_guard lock(mutex);
    auto it = forcings.find(path);
    if (it == forcings.end()) it = forcings.find("*");
    if (it == forcings.end()) return std::nullopt;
    Forcing f = it->second;
    if (it->second.times > 0 && --it->second.times == 0) forcings.erase(it);
    return f;
  }

  std::size_t record(ReceivedRequest r) {
    std::lock_guard lock(mutex);
    if (log.size() >= kMaxLoggedRequests) {
      log.erase(log.begin());
      ++logBase;
    }
    log.push_back(std::move(r));
    return logBase + log.size() - 1;
  }

  void finish(std::size_t id, int status) {
    {
      std::lock_guard lock(mutex);
      if (id >= logBase) log[id - logBase].status = status;
    }
    changed.notify_all();
  }

  // Sleeps for a forced delay; stop() cuts it short.
  void delay(int ms) {
    std::unique_lock lock(mutex);
    changed.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping; });
  }

  static ReceivedRequest describe(const httplib::Request& req, std::string body) {
    ReceivedRequest r;
    r.method = req.method;
    r.path = req.path;
    const auto q = req.target.find('?');
    if (q != std::string::npos) r.rawQuery = req.target.substr(q + 1);
    r.query = parseQuery(r.rawQuery);
    for (const auto& [name, value] : req.headers) {
      // httplib adds these itself; they were not sent.
      if (name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" || name == "LOCAL_PORT")
        continue;
      std::string& slot = r.headers[lower(name)];
      slot = slot.empty() ? value : slot + ", " + value;
    }
    r.body = std::move(body);
    return r;
  }

  void serve(const httplib::Request& req, httplib::Response& res, std::string body) {
    res.set_header(kHandledHeader, "1");
    if (req.path.rfind("/__control/", 0) == 0) {
      control(req, res, body);
      return;
    }
    ReceivedRequest received = describe(req, std::move(body));
    ApiRequest request;
    request.method = req.method;
    request.path = req.path;
    request.query = received.query;
    request.origin = origin();
    if (const auto type = received.headers.find("content-type"); type != received.headers.end()) {
      if (const auto boundary = multipartBoundary(type->second)) {
        request.multipart = true;
        MultipartResult parsed = parseMultipart(received.body, *boundary);
        request.multipartError = parsed.error;
        for (MultipartPart& part : parsed.parts) {
          if (part.fileName) {
            received.files.push_back({part.name, *part.fileName, part.contentType, part.data.size()});
            request.files.push_back(std::move(part));
          } else {
            received.formFields.emplace_back(part.name, part.data);
            request.form.emplace_back(part.name, std::move(part.data));
          }
        }
      } else if (lower(type->second).rfind("application/x-www-form-urlencoded", 0) == 0) {
        received.formFields = parseQuery(received.body);
        request.form = received.formFields;
      } else if (lower(type->second).rfind("multipart/", 0) == 0) {
        request.multipart = true;
        request.multipartError = "no usable boundary in Content-Type";
      }
    }
    const std::size_t id = record(std::move(received));

    const std::optional<Forcing> forcing = takeForcing(req.path);
    if (forcing && forcing->delayMs > 0) delay(forcing->delayMs);

    std::optional<ApiResponse> answer;
    if (forcing && forcing->result && !forcing->keepBody) {
      answer = ApiResponse{};
      answer->json = json{{"result", *forcing->result}};
    } else {
      try {
        answer = api.handle(request);
      } catch (const std::exception& e) {
        answer = ApiResponse{};
        answer->status = 500;
        answer->json = json{{"result", kResultServerError}, {"errmsg", e.what()}};
      }
      if (!answer) {
        answer = ApiResponse{};
        answer->status = 404;
        answer->json = json{{"result", kResultNotFound}, {"errmsg", "no such endpoint"}};
      }
      if (forcing && forcing->result && answer->json && answer->json->is_object()) {
        (*answer->json)["result"] = *forcing->result;
      }
    }

    std::string out;
    if (forcing) {
      out = shapeBody(answer->json, answer->body, *forcing);
    } else {
      out = answer->json ? dumpLenient(*answer->json) : answer->body;
    }
    res.status = forcing && forcing->httpStatus ? *forcing->httpStatus : answer->status;
    res.set_content(out, answer->contentType.c_str());
    finish(id, res.status);
  }

  void control(const httplib::Request& req, httplib::Response& res, const std::string& body) {
    try {
      controlUnsafe(req, res, body);
    } catch (const std::exception& e) {  // a wrongly typed member of a forcing
      res.status = 200;
      res.set_content(json{{"result", kResultBadRequest}, {"errmsg", e.what()}}.dump(), "application/json");
    }
  }

  void controlUnsafe(const httplib::Request& req, httplib::Response& res, const std::string& body) {
    const std::string& p = req.path;
    json out = {{"result", kResultOk}};
    if (p == "/__control/force" && req.method == "POST") {
      const json in = json::parse(body, nullptr, false);
      if (in.is_discarded() || !in.is_object() || !in.contains("endpoint") || !in["endpoint"].is_string()) {
        out = {{"result", kResultBadRequest}, {"errmsg", "expected a JSON object with \"endpoint\""}};
      } else {
        Forcing f;
        f.endpoint = in["endpoint"].get<std::string>();
        if (in.contains("result") && in["result"].is_number_integer()) f.result = in["result"].get<int>();
        f.keepBody = in.value("keepBody", false);
        if (in.contains("httpStatus") && in["httpStatus"].is_number_integer()) {
          f.httpStatus = in["httpStatus"].get<int>();
        }
        f.delayMs = in.value("delayMs", 0);
        f.hugeBytes = in.value("hugeBytes", f.hugeBytes);
        f.times = in.value("times", 0);
        const auto mode = bodyModeFrom(in.value("body", std::string("normal")));
        if (!mode) {
          out = {{"result", kResultBadRequest}, {"errmsg", "unknown body mode"}};
        } else {
          f.body = *mode;
          set(f);
        }
      }
    } else if (p == "/__control/clear" && req.method == "POST") {
      std::lock_guard lock(mutex);
      forcings.clear();
    } else if (p == "/__control/requests" && req.method == "GET") {
      json list = json::array();
      std::lock_guard lock(mutex);
      for (const ReceivedRequest& r : log) list.push_back(requestJson(r));
      out["requests"] = std::move(list);
    } else if (p == "/__control/requests/clear" && req.method == "POST") {
      std::lock_guard lock(mutex);
      logBase += log.size();
      log.clear();
    } else if (p == "/__control/inquiries" && req.method == "GET") {
      json list = json::array();
      for (const StoredInquiry& q : api.inquiries()) {
        json files = json::array();
        for (const StoredFile& f : q.files) {
          files.push_back({{"field", f.field},
                           {"fileName", f.fileName},
                           {"contentType", f.contentType},
                           {"size", f.data.size()}});
        }
        json fields = json::array();
        for (const auto& [k, v] : q.fields) fields.push_back({k, v});
        list.push_back({{"id", q.id}, {"fields", fields}, {"files", files}});
      }
      out["inquiries"] = std::move(list);
    } else {
      res.status = 404;
      out = {{"result", kResultNotFound}, {"errmsg", "no such control endpoint"}};
    }
    res.set_content(dumpLenient(out), "application/json; charset=utf-8");
  }

  void refuse(const httplib::Request& req, httplib::Response& res, std::string body, int status,
              const std::string& why) {
    ReceivedRequest r = describe(req, std::move(body));
    r.status = status;
    finish(record(std::move(r)), status);
    res.status = status;
    res.set_header(kHandledHeader, "1");
    res.set_content(json{{"result", status}, {"errmsg", why}}.dump(), "application/json; charset=utf-8");
  }

  void set(const Forcing& f) {
    std::lock_guard lock(mutex);
    forcings[f.endpoint.empty() ? std::string("*") : f.endpoint] = f;
  }
};

Server::Server(Options options) : impl_(std::make_unique<Impl>(std::move(options))) {
  httplib::Server& http = impl_->http;
  Impl* impl = impl_.get();
  http.set_payload_max_length(impl->options.payloadMaxBytes);
  http.Get(".*",
           [impl](const httplib::Request& req, httplib::Response& res) { impl->serve(req, res, req.body); });
  http.Post(".*", [impl](const httplib::Request& req, httplib::Response& res,
                         const httplib::ContentReader& reader) {
    // Raw bytes: the sandbox parses multipart bodies itself so that bad ones are logged too.
    // httplib picks its own multipart parser from the Content-Type whichever reader is called,
    // so the type is hidden while reading. The request object is httplib's own non-const local.
    auto& headers = const_cast<httplib::Request&>(req).headers;
    std::vector<std::pair<std::string, std::string>> hidden;
    for (auto it = headers.find("Content-Type"); it != headers.end(); it = headers.find("Content-Type")) {
      hidden.emplace_back(it->first, it->second);
      headers.erase(it);
    }
    std::string body;
    const bool complete = reader([&](const char* data, std::size_t length) {
      body.append(data, length);
      return true;
    });
    for (auto& [name, value] : hidden) headers.emplace(name, value);
    if (!complete) {
      // httplib leaves 413 for a body over the payload limit, else the body was cut short.
      const int status = res.status >= 400 ? res.status : 400;
      impl->refuse(req, res, std::move(body), status,
                   status == 413 ? "payload too large" : "incomplete body");
      return;
    }
    impl->serve(req, res, std::move(body));
  });
  // Errors that httplib answers by itself (bad request line, payload too large, other
  // methods) are logged and given a JSON body too.
  http.set_error_handler(
      httplib::Server::HandlerWithResponse([impl](const httplib::Request& req, httplib::Response& res) {
        if (res.has_header(kHandledHeader)) return httplib::Server::HandlerResponse::Unhandled;
        ReceivedRequest r = Impl::describe(req, req.body);
        r.status = res.status;
        impl->finish(impl->record(std::move(r)), res.status);
        res.set_content(json{{"result", res.status}}.dump(), "application/json; charset=utf-8");
        return httplib::Server::HandlerResponse::Handled;
      }));
}

Server::~Server() { stop(); }

int Server::start() {
  {
    std::lock_guard lock(impl_->mutex);
    if (impl_->started) throw std::logic_error("sandbox already started");
    impl_->started = true;
  }
  int port = impl_->options.port;
  if (port == 0) {
    port = impl_->http.bind_to_any_port("127.0.0.1");
  } else if (!impl_->http.bind_to_port("127.0.0.1", port)) {
    port = -1;
  }
  if (port <= 0)
    throw std::runtime_error("sandbox cannot bind 127.0.0.1:" + std::to_string(impl_->options.port));
  impl_->port = port;
  impl_->thread = std::thread([this] { impl_->http.listen_after_bind(); });
  // stop() is a no-op until the loop runs, so wait for it (bounded).
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!impl_->http.is_running()) {
    if (std::chrono::steady_clock::now() > deadline)
      throw std::runtime_error("sandbox did not start listening");
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return port;
}

void Server::stop() {
  {
    std::lock_guard lock(impl_->mutex);
    impl_->stopping = true;
  }
  impl_->changed.notify_all();
  if (impl_->thread.joinable()) {
    impl_->http.stop();
    impl_->thread.join();
  }
}

int Server::port() const { return impl_->port.load(); }
std::string Server::origin() const { return impl_->origin(); }
std::string Server::apiBase() const { return origin() + "/v1"; }
std::string Server::partnerBase() const { return origin() + "/api"; }
std::string Server::noticeUrl() const { return origin() + "/orvane/sdk/notice_contents.json"; }
std::string Server::imageUrl(const std::string& name) const { return origin() + "/img/" + name; }

std::vector<ReceivedRequest> Server::received() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->log;
}

std::vector<ReceivedRequest> Server::received(const std::string& path) const {
  std::vector<ReceivedRequest> out;
  std::lock_guard lock(impl_->mutex);
  for (const ReceivedRequest& r : impl_->log) {
    if (r.path == path) out.push_back(r);
  }
  return out;
}

void Server::clearReceived() {
  std::lock_guard lock(impl_->mutex);
  impl_->logBase += impl_->log.size();
  impl_->log.clear();
}

bool Server::waitForRequests(const std::string& path, std::size_t count,
                             std::chrono::milliseconds timeout) const {
  std::unique_lock lock(impl_->mutex);
  return impl_->changed.wait_for(lock, timeout, [&] {
    return static_cast<std::size_t>(std::count_if(
               impl_->log.begin(), impl_->log.end(),
               [&](const ReceivedRequest& r) { return r.path == path && r.status != 0; })) >= count;
  });
}

void Server::force(const Forcing& forcing) { impl_->set(forcing); }

void Server::clearForcing() {
  std::lock_guard lock(impl_->mutex);
  impl_->forcings.clear();
}

const Fixture& Server::fixture() const { return impl_->api.fixture(); }

std::vector<CampaignInfo> Server::campaigns() const {
  std::vector<CampaignInfo> out;
  for (const Fixture::Campaign& c : fixture().campaigns()) out.push_back(c.info);
  return out;
}

std::vector<Inquiry> Server::inquiries() const {
  std::vector<Inquiry> out;
  for (StoredInquiry& q : impl_->api.inquiries())
    out.push_back({q.id, std::move(q.fields), std::move(q.files)});
  return out;
}

}  // namespace orvane::sandbox
