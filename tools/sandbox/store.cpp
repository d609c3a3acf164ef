#include "tools/sandbox/store.hpp"

#include <sqlite3.h>

#include <stdexcept>

namespace orvane::sandbox {

namespace {

// A prepared statement that binds by position and finalizes itself.
class Stmt {
 public:
  Stmt(sqlite3* db, const char* sql) : db_(db) {
    if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) fail();
  }
  ~Stmt() { sqlite3_finalize(stmt_); }
  Stmt(const Stmt&) = delete;
  Stmt& operator=(const Stmt&) = delete;

  // Text goes in as blobs: byte-exact, whatever the encoding the client sent.
  Stmt& bind(const std::string& v) {
    check(sqlite3_bind_blob(stmt_, ++index_, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT));
    return *this;
  }
  Stmt& bind(long long v) {
    check(sqlite3_bind_int64(stmt_, ++index_, v));
    return *this;
  }
  Stmt& bind(double v) {
    check(sqlite3_bind_double(stmt_, ++index_, v));
    return *this;
  }
  bool step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc != SQLITE_DONE) fail();
    return false;
  }
  long long integer(int col) { return sqlite3_column_int64(stmt_, col); }
  double real(int col) { return sqlite3_column_double(stmt_, col); }
  std::string text(int col) {
    const auto* data = static_cast<const char*>(sqlite3_column_blob(stmt_, col));
    return data ? std::string(data, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, col)))
                : std::string{};
  }

 private:
  void check(int rc) {
    if (rc != SQLITE_OK) fail();
  }
  [[noreturn]] void fail() { throw std::runtime_error(std::string("sqlite: ") + sqlite3_errmsg(db_)); }
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
  int index_ = 0;
};

constexpr const char* kParticipationColumns =
    "id, mkey, userid, campid, adid, ovnkey, state, polls, installed, landed, rewarded";

Participation readParticipation(Stmt& s) {
  Participation p;
  p.id = s.integer(0);
  p.mkey = s.text(1);
  p.userid = s.text(2);
  p.campid = s.integer(3);
  p.adid = s.text(4);
  p.ovnkey = s.text(5);
  p.state = static_cast<int>(s.integer(6));
  p.polls = static_cast<int>(s.integer(7));
  p.installed = s.integer(8) != 0;
  p.landed = s.integer(9) != 0;
  p.rewarded = s.integer(10) != 0;
  return p;
}

}  // namespace

Store::Store(const std::string& path) {
  const std::string target = path.empty() ? ":memory:" : path;
  if (sqlite3_open(target.c_str(), &db_) != SQLITE_OK) {
    const std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
    sqlite3_close(db_);
    throw std::runtime_error("cannot open database " + target + ": " + message);
  }
  exec("PRAGMA foreign_keys = ON");
  exec(
      "CREATE TABLE IF NOT EXISTS participation ("
      " id INTEGER PRIMARY KEY, mkey TEXT NOT NULL, userid TEXT NOT NULL, campid INTEGER NOT NULL,"
      " adid TEXT NOT NULL, ovnkey TEXT NOT NULL, state INTEGER NOT NULL, polls INTEGER NOT NULL,"
      " installed INTEGER NOT NULL, landed INTEGER NOT NULL, rewarded INTEGER NOT NULL,"
      " UNIQUE (mkey, userid, campid));"
      "CREATE TABLE IF NOT EXISTS reward ("
      " id INTEGER PRIMARY KEY, mkey TEXT NOT NULL, userid TEXT NOT NULL, campid INTEGER NOT NULL,"
      " name TEXT NOT NULL, rewardprice REAL NOT NULL, rewardmark TEXT NOT NULL, rewarddate TEXT NOT NULL,"
      " bm INTEGER NOT NULL);"
      "CREATE TABLE IF NOT EXISTS inquiry (id INTEGER PRIMARY KEY, received TEXT NOT NULL);"
      "CREATE TABLE IF NOT EXISTS inquiry_field ("
      " inquiry INTEGER NOT NULL REFERENCES inquiry(id), seq INTEGER NOT NULL, name TEXT NOT NULL,"
      " value BLOB NOT NULL);"
      "CREATE TABLE IF NOT EXISTS screenshot ("
      " inquiry INTEGER NOT NULL REFERENCES inquiry(id), seq INTEGER NOT NULL, field TEXT NOT NULL,"
      " filename TEXT NOT NULL, content_type TEXT NOT NULL, data BLOB NOT NULL);");
}

Store::~Store() { sqlite3_close(db_); }

void Store::exec(const char* sql) {
  char* error = nullptr;
  if (sqlite3_exec(db_, sql, nullptr, nullptr, &error) != SQLITE_OK) {
    const std::string message = error ? error : "unknown error";
    sqlite3_free(error);
    throw std::runtime_error("sqlite: " + message);
  }
}

std::optional<Participation> Store::find(const std::string& mkey, const std::string& userid,
                                         long long campid) {
  Stmt s(db_, (std::string("SELECT ") + kParticipationColumns +
               " FROM participation WHERE mkey = ? AND userid = ? AND campid = ?")
                  .c_str());
  s.bind(mkey).bind(userid).bind(campid);
  if (!s.step()) return std::nullopt;
  return readParticipation(s);
}

std::optional<Participation> Store::findById(long long id) {
  Stmt s(db_, (std::string("SELECT ") + kParticipationColumns + " FROM participation WHERE id = ?").c_str());
  s.bind(id);
  if (!s.step()) return std::nullopt;
  return readParticipation(s);
}

std::optional<Participation> Store::findByAdid(const std::string& mkey, const std::string& adid,
                                               long long campid) {
  Stmt s(db_, (std::string("SELECT ") + kParticipationColumns +
               " FROM participation WHERE mkey = ? AND adid = ? AND campid = ? ORDER BY id DESC LIMIT 1")
                  .c_str());
  s.bind(mkey).bind(adid).bind(campid);
  if (!s.step()) return std::nullopt;
  return readParticipation(s);
}

bool Store::deviceUsedByOtherUser(const std::string& mkey, const std::string& adid, long long campid,
                                  const std::string& userid) {
  Stmt s(db_, "SELECT 1 FROM participation WHERE mkey = ? AND adid = ? AND campid = ? AND userid <> ?");
  s.bind(mkey).bind(adid).bind(campid).bind(userid);
  return s.step();
}

Participation Store::insert(Participation p) {
  Stmt s(db_,
         "INSERT INTO participation (mkey, userid, campid, adid, ovnkey, state, polls, installed, landed, "
         "rewarded)"
         " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
  s.bind(p.mkey).bind(p.userid).bind(p.campid).bind(p.adid).bind(p.ovnkey).bind(
      static_cast<long long>(p.state));
  s.bind(static_cast<long long>(p.polls)).bind(static_cast<long long>(p.installed));
  s.bind(static_cast<long long>(p.landed)).bind(static_cast<long long>(p.rewarded));
  s.step();
  p.id = sqlite3_last_insert_rowid(db_);
  return p;
}

void Store::update(const Participation& p) {
  Stmt s(db_,
         "UPDATE participation SET adid = ?, ovnkey = ?, state = ?, polls = ?, installed = ?, landed = ?,"
         " rewarded = ? WHERE id = ?");
  s.bind(p.adid).bind(p.ovnkey).bind(static_cast<long long>(p.state)).bind(static_cast<long long>(p.polls));
  s.bind(static_cast<long long>(p.installed)).bind(static_cast<long long>(p.landed));
  s.bind(static_cast<long long>(p.rewarded)).bind(p.id);
  s.step();
}

std::vector<long long> Store::campaignsOf(const std::string& mkey, const std::string& userid) {
  Stmt s(db_, "SELECT campid FROM participation WHERE mkey = ? AND userid = ? ORDER BY id DESC");
  s.bind(mkey).bind(userid);
  std::vector<long long> out;
  while (s.step()) out.push_back(s.integer(0));
  return out;
}

void Store::addReward(const std::string& mkey, const std::string& userid, const CreditedReward& r) {
  Stmt s(db_,
         "INSERT INTO reward (mkey, userid, campid, name, rewardprice, rewardmark, rewarddate, bm)"
         " VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
  s.bind(mkey).bind(userid).bind(r.campid).bind(r.name).bind(r.rewardprice).bind(r.rewardmark);
  s.bind(r.rewarddate).bind(static_cast<long long>(r.bm));
  s.step();
}

std::vector<CreditedReward> Store::rewardsOf(const std::string& mkey, const std::string& userid) {
  Stmt s(db_,
         "SELECT campid, name, rewardprice, rewardmark, rewarddate, bm FROM reward"
         " WHERE mkey = ? AND userid = ? ORDER BY id DESC");
  s.bind(mkey).bind(userid);
  std::vector<CreditedReward> out;
  while (s.step()) {
    out.push_back({s.integer(0), s.text(1), s.real(2), s.text(3), s.text(4), static_cast<int>(s.integer(5))});
  }
  return out;
}

long long Store::addInquiry(const StoredInquiry& inquiry) {
  exec("BEGIN");
  try {
    exec("INSERT INTO inquiry (received) VALUES (datetime('now'))");
    const long long id = sqlite3_last_insert_rowid(db_);
    long long seq = 0;
    for (const auto& [name, value] : inquiry.fields) {
      Stmt s(db_, "INSERT INTO inquiry_field (inquiry, seq, name, value) VALUES (?, ?, ?, ?)");
      s.bind(id).bind(seq++).bind(name).bind(value);
      s.step();
    }
    seq = 0;
    for (const StoredFile& f : inquiry.files) {
      Stmt s(db_,
             "INSERT INTO screenshot (inquiry, seq, field, filename, content_type, data) VALUES (?, ?, ?, ?, "
             "?, ?)");
      s.bind(id).bind(seq++).bind(f.field).bind(f.fileName).bind(f.contentType).bind(f.data);
      s.step();
    }
    exec("COMMIT");
    return id;
  } catch (...) {
    exec("ROLLBACK");
    throw;
  }
}

std::vector<StoredInquiry> Store::inquiries() {
  std::vector<StoredInquiry> out;
  Stmt s(db_, "SELECT id FROM inquiry ORDER BY id");
  while (s.step()) out.push_back({s.integer(0), {}, {}});
  for (StoredInquiry& inquiry : out) {
    Stmt f(db_, "SELECT name, value FROM inquiry_field WHERE inquiry = ? ORDER BY seq");
    f.bind(inquiry.id);
    while (f.step()) inquiry.fields.emplace_back(f.text(0), f.text(1));
    Stmt shot(db_,
              "SELECT field, filename, content_type, data FROM screenshot WHERE inquiry = ? ORDER BY seq");
    shot.bind(inquiry.id);
    while (shot.step()) inquiry.files.push_back({shot.text(0), shot.text(1), shot.text(2), shot.text(3)});
  }
  return out;
}

}  // namespace orvane::sandbox
