#include "PdmStore.h"

#include "SafeText.h"

#include <sqlite3.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace elmserver {
namespace {

const std::map<std::string, std::string>& Defaults() {
  static const std::map<std::string, std::string> defaults = {
      {setting::kShowSendConfiguration, "false"},
      {setting::kUseBookmark, "false"},
      {setting::kPartNumberPrefix, "ELM-"},
      {setting::kPartNumberDigits, "6"},
      {setting::kNamesListForm, "joined"},
  };
  return defaults;
}

// Each entry brings the schema from version index to index + 1; entries are
// never edited once released, only appended.
const char* const kMigrations[] = {
    R"sql(
CREATE TABLE settings(
  name  TEXT PRIMARY KEY,
  value TEXT NOT NULL);
CREATE TABLE part_numbers(
  seq          INTEGER PRIMARY KEY,
  part_number  TEXT NOT NULL UNIQUE,
  requested_by TEXT NOT NULL,
  request_id   TEXT NOT NULL,
  issued_at    TEXT NOT NULL);
CREATE TABLE transfers(
  id                 INTEGER PRIMARY KEY,
  request_id         TEXT NOT NULL,
  user               TEXT NOT NULL,
  type               TEXT NOT NULL,
  name               TEXT NOT NULL,
  revision           TEXT NOT NULL,
  transfer_type      TEXT NOT NULL,
  expand_level       INTEGER NOT NULL,
  force              INTEGER NOT NULL,
  remove_existing    INTEGER NOT NULL,
  send_configuration INTEGER NOT NULL,
  folder_only        INTEGER NOT NULL,
  parallel           INTEGER NOT NULL,
  received_at        TEXT NOT NULL);
CREATE TABLE processes(
  id          INTEGER PRIMARY KEY,
  user        TEXT NOT NULL,
  activity    TEXT NOT NULL,
  status      TEXT NOT NULL,
  description TEXT NOT NULL,
  start       TEXT NOT NULL,
  end         TEXT NOT NULL,
  error_msg   TEXT NOT NULL,
  transfer_id INTEGER REFERENCES transfers(id));
CREATE INDEX processes_by_user ON processes(user, id);
CREATE TABLE structures(
  id         INTEGER PRIMARY KEY,
  context_pn TEXT NOT NULL,
  name       TEXT NOT NULL,
  is_default INTEGER NOT NULL DEFAULT 0,
  UNIQUE(context_pn, name));
-- The tree in pre-order: depth says whose child a node is, so one ordered
-- scan rebuilds it.
CREATE TABLE structure_nodes(
  structure_id INTEGER NOT NULL REFERENCES structures(id) ON DELETE CASCADE,
  ord          INTEGER NOT NULL,
  depth        INTEGER NOT NULL,
  pn           TEXT NOT NULL,
  inst         TEXT NOT NULL,
  PRIMARY KEY(structure_id, ord));
)sql",
};
static_assert(std::size(kMigrations) == PdmStore::kSchemaVersion);

std::string NowUtc() {
  using namespace std::chrono;
  auto now = system_clock::now();
  std::time_t t = system_clock::to_time_t(now);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return buf;
}

class Statement {
public:
  Statement(sqlite3* db, const char* sql) : m_db(db) {
    if (sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr) != SQLITE_OK)
      throw StoreError(std::string("cannot prepare \"") + sql + "\": " + sqlite3_errmsg(db));
  }
  ~Statement() { sqlite3_finalize(m_stmt); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& Bind(int i, const std::string& s) {
    Check(sqlite3_bind_text(m_stmt, i, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT));
    return *this;
  }
  Statement& Bind(int i, long long v) {
    Check(sqlite3_bind_int64(m_stmt, i, v));
    return *this;
  }
  Statement& BindNull(int i) {
    Check(sqlite3_bind_null(m_stmt, i));
    return *this;
  }
  /// True while a row is available.
  bool Step() {
    int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    if ((rc & 0xff) == SQLITE_CONSTRAINT) throw StoreConflict(sqlite3_errmsg(m_db));
    throw StoreError(std::string("database error: ") + sqlite3_errmsg(m_db));
  }
  void Reset() {
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
  }
  void Run() {
    while (Step()) {
    }
  }
  std::string Text(int col) const {
    auto p = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, col));
    return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(m_stmt, col))) : std::string();
  }
  long long Int(int col) const { return sqlite3_column_int64(m_stmt, col); }

private:
  void Check(int rc) {
    if (rc != SQLITE_OK) throw StoreError(std::string("cannot bind: ") + sqlite3_errmsg(m_db));
  }
  sqlite3* m_db;
  sqlite3_stmt* m_stmt = nullptr;
};

void Exec(sqlite3* db, const char* sql) {
  char* err = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
    std::string why = err ? err : sqlite3_errmsg(db);
    sqlite3_free(err);
    throw StoreError("database error: " + why);
  }
}

/// The system's reason behind SQLite's last failure, as " (reason)", when
/// that failure was the file system's; empty otherwise.
std::string SystemReason(sqlite3* db) {
  switch (sqlite3_extended_errcode(db) & 0xff) {
    case SQLITE_CANTOPEN:
    case SQLITE_IOERR:
    case SQLITE_READONLY:
    case SQLITE_PERM:
      if (int err = sqlite3_system_errno(db)) return " (" + std::string(std::strerror(err)) + ")";
      break;
    default:
      break;
  }
  return {};
}

bool Writable(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

/// What keeps this process from writing the database at path, as the text
/// of a StoreError; empty when nothing does.
std::string WriteObstacle(const std::string& path) {
  auto slash = path.rfind('/');
  std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (errno != ENOENT) return "cannot open database " + path + ": " + std::strerror(errno);
    if (::access(dir.c_str(), W_OK | X_OK) != 0) return "cannot create database " + path + ": " + std::strerror(errno);
    return {};
  }
  if (!S_ISREG(st.st_mode)) return {};  // SQLite's own text says what it is
  if (!Writable(path)) return "cannot write database " + path + ": " + std::strerror(errno);
  // The write-ahead log and its index live beside the database; a directory
  // that already holds both, writable, will do without being writable itself.
  if (::access(dir.c_str(), W_OK | X_OK) != 0) {
    int err = errno;
    if (!(Writable(path + "-wal") && Writable(path + "-shm")))
      return "cannot write database " + path + ": its directory " + dir + " cannot be written (" + std::strerror(err) +
             "), and SQLite keeps its write-ahead log there";
  }
  return {};
}

bool ParseDigits(const std::string& v, int& digits) {
  if (v.empty() || v.size() > 2) return false;
  for (char c : v)
    if (c < '0' || c > '9') return false;
  digits = std::stoi(v);
  return digits >= 1 && digits <= 18;
}

/// Whether nodes form a tree in pre-order: the first at depth 0, none more
/// than one level below the one before it.
bool IsPreOrder(const std::vector<StructureNode>& nodes) {
  std::size_t allowed = 0;
  for (const auto& n : nodes) {
    if (n.depth > allowed) return false;
    allowed = n.depth + 1;
  }
  return true;
}

void ReadNodes(sqlite3* db, long long structureId, std::vector<StructureNode>& nodes) {
  Statement st(db, "SELECT depth, pn, inst FROM structure_nodes WHERE structure_id = ?1 ORDER BY ord");
  st.Bind(1, structureId);
  while (st.Step()) nodes.push_back(StructureNode{st.Text(1), st.Text(2), static_cast<std::size_t>(st.Int(0))});
  if (!IsPreOrder(nodes)) throw StoreError("stored structure is damaged: a node skips a level");
}

}  // namespace

const std::vector<std::string>& KnownSettings() {
  static const std::vector<std::string> names = {setting::kShowSendConfiguration, setting::kUseBookmark,
                                                 setting::kPartNumberPrefix, setting::kPartNumberDigits,
                                                 setting::kNamesListForm};
  return names;
}

bool IsValidSettingValue(const std::string& name, const std::string& value, std::string& why) {
  auto refuse = [&](const std::string& what) {
    why = name + " must be " + what + ", not \"" + Printable(value) + "\"";
    return false;
  };
  if (name == setting::kShowSendConfiguration || name == setting::kUseBookmark) {
    if (value != "true" && value != "false") return refuse("true or false");
  } else if (name == setting::kPartNumberDigits) {
    int digits = 0;
    if (!ParseDigits(value, digits)) return refuse("a number from 1 to 18");
  } else if (name == setting::kNamesListForm) {
    if (value != "joined" && value != "elements") return refuse("joined or elements");
  } else if (name == setting::kPartNumberPrefix) {
    // Every number the server issues starts with it, so it must be fit for
    // an answer, an identifier and a log line.
    std::size_t chars = 0;
    for (char c : value) chars += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    if (!IsPrintableUtf8(value) || chars > kMaxPrefixChars)
      return refuse("at most " + std::to_string(kMaxPrefixChars) + " characters of UTF-8 text without control characters");
  } else {
    std::string known;
    for (const auto& n : KnownSettings()) known += (known.empty() ? "" : ", ") + n;
    why = "unknown setting \"" + Printable(name) + "\"; the settings are " + known;
    return false;
  }
  return true;
}

bool IsValidStructureName(const std::string& name, std::string& why) {
  if (name.empty()) {
    why = "a structure name must not be empty";
    return false;
  }
  if (name.find("@EOL@") != std::string::npos) {
    why = "a structure name must not contain the list separator @EOL@";
    return false;
  }
  return true;
}

PdmStore::PdmStore(const std::string& path) {
  // Refused before SQLite sees it: SQLite would open a file it may not write
  // read-only without a word, and fail a database it cannot keep its log
  // beside only at the first change, with a text that hides the reason.
  if (std::string why = WriteObstacle(path); !why.empty()) throw StoreError(why);
  int rc = sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                           nullptr);
  if (rc != SQLITE_OK) {
    std::string why = m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(rc);
    // SQLite's "unable to open database file" hides whether the directory
    // is missing or forbidden; the system's reason says which.
    if (m_db) why += SystemReason(m_db);
    sqlite3_close(m_db);
    m_db = nullptr;
    throw StoreError("cannot open database " + path + ": " + why);
  }
  if (sqlite3_db_readonly(m_db, "main") == 1) {
    // SQLite quietly falls back to reading a file it may not write; every
    // part number would then fail only when it is asked for.
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    std::string why = fd < 0 ? std::strerror(errno) : "SQLite opened it read-only";
    if (fd >= 0) ::close(fd);
    sqlite3_close(m_db);
    m_db = nullptr;
    throw StoreError("cannot write database " + path + ": " + why);
  }
  try {
    // Admin commands and a running server share the file; a writer waits for
    // the other's transaction instead of failing at once.
    sqlite3_busy_timeout(m_db, 10000);
    Exec(m_db, "PRAGMA foreign_keys = ON");
    {
      Statement st(m_db, "PRAGMA journal_mode = WAL");
      if (!st.Step() || st.Text(0) != "wal") throw StoreError("cannot switch " + path + " to write-ahead logging");
    }
    // An answered part number must survive anything, a power cut included:
    // with FULL, every commit syncs the WAL before sqlite3_step returns, and
    // the number is only put into an answer after that. NORMAL would keep
    // commits across a killed process (the WAL is written before the commit
    // returns) but could lose the last ones if the machine itself goes down.
    Exec(m_db, "PRAGMA synchronous = FULL");
    Migrate();
  } catch (const StoreError& e) {
    std::string why = e.what();
    // A directory the write-ahead log cannot be created in fails here, with
    // SQLite's text alone saying only that a file could not be opened.
    why += SystemReason(m_db);
    sqlite3_close(m_db);
    m_db = nullptr;
    throw StoreError(path + ": " + why);
  } catch (...) {
    sqlite3_close(m_db);
    m_db = nullptr;
    throw;
  }
}

PdmStore::~PdmStore() {
  if (m_db) sqlite3_close(m_db);
}

void PdmStore::Begin() {
  // IMMEDIATE takes the write lock up front, so two writers never both read
  // the same last sequence number and then collide at commit.
  if (m_depth == 0) Exec(m_db, "BEGIN IMMEDIATE");
  ++m_depth;
}

void PdmStore::Commit() {
  // A failed COMMIT leaves the depth alone, so the caller's Rollback ends
  // the transaction.
  if (m_depth == 1) Exec(m_db, "COMMIT");
  --m_depth;
}

void PdmStore::Rollback() noexcept {
  if (--m_depth == 0) sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
}

void PdmStore::Migrate() {
  InTransaction([&] {
    int version = SchemaVersion();
    if (version > kSchemaVersion)
      throw StoreError("the database has schema version " + std::to_string(version) +
                       ", newer than this server understands (" + std::to_string(kSchemaVersion) + ")");
    for (int v = version; v < kSchemaVersion; ++v) {
      Exec(m_db, kMigrations[v]);
      Exec(m_db, ("PRAGMA user_version = " + std::to_string(v + 1)).c_str());
    }
  });
}

int PdmStore::SchemaVersion() {
  std::lock_guard lock(m_mutex);
  Statement st(m_db, "PRAGMA user_version");
  st.Step();
  return static_cast<int>(st.Int(0));
}

std::string PdmStore::JournalMode() {
  std::lock_guard lock(m_mutex);
  Statement st(m_db, "PRAGMA journal_mode");
  st.Step();
  return st.Text(0);
}

IssuedNumber PdmStore::IssuePartNumber(const std::string& requestedBy, const std::string& requestId) {
  IssuedNumber issued;
  InTransaction([&] {
    int digits = 6;
    ParseDigits(SettingLocked(setting::kPartNumberDigits), digits);
    std::string prefix = SettingLocked(setting::kPartNumberPrefix);
    {
      // MAX + 1 rather than AUTOINCREMENT: a rolled-back request then
      // leaves no hole in the sequence.
      Statement st(m_db, "SELECT COALESCE(MAX(seq), 0) + 1 FROM part_numbers");
      st.Step();
      issued.seq = st.Int(0);
    }
    std::string counter = std::to_string(issued.seq);
    if (counter.size() < static_cast<std::size_t>(digits))
      counter.insert(0, static_cast<std::size_t>(digits) - counter.size(), '0');
    issued.partNumber = prefix + counter;
    issued.requestedBy = requestedBy;
    issued.requestId = requestId;
    issued.issuedAt = NowUtc();
    try {
      Statement st(m_db,
                   "INSERT INTO part_numbers(seq, part_number, requested_by, request_id, issued_at) "
                   "VALUES (?1, ?2, ?3, ?4, ?5)");
      st.Bind(1, issued.seq).Bind(2, issued.partNumber).Bind(3, requestedBy).Bind(4, requestId).Bind(5, issued.issuedAt);
      st.Run();
    } catch (const StoreConflict&) {
      // Only possible after the prefix or the width was changed so that a new
      // number spells an old one; refusing keeps every number unique.
      throw StoreConflict("part number " + issued.partNumber +
                          " was issued before; change the part number prefix or width");
    }
  });
  return issued;
}

std::vector<IssuedNumber> PdmStore::IssuedNumbers() {
  std::lock_guard lock(m_mutex);
  Statement st(m_db, "SELECT seq, part_number, requested_by, request_id, issued_at FROM part_numbers ORDER BY seq");
  std::vector<IssuedNumber> out;
  while (st.Step()) out.push_back({st.Int(0), st.Text(1), st.Text(2), st.Text(3), st.Text(4)});
  return out;
}

TransferRecord PdmStore::RecordTransfer(const TransferRequest& r) {
  TransferRecord rec;
  rec.request = r;
  rec.receivedAt = NowUtc();
  InTransaction([&] {
    Statement st(m_db,
                 "INSERT INTO transfers(request_id, user, type, name, revision, transfer_type, expand_level, force, "
                 "remove_existing, send_configuration, folder_only, parallel, received_at) "
                 "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13)");
    st.Bind(1, r.requestId).Bind(2, r.user).Bind(3, r.type).Bind(4, r.name).Bind(5, r.revision);
    st.Bind(6, r.transferType).Bind(7, static_cast<long long>(r.expandLevel)).Bind(8, static_cast<long long>(r.force));
    st.Bind(9, static_cast<long long>(r.removeExisting)).Bind(10, static_cast<long long>(r.sendConfiguration));
    st.Bind(11, static_cast<long long>(r.folderOnly)).Bind(12, static_cast<long long>(r.parallel)).Bind(13, rec.receivedAt);
    st.Run();
    rec.id = sqlite3_last_insert_rowid(m_db);

    // No Teamcenter stands behind this server, so the transfer is complete
    // once it is recorded; the process says what was asked for.
    std::string what = r.transferType + " " + r.name + (r.revision.empty() ? "" : " " + r.revision) + " (" + r.type +
                       "), expand level " + std::to_string(r.expandLevel);
    if (r.folderOnly) what += ", folder only";
    if (r.force) what += ", forced";
    if (r.removeExisting) what += ", removing vanished children";
    if (r.sendConfiguration) what += ", with configuration";
    if (r.parallel) what += ", substructures in parallel";
    AddProcessLocked({"Transfer to Teamcenter", "Finished", what, rec.receivedAt, rec.receivedAt, r.user, ""}, rec.id);
    rec.processId = sqlite3_last_insert_rowid(m_db);
  });
  return rec;
}

std::vector<TransferRecord> PdmStore::Transfers() {
  std::lock_guard lock(m_mutex);
  Statement st(m_db,
               "SELECT t.id, t.request_id, t.user, t.type, t.name, t.revision, t.transfer_type, t.expand_level, t.force, "
               "t.remove_existing, t.send_configuration, t.folder_only, t.parallel, t.received_at, "
               "(SELECT p.id FROM processes p WHERE p.transfer_id = t.id) FROM transfers t ORDER BY t.id");
  std::vector<TransferRecord> out;
  while (st.Step()) {
    TransferRecord r;
    r.id = st.Int(0);
    r.request = {st.Text(1), st.Text(2), st.Text(3), st.Text(4), st.Text(5), st.Text(6),
                 static_cast<int>(st.Int(7)), st.Int(8) != 0, st.Int(9) != 0, st.Int(10) != 0,
                 st.Int(11) != 0, st.Int(12) != 0};
    r.receivedAt = st.Text(13);
    r.processId = st.Int(14);
    out.push_back(std::move(r));
  }
  return out;
}

void PdmStore::AddProcess(const ProcessRecord& process) {
  InTransaction([&] { AddProcessLocked(process, 0); });
}

void PdmStore::AddProcessLocked(const ProcessRecord& p, long long transferId) {
  Statement st(m_db,
               "INSERT INTO processes(user, activity, status, description, start, end, error_msg, transfer_id) "
               "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)");
  st.Bind(1, p.user).Bind(2, p.activity).Bind(3, p.status).Bind(4, p.description).Bind(5, p.start).Bind(6, p.end);
  st.Bind(7, p.errorMsg);
  if (transferId)
    st.Bind(8, transferId);
  else
    st.BindNull(8);
  st.Run();
}

std::vector<ProcessRecord> PdmStore::Processes(const std::string& user) {
  std::lock_guard lock(m_mutex);
  Statement st(m_db,
               "SELECT activity, status, description, start, end, user, error_msg FROM processes "
               "WHERE user = ?1 ORDER BY id");
  st.Bind(1, user);
  std::vector<ProcessRecord> out;
  while (st.Step())
    out.push_back({st.Text(0), st.Text(1), st.Text(2), st.Text(3), st.Text(4), st.Text(5), st.Text(6)});
  return out;
}

std::vector<ProcessRecord> PdmStore::AllProcesses() {
  std::lock_guard lock(m_mutex);
  Statement st(m_db, "SELECT activity, status, description, start, end, user, error_msg FROM processes ORDER BY id");
  std::vector<ProcessRecord> out;
  while (st.Step())
    out.push_back({st.Text(0), st.Text(1), st.Text(2), st.Text(3), st.Text(4), st.Text(5), st.Text(6)});
  return out;
}

void PdmStore::PutStructure(const NamedStructure& structure) {
  InTransaction([&] { PutStructureLocked(structure); });
}

void PdmStore::PutStructureLocked(const NamedStructure& s) {
  std::string why;
  if (s.context.empty()) throw StoreConflict("a named structure needs a context part number");
  if (!IsValidStructureName(s.name, why)) throw StoreConflict(why);
  if (!IsPreOrder(s.nodes)) throw StoreConflict("a named structure's elements must form a tree: a node skips a level");
  {
    Statement del(m_db, "DELETE FROM structures WHERE context_pn = ?1 AND name = ?2");
    del.Bind(1, s.context).Bind(2, s.name).Run();
  }
  if (s.isDefault) {
    // One default per context: the names dialog can preselect only one.
    Statement clear(m_db, "UPDATE structures SET is_default = 0 WHERE context_pn = ?1");
    clear.Bind(1, s.context).Run();
  }
  Statement ins(m_db, "INSERT INTO structures(context_pn, name, is_default) VALUES (?1, ?2, ?3)");
  ins.Bind(1, s.context).Bind(2, s.name).Bind(3, static_cast<long long>(s.isDefault)).Run();
  long long id = sqlite3_last_insert_rowid(m_db);
  Statement node(m_db, "INSERT INTO structure_nodes(structure_id, ord, depth, pn, inst) VALUES (?1, ?2, ?3, ?4, ?5)");
  long long ord = 0;
  for (const auto& n : s.nodes) {
    node.Reset();
    node.Bind(1, id).Bind(2, ord++).Bind(3, static_cast<long long>(n.depth)).Bind(4, n.pn).Bind(5, n.in).Run();
  }
}

std::vector<StructureName> PdmStore::StructureNames(const std::string& context) {
  std::lock_guard lock(m_mutex);
  Statement st(m_db, "SELECT name, is_default FROM structures WHERE context_pn = ?1 ORDER BY id");
  st.Bind(1, context);
  std::vector<StructureName> out;
  while (st.Step()) out.push_back({st.Text(0), st.Int(1) != 0});
  return out;
}

std::optional<NamedStructure> PdmStore::Structure(const std::string& context, const std::string& name) {
  std::lock_guard lock(m_mutex);
  Statement st(m_db, "SELECT id, is_default FROM structures WHERE context_pn = ?1 AND name = ?2");
  st.Bind(1, context).Bind(2, name);
  if (!st.Step()) return std::nullopt;
  NamedStructure s{context, name, st.Int(1) != 0, {}};
  ReadNodes(m_db, st.Int(0), s.nodes);
  return s;
}

std::vector<NamedStructure> PdmStore::Structures() {
  std::lock_guard lock(m_mutex);
  Statement st(m_db, "SELECT id, context_pn, name, is_default FROM structures ORDER BY context_pn, id");
  std::vector<NamedStructure> out;
  while (st.Step()) {
    NamedStructure s{st.Text(1), st.Text(2), st.Int(3) != 0, {}};
    ReadNodes(m_db, st.Int(0), s.nodes);
    out.push_back(std::move(s));
  }
  return out;
}

std::string PdmStore::Setting(const std::string& name) {
  std::lock_guard lock(m_mutex);
  return SettingLocked(name);
}

std::string PdmStore::SettingLocked(const std::string& name) {
  Statement st(m_db, "SELECT value FROM settings WHERE name = ?1");
  st.Bind(1, name);
  if (st.Step()) return st.Text(0);
  auto it = Defaults().find(name);
  return it == Defaults().end() ? std::string() : it->second;
}

void PdmStore::SetSetting(const std::string& name, const std::string& value) {
  InTransaction([&] { SetSettingLocked(name, value); });
}

void PdmStore::SetSettingLocked(const std::string& name, const std::string& value) {
  std::string why;
  if (!IsValidSettingValue(name, value, why)) throw StoreConflict(why);
  Statement st(m_db, "INSERT INTO settings(name, value) VALUES (?1, ?2) ON CONFLICT(name) DO UPDATE SET value = ?2");
  st.Bind(1, name).Bind(2, value).Run();
}

std::vector<std::pair<std::string, std::string>> PdmStore::Settings() {
  std::lock_guard lock(m_mutex);
  std::map<std::string, std::string> all(Defaults());
  Statement st(m_db, "SELECT name, value FROM settings");
  while (st.Step()) all[st.Text(0)] = st.Text(1);
  return {all.begin(), all.end()};
}

}  // namespace elmserver
