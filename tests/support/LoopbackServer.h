#pragma once

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace elmtest {

/// What a loopback server saw of one request.
struct SeenRequest {
  std::string method;
  std::string target;
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;  ///< without httplib's own REMOTE_/LOCAL_ entries
  bool tls = false;
};

/// A cpp-httplib server on 127.0.0.1 with an OS-assigned port, serving every
/// path and method with one handler on a thread of its own, and recording
/// each request. Stopped and joined when the object goes.
class LoopbackServer {
public:
  using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

  explicit LoopbackServer(Handler handler);
  /// TLS with the given PEM certificate and key.
  LoopbackServer(Handler handler, const std::string& certFile, const std::string& keyFile);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  int Port() const { return m_port; }
  /// "http://127.0.0.1:<port>" (or https) followed by rest.
  std::string Url(const std::string& rest = "") const;
  std::vector<SeenRequest> Requests() const;

private:
  void Start(Handler handler);

  std::unique_ptr<httplib::Server> m_server;
  bool m_tls = false;
  int m_port = -1;
  // Set once the server's worker threads have all started and gone idle.
  std::atomic<bool> m_workersIdle{false};
  std::thread m_thread;
  mutable std::mutex m_lock;
  std::vector<SeenRequest> m_requests;
};

/// A plain TCP server on 127.0.0.1 for what a real HTTP server will not do:
/// answering with exact bytes, closing mid-answer, never answering. It
/// serves one connection at a time; for each it reads the request (headers,
/// then as many body bytes as Content-Length says), records the raw bytes
/// and hands the socket to the behaviour. The connection is closed when the
/// behaviour returns.
class RawServer {
public:
  class Connection {
  public:
    /// Writes all bytes; false when the peer has gone.
    bool Send(const std::string& bytes) const;
    /// Blocks until the peer closes the connection or the server stops;
    /// true when the peer closed it.
    bool WaitForPeerClose() const;

  private:
    friend class RawServer;
    Connection(int fd, int stopFd) : m_fd(fd), m_stopFd(stopFd) {}
    int m_fd;
    int m_stopFd;
  };
  using Behaviour = std::function<void(const Connection&, const std::string& request)>;

  explicit RawServer(Behaviour behaviour);
  ~RawServer();
  RawServer(const RawServer&) = delete;
  RawServer& operator=(const RawServer&) = delete;

  int Port() const { return m_port; }
  std::string Url(const std::string& rest = "") const;
  /// The raw bytes of every request received so far.
  std::vector<std::string> Requests() const;
  /// Connections accepted so far.
  int Accepted() const { return m_accepted.load(); }

private:
  void Run();

  Behaviour m_behaviour;
  int m_listenFd = -1;
  int m_stopPipe[2] = {-1, -1};
  int m_port = -1;
  std::atomic<int> m_accepted{0};
  std::thread m_thread;
  mutable std::mutex m_lock;
  std::vector<std::string> m_requests;
};

/// A TCP connection to 127.0.0.1:port; -1 when it cannot be made.
int ConnectToLoopback(int port);

/// A point in time that loops and waits give up at.
class Deadline {
public:
  explicit Deadline(std::chrono::milliseconds within) : m_at(std::chrono::steady_clock::now() + within) {}
  bool Passed() const { return std::chrono::steady_clock::now() >= m_at; }
  /// Milliseconds left, at least 0.
  int LeftMs() const;

private:
  std::chrono::steady_clock::time_point m_at;
};

/// One HTTP answer as it came off the socket.
struct HttpReply {
  int status = 0;  ///< 0: no status line came
  std::string head;
  std::string body;
  bool closed = false;  ///< the server closed the connection (before, while or after answering)
};

/// Sends the bytes on a fresh loopback connection and reads one answer (to
/// its Content-Length) or until the server closes, for at most timeoutMs.
/// A server that stops reading makes the send stop short; what it answered
/// is read all the same.
HttpReply RawExchange(int port, const std::string& bytes, int timeoutMs = 10000);

/// A POST with a Content-Length; extraHeaders are whole lines with "\r\n".
std::string PostWithLength(const std::string& path, const std::string& body, const std::string& extraHeaders = "");
/// A POST whose body is sent chunked, chunkSize bytes a chunk.
std::string PostChunked(const std::string& path, const std::string& body, std::size_t chunkSize,
                        const std::string& extraHeaders = "");

/// A TCP port on 127.0.0.1 that listens but never accepts: the kernel
/// completes connections into the backlog and buffers what clients send, and
/// nothing is ever answered. With a backlog of 0 and one connection made by
/// Fill(), further connection attempts are left unanswered as well.
class IdleListener {
public:
  explicit IdleListener(int backlog = 16);
  ~IdleListener();
  IdleListener(const IdleListener&) = delete;
  IdleListener& operator=(const IdleListener&) = delete;
  int Port() const { return m_port; }
  std::string Url(const std::string& rest = "") const;
  /// Connects a socket of the test's own to take the backlog's one place.
  bool Fill();

private:
  int m_fd = -1;
  int m_port = -1;
  std::vector<int> m_fillers;
};

/// A loopback port on which nothing listens (bound, so no one else takes it
/// while the object lives): connections are refused.
class RefusingPort {
public:
  RefusingPort();
  ~RefusingPort();
  RefusingPort(const RefusingPort&) = delete;
  RefusingPort& operator=(const RefusingPort&) = delete;
  int Port() const { return m_port; }

private:
  int m_fd = -1;
  int m_port = -1;
};

/// Sets or unsets environment variables and puts the previous values back
/// when the object goes.
class EnvChanges {
public:
  EnvChanges() = default;
  /// Sets one variable for the object's lifetime.
  EnvChanges(const std::string& name, const std::string& value) { Set(name, value); }
  ~EnvChanges();
  EnvChanges(const EnvChanges&) = delete;
  EnvChanges& operator=(const EnvChanges&) = delete;
  void Set(const std::string& name, const std::string& value);
  void Unset(const std::string& name);

private:
  void Remember(const std::string& name);
  std::vector<std::pair<std::string, std::pair<bool, std::string>>> m_saved;
};

/// Clears every setting that would send the plug-in's transport elsewhere
/// than a test means: server URLs, settings path, time-outs, proxies, trust
/// store.
void IsolateTransport(EnvChanges& env);

/// A fresh directory under the system's temporary directory, removed with
/// its contents when the object goes.
class ScratchDir {
public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& Path() const { return m_path; }
  std::string File(const std::string& name) const { return m_path + "/" + name; }
  /// Writes a file in the directory and returns its path.
  std::string Write(const std::string& name, const std::string& content) const;

private:
  std::string m_path;
};

/// The whole content of a file; empty when it cannot be read.
std::string ReadFile(const std::string& path);
/// The lines of a text without their line ends; a last line end opens no line.
std::vector<std::string> Lines(const std::string& text);

/// A self-signed certificate for 127.0.0.1 (and "localhost"), made with the
/// openssl command into dir: <dir>/cert.pem and <dir>/key.pem. False when
/// openssl failed.
bool MakeSelfSignedCertificate(const ScratchDir& dir);

}  // namespace elmtest
