#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

namespace elmserver {

class PdmStore;
class RequestHandler;

struct ServerConfig {
  std::string host = "127.0.0.1";
  int port = 8080;                   ///< 0: any free port
  std::string basePath = "/";        ///< requests go to basePath + "ELMRequest"
  std::size_t maxBodyBytes = 8u << 20;
  int threads = 16;
};

/// Normalises a base path to "/", or "/a/b/": a leading and a trailing slash.
/// Gives false (and why) for text that cannot be a URL path.
bool NormalizeBasePath(const std::string& in, std::string& out, std::string& why);

/// The HTTP side: one POST endpoint on loopback (or the given host), the
/// request log, and the error answers for what never reaches a function.
class ElmServer {
public:
  /// log receives one line per request; null keeps the server quiet.
  ElmServer(PdmStore& store, ServerConfig config, std::ostream* log);
  ~ElmServer();
  ElmServer(const ElmServer&) = delete;
  ElmServer& operator=(const ElmServer&) = delete;

  /// Binds the socket; connections queue from here on. Gives the port, or
  /// -1 with the reason in why.
  int Bind(std::string& why);
  /// Serves on a thread of its own; returns once the server accepts.
  void Start();
  /// Stops accepting, finishes the answers under way and joins the thread.
  void Stop();

  int Port() const { return m_port; }
  /// The URL a client puts into ELM_SERVER_URL.
  std::string Url() const;

private:
  void Log(const std::string& name, const std::string& id, const std::string& outcome, double ms);

  PdmStore& m_store;
  ServerConfig m_config;
  std::ostream* m_log;
  std::mutex m_logMutex;
  std::unique_ptr<RequestHandler> m_handler;
  std::unique_ptr<httplib::Server> m_server;
  std::thread m_thread;
  int m_port = -1;
};

}  // namespace elmserver
