#include "CATBatClientMonitorCAA.h"

#include "CATBatchEndNotifCAA.h"
#include "CATBatchPublisherCAA.h"
#include "CATGetEnv.h"
#include "ELMHostBatch.h"
#include "ELMHostDispatch.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <poll.h>
#include <random>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kDefaultTimeLimit = 300;
// How long a batch asked to stop may take to end before it is killed.
constexpr int kStopGraceMs = 2000;

std::mutex g_observerLock;
elmhost::BatchObserver g_observer;

void Tell(const elmhost::BatchEvent& event) {
  elmhost::BatchObserver observer;
  {
    std::lock_guard<std::mutex> lock(g_observerLock);
    observer = g_observer;
  }
  if (observer) observer(event);
}

/// The identifier as the monitor's operations read it: at most 33 bytes.
std::string IdOf(const char* batchId) { return batchId ? std::string(batchId, strnlen(batchId, 33)) : std::string(); }

std::string NewBatchId() {
  static std::random_device device;
  static const char hex[] = "0123456789abcdef";
  std::string id;
  for (int word = 0; word < 4; ++word) {
    unsigned int bits = device();
    for (int nibble = 0; nibble < 8; ++nibble, bits >>= 4) id += hex[bits & 0xf];
  }
  return id;
}

int OpenPidFd(pid_t pid) {
#ifdef SYS_pidfd_open
  return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
#else
  (void)pid;
  return -1;
#endif
}

struct Batch {
  std::string id;
  std::string name;
  std::string input;
  std::string log;
  pid_t pid = -1;
  int pidfd = -1;  // readable once the process has ended; -1 where the kernel offers none
  int state = CATBatStateRunning;
  int returnCode = 0;
  int signal = 0;
  bool stopping = false;  // the monitor asked it to stop
  double stoppedAfter = 0;  // the wait's limit that made the monitor stop it
};

class ClientMonitor final : public CATBatClientMonitorCAA {
public:
  HRESULT SubmitBatch(const CATUnicodeString& inputFile, char* batchId, int options) override;
  HRESULT StopBatch(const char* batchId) override;
  HRESULT GetBatchState(const char* batchId, int& state) override;
  HRESULT GetBatchReturnCode(const char* batchId, int* returnCode) override;
  HRESULT SetEndNotification(int publish, int options) override;
  HRESULT WaitForFlag(int* flag, int timeout, int options) override;
  HRESULT Connect() override;

private:
  Batch* Find(const char* batchId);
  /// Collects the batch if its process has ended (waiting for it with
  /// block), then tells the observer and publishes the end.
  bool Reap(Batch& batch, bool block);
  void ReapEnded();
  bool AnyRunning() const;
  /// Sleeps until a running batch ends or milliseconds have passed.
  void WaitForAnEnd(int milliseconds);
  void Stop(Batch& batch, double limit);

  std::map<std::string, Batch> m_batches;
  bool m_publish = false;
};

Batch* ClientMonitor::Find(const char* batchId) {
  auto it = m_batches.find(IdOf(batchId));
  return it == m_batches.end() ? nullptr : &it->second;
}

HRESULT ClientMonitor::Connect() {
  std::string tried;
  return elmhost::FindBatchProgram(&tried).empty() ? E_FAIL : S_OK;
}

HRESULT ClientMonitor::SetEndNotification(int publish, int options) {
  if (options != 0 || (publish != 0 && publish != 1)) return E_INVALIDARG;
  m_publish = publish == 1;
  return S_OK;
}

HRESULT ClientMonitor::SubmitBatch(const CATUnicodeString& inputFile, char* batchId, int options) {
  if (!batchId) return E_INVALIDARG;
  batchId[0] = '\0';
  if (options != 0 || inputFile.IsNull()) return E_INVALIDARG;
  std::string program = elmhost::FindBatchProgram();
  if (program.empty()) return E_FAIL;

  // The monitor reads the input file's name and report to name the batch
  // and to keep the program's output beside its report.
  pugi::xml_document doc;
  if (!doc.load_file(inputFile.ConvertToChar())) return E_FAIL;
  pugi::xml_node root = doc.child("PLMBatch");
  if (!root) return E_FAIL;
  Batch batch;
  batch.id = NewBatchId();
  while (m_batches.count(batch.id)) batch.id = NewBatchId();
  batch.name = root.attribute("name").value();
  batch.input = inputFile.Utf8();
  std::string report = root.child("Report").attribute("name").value();
  batch.log = (report.empty() ? batch.input : report) + ".log";

  int log = open(batch.log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (log < 0) {
    batch.log.clear();
    log = open("/dev/null", O_WRONLY | O_CLOEXEC);
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  if (log >= 0) {
    posix_spawn_file_actions_adddup2(&actions, log, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, log, STDERR_FILENO);
  }
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  // A group of its own, so that stopping the batch reaches whatever it started.
  posix_spawnattr_setpgroup(&attr, 0);
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  for (int sig : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGCHLD, SIGQUIT}) sigaddset(&defaults, sig);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  const char* argv[] = {program.c_str(), "--id", batch.id.c_str(), batch.input.c_str(), nullptr};
  pid_t pid = -1;
  int rc = posix_spawn(&pid, program.c_str(), &actions, &attr, const_cast<char* const*>(argv), environ);
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  if (log >= 0) close(log);
  if (rc != 0) return E_FAIL;

  batch.pid = pid;
  batch.pidfd = OpenPidFd(pid);
  std::memcpy(batchId, batch.id.c_str(), batch.id.size() + 1);
  elmhost::BatchEvent event;
  event.kind = elmhost::BatchEvent::Kind::Submitted;
  event.id = batch.id;
  event.name = batch.name;
  event.inputFile = batch.input;
  event.logFile = batch.log;
  event.pid = pid;
  m_batches.emplace(batch.id, std::move(batch));
  Tell(event);
  return S_OK;
}

bool ClientMonitor::Reap(Batch& batch, bool block) {
  if (batch.state != CATBatStateRunning) return false;
  int status = 0;
  pid_t got;
  do {
    got = waitpid(batch.pid, &status, block ? 0 : WNOHANG);
  } while (got < 0 && errno == EINTR);
  if (got == 0) return false;
  if (got < 0) {
    // Somebody else collected it: its outcome is unknown, so it failed.
    batch.state = CATBatStateStopped;
    batch.returnCode = 128 + SIGKILL;
    batch.signal = SIGKILL;
  } else if (WIFEXITED(status)) {
    batch.state = CATBatStateEnded;
    batch.returnCode = WEXITSTATUS(status);
  } else {
    batch.state = CATBatStateStopped;
    batch.signal = WIFSIGNALED(status) ? WTERMSIG(status) : SIGKILL;
    batch.returnCode = 128 + batch.signal;
  }
  if (batch.pidfd >= 0) close(batch.pidfd);
  batch.pidfd = -1;

  elmhost::BatchEvent event;
  event.kind = batch.stopping ? elmhost::BatchEvent::Kind::Stopped : elmhost::BatchEvent::Kind::Ended;
  event.id = batch.id;
  event.name = batch.name;
  event.inputFile = batch.input;
  event.logFile = batch.log;
  event.pid = batch.pid;
  event.returnCode = batch.returnCode;
  event.signal = batch.signal;
  event.timeLimit = batch.stoppedAfter;
  Tell(event);
  if (m_publish) {
    CATNotification_var end = CATMakeVar<CATBatchEndNotifCAA>(batch.id.c_str(), CATUnicodeString(batch.name.c_str()));
    GetBatchPublisherCAA()->DispatchCallbacks(end.get());
  }
  return true;
}

void ClientMonitor::ReapEnded() {
  // Reaping may publish, and a subscriber may submit: walk a copy of the ids.
  std::vector<std::string> ids;
  for (const auto& [id, b] : m_batches)
    if (b.state == CATBatStateRunning) ids.push_back(id);
  for (const std::string& id : ids)
    if (auto it = m_batches.find(id); it != m_batches.end()) Reap(it->second, false);
}

bool ClientMonitor::AnyRunning() const {
  return std::any_of(m_batches.begin(), m_batches.end(),
                     [](const auto& entry) { return entry.second.state == CATBatStateRunning; });
}

void ClientMonitor::WaitForAnEnd(int milliseconds) {
  std::vector<pollfd> fds;
  bool all = true;
  for (const auto& [id, b] : m_batches) {
    if (b.state != CATBatStateRunning) continue;
    if (b.pidfd < 0) all = false;
    else fds.push_back({b.pidfd, POLLIN, 0});
  }
  if (fds.empty() && all) return;
  // Without a process descriptor for every batch, look again shortly.
  int wait = all ? milliseconds : std::min(milliseconds, 10);
  poll(fds.data(), fds.size(), std::max(wait, 0));
}

void ClientMonitor::Stop(Batch& batch, double limit) {
  if (batch.state != CATBatStateRunning) return;
  batch.stopping = true;
  batch.stoppedAfter = limit;
  if (kill(-batch.pid, SIGTERM) != 0) kill(batch.pid, SIGTERM);
  auto until = Clock::now() + std::chrono::milliseconds(kStopGraceMs);
  while (!Reap(batch, false)) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
    if (left <= 0) {
      if (kill(-batch.pid, SIGKILL) != 0) kill(batch.pid, SIGKILL);
      Reap(batch, true);
      break;
    }
    if (batch.pidfd >= 0) {
      pollfd fd{batch.pidfd, POLLIN, 0};
      poll(&fd, 1, static_cast<int>(left));
    } else {
      poll(nullptr, 0, static_cast<int>(std::min<long long>(left, 10)));
    }
  }
}

HRESULT ClientMonitor::StopBatch(const char* batchId) {
  Batch* batch = Find(batchId);
  if (!batch) return E_FAIL;
  Reap(*batch, false);
  if (batch->state != CATBatStateRunning) return E_FAIL;
  Stop(*batch, 0);
  return S_OK;
}

HRESULT ClientMonitor::GetBatchState(const char* batchId, int& state) {
  Batch* batch = Find(batchId);
  if (!batch) return E_FAIL;
  Reap(*batch, false);
  state = batch->state;
  return S_OK;
}

HRESULT ClientMonitor::GetBatchReturnCode(const char* batchId, int* returnCode) {
  Batch* batch = Find(batchId);
  if (!batch || !returnCode) return E_FAIL;
  Reap(*batch, false);
  if (batch->state == CATBatStateRunning) return E_FAIL;
  *returnCode = batch->returnCode;
  return S_OK;
}

HRESULT ClientMonitor::WaitForFlag(int* flag, int timeout, int options) {
  if (!flag || options != 0) return E_INVALIDARG;
  double limit = elmhost::BatchTimeLimit();
  if (timeout >= 0 && timeout < limit) limit = timeout;
  const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(limit));
  for (;;) {
    ReapEnded();
    // The ends just published reach their subscribers here, on this thread.
    if (elmhost::Dispatch* dispatch = elmhost::Dispatch::Current()) dispatch->RunEvents();
    if (*flag) return S_OK;
    if (!AnyRunning()) return E_FAIL;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
      std::vector<std::string> ids;
      for (const auto& [id, b] : m_batches)
        if (b.state == CATBatStateRunning) ids.push_back(id);
      for (const std::string& id : ids)
        if (auto it = m_batches.find(id); it != m_batches.end()) Stop(it->second, limit);
      if (elmhost::Dispatch* dispatch = elmhost::Dispatch::Current()) dispatch->RunEvents();
      return E_FAIL;
    }
    WaitForAnEnd(static_cast<int>(std::min<long long>(left, INT_MAX)));
  }
}

std::string ProgramDirectory() {
  char path[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return {};
  std::string exe(path, static_cast<std::size_t>(n));
  auto slash = exe.rfind('/');
  return slash == std::string::npos ? std::string() : exe.substr(0, slash);
}

}  // namespace

CATBatClientMonitorCAA::~CATBatClientMonitorCAA() = default;

CATBatClientMonitorCAA* CATBatClientMonitorCAA::GetTheClientMonitorCAA() {
  // Lives as long as the process: batches it started may still be running
  // while static objects go.
  static CATBatClientMonitorCAA* monitor = new ClientMonitor();
  return monitor;
}

namespace elmhost {

BatchObserver SetBatchObserver(BatchObserver observer) {
  std::lock_guard<std::mutex> lock(g_observerLock);
  return std::exchange(g_observer, std::move(observer));
}

std::string FindBatchProgram(std::string* tried) {
  std::vector<std::string> places;
  const char* configured = CATGetEnv("ELMHOST_BATCH_PROGRAM");
  if (configured && *configured) {
    places.push_back(configured);
  } else {
    if (std::string dir = ProgramDirectory(); !dir.empty()) places.push_back(dir + "/elm-batch");
    places.push_back(ELMHOST_BATCH_INSTALL_PATH);
    places.push_back(ELMHOST_BATCH_BUILD_PATH);
  }
  if (tried) tried->clear();
  for (const std::string& place : places) {
    if (tried) *tried += (tried->empty() ? "" : ", ") + place;
    if (access(place.c_str(), X_OK) == 0) return place;
  }
  return {};
}

double BatchTimeLimit() {
  const char* text = CATGetEnv("ELMHOST_BATCH_TIMEOUT");
  if (!text || !*text) return kDefaultTimeLimit;
  char* end = nullptr;
  double seconds = std::strtod(text, &end);
  if (end == text || *end || !std::isfinite(seconds) || seconds <= 0) return kDefaultTimeLimit;
  return seconds;
}

}  // namespace elmhost
