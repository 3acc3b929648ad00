#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

struct sqlite3;

namespace elmserver {

/// A failure of the database; the text says what was attempted and SQLite's reason.
class StoreError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

/// A request that the data forbids (a part number that would repeat one
/// already issued, for one); the server answers it as a request error.
class StoreConflict : public StoreError {
public:
  using StoreError::StoreError;
};

struct IssuedNumber {
  long long seq = 0;
  std::string partNumber;
  std::string requestedBy;  ///< the "PartNumber" the client sent
  std::string requestId;
  std::string issuedAt;
};

struct TransferRequest {
  std::string requestId;
  std::string user;
  std::string type;
  std::string name;
  std::string revision;
  std::string transferType;
  int expandLevel = 0;
  bool force = false;
  bool removeExisting = false;
  bool sendConfiguration = false;
  bool folderOnly = false;
  bool parallel = false;
};

struct TransferRecord {
  long long id = 0;
  long long processId = 0;
  std::string receivedAt;
  TransferRequest request;
};

/// One process of a user, with the seven texts the client lists.
struct ProcessRecord {
  std::string activity;
  std::string status;
  std::string description;
  std::string start;
  std::string end;
  std::string user;
  std::string errorMsg;
};

/// One element of a stored structure. A structure is kept as its elements
/// in document order (pre-order), each with its depth (0 for a top element):
/// however deep a structure is, nothing that reads, writes or frees it
/// recurses.
struct StructureNode {
  std::string pn;
  std::string in;
  std::size_t depth = 0;
};

struct NamedStructure {
  std::string context;  ///< the part number of the product it belongs to
  std::string name;
  bool isDefault = false;
  /// Pre-order; the first has depth 0, and each is at most one level below
  /// the one before it.
  std::vector<StructureNode> nodes;
};

struct StructureName {
  std::string name;
  bool isDefault = false;
};

/// Names and defaults of the settings the server itself reads.
namespace setting {
inline constexpr const char* kShowSendConfiguration = "Show3DXSendConfigurationEnabled";
inline constexpr const char* kUseBookmark = "UseBookmark";
inline constexpr const char* kPartNumberPrefix = "PartNumberPrefix";
inline constexpr const char* kPartNumberDigits = "PartNumberDigits";
/// "joined": one "@EOL@"-joined value; "elements": one child element per name.
inline constexpr const char* kNamesListForm = "NamesListForm";
}  // namespace setting

/// The PDM data behind the server, in one SQLite database.
///
/// Every changing operation is one transaction; a result is returned only
/// after its transaction committed. One connection serves the whole process,
/// so operations are serialised by a mutex; other processes (the admin
/// commands) may use the same file concurrently and wait for its lock.
class PdmStore {
public:
  /// The schema version this build creates and understands.
  static constexpr int kSchemaVersion = 1;

  /// Opens or creates the database and brings its schema up to date.
  /// Throws StoreError, also for a database written by a newer server.
  explicit PdmStore(const std::string& path);
  ~PdmStore();
  PdmStore(const PdmStore&) = delete;
  PdmStore& operator=(const PdmStore&) = delete;

  int SchemaVersion();
  std::string JournalMode();

  /// Issues the next number of the sequence and records who asked for it.
  IssuedNumber IssuePartNumber(const std::string& requestedBy, const std::string& requestId);
  std::vector<IssuedNumber> IssuedNumbers();

  /// Records the transfer and a process entry for its user.
  TransferRecord RecordTransfer(const TransferRequest& request);
  std::vector<TransferRecord> Transfers();

  void AddProcess(const ProcessRecord& process);
  /// The user's processes, oldest first. The empty user is a user like any
  /// other: clients send it when they cannot read their login.
  std::vector<ProcessRecord> Processes(const std::string& user);
  /// Everybody's processes, oldest first.
  std::vector<ProcessRecord> AllProcesses();

  /// Stores (or replaces) a structure under its context and name.
  void PutStructure(const NamedStructure& structure);
  std::vector<StructureName> StructureNames(const std::string& context);
  std::optional<NamedStructure> Structure(const std::string& context, const std::string& name);
  std::vector<NamedStructure> Structures();

  /// The stored value, or the built-in default of a known setting, or "".
  std::string Setting(const std::string& name);
  /// Refuses (StoreConflict) a name that is not one of KnownSettings() and a
  /// value the setting cannot take, so nothing a client reads is ever
  /// spelled from an unchecked value.
  void SetSetting(const std::string& name, const std::string& value);
  std::vector<std::pair<std::string, std::string>> Settings();

  /// Runs body inside one transaction: all of a seed file or nothing.
  template <class F>
  void InTransaction(F&& body);

private:
  void Begin();
  void Commit();
  void Rollback() noexcept;
  void Migrate();
  std::string SettingLocked(const std::string& name);
  void SetSettingLocked(const std::string& name, const std::string& value);
  void PutStructureLocked(const NamedStructure& structure);
  void AddProcessLocked(const ProcessRecord& process, long long transferId);

  sqlite3* m_db = nullptr;
  std::recursive_mutex m_mutex;
  int m_depth = 0;  ///< nesting of InTransaction, so inner operations join the outer transaction
};

template <class F>
void PdmStore::InTransaction(F&& body) {
  std::lock_guard lock(m_mutex);
  Begin();
  try {
    body();
    Commit();
  } catch (...) {
    Rollback();
    throw;
  }
}

/// The names of the settings, in the order the help lists them.
const std::vector<std::string>& KnownSettings();
/// Checks a value for a known setting; false (and why) when it cannot take it.
bool IsValidSettingValue(const std::string& name, const std::string& value, std::string& why);

/// The longest part-number prefix accepted, in characters.
inline constexpr std::size_t kMaxPrefixChars = 32;

/// Validates a structure name: not empty, no list separator in it.
bool IsValidStructureName(const std::string& name, std::string& why);

}  // namespace elmserver
