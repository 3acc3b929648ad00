#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>

struct MHD_Daemon;
struct MHD_Connection;

namespace elmserver {

class PdmStore;
class RequestHandler;
struct Exchange;

struct ServerConfig {
  std::string host = "127.0.0.1";
  int port = 8080;                   ///< 0: any free port
  std::string basePath = "/";        ///< requests go to basePath + "ELMRequest"
  std::size_t maxBodyBytes = 8u << 20;
  int threads = 16;                  ///< threads that read connections and answer requests
  bool allowRemote = false;          ///< a host other than loopback may be listened on
};

/// A client that sends nothing for this long, while sending its request or
/// between requests, is dropped.
inline constexpr unsigned kIdleSeconds = 5;
/// How long Stop() lets answers under way reach their clients.
inline constexpr unsigned kStopGraceMillis = 2000;
/// Bytes of a refused request's body that are read and dropped, so that its
/// client, still sending, gets to read the refusal: eight times the body
/// limit, at least this many. Beyond them the connection is closed.
inline constexpr std::size_t kMinDrainBytes = 16u << 20;

/// Connections held at once, at most; fewer when the process may not open
/// that many descriptors. Further ones are closed as they come.
inline constexpr unsigned kMaxConnections = 4000;

/// Normalises a base path to "/", or "/a/b/": a leading and a trailing slash.
/// Gives false (and why) for text that cannot be a URL path.
bool NormalizeBasePath(const std::string& in, std::string& out, std::string& why);
/// "host:port", with an IPv6 address in brackets as a URL writes it.
std::string HostPort(const std::string& host, int port);
/// True for "localhost" and for addresses in 127.0.0.0/8 and ::1 (also in
/// their IPv4-mapped form).
bool IsLoopbackHost(const std::string& host);

/// The HTTP side: one POST endpoint on loopback (or the given host), the
/// request log, and the error answers for what never reaches a function.
///
/// Connections are multiplexed over a few polling threads (libmicrohttpd),
/// so a client that sends slowly costs a socket and a buffer, never a thread.
class ElmServer {
public:
  /// log receives one line per request; null keeps the server quiet.
  ElmServer(PdmStore& store, ServerConfig config, std::ostream* log);
  ~ElmServer();
  ElmServer(const ElmServer&) = delete;
  ElmServer& operator=(const ElmServer&) = delete;

  /// Binds and listens; connections queue from here on. Gives the port, or
  /// -1 with the reason in why.
  int Bind(std::string& why);
  /// Starts serving on threads of its own. False, with why, when the
  /// threads cannot be started.
  bool Start(std::string& why);
  /// Stops accepting, lets the answers under way go out (for at most
  /// kStopGraceMillis), then closes every connection and joins the threads.
  void Stop();

  int Port() const { return m_port; }
  /// The URL a client puts into ELM_SERVER_URL.
  std::string Url() const;

private:
  struct Callbacks;
  friend struct Callbacks;

  /// Decides from the request head alone whether the request is refused.
  void Screen(MHD_Connection* connection, Exchange& ex) const;
  int Respond(MHD_Connection* connection, Exchange& ex);
  int Send(MHD_Connection* connection, unsigned status, std::string body);
  void Log(const std::string& name, const std::string& id, const std::string& outcome, double ms);
  void Finished(Exchange& ex, int terminationCode);

  PdmStore& m_store;
  ServerConfig m_config;
  std::string m_endpoint;
  std::ostream* m_log;
  std::mutex m_logMutex;
  std::unique_ptr<RequestHandler> m_handler;
  MHD_Daemon* m_daemon = nullptr;
  int m_listenFd = -1;
  int m_port = -1;

  std::mutex m_flightMutex;
  std::condition_variable m_flightDone;
  int m_inFlight = 0;  ///< requests read in full whose answer has not gone out yet
  std::atomic<bool> m_stopping{false};
};

}  // namespace elmserver
