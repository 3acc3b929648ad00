#pragma once

// What the torture cases share beside raw HTTP (in LoopbackServer.h):
// connections that trickle or stall, the real elm-server as a child process,
// and an XML check that does not trust the code under test. Every wait here
// is bounded in time and every loop in count.

#include "ChildProcess.h"
#include "LoopbackServer.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace torture {

using elmtest::Deadline;
using elmtest::HttpReply;
using elmtest::PostChunked;
using elmtest::PostWithLength;
using elmtest::RawExchange;

/// Well-formedness of an XML document in UTF-8, checked by expat: empty when
/// it is well-formed, else expat's reason and place.
std::string XmlError(const std::string& document);

/// Connections that each open with some bytes, then send one more byte
/// every interval, never finishing: the slow clients a server must not wait
/// for. A thread of their own sends; it stops when the object goes or when
/// its life is over.
class Tricklers {
public:
  /// count connections to 127.0.0.1:port; connection i opens with
  /// openings[i % openings.size()] and then repeats filler.
  Tricklers(int port, int count, const std::vector<std::string>& openings, char filler,
            std::chrono::milliseconds interval, std::chrono::seconds life);
  ~Tricklers();
  Tricklers(const Tricklers&) = delete;
  Tricklers& operator=(const Tricklers&) = delete;

  /// Connections made and not yet closed by the server.
  int Open() const { return m_open.load(); }
  /// Connections that could be made at all.
  int Connected() const { return m_connected; }

private:
  void Run(char filler, std::chrono::milliseconds interval, std::chrono::seconds life);

  std::vector<int> m_fds;
  int m_connected = 0;
  std::atomic<int> m_open{0};
  std::mutex m_lock;
  std::condition_variable m_wake;
  bool m_stop = false;
  std::thread m_thread;
};

/// The built elm-server serving a scratch database on an OS-assigned
/// loopback port, its standard error in a log file.
class ServerUnderTest {
public:
  /// Starts `elm-server --db <dir>/pdm.db --listen 127.0.0.1:0` with the
  /// extra arguments; Port() is -1 when it did not come up.
  explicit ServerUnderTest(const std::vector<std::string>& extra = {});

  int Port() const { return m_port; }
  const std::string& Url() const { return m_url; }
  std::string Db() const { return m_dir.File("pdm.db"); }
  std::string Log() const { return elmtest::ReadFile(m_dir.File("server.log")); }
  const elmtest::ScratchDir& Dir() const { return m_dir; }
  /// Sends the signal and waits (bounded): the exit status, -2 when it had
  /// to be killed.
  int Signal(int sig) { return m_process->Signal(sig); }
  /// Runs `elm-server args...` against the same database (list, set, seed).
  elmtest::ProcessResult Admin(std::vector<std::string> args) const;

private:
  elmtest::ScratchDir m_dir;
  std::unique_ptr<elmtest::ServerProcess> m_process;
  std::string m_url;
  int m_port = -1;
};

}  // namespace torture
