#include "platform/curl/curl_http_session.hpp"

#include <curl/curl.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "orvane/log.hpp"

namespace orvane {

namespace {

using Completion = std::function<void(Result<HttpResponse>)>;

constexpr std::size_t kOwnConnectionBytes = std::size_t{64} * 1024;

CURLcode globalInit() {
  static std::once_flag once;
  static CURLcode result = CURLE_OK;
  std::call_once(once, [] { result = curl_global_init(CURL_GLOBAL_DEFAULT); });
  return result;
}

Error cancelledError() {
  return Error::make(Error::Kind::cancelled, "Request cancelled: the HTTP session shut down");
}

bool iequals(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

std::string_view trim(std::string_view s) {
  const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!s.empty() && space(s.front())) s.remove_prefix(1);
  while (!s.empty() && space(s.back())) s.remove_suffix(1);
  return s;
}

// A header that smuggles a line break would let a value inject further headers.
bool validHeaderName(std::string_view name) {
  if (name.empty()) return false;
  return std::none_of(name.begin(), name.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u <= 0x20 || u == 0x7f || c == ':';
  });
}

bool validHeaderValue(std::string_view value) {
  return value.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

std::string lowered(std::string_view s) {
  std::string out(s);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

// The scheme of an absolute URL reference, lower-cased; empty for a relative one.
std::string schemeOf(std::string_view url) {
  const auto colon = url.find(':');
  if (colon == std::string_view::npos || colon == 0) return {};
  if (!std::isalpha(static_cast<unsigned char>(url.front()))) return {};
  const bool valid = std::all_of(url.begin(), url.begin() + static_cast<std::ptrdiff_t>(colon), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
  });
  return valid ? lowered(url.substr(0, colon)) : std::string{};
}

// A URL in an error message: printable, short, and without its query, which carries the
// user's identity.
std::string quoted(std::string_view text) {
  text = text.substr(0, text.find('?'));
  std::string out = "\"";
  for (char c : text.substr(0, 200)) {
    const auto u = static_cast<unsigned char>(c);
    out += u < 0x20 || u == 0x7f ? '?' : c;
  }
  if (text.size() > 200) out += "...";
  return out + "\"";
}

// Why a redirect from `current` to `location` must not be followed, or nothing. Only
// http and https are followed, and never from https down to http, which would carry the
// request's identity in clear text.
std::optional<std::string> redirectRefusal(std::string_view current, std::string_view location) {
  const std::string target = schemeOf(location);
  if (target.empty()) return std::nullopt;  // relative: keeps the current scheme
  if (target != "http" && target != "https") {
    return "Refused a redirect to " + quoted(location) + ": only http and https are followed";
  }
  if (target == "http" && schemeOf(current) == "https") {
    return "Refused a redirect from " + quoted(current) + " to " + quoted(location) +
           ": a redirect never lowers https to http";
  }
  return std::nullopt;
}

struct Pending {
  HttpRequest request;
  Completion completion;
  std::shared_ptr<CompletionGate> gate;  // closed by the request's handle
  std::uint64_t id = 0;
};

// One request on its way: owns the easy handle and everything curl points into.
struct Transfer {
  Pending pending;
  CURL* easy = nullptr;
  curl_slist* headerList = nullptr;
  HttpResponse response;
  std::size_t limit = 0;
  bool tooLarge = false;
  char errorBuffer[CURL_ERROR_SIZE] = {};

  // Redirect policy: the response whose headers are arriving.
  int hopStatus = 0;
  std::optional<std::string> hopLocation;
  std::string refusedRedirect;  // why a redirect was refused, if one was

  // Idle limit: bytes moved so far, and when that count last changed.
  std::chrono::milliseconds idleLimit{0};
  curl_off_t headerBytes = 0;
  curl_off_t moved = -1;
  std::chrono::steady_clock::time_point lastMove;
  bool idle = false;
  // The connection of a large upload (see configure).
  std::vector<curl_socket_t> candidateSockets;
  curl_socket_t socket = CURL_SOCKET_BAD;
  int localPort = -1;

  Transfer() = default;
  Transfer(const Transfer&) = delete;
  Transfer& operator=(const Transfer&) = delete;
  ~Transfer() {
    if (easy) curl_easy_cleanup(easy);
    curl_slist_free_all(headerList);
  }
};

// Callbacks run inside C code: nothing may throw out of them.
size_t onBody(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  const size_t n = size * count;
  if (n > t->limit - t->response.body.size()) {
    t->tooLarge = true;
    return 0;
  }
  try {
    t->response.body.append(data, n);
  } catch (...) {
    t->tooLarge = true;
    return 0;
  }
  return n;
}

// Parses "HTTP/1.1 302 Found"; 0 when there is no status.
int statusOf(std::string_view line) {
  const auto space = line.find(' ');
  if (space == std::string_view::npos) return 0;
  int status = 0;
  for (std::size_t i = space + 1; i < line.size() && i < space + 4; ++i) {
    if (line[i] < '0' || line[i] > '9') return 0;
    status = status * 10 + (line[i] - '0');
  }
  return status;
}

size_t onHeader(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  const size_t n = size * count;
  t->headerBytes += static_cast<curl_off_t>(n);
  try {
    std::string_view line(data, n);
    auto& headers = t->response.headers;
    // Each status line starts a new response (redirect, 100 Continue, proxy CONNECT);
    // only the last one's headers are kept.
    if (line.starts_with("HTTP/")) {
      headers.clear();
      t->hopStatus = statusOf(line);
      t->hopLocation.reset();
      return n;
    }
    if (trim(line).empty()) {
      // The end of a response's headers: curl would now follow its Location. Refusing
      // here aborts the transfer before anything reaches the new address.
      if (t->hopStatus >= 300 && t->hopStatus < 400 && t->hopLocation) {
        char* current = nullptr;
        curl_easy_getinfo(t->easy, CURLINFO_EFFECTIVE_URL, &current);
        if (auto refusal = redirectRefusal(current ? current : "", *t->hopLocation)) {
          t->refusedRedirect = std::move(*refusal);
          return 0;
        }
      }
      t->hopStatus = 0;
      t->hopLocation.reset();
      return n;
    }
    if (line.front() == ' ' || line.front() == '\t') {  // obsolete line folding
      if (!headers.empty()) {
        headers.back().second += ' ';
        headers.back().second += trim(line);
      }
      return n;
    }
    const auto colon = line.find(':');
    if (colon == std::string_view::npos) return n;
    headers.emplace_back(std::string(trim(line.substr(0, colon))), std::string(trim(line.substr(colon + 1))));
    // curl follows the first Location of a response.
    if (!t->hopLocation && iequals(headers.back().first, "Location")) t->hopLocation = headers.back().second;
  } catch (...) {
    return 0;
  }
  return n;
}

int onSocket(void* user, curl_socket_t socket, curlsocktype purpose) {
  auto* t = static_cast<Transfer*>(user);
  try {
    if (purpose == CURLSOCKTYPE_IPCXN) t->candidateSockets.push_back(socket);
  } catch (...) {
    return CURL_SOCKOPT_ERROR;
  }
  return CURL_SOCKOPT_OK;
}

int portOf(const sockaddr_storage& address) {
  if (address.ss_family == AF_INET) return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
  if (address.ss_family == AF_INET6) return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
  return -1;
}

// Once connected: which of the sockets curl opened (it may race several addresses) is the
// transfer's own.
int onConnected(void* user, char*, char*, int remotePort, int localPort) {
  auto* t = static_cast<Transfer*>(user);
  for (curl_socket_t socket : t->candidateSockets) {
    sockaddr_storage local{}, remote{};
    socklen_t localSize = sizeof local, remoteSize = sizeof remote;
    if (::getsockname(socket, reinterpret_cast<sockaddr*>(&local), &localSize) == 0 &&
        ::getpeername(socket, reinterpret_cast<sockaddr*>(&remote), &remoteSize) == 0 &&
        portOf(local) == localPort && portOf(remote) == remotePort) {
      t->socket = socket;
      t->localPort = localPort;
    }
  }
  return CURL_PREREQFUNC_OK;
}

// Bytes handed to the kernel but not yet sent and acknowledged. A socket buffer of
// megabytes would otherwise swallow a slow upload at once and hide its progress while it drains.
curl_off_t unsentBytes(const Transfer& t) {
  if (t.socket == CURL_SOCKET_BAD) return 0;
  // Still the same connection: a closed descriptor may have been reused by now.
  sockaddr_storage local{};
  socklen_t size = sizeof local;
  if (::getsockname(t.socket, reinterpret_cast<sockaddr*>(&local), &size) != 0 ||
      portOf(local) != t.localPort) {
    return 0;
  }
  int queued = 0;
  return ::ioctl(t.socket, TIOCOUTQ, &queued) == 0 ? queued : 0;
}

// Called by curl about once a second even when nothing moves; header bytes count too, so
// a server that answers slowly but steadily is not idle.
int onProgress(void* user, curl_off_t, curl_off_t downloaded, curl_off_t, curl_off_t uploaded) {
  auto* t = static_cast<Transfer*>(user);
  const auto now = std::chrono::steady_clock::now();
  const curl_off_t moved = downloaded + uploaded - unsentBytes(*t) + t->headerBytes;
  if (moved != t->moved) {
    t->moved = moved;
    t->lastMove = now;
    return 0;
  }
  if (now - t->lastMove < t->idleLimit) return 0;
  t->idle = true;
  return 1;
}

std::string describe(CURLcode code, const char* errorBuffer) {
  std::string text = curl_easy_strerror(code);
  std::string_view detail = trim(errorBuffer);
  if (!detail.empty() && detail != text) {
    text += ": ";
    text += detail;
  }
  return text;
}

Error::Kind kindFor(CURLcode code) {
  switch (code) {
    case CURLE_OPERATION_TIMEDOUT:
      return Error::Kind::timeout;
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL:
      return Error::Kind::invalidUrl;
    default:
      return Error::Kind::network;
  }
}

bool declaresBody(const HttpRequest& request, const HttpResponse& response) {
  if (iequals(request.method, "HEAD")) return false;
  if (response.status < 200 || response.status == 204 || response.status == 304) return false;
  return std::any_of(response.headers.begin(), response.headers.end(), [](const auto& header) {
    return iequals(header.first, "Content-Length") || iequals(header.first, "Transfer-Encoding");
  });
}

}  // namespace

// The state shared by the session and its thread. The thread keeps its own reference,
// so a worker that outlives the session (destroyed from its own completion, or a
// shutdown that timed out) never touches freed memory.
class CurlHttpSession::Worker {
 public:
  explicit Worker(const Options& options) : options_(options) {
    if (globalInit() != CURLE_OK) return;
    multi_ = curl_multi_init();
    if (multi_) curl_multi_setopt(multi_, CURLMOPT_MAX_HOST_CONNECTIONS, options_.maxConnectionsPerHost);
  }

  ~Worker() {
    if (multi_) curl_multi_cleanup(multi_);
  }

  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;

  bool usable() const { return multi_ != nullptr; }

  // False once shutdown began; the pending request is then left to the caller.
  bool enqueue(Pending& pending) {
    std::lock_guard lock(mutex_);
    if (stopping_) return false;
    queue_.push_back(std::move(pending));
    curl_multi_wakeup(multi_);
    return true;
  }

  // A dropped handle: its gate is closed already, so this only frees the transfer early.
  void cancel(std::uint64_t id) {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    cancelled_.push_back(id);
    curl_multi_wakeup(multi_);
  }

  void requestStop() {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    stopping_ = true;
    if (multi_) curl_multi_wakeup(multi_);
  }

  bool waitFinished(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return finishedChanged_.wait_for(lock, timeout, [this] { return finished_; });
  }

  // After a timed-out shutdown nothing more is delivered: the session is gone.
  void abandon() { abandoned_ = true; }

  void run() {
    if (usable()) loop();
    shutdown();
    std::lock_guard lock(mutex_);
    finished_ = true;
    finishedChanged_.notify_all();
  }

  // Cancels everything not yet completed. Worker thread only; safe to repeat.
  void shutdown() {
    std::vector<std::unique_ptr<Transfer>> live;
    for (auto& [easy, transfer] : transfers_) {
      curl_multi_remove_handle(multi_, easy);
      live.push_back(std::move(transfer));
    }
    transfers_.clear();
    std::deque<Pending> rest;
    rest.swap(starting_);
    {
      std::lock_guard lock(mutex_);
      std::move(queue_.begin(), queue_.end(), std::back_inserter(rest));
      queue_.clear();
    }
    for (auto& transfer : live) deliver(transfer->pending, cancelledError());
    for (auto& pending : rest) deliver(pending, cancelledError());
  }

 private:
  void loop() {
    for (;;) {
      std::vector<std::uint64_t> cancelled;
      {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        std::move(queue_.begin(), queue_.end(), std::back_inserter(starting_));
        queue_.clear();
        cancelled.swap(cancelled_);
      }
      drop(cancelled);
      // One at a time: a completion may shut the session down in between.
      while (!starting_.empty()) {
        Pending pending = std::move(starting_.front());
        starting_.pop_front();
        start(std::move(pending));
      }
      int running = 0;
      const CURLMcode performed = curl_multi_perform(multi_, &running);
      if (performed != CURLM_OK) failAll(performed);
      collectFinished();
      curl_multi_poll(multi_, nullptr, 0, 1000, nullptr);
    }
  }

  // Transfers and queued requests whose handle was dropped go without a word.
  void drop(const std::vector<std::uint64_t>& ids) {
    if (ids.empty()) return;
    const auto dropped = [&](std::uint64_t id) { return std::find(ids.begin(), ids.end(), id) != ids.end(); };
    std::erase_if(starting_, [&](const Pending& p) { return dropped(p.id); });
    for (auto it = transfers_.begin(); it != transfers_.end();) {
      if (dropped(it->second->pending.id)) {
        curl_multi_remove_handle(multi_, it->first);
        it = transfers_.erase(it);
      } else {
        ++it;
      }
    }
  }

  void start(Pending pending) {
    auto transfer = std::make_unique<Transfer>();
    transfer->pending = std::move(pending);
    if (auto error = configure(*transfer)) {
      deliver(transfer->pending, std::move(*error));
      return;
    }
    const CURLMcode added = curl_multi_add_handle(multi_, transfer->easy);
    if (added != CURLM_OK) {
      deliver(transfer->pending,
              Error::make(Error::Kind::network, curl_multi_strerror(added), static_cast<int>(added)));
      return;
    }
    CURL* easy = transfer->easy;
    transfers_.emplace(easy, std::move(transfer));
  }

  std::optional<Error> configure(Transfer& t) {
    const HttpRequest& request = t.pending.request;
    const std::string& method = request.method;
    if (method.empty() || !validHeaderName(method)) {
      return Error::make(Error::Kind::encoding, "Invalid HTTP method \"" + method + "\"");
    }
    bool hasExpect = false;
    for (const auto& [name, value] : request.headers) {
      if (!validHeaderName(name) || !validHeaderValue(value)) {
        return Error::make(Error::Kind::encoding, "Invalid HTTP header \"" + name + "\"");
      }
      hasExpect = hasExpect || iequals(name, "Expect");
      // "Name;" is curl's way of sending a header with an empty value.
      std::string line = name;
      line += value.empty() ? ";" : ": ";
      line += value;
      curl_slist* next = curl_slist_append(t.headerList, line.c_str());
      if (!next) return Error::make(Error::Kind::network, "Out of memory building the request headers");
      t.headerList = next;
    }
    // Without this curl waits for a 100 Continue before a large body.
    if (!hasExpect) {
      curl_slist* next = curl_slist_append(t.headerList, "Expect:");
      if (!next) return Error::make(Error::Kind::network, "Out of memory building the request headers");
      t.headerList = next;
    }

    t.easy = curl_easy_init();
    if (!t.easy) return Error::make(Error::Kind::network, "Could not create an HTTP transfer");
    t.limit = options_.maxResponseBytes;

    const long idleMs = std::max<long>(1, static_cast<long>(request.timeout.count()));
    const long totalMs = std::max<long>(1, static_cast<long>(request.totalTimeout.count()));
    const long connectMs =
        std::min({idleMs, totalMs, std::max<long>(1, static_cast<long>(options_.connectTimeout.count()))});
    t.idleLimit = std::chrono::milliseconds(idleMs);
    t.lastMove = std::chrono::steady_clock::now();
    // Once the first hop is https, every later one must be too; the header check below
    // says why, this is the backstop.
    const bool secure = schemeOf(request.url) == "https";

    CURLcode rc = CURLE_OK;
    const auto set = [&](CURLoption option, auto value) {
      if (rc == CURLE_OK) rc = curl_easy_setopt(t.easy, option, value);
    };
    set(CURLOPT_URL, request.url.c_str());
    set(CURLOPT_PROTOCOLS_STR, "http,https");
    set(CURLOPT_REDIR_PROTOCOLS_STR, secure ? "https" : "http,https");
    set(CURLOPT_NOSIGNAL, 1L);
    set(CURLOPT_ERRORBUFFER, t.errorBuffer);
    set(CURLOPT_WRITEFUNCTION, &onBody);
    set(CURLOPT_WRITEDATA, static_cast<void*>(&t));
    set(CURLOPT_HEADERFUNCTION, &onHeader);
    set(CURLOPT_HEADERDATA, static_cast<void*>(&t));
    set(CURLOPT_ACCEPT_ENCODING, "");
    set(CURLOPT_FOLLOWLOCATION, 1L);
    set(CURLOPT_MAXREDIRS, options_.maxRedirects);
    set(CURLOPT_XFERINFOFUNCTION, &onProgress);
    set(CURLOPT_XFERINFODATA, static_cast<void*>(&t));
    set(CURLOPT_NOPROGRESS, 0L);
    set(CURLOPT_TIMEOUT_MS, totalMs);
    set(CURLOPT_CONNECTTIMEOUT_MS, connectMs);
    if (!options_.caFile.empty()) set(CURLOPT_CAINFO, options_.caFile.c_str());
    set(CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(options_.maxResponseBytes));
    set(CURLOPT_HTTPHEADER, t.headerList);

    const bool withBody = method == "POST" || !request.body.empty();
    if (withBody && request.body.size() > kOwnConnectionBytes) {
      // A large upload gets a connection of its own, so that its socket is known and the
      // idle limit can count what the kernel still holds as not yet moved.
      set(CURLOPT_FRESH_CONNECT, 1L);
      set(CURLOPT_FORBID_REUSE, 1L);
      set(CURLOPT_SOCKOPTFUNCTION, &onSocket);
      set(CURLOPT_SOCKOPTDATA, static_cast<void*>(&t));
      set(CURLOPT_PREREQFUNCTION, &onConnected);
      set(CURLOPT_PREREQDATA, static_cast<void*>(&t));
    }
    if (withBody) {
      // The body lives in the transfer as long as curl reads it; NUL bytes are fine.
      set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
      set(CURLOPT_POSTFIELDS, request.body.data());
      if (method != "POST") set(CURLOPT_CUSTOMREQUEST, method.c_str());
    } else if (method == "GET") {
      set(CURLOPT_HTTPGET, 1L);
    } else if (method == "HEAD") {
      set(CURLOPT_NOBODY, 1L);
    } else {
      set(CURLOPT_CUSTOMREQUEST, method.c_str());
    }
    if (rc != CURLE_OK) return Error::make(kindFor(rc), describe(rc, t.errorBuffer), static_cast<int>(rc));
    return std::nullopt;
  }

  void collectFinished() {
    int left = 0;
    // One message at a time: a completion may shut the session down, which empties
    // both the transfers and curl's message queue.
    while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
      if (message->msg != CURLMSG_DONE) continue;
      CURL* easy = message->easy_handle;
      const CURLcode code = message->data.result;
      auto found = transfers_.find(easy);
      if (found == transfers_.end()) continue;
      std::unique_ptr<Transfer> transfer = std::move(found->second);
      transfers_.erase(found);
      curl_multi_remove_handle(multi_, easy);
      Result<HttpResponse> result = outcome(*transfer, code);
      deliver(transfer->pending, std::move(result));
    }
  }

  Result<HttpResponse> outcome(Transfer& t, CURLcode code) const {
    if (!t.refusedRedirect.empty()) {
      Log::log("CurlHttpSession", {t.refusedRedirect}, Log::Level::error());
      return Error::make(Error::Kind::network, t.refusedRedirect,
                         static_cast<int>(CURLE_UNSUPPORTED_PROTOCOL));
    }
    if (t.idle) {
      std::string text = "No data moved for " + std::to_string(t.idleLimit.count()) +
                         " ms: the request's idle limit ran out (" + quoted(t.pending.request.url) + ")";
      Log::log("CurlHttpSession", {text}, Log::Level::error());
      return Error::make(Error::Kind::timeout, std::move(text), static_cast<int>(CURLE_OPERATION_TIMEDOUT));
    }
    if (code == CURLE_OPERATION_TIMEDOUT) {
      curl_off_t elapsedUs = 0;
      curl_easy_getinfo(t.easy, CURLINFO_TOTAL_TIME_T, &elapsedUs);
      // curl's clock and ours differ a little; the connect limit is never that close to the cap.
      const auto cap = std::chrono::duration_cast<std::chrono::microseconds>(t.pending.request.totalTimeout);
      if (elapsedUs + 100'000 >= cap.count()) {
        std::string text = "The request exceeded its overall limit of " +
                           std::to_string(t.pending.request.totalTimeout.count()) + " ms (" +
                           describe(code, t.errorBuffer) + ")";
        Log::log("CurlHttpSession", {text}, Log::Level::error());
        return Error::make(Error::Kind::timeout, std::move(text), static_cast<int>(code));
      }
    }
    if (code == CURLE_OK) {
      long status = 0;
      curl_easy_getinfo(t.easy, CURLINFO_RESPONSE_CODE, &status);
      t.response.status = static_cast<int>(status);
      t.response.hasBody = !t.response.body.empty() || declaresBody(t.pending.request, t.response);
      return std::move(t.response);
    }
    if (t.tooLarge || code == CURLE_FILESIZE_EXCEEDED) {
      return Error::make(Error::Kind::network,
                         "Response body exceeds the limit of " + std::to_string(options_.maxResponseBytes) +
                             " bytes (" + describe(code, t.errorBuffer) + ")",
                         static_cast<int>(code));
    }
    return Error::make(kindFor(code), describe(code, t.errorBuffer), static_cast<int>(code));
  }

  void failAll(CURLMcode code) {
    std::vector<std::unique_ptr<Transfer>> failed;
    for (auto& [easy, transfer] : transfers_) {
      curl_multi_remove_handle(multi_, easy);
      failed.push_back(std::move(transfer));
    }
    transfers_.clear();
    for (auto& transfer : failed) {
      deliver(transfer->pending,
              Error::make(Error::Kind::network, curl_multi_strerror(code), static_cast<int>(code)));
    }
  }

  void deliver(Pending& pending, Result<HttpResponse> result) {
    auto& completion = pending.completion;
    if (!completion || abandoned_) return;
    // A throwing completion must not take the worker, and with it the host, down.
    try {
      pending.gate->pass([&] { completion(std::move(result)); });
    } catch (const std::exception& e) {
      Log::log("CurlHttpSession completion threw:", {e.what()}, Log::Level::error());
    } catch (...) {
      Log::log("CurlHttpSession completion threw", Log::Level::error());
    }
    completion = nullptr;
  }

  const Options options_;
  CURLM* multi_ = nullptr;
  std::atomic<bool> abandoned_{false};

  std::mutex mutex_;
  std::condition_variable finishedChanged_;
  std::deque<Pending> queue_;             // guarded by mutex_
  std::vector<std::uint64_t> cancelled_;  // guarded by mutex_
  bool stopping_ = false;                 // guarded by mutex_
  bool finished_ = false;                 // guarded by mutex_

  // Worker thread only.
  std::deque<Pending> starting_;
  std::unordered_map<CURL*, std::unique_ptr<Transfer>> transfers_;
};

CurlHttpSession::CurlHttpSession() : CurlHttpSession(Options{}) {}

CurlHttpSession::CurlHttpSession(Options options)
    : options_(std::move(options)), worker_(std::make_shared<Worker>(options_)) {
  thread_ = std::thread([worker = worker_] { worker->run(); });
}

CurlHttpSession::~CurlHttpSession() { shutdown(); }

void CurlHttpSession::shutdown() {
  std::lock_guard lock(threadMutex_);
  if (!thread_.joinable()) return;
  worker_->requestStop();
  if (thread_.get_id() == std::this_thread::get_id()) {
    // Called from one of its own completions: joining would deadlock. Cancel the rest
    // now, before returning; the thread ends once that completion returns.
    worker_->shutdown();
    thread_.detach();
    return;
  }
  if (worker_->waitFinished(options_.shutdownTimeout)) {
    thread_.join();
    return;
  }
  worker_->abandon();
  Log::log("CurlHttpSession: a completion did not return in time at shutdown; the worker is left behind",
           Log::Level::error());
  thread_.detach();
}

RequestHandle CurlHttpSession::send(HttpRequest request, Completion completion) {
  static std::atomic<std::uint64_t> nextId{0};
  auto gate = std::make_shared<CompletionGate>();
  Pending pending{std::move(request), std::move(completion), gate, nextId.fetch_add(1)};
  const auto id = pending.id;
  if (!worker_->usable()) {
    if (pending.completion) {
      gate->pass([&] {
        pending.completion(Error::make(Error::Kind::network, "The HTTP transport could not be initialised"));
      });
    }
    return RequestHandle(gate);
  }
  // Taken first: once queued, a completion may destroy this session.
  std::weak_ptr<Worker> worker = worker_;
  if (worker_->enqueue(pending)) {
    return RequestHandle(gate, [worker = std::move(worker), id] {
      if (auto w = worker.lock()) w->cancel(id);
    });
  }
  if (pending.completion) gate->pass([&] { pending.completion(cancelledError()); });
  return RequestHandle(gate);
}

namespace {

struct SessionRegistry {
  std::mutex mutex;
  std::vector<std::weak_ptr<CurlHttpSession>> sessions;
};

// Never destroyed: it is used while the application exits.
SessionRegistry& sessionRegistry() {
  static auto* registry = new SessionRegistry;
  return *registry;
}

}  // namespace

std::shared_ptr<HttpSession> makeCurlHttpSession(CurlHttpSession::Options options) {
  auto session = std::make_shared<CurlHttpSession>(std::move(options));
  auto& registry = sessionRegistry();
  std::lock_guard lock(registry.mutex);
  std::erase_if(registry.sessions, [](const auto& weak) { return weak.expired(); });
  registry.sessions.push_back(session);
  return session;
}

void shutdownCurlHttpSessions() {
  std::vector<std::shared_ptr<CurlHttpSession>> live;
  {
    auto& registry = sessionRegistry();
    std::lock_guard lock(registry.mutex);
    for (const auto& weak : registry.sessions)
      if (auto session = weak.lock()) live.push_back(std::move(session));
    registry.sessions.clear();
  }
  for (const auto& session : live) session->shutdown();
}

}  // namespace orvane
