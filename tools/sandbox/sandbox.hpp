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
// GET /landing/<campid> (HTML). Every JSON answer carries "result" (codes in result_codes.hpp)
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
// Control (not logged): POST /__control/force with a JSON Forcing (same names as the struct
// below; "body": "normal"|"malformed"|"empty"|"huge"|"invalid_utf8"), POST /__control/clear,
// GET /__control/requests, POST /__control/requests/clear, GET /__control/inquiries.
//
// Threads: handlers run on the server's own pool; every member function is thread-safe.

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tools/sandbox/fixture.hpp"
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
  std::string body;  // raw request body
  int status = 0;    // HTTP status answered; 0 while the answer is pending

  // First value of a query parameter or form field, if present.
  std::optional<std::string> queryValue(const std::string& name) const;
  std::optional<std::string> formValue(const std::string& name) const;
};

enum class BodyMode { Normal, Malformed, Empty, Huge, InvalidUtf8 };

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
};

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

  std::vector<ReceivedRequest> received() const;
  std::vector<ReceivedRequest> received(const std::string& path) const;
  void clearReceived();
  // Waits until `count` requests of `path` have been answered; false on timeout.
  bool waitForRequests(const std::string& path, std::size_t count, std::chrono::milliseconds timeout) const;

  void force(const Forcing& forcing);
  void clearForcing();

  const Fixture& fixture() const;
  std::vector<CampaignInfo> campaigns() const;
  std::vector<Inquiry> inquiries() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace orvane::sandbox
