#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

struct sqlite3;

namespace orvane::sandbox {

// One user's participation in one campaign.
struct Participation {
  long long id = 0;
  std::string mkey;
  std::string userid;
  long long campid = 0;
  std::string adid;
  std::string ovnkey;
  int state = 1;  // 1 joined, 2 app started (exec), 3 confirmed
  int polls = 0;
  bool installed = false;
  bool landed = false;
  bool rewarded = false;
};

struct CreditedReward {
  long long campid = 0;
  std::string name;
  double rewardprice = 0;
  std::string rewardmark;
  std::string rewarddate;  // yyyyMMdd
  int bm = 1;
};

struct StoredFile {
  std::string field;
  std::string fileName;
  std::string contentType;
  std::string data;
};

struct StoredInquiry {
  long long id = 0;
  std::vector<std::pair<std::string, std::string>> fields;  // as received
  std::vector<StoredFile> files;
};

// SQLite state of the sandbox: participations, credited rewards, inquiries and their
// screenshots. Not thread-safe: the owner serialises calls, which also makes each
// read-modify-write of a participation atomic. Errors throw std::runtime_error.
class Store {
 public:
  explicit Store(const std::string& path);  // empty = in memory
  ~Store();
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  std::optional<Participation> find(const std::string& mkey, const std::string& userid, long long campid);
  std::optional<Participation> findById(long long id);
  // The latest participation of a device, for requests that carry no user id.
  std::optional<Participation> findByAdid(const std::string& mkey, const std::string& adid, long long campid);
  // Whether another user of the same device already took part.
  bool deviceUsedByOtherUser(const std::string& mkey, const std::string& adid, long long campid,
                             const std::string& userid);
  Participation insert(Participation p);  // fills id
  void update(const Participation& p);
  std::vector<long long> campaignsOf(const std::string& mkey, const std::string& userid);

  void addReward(const std::string& mkey, const std::string& userid, const CreditedReward& r);
  std::vector<CreditedReward> rewardsOf(const std::string& mkey, const std::string& userid);

  long long addInquiry(const StoredInquiry& inquiry);
  std::vector<StoredInquiry> inquiries();

 private:
  void exec(const char* sql);
  sqlite3* db_ = nullptr;
};

}  // namespace orvane::sandbox
