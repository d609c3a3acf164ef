#pragma once

// The sandbox: a stand-in for the operator's servers, for tests and the demo.
//
//   orvane::sandbox::Server server({});          // built-in fixture, in-memory state
//   server.start();                              // 127.0.0.1, ephemeral port
//   sdk.hostUrl = server.apiBase();              // http://127.0.0.1:PORT/v1
//   sdk.hostPartnerUrl = server.partnerBase();   // http://127.0.0.1:PORT/api
//
// Endpoints: GET /v1/{req,view,join,state,inst,exec,reward}, GET /api/cs/{user_camp_list,
// agree_contents_app,user_reward_list}, POST /api/cs (multipart/form-data, any boundary),
// GET /orvane/sdk/notice_contents.json, GET /img/<label>-<W>x<H>.<png|jpg> (drawn on demand),
// GET /landing/<campid> (HTML), GET /hostile/{png-bomb.png,jpeg-bomb.jpg,oversize.png}
// (hostile.hpp). Every JSON answer carries "result" (codes in result_codes.hpp)
// with HTTP status 200. The built-in media are "sandbox-mkey"/"sandbox-mckey" (rewardtype 1,
// the user collects) and "sandbox-mkey-auto"/"sandbox-mckey-auto" (rewardtype 2, credited by
// the server).
//
// Participation, per (mkey, userid, campid): join answers a landing link ("lurl"), or a key
// ("ovnkey") for instant campaigns and for a confirmed participation not yet collected. The
// participation is confirmed (state 3) by /v1/inst, by the statePollsUntilDone-th /v1/state,
// or, for campaigns without a participation check (bm other than 2 and 3), by opening the
// landing link. A confirmed participation shows on the list with convflag 1 and its ovnkey;
// /v1/reward credits it once and answers 501 to a second claim. Collected campaigns leave
// the list; joining one again answers 501.
//
// With Options::https the same endpoints are also served on a second, https listener
// (httpsOrigin()), under a throwaway certificate authority that a client trusts by being
// handed caFile(). Links in answers point at the listener that was asked.
//
// Hostile operator, three ways (each one from C++ or over HTTP):
//
//  * Forcing, per endpoint: wrong results, statuses and bodies, delays, and at the
//    transport level a redirect (to the same path on the plain http listener, or to any
//    URL), an answer that drips (`dripBytes` every `dripIntervalMs`) or stalls after
//    `stallAfterBytes` (holding the connection until stop()), and an upload read at
//    `uploadBytesPerSecond`:
//      server.force({.endpoint = "/v1/req", .redirect = Redirect::ToHttp});  // asked over https
//      server.force({.endpoint = "/v1/req", .redirect = Redirect::ToUrl,
//                    .redirectUrl = "file:///etc/passwd"});
//      server.force({.endpoint = "/v1/req", .dripIntervalMs = 1000});        // a byte a second
//      server.force({.endpoint = "/img/*", .stallAfterBytes = 0});           // headers, then silence
//      server.force({.endpoint = "/api/cs", .uploadBytesPerSecond = 64 * 1024});
//    An endpoint ending in "*" is a prefix; the exact path wins over a prefix, a prefix
//    over "*".
//  * Hostile content (hostile.hpp): well-formed answers whose texts, image URLs and links
//    aim at local resources, e.g. with a FIFO the test made and checks is never opened:
//      server.setHostile({.kind = HostileKind::Html, .localPath = fifo});
//      server.setHostile({.kind = HostileKind::Links, .values = {"file:///etc/passwd"}});
//      server.hostileValue(HostileKind::ImageUrls, campid);   // what that campaign carries
//    The decompression bombs and the oversized image are always at /hostile/ (hostile.hpp).
//  * Chaos, for a soak: every answer is drawn from a seeded generator out of a pool of
//    hostile and malformed answers (chaosKinds()) for `answers` answers, then the server
//    answers normally again. chaosStats() counts what was served, and each logged request
//    names its draw in ReceivedRequest::chaos. No draw is a redirect that a client would
//    follow, so every logged request is one request of the client, to match completions:
//      server.startChaos({.seed = 7, .answers = 2000, .localPath = fifo});
//    An endpoint with a forcing of its own is not drawn for.
//  A `localPath` is only ever named in answers; the sandbox itself never opens it.
//
// The control endpoints are never forced, made hostile or drawn for. Over HTTP (not
// logged; every answer is JSON: "result" 200, or 400 with "errmsg" for a bad request):
//   POST /__control/force            a JSON Forcing with the struct's member names;
//                                    "body": "normal"|"malformed"|"empty"|"huge"|"invalid_utf8",
//                                    "redirect": "none"|"http"|"url"
//   POST /__control/hostile          {"kind": "html"|"image_urls"|"image_bombs"|"links"|"markup",
//                                     "values": [...], "localPath": "..."}
//   POST /__control/hostile/clear
//   POST /__control/chaos            a JSON Chaos ({"seed", "answers", "maxDelayMs", "hugeListSize",
//                                    "normalShare", "localPath"}); GET /__control/chaos gives the
//                                    ChaosStats ({"active", "served", "remaining", "byKind", "byEndpoint"})
//   POST /__control/chaos/stop
//   POST /__control/clear            ends every forcing, hostile mode and chaos
//   GET /__control/requests, POST /__control/requests/clear, GET /__control/inquiries.
//
// Threads: handlers run on the server's own pool; every member function is thread-safe.

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tools/sandbox/fixture.hpp"
#include "tools/sandbox/hostile.hpp"
#include "tools/sandbox/result_codes.hpp"
#include "tools/sandbox/store.hpp"

namespace orvane::sandbox {

inline constexpr char kMediaKey[] = "sandbox-mkey";
inline constexpr char kMediaChannelKey[] = "sandbox-mckey";
inline constexpr char kAutoMediaKey[] = "sandbox-mkey-auto";
inline constexpr char kAutoMediaChannelKey[] = "sandbox-mckey-auto";

struct Options {
  int port = 0;                  // 0 = ephemeral
  std::string dbPath = {};       // SQLite file; empty = in memory
  std::string fixturePath = {};  // empty = built-in fixture (format: fixture.hpp)
  int statePollsUntilDone = 2;
  std::size_t payloadMaxBytes = 32 * 1024 * 1024;
  std::size_t maxUploadFiles = 5;
  std::size_t maxUploadFileBytes = 5 * 1024 * 1024;
  bool https = false;                                 // also serve on an https listener
  std::size_t oversizeImageBytes = 72 * 1024 * 1024;  // length of /hostile/oversize.png
  int receiveBufferBytes =
      0;  // SO_RCVBUF of the listeners, 0 = the system's; small makes uploads slow for real
};

struct FileInfo {
  std::string field;
  std::string fileName;
  std::string contentType;
  std::size_t size = 0;
};

struct ReceivedRequest {
  std::string method;
  std::string path;                                        // decoded path
  std::string rawQuery;                                    // exactly as received, without '?'
  std::vector<std::pair<std::string, std::string>> query;  // decoded, in order; a bare name has ""
  std::map<std::string, std::string> headers;              // lower-case names
  std::vector<std::pair<std::string, std::string>> formFields;
  std::vector<FileInfo> files;
  std::string body;             // raw request body
  int status = 0;               // HTTP status answered; 0 while the answer is pending
  std::string scheme = "http";  // the listener that took it: "http" or "https"
  std::string chaos;            // what chaos drew for it (e.g. "truncated"); empty outside chaos

  // First value of a query parameter or form field, if present.
  std::optional<std::string> queryValue(const std::string& name) const;
  std::optional<std::string> formValue(const std::string& name) const;
};

enum class BodyMode { Normal, Malformed, Empty, Huge, InvalidUtf8 };
enum class Redirect { None, ToHttp, ToUrl };

// Makes the next answers of one endpoint misbehave. Forcings of different endpoints add
// up; a new one for the same endpoint replaces the old.
struct Forcing {
  std::string endpoint = {};       // path, e.g. "/v1/join"; "*" = every endpoint without its own
  std::optional<int> result = {};  // answer {"result": N} and nothing else, without side effects...
  bool keepBody = false;           // ...or, if set, the normal answer (with side effects) with "result" N
  std::optional<int> httpStatus = {};
  int delayMs = 0;  // wait before answering (cut short by stop())
  BodyMode body = BodyMode::Normal;
  std::size_t hugeBytes = 1024 * 1024;  // size of a Huge body: valid JSON padded to this size
  int times = 0;                        // 0 = until cleared; N = the next N requests only
  // Instead of answering: 302 to the same path and query on the http listener, or to redirectUrl.
  Redirect redirect = Redirect::None;
  std::string redirectUrl = {};
  int dripIntervalMs = 0;  // send the body `dripBytes` at a time, one piece per interval
  std::size_t dripBytes = 1;
  std::optional<std::size_t> stallAfterBytes = {};  // send this much of the body, then nothing until stop()
  std::size_t uploadBytesPerSecond = 0;             // read the request body no faster than this
};

// Seeded chaos for a soak test (see the top of this file).
struct Chaos {
  std::uint64_t seed = 1;
  std::size_t answers = 2000;       // chaotic answers to give; then the server answers normally
  int maxDelayMs = 150;             // longest delay, and longest drip, of one answer
  std::size_t hugeListSize = 1500;  // campaigns (or rows) in a "huge_list" answer
  double normalShare = 0.3;         // share of plain answers, so that flows can get somewhere
  std::string localPath = {};       // a path of the test's, woven into the hostile values
};

struct ChaosStats {
  bool active = false;
  std::size_t served = 0;                         // answers drawn so far (normal draws included)
  std::size_t remaining = 0;                      // draws left before chaos ends by itself
  std::map<std::string, std::size_t> byKind;      // e.g. "normal", "result:501", "truncated"
  std::map<std::string, std::size_t> byEndpoint;  // path -> answers drawn
};

// Every kind chaos can draw; "result:" and "status:" kinds name their code.
std::vector<std::string> chaosKinds();

struct Inquiry {
  long long id = 0;
  std::vector<std::pair<std::string, std::string>> fields;
  std::vector<StoredFile> files;
  std::optional<std::string> field(const std::string& name) const;
};

class Server {
 public:
  explicit Server(Options options);  // loads the fixture and the database; throws on failure
  ~Server();                         // stops
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  int start();  // binds 127.0.0.1 and serves on a thread; returns the port; throws on failure
  void stop();  // prompt even with requests in flight; idempotent

  int port() const;
  std::string origin() const;                           // http://127.0.0.1:PORT
  std::string apiBase() const;                          // origin() + "/v1"
  std::string partnerBase() const;                      // origin() + "/api"
  std::string noticeUrl() const;                        // origin() + "/orvane/sdk/notice_contents.json"
  std::string imageUrl(const std::string& name) const;  // origin() + "/img/" + name
  // The https listener (Options::https): empty / 0 without it.
  int httpsPort() const;
  std::string httpsOrigin() const;   // https://127.0.0.1:PORT
  std::string httpsApiBase() const;  // httpsOrigin() + "/v1"
  std::string caFile() const;        // PEM file of the throwaway authority to trust

  std::vector<ReceivedRequest> received() const;
  std::vector<ReceivedRequest> received(const std::string& path) const;
  void clearReceived();
  // Waits until `count` requests of `path` have been answered; false on timeout.
  bool waitForRequests(const std::string& path, std::size_t count, std::chrono::milliseconds timeout) const;

  void force(const Forcing& forcing);
  void clearForcing();

  // Adds a hostile mode; a new one of the same kind replaces the old.
  void setHostile(HostileMode mode);
  void clearHostile();
  // The value the mode of `kind` gives campaign `campid` (http origin), if that mode is on.
  std::optional<std::string> hostileValue(HostileKind kind, long long campid) const;

  void startChaos(const Chaos& chaos);  // restarts the count
  void stopChaos();
  ChaosStats chaosStats() const;

  const Fixture& fixture() const;
  std::vector<CampaignInfo> campaigns() const;
  std::vector<Inquiry> inquiries() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace orvane::sandbox
