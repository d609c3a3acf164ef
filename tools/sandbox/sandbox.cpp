#include "tools/sandbox/sandbox.hpp"

#include <httplib.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <condition_variable>
#include <mutex>
#include <random>
#include <stdexcept>
#include <thread>

#include "tools/sandbox/chaos.hpp"
#include "tools/sandbox/http_util.hpp"
#include "tools/sandbox/multipart.hpp"
#include "tools/sandbox/operator_api.hpp"
#include "tools/sandbox/throwaway_tls.hpp"

namespace orvane::sandbox {

namespace {

using nlohmann::json;

constexpr char kHandledHeader[] = "X-Orvane-Sandbox";
constexpr std::size_t kMaxLoggedRequests = 20000;
constexpr char kInvalidUtf8Marker[] = "@@ORVANE_INVALID_UTF8@@";
constexpr std::size_t kPieceBytes = 64 * 1024;
// Stalled answers and slow uploads each hold a pool thread.
constexpr std::size_t kServerThreads = 32;

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

const char* redirectName(Redirect r) {
  switch (r) {
    case Redirect::ToHttp:
      return "http";
    case Redirect::ToUrl:
      return "url";
    case Redirect::None:
      break;
  }
  return "none";
}

std::optional<Redirect> redirectFrom(const std::string& s) {
  for (Redirect r : {Redirect::None, Redirect::ToHttp, Redirect::ToUrl}) {
    if (s == redirectName(r)) return r;
  }
  return std::nullopt;
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
              {"files", files},     {"status", r.status},   {"bodySize", r.body.size()},
              {"scheme", r.scheme}, {"chaos", r.chaos}};
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

json statsJson(const ChaosStats& s) {
  return {{"active", s.active},
          {"served", s.served},
          {"remaining", s.remaining},
          {"byKind", s.byKind},
          {"byEndpoint", s.byEndpoint}};
}

// What goes back on the wire; the streaming fields make a transport misbehave.
struct Reply {
  int status = 200;
  std::string contentType = "application/json; charset=utf-8";
  std::string body;
  std::size_t length = 0;  // when longer than the body, zero bytes follow up to this length
  std::vector<std::pair<std::string, std::string>> headers;
  int dripIntervalMs = 0;
  std::size_t dripBytes = 1;
  std::optional<std::size_t> stallAfter;  // send this much, then hold the connection
  std::optional<std::size_t> cutAfter;    // send this much, then close the connection

  bool streamed() const { return dripIntervalMs > 0 || stallAfter || cutAfter || length > body.size(); }
};

Reply redirectReply(int status, std::string location) {
  Reply r;
  r.status = status >= 300 && status < 400 ? status : 302;
  r.contentType = "text/plain; charset=utf-8";
  r.body = "moved\n";
  r.headers.emplace_back("Location", std::move(location));
  return r;
}

}  // namespace

std::vector<std::string> chaosKinds() {
  std::vector<std::string> all;
  for (auto target : {chaos::Target::Json, chaos::Target::Image, chaos::Target::Page}) {
    for (const std::string& kind : chaos::kinds(target)) {
      if (std::find(all.begin(), all.end(), kind) == all.end()) all.push_back(kind);
    }
  }
  return all;
}

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
  std::map<long long, std::size_t> campaignIndex;  // campid -> position in the fixture
  httplib::Server http;
  std::thread thread;
  std::atomic<int> port{0};
  std::unique_ptr<ThrowawayTls> tls;
  std::unique_ptr<httplib::SSLServer> https;
  std::thread httpsThread;
  std::atomic<int> httpsPort{0};

  mutable std::mutex mutex;  // guards the fields below
  mutable std::condition_variable changed;
  std::vector<ReceivedRequest> log;
  std::size_t logBase = 0;  // requests dropped from the front of the log
  std::map<std::string, Forcing> forcings;
  std::map<HostileKind, HostileMode> hostile;
  bool chaosOn = false;
  Chaos chaosConfig;
  std::mt19937_64 chaosRandom;
  ChaosStats chaosStats;
  bool stopping = false;
  bool started = false;

  explicit Impl(Options o)
      : options(std::move(o)),
        api(options.fixturePath.empty() ? Fixture::builtIn() : Fixture::fromFile(options.fixturePath),
            options.dbPath,
            ApiLimits{options.statePollsUntilDone, options.maxUploadFiles, options.maxUploadFileBytes}) {
    const auto& all = api.fixture().campaigns();
    for (std::size_t i = 0; i < all.size(); ++i) campaignIndex.emplace(all[i].info.campid, i);
  }

  std::string origin() const { return "http://127.0.0.1:" + std::to_string(port.load()); }
  std::string httpsOrigin() const {
    return https ? "https://127.0.0.1:" + std::to_string(httpsPort.load()) : std::string{};
  }
  std::string originOf(bool secure) const { return secure ? httpsOrigin() : origin(); }

  // Exact path, then the longest matching prefix ("/img/*"), then "*". Caller holds the lock.
  std::map<std::string, Forcing>::iterator findForcing(const std::string& path) {
    auto it = forcings.find(path);
    if (it != forcings.end()) return it;
    auto best = forcings.end();
    for (auto p = forcings.begin(); p != forcings.end(); ++p) {
      const std::string& key = p->first;
      if (key.size() < 2 || key.back() != '*') continue;
      if (path.compare(0, key.size() - 1, key, 0, key.size() - 1) != 0) continue;
      if (best == forcings.end() || key.size() > best->first.size()) best = p;
    }
    return best != forcings.end() ? best : forcings.find("*");
  }

  std::optional<Forcing> takeForcing(const std::string& path) {
    std::lock_guard lock(mutex);
    auto it = findForcing(path);
    if (it == forcings.end()) return std::nullopt;
    Forcing f = it->second;
    if (it->second.times > 0 && --it->second.times == 0) forcings.erase(it);
    return f;
  }

  std::size_t uploadRate(const std::string& path) {
    std::lock_guard lock(mutex);
    auto it = findForcing(path);
    return it == forcings.end() ? 0 : it->second.uploadBytesPerSecond;
  }

  // The chaos kind for this answer, or empty when chaos is off or spent.
  std::string takeChaos(const std::string& path) {
    std::lock_guard lock(mutex);
    if (!chaosOn) return {};
    const std::string kind = chaos::draw(chaosRandom, chaos::targetOf(path), chaosConfig.normalShare);
    ++chaosStats.served;
    ++chaosStats.byKind[kind];
    ++chaosStats.byEndpoint[path];
    if (--chaosStats.remaining == 0) chaosOn = chaosStats.active = false;
    return kind;
  }

  std::vector<HostileMode> hostileModes() {
    std::lock_guard lock(mutex);
    std::vector<HostileMode> out;
    for (const auto& [kind, mode] : hostile) out.push_back(mode);
    return out;
  }

  std::optional<std::size_t> indexOf(long long campid) const {
    const auto it = campaignIndex.find(campid);
    if (it == campaignIndex.end()) return std::nullopt;
    return it->second;
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

  // Sleeps for a forced delay; stop() cuts it short. False once stopping.
  bool delay(int ms) {
    std::unique_lock lock(mutex);
    return !changed.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping; });
  }

  bool waitUntil(std::chrono::steady_clock::time_point when) {
    std::unique_lock lock(mutex);
    return !changed.wait_until(lock, when, [this] { return stopping; });
  }

  void holdUntilStopped() {
    std::unique_lock lock(mutex);
    changed.wait(lock, [this] { return stopping; });
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

  void serve(const httplib::Request& req, httplib::Response& res, std::string body, bool secure) {
    res.set_header(kHandledHeader, "1");
    if (req.path.rfind("/__control/", 0) == 0) {
      control(req, res, body);
      return;
    }
    ReceivedRequest received = describe(req, std::move(body));
    received.scheme = secure ? "https" : "http";
    ApiRequest request;
    request.method = req.method;
    request.path = req.path;
    request.query = received.query;
    request.origin = originOf(secure);
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
    const std::optional<Forcing> forcing = takeForcing(req.path);
    const std::string chaosKind = forcing ? std::string{} : takeChaos(req.path);
    received.chaos = chaosKind;
    const std::size_t id = record(std::move(received));

    Reply reply;
    if (forcing) {
      reply = forced(req, request, *forcing);
    } else if (!chaosKind.empty() && chaosKind != "normal") {
      reply = chaotic(req, request, chaosKind);
    } else {
      reply = plain(req, respond(req, request, {}));
    }
    send(res, std::move(reply));
    finish(id, res.status);
  }

  // The operator's answer with the hostile modes (and `extra` ones) applied.
  ApiResponse respond(const httplib::Request& req, const ApiRequest& request,
                      std::vector<HostileMode> extra) {
    if (req.path.rfind("/hostile/", 0) == 0) return hostileImage(req);
    std::optional<ApiResponse> answer;
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
    std::vector<HostileMode> modes = hostileModes();
    modes.insert(modes.end(), extra.begin(), extra.end());
    if (answer->json && !modes.empty()) {
      HostileTarget target;
      target.path = req.path;
      if (const std::string* id = findField(request.query, "campid")) {
        try {
          target.campid = std::stoll(*id);
        } catch (const std::exception&) {
        }
      }
      target.origin = request.origin;
      target.indexOf = [this](long long campid) { return indexOf(campid); };
      applyHostile(*answer->json, modes, target);
    }
    return *answer;
  }

  ApiResponse hostileImage(const httplib::Request& req) {
    ApiResponse a;
    a.contentType = "image/png";
    if (req.path == "/hostile/png-bomb.png") {
      a.body = pngBomb();
    } else if (req.path == "/hostile/jpeg-bomb.jpg") {
      a.contentType = "image/jpeg";
      a.body = jpegBomb();
    } else if (req.path == "/hostile/oversize.png") {
      a.body = oversizePngHead();  // plain() streams the rest
    } else {
      a.status = 404;
      a.contentType = "text/plain; charset=utf-8";
      a.body = "no such hostile image\n";
    }
    return a;
  }

  Reply plain(const httplib::Request& req, ApiResponse a) const {
    Reply r;
    r.status = a.status;
    r.contentType = a.contentType;
    r.body = a.json ? dumpLenient(*a.json) : std::move(a.body);
    if (req.path == "/hostile/oversize.png" && r.status == 200) r.length = oversizeLength(req);
    return r;
  }

  std::size_t oversizeLength(const httplib::Request& req) const {
    if (req.has_param("bytes")) {
      try {
        return static_cast<std::size_t>(std::stoull(req.get_param_value("bytes")));
      } catch (const std::exception&) {
      }
    }
    return options.oversizeImageBytes;
  }

  Reply forced(const httplib::Request& req, const ApiRequest& request, const Forcing& f) {
    if (f.delayMs > 0) delay(f.delayMs);
    if (f.redirect != Redirect::None) {
      return redirectReply(f.httpStatus.value_or(302),
                           f.redirect == Redirect::ToHttp ? origin() + req.target : f.redirectUrl);
    }
    ApiResponse answer;
    if (f.result && !f.keepBody) {
      answer.json = json{{"result", *f.result}};
    } else {
      answer = respond(req, request, {});
      if (f.result && answer.json && answer.json->is_object()) (*answer.json)["result"] = *f.result;
    }
    Reply r;
    r.status = f.httpStatus ? *f.httpStatus : answer.status;
    r.contentType = answer.contentType;
    r.body = shapeBody(answer.json, answer.body, f);
    if (req.path == "/hostile/oversize.png") r.length = oversizeLength(req);
    r.dripIntervalMs = f.dripIntervalMs;
    r.dripBytes = std::max<std::size_t>(1, f.dripBytes);
    r.stallAfter = f.stallAfterBytes;
    return r;
  }

  Reply chaotic(const httplib::Request& req, const ApiRequest& request, const std::string& kind) {
    Chaos config;
    std::mt19937_64 random;
    {
      std::lock_guard lock(mutex);
      config = chaosConfig;
      random.seed(chaosRandom());  // this answer's own stream, so the draw order stays seeded
    }
    const auto number = [&](std::size_t n) {
      return std::uniform_int_distribution<std::size_t>(0, n)(random);
    };
    const auto codeOf = [&](std::string_view prefix) { return std::stoi(kind.substr(prefix.size())); };

    if (kind == "redirect_scheme") {
      static const char* const kTargets[] = {"file:///etc/passwd", "orvane-unregistered-scheme://start",
                                             "ftp://127.0.0.1/a", "FILE:///dev/zero"};
      return redirectReply(302, kTargets[number(std::size(kTargets) - 1)]);
    }
    if (kind == "delay")
      delay(static_cast<int>(number(static_cast<std::size_t>(std::max(0, config.maxDelayMs)))));

    std::vector<HostileMode> extra;
    if (const auto hostileKind = hostileKindFrom(kind)) {
      HostileMode mode{*hostileKind, {}, config.localPath};
      mode.values = hostileValues(mode.kind, mode.localPath);
      extra.push_back(std::move(mode));
    }
    ApiResponse answer = respond(req, request, std::move(extra));
    Reply r = plain(req, answer);

    if (kind.rfind("result:", 0) == 0) {
      r.body = json{{"result", codeOf("result:")}}.dump();
    } else if (kind.rfind("status:", 0) == 0) {
      r.status = codeOf("status:");
    } else if (kind == "no_content") {
      r.status = 204;
      r.body.clear();
    } else if (kind == "empty") {
      r.body.clear();
    } else if (kind == "truncated") {
      r.body.resize(r.body.size() / 2);
    } else if (kind == "huge") {
      r.body = shapeBody(answer.json, answer.body, Forcing{.body = BodyMode::Huge});
    } else if (kind == "invalid_utf8") {
      r.body = shapeBody(answer.json, answer.body, Forcing{.body = BodyMode::InvalidUtf8});
    } else if (kind == "wrong_types" && answer.json) {
      r.body = dumpLenient(chaos::wrongTypes(*answer.json, random));
    } else if (kind == "duplicate_keys" && answer.json) {
      r.body = chaos::duplicateKeys(*answer.json, random);
    } else if (kind == "huge_list" && answer.json) {
      r.body = dumpLenient(chaos::hugeList(*answer.json, config.hugeListSize));
    } else if (kind == "not_json") {
      r.contentType = "text/html; charset=utf-8";
      r.body = "<!DOCTYPE html><html><body><h1>502 Bad Gateway</h1></body></html>";
    } else if (kind == "other_json") {
      r.body = chaos::otherJson(random);
    } else if (kind == "deep_nesting") {
      r.body = chaos::deepNesting(100'000);
    } else if (kind == "drip") {
      constexpr std::size_t kPieces = 8;
      r.dripBytes = std::max<std::size_t>(1, (std::max(r.body.size(), r.length) + kPieces - 1) / kPieces);
      r.dripIntervalMs = std::max(1, config.maxDelayMs / static_cast<int>(kPieces));
    } else if (kind == "cut") {
      r.cutAfter = std::max(r.body.size(), r.length) / 2;
    } else if (kind == "png_bomb") {
      r.contentType = "image/png";
      r.body = pngBomb();
    } else if (kind == "jpeg_bomb") {
      r.contentType = "image/jpeg";
      r.body = jpegBomb();
    } else if (kind == "garbage") {
      r.body = chaos::garbage(random, 64 + number(4096));
    } else if (kind == "not_image") {
      r.body = "<html><body>not an image</body></html>";
    }
    return r;
  }

  void send(httplib::Response& res, Reply reply) {
    res.status = reply.status;
    for (const auto& [name, value] : reply.headers) res.set_header(name, value);
    if (!reply.streamed()) {
      res.set_content(reply.body, reply.contentType.c_str());
      return;
    }
    auto shared = std::make_shared<const Reply>(std::move(reply));
    const std::size_t length = std::max(shared->length, shared->body.size());
    res.set_content_provider(length, shared->contentType.c_str(),
                             [this, shared](std::size_t offset, std::size_t left, httplib::DataSink& sink) {
                               return provide(*shared, offset, left, sink);
                             });
  }

  // One piece of a streamed answer; false closes the connection.
  bool provide(const Reply& r, std::size_t offset, std::size_t left, httplib::DataSink& sink) {
    if (r.cutAfter && offset >= *r.cutAfter) return false;
    if (r.stallAfter && offset >= *r.stallAfter) {
      holdUntilStopped();
      return false;
    }
    if (r.dripIntervalMs > 0 && offset > 0 && !delay(r.dripIntervalMs)) return false;
    std::size_t n = std::min(left, r.dripIntervalMs > 0 ? r.dripBytes : kPieceBytes);
    if (r.cutAfter) n = std::min(n, *r.cutAfter - offset);
    if (r.stallAfter) n = std::min(n, *r.stallAfter - offset);
    std::string piece(n, '\0');
    if (offset < r.body.size()) r.body.copy(piece.data(), std::min(n, r.body.size() - offset), offset);
    return sink.write(piece.data(), piece.size());
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
        f.redirectUrl = in.value("redirectUrl", std::string{});
        f.dripIntervalMs = in.value("dripIntervalMs", 0);
        f.dripBytes = in.value("dripBytes", f.dripBytes);
        if (in.contains("stallAfterBytes") && in["stallAfterBytes"].is_number_unsigned()) {
          f.stallAfterBytes = in["stallAfterBytes"].get<std::size_t>();
        }
        f.uploadBytesPerSecond = in.value("uploadBytesPerSecond", f.uploadBytesPerSecond);
        const auto mode = bodyModeFrom(in.value("body", std::string("normal")));
        const auto redirect = redirectFrom(in.value("redirect", std::string("none")));
        if (!mode) {
          out = {{"result", kResultBadRequest}, {"errmsg", "unknown body mode"}};
        } else if (!redirect) {
          out = {{"result", kResultBadRequest}, {"errmsg", "unknown redirect"}};
        } else {
          f.body = *mode;
          f.redirect = *redirect;
          set(f);
        }
      }
    } else if (p == "/__control/hostile" && req.method == "POST") {
      const json in = json::parse(body, nullptr, false);
      const auto kind = in.is_object() ? hostileKindFrom(in.value("kind", std::string{})) : std::nullopt;
      if (!kind) {
        out = {{"result", kResultBadRequest},
               {"errmsg",
                "expected {\"kind\": \"html\"|\"image_urls\"|\"image_bombs\"|"
                "\"links\"|\"markup\", \"values\"?, \"localPath\"?}"}};
      } else {
        HostileMode mode{*kind, in.value("values", std::vector<std::string>{}),
                         in.value("localPath", std::string{})};
        setHostile(std::move(mode));
      }
    } else if (p == "/__control/hostile/clear" && req.method == "POST") {
      std::lock_guard lock(mutex);
      hostile.clear();
    } else if (p == "/__control/chaos" && req.method == "POST") {
      const json in = json::parse(body.empty() ? std::string("{}") : body, nullptr, false);
      if (!in.is_object()) {
        out = {{"result", kResultBadRequest}, {"errmsg", "expected a JSON object"}};
      } else {
        Chaos c;
        c.seed = in.value("seed", c.seed);
        c.answers = in.value("answers", c.answers);
        c.maxDelayMs = in.value("maxDelayMs", c.maxDelayMs);
        c.hugeListSize = in.value("hugeListSize", c.hugeListSize);
        c.normalShare = in.value("normalShare", c.normalShare);
        c.localPath = in.value("localPath", c.localPath);
        startChaos(c);
      }
    } else if (p == "/__control/chaos" && req.method == "GET") {
      std::lock_guard lock(mutex);
      out["stats"] = statsJson(chaosStats);
    } else if (p == "/__control/chaos/stop" && req.method == "POST") {
      std::lock_guard lock(mutex);
      chaosOn = chaosStats.active = false;
    } else if (p == "/__control/clear" && req.method == "POST") {
      std::lock_guard lock(mutex);
      forcings.clear();
      hostile.clear();
      chaosOn = chaosStats.active = false;
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

  void setHostile(HostileMode mode) {
    if (mode.values.empty()) mode.values = hostileValues(mode.kind, mode.localPath);
    std::lock_guard lock(mutex);
    hostile[mode.kind] = std::move(mode);
  }

  void startChaos(const Chaos& c) {
    std::lock_guard lock(mutex);
    chaosConfig = c;
    chaosRandom.seed(c.seed);
    chaosStats = ChaosStats{};
    chaosStats.remaining = c.answers;
    chaosOn = chaosStats.active = c.answers > 0;
  }

  // Every route on one listener; the https one answers exactly like the http one.
  void route(httplib::Server& server, bool secure) {
    server.new_task_queue = [] { return new httplib::ThreadPool(kServerThreads); };
    const int receiveBuffer = options.receiveBufferBytes;
    server.set_socket_options([receiveBuffer](socket_t sock) {
      httplib::default_socket_options(sock);
      if (receiveBuffer > 0) ::setsockopt(sock, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    });
    server.set_payload_max_length(options.payloadMaxBytes);
    server.Get(".*", [this, secure](const httplib::Request& req, httplib::Response& res) {
      serve(req, res, req.body, secure);
    });
    server.Post(".*", [this, secure](const httplib::Request& req, httplib::Response& res,
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
      const std::size_t rate = uploadRate(req.path);
      const auto began = std::chrono::steady_clock::now();
      std::string body;
      const bool complete = reader([&](const char* data, std::size_t length) {
        body.append(data, length);
        if (rate == 0) return true;
        // Not faster than `rate`: wait until this many bytes are due.
        const auto due = began + std::chrono::microseconds(body.size() * 1'000'000 / rate);
        return waitUntil(due);
      });
      for (auto& [name, value] : hidden) headers.emplace(name, value);
      if (!complete) {
        // httplib leaves 413 for a body over the payload limit, else the body was cut short.
        const int status = res.status >= 400 ? res.status : 400;
        refuse(req, res, std::move(body), status, status == 413 ? "payload too large" : "incomplete body");
        return;
      }
      serve(req, res, std::move(body), secure);
    });
    // Errors that httplib answers by itself (bad request line, payload too large, other
    // methods) are logged and given a JSON body too.
    server.set_error_handler(
        httplib::Server::HandlerWithResponse([this](const httplib::Request& req, httplib::Response& res) {
          if (res.has_header(kHandledHeader)) return httplib::Server::HandlerResponse::Unhandled;
          ReceivedRequest r = Impl::describe(req, req.body);
          r.status = res.status;
          finish(record(std::move(r)), res.status);
          res.set_content(json{{"result", res.status}}.dump(), "application/json; charset=utf-8");
          return httplib::Server::HandlerResponse::Handled;
        }));
  }

  // Binds 127.0.0.1 (the configured port, or any) and serves on a thread; returns the port.
  static int listen(httplib::Server& server, int wanted, std::thread& thread) {
    int port = wanted;
    if (port == 0) {
      port = server.bind_to_any_port("127.0.0.1");
    } else if (!server.bind_to_port("127.0.0.1", port)) {
      port = -1;
    }
    if (port <= 0) throw std::runtime_error("sandbox cannot bind 127.0.0.1:" + std::to_string(wanted));
    thread = std::thread([&server] { server.listen_after_bind(); });
    // stop() is a no-op until the loop runs, so wait for it (bounded).
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!server.is_running()) {
      if (std::chrono::steady_clock::now() > deadline)
        throw std::runtime_error("sandbox did not start listening");
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return port;
  }
};

Server::Server(Options options) : impl_(std::make_unique<Impl>(std::move(options))) {
  impl_->route(impl_->http, false);
  if (impl_->options.https) {
    impl_->tls = std::make_unique<ThrowawayTls>();
    impl_->https =
        std::make_unique<httplib::SSLServer>(impl_->tls->certFile().c_str(), impl_->tls->keyFile().c_str());
    if (!impl_->https->is_valid()) throw std::runtime_error("sandbox cannot set up its https listener");
    impl_->route(*impl_->https, true);
  }
}

Server::~Server() { stop(); }

int Server::start() {
  {
    std::lock_guard lock(impl_->mutex);
    if (impl_->started) throw std::logic_error("sandbox already started");
    impl_->started = true;
  }
  impl_->port = Impl::listen(impl_->http, impl_->options.port, impl_->thread);
  if (impl_->https) impl_->httpsPort = Impl::listen(*impl_->https, 0, impl_->httpsThread);
  return impl_->port;
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
  if (impl_->httpsThread.joinable()) {
    impl_->https->stop();
    impl_->httpsThread.join();
  }
}

int Server::port() const { return impl_->port.load(); }
std::string Server::origin() const { return impl_->origin(); }
std::string Server::apiBase() const { return origin() + "/v1"; }
std::string Server::partnerBase() const { return origin() + "/api"; }
std::string Server::noticeUrl() const { return origin() + "/orvane/sdk/notice_contents.json"; }
std::string Server::imageUrl(const std::string& name) const { return origin() + "/img/" + name; }
int Server::httpsPort() const { return impl_->httpsPort.load(); }
std::string Server::httpsOrigin() const { return impl_->httpsOrigin(); }
std::string Server::httpsApiBase() const { return impl_->https ? httpsOrigin() + "/v1" : std::string{}; }
std::string Server::caFile() const { return impl_->tls ? impl_->tls->caFile() : std::string{}; }

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

void Server::setHostile(HostileMode mode) { impl_->setHostile(std::move(mode)); }

void Server::clearHostile() {
  std::lock_guard lock(impl_->mutex);
  impl_->hostile.clear();
}

std::optional<std::string> Server::hostileValue(HostileKind kind, long long campid) const {
  const auto index = impl_->indexOf(campid);
  std::lock_guard lock(impl_->mutex);
  const auto it = impl_->hostile.find(kind);
  if (it == impl_->hostile.end() || !index) return std::nullopt;
  return hostileValueAt(it->second, *index, impl_->origin());
}

void Server::startChaos(const Chaos& chaos) { impl_->startChaos(chaos); }

void Server::stopChaos() {
  std::lock_guard lock(impl_->mutex);
  impl_->chaosOn = impl_->chaosStats.active = false;
}

ChaosStats Server::chaosStats() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->chaosStats;
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
