#include "ElmServer.h"

#include "PdmStore.h"
#include "RequestHandler.h"

#include <httplib.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <sys/socket.h>

namespace elmserver {
namespace {

using Clock = std::chrono::steady_clock;

// Set by the pre-routing handler; the same pool thread then runs the
// handler or the error handler of that request, which read it.
thread_local Clock::time_point t_requestStart;

double MillisSince(Clock::time_point start) {
  // An HTTP request too broken to be routed never set the start.
  if (start == Clock::time_point{}) return 0.0;
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string UtcTimestamp() {
  using namespace std::chrono;
  auto now = system_clock::now();
  std::time_t t = system_clock::to_time_t(now);
  auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm tm{};
  gmtime_r(&t, &tm);
  char buf[40];
  std::size_t n = std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S", &tm);
  std::snprintf(buf + n, sizeof buf - n, ".%03dZ", static_cast<int>(ms));
  return buf;
}

std::string Outcome(const Answer& a) {
  if (a.errorCodes.empty()) return "ok";
  std::string s = "error";
  for (std::size_t i = 0; i < a.errorCodes.size(); ++i) s += (i ? "," : " ") + std::to_string(a.errorCodes[i]);
  return s;
}

constexpr const char* kXmlType = "application/xml; charset=utf-8";

}  // namespace

bool NormalizeBasePath(const std::string& in, std::string& out, std::string& why) {
  for (char c : in) {
    if (static_cast<unsigned char>(c) <= ' ' || c == '?' || c == '#' || c == '%' || c == '\\') {
      why = "the base path \"" + in + "\" may hold no blanks, control characters, '?', '#', '%' or '\\'";
      return false;
    }
  }
  out.clear();
  // Collapse repeated slashes: the client joins its URL's path and
  // "ELMRequest" with exactly one.
  for (char c : "/" + in + "/")
    if (c != '/' || out.empty() || out.back() != '/') out += c;
  return true;
}

ElmServer::ElmServer(PdmStore& store, ServerConfig config, std::ostream* log)
    : m_store(store), m_config(std::move(config)), m_log(log), m_handler(std::make_unique<RequestHandler>(store)),
      m_server(std::make_unique<httplib::Server>()) {
  auto& svr = *m_server;
  // Without it every kept-alive answer waits about 40 ms: header and body
  // leave in two sends and meet the client's delayed ACK.
  svr.set_tcp_nodelay(true);
  // httplib's default adds SO_REUSEPORT, with which a second server on the
  // same port binds without complaint and the two share the connections.
  // SO_REUSEADDR alone still lets a restarted server take its port at once.
  svr.set_socket_options([](socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  int threads = m_config.threads > 0 ? m_config.threads : 1;
  svr.new_task_queue = [threads] { return new httplib::ThreadPool(static_cast<std::size_t>(threads)); };
  // A larger body is read and dropped without being kept, then answered 413.
  svr.set_payload_max_length(m_config.maxBodyBytes);
  // Each connection holds a pool thread while it is read, so a client that
  // connects and stays silent must let go soon; the plug-in sends its whole
  // request at once, and the timeout applies to each read, not the body.
  svr.set_read_timeout(5, 0);
  svr.set_write_timeout(30, 0);
  svr.set_keep_alive_timeout(2);

  const std::string endpoint = m_config.basePath + "ELMRequest";

  svr.set_pre_routing_handler([](const httplib::Request&, httplib::Response&) {
    t_requestStart = Clock::now();
    return httplib::Server::HandlerResponse::Unhandled;
  });

  svr.Post(".*", [this, endpoint](const httplib::Request& req, httplib::Response& res) {
    if (req.path != endpoint) {
      res.status = 404;
      return;
    }
    Answer a = m_handler->Handle(req.body);
    // The client reads only the body; errors travel in it with status 200.
    res.status = 200;
    res.set_content(std::move(a.body), kXmlType);
    Log(a.requestName, a.requestId, Outcome(a), MillisSince(t_requestStart));
  });

  svr.set_error_handler([this, endpoint](const httplib::Request& req, httplib::Response& res) {
    Answer a;
    if (res.status == 413) {
      a = RequestHandler::ErrorAnswer(ErrorCode::BodyTooLarge,
                                      "The request body is larger than this server accepts (" +
                                          std::to_string(m_config.maxBodyBytes) + " bytes).");
    } else if (res.status == 404 && req.path == endpoint) {
      res.status = 405;
      res.set_header("Allow", "POST");
      a = RequestHandler::ErrorAnswer(ErrorCode::NoSuchEndpoint, "Requests to " + endpoint + " must be sent with POST.");
    } else if (res.status == 404) {
      a = RequestHandler::ErrorAnswer(ErrorCode::NoSuchEndpoint,
                                      "Nothing is served at " + req.path + "; requests go to " + endpoint + " with POST.");
    } else {
      a = RequestHandler::ErrorAnswer(ErrorCode::NotXml,
                                      "The HTTP request could not be read (status " + std::to_string(res.status) + ").");
    }
    res.set_content(std::move(a.body), kXmlType);
    Log(req.method + " " + req.path, "-", Outcome(a) + " (HTTP " + std::to_string(res.status) + ")",
        MillisSince(t_requestStart));
  });

  svr.set_exception_handler([this](const httplib::Request&, httplib::Response& res, std::exception_ptr ep) {
    std::string why = "unknown failure";
    try {
      std::rethrow_exception(ep);
    } catch (const std::exception& e) {
      why = e.what();
    } catch (...) {
    }
    Answer a = RequestHandler::ErrorAnswer(ErrorCode::StoreFailure, "The server could not answer: " + why + ".");
    res.status = 500;
    res.set_content(std::move(a.body), kXmlType);
    Log("-", "-", Outcome(a) + " (" + why + ")", MillisSince(t_requestStart));
  });
}

ElmServer::~ElmServer() { Stop(); }

int ElmServer::Bind(std::string& why) {
  if (m_config.port == 0) {
    m_port = m_server->bind_to_any_port(m_config.host);
  } else {
    m_port = m_server->bind_to_port(m_config.host, m_config.port) ? m_config.port : -1;
  }
  if (m_port < 0)
    why = "cannot listen on " + m_config.host + ":" + std::to_string(m_config.port) +
          " (address in use, or not an address of this machine)";
  return m_port;
}

void ElmServer::Start() {
  m_thread = std::thread([this] { m_server->listen_after_bind(); });
  // stop() before the accept loop has begun would be lost and leave the
  // thread running, so Start returns only once the loop runs.
  auto deadline = Clock::now() + std::chrono::seconds(10);
  while (!m_server->is_running() && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void ElmServer::Stop() {
  if (m_thread.joinable()) {
    m_server->stop();
    m_thread.join();
  }
}

std::string ElmServer::Url() const {
  std::string host = m_config.host.find(':') != std::string::npos ? "[" + m_config.host + "]" : m_config.host;
  return "http://" + host + ":" + std::to_string(m_port) + m_config.basePath;
}

void ElmServer::Log(const std::string& name, const std::string& id, const std::string& outcome, double ms) {
  if (!m_log) return;
  char dur[32];
  std::snprintf(dur, sizeof dur, "%.1f ms", ms);
  std::string line = UtcTimestamp() + " " + name + " id=" + id + " " + outcome + " " + dur + "\n";
  std::lock_guard lock(m_logMutex);
  *m_log << line << std::flush;
}

}  // namespace elmserver
