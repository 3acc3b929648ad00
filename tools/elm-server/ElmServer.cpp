#include "ElmServer.h"

#include "PdmStore.h"
#include "RequestHandler.h"
#include "SafeText.h"

#include <microhttpd.h>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <optional>
#include <strings.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace elmserver {

using Clock = std::chrono::steady_clock;

/// One request on its way through the server, from its head to its answer.
struct Exchange {
  Clock::time_point start = Clock::now();
  std::string method;
  std::string path;
  std::string body;
  std::size_t received = 0;  ///< body bytes seen, kept or dropped
  bool refused = false;      ///< answered with refusal, whatever the body holds
  unsigned refusalStatus = 0;
  elmserver::Answer refusal;
  std::size_t drainUntil = 0;  ///< a refused body longer than this closes the connection
  bool closeAtOnce = false;    ///< the body cannot be read to its end; refuse without waiting for it
  bool underWay = false;       ///< read in full and counted among the answers under way
  bool logged = false;
};

namespace {

double MillisSince(Clock::time_point start) {
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

/// Every field of that name, joined with ", " as HTTP combines repeated
/// fields: a second Transfer-Encoding must not hide behind the first.
std::optional<std::string> Header(MHD_Connection* c, const char* name) {
  struct Found {
    const char* name;
    std::optional<std::string> value;
  } found{name, std::nullopt};
  MHD_get_connection_values(
      c, MHD_HEADER_KIND,
      [](void* cls, MHD_ValueKind, const char* key, const char* value) {
        auto* f = static_cast<Found*>(cls);
        if (strcasecmp(key, f->name) == 0) f->value = f->value ? *f->value + ", " + value : std::string(value);
        return MHD_YES;
      },
      &found);
  return found.value;
}

bool HasBody(MHD_Connection* c) {
  auto length = Header(c, MHD_HTTP_HEADER_CONTENT_LENGTH);
  return (length && *length != "0") || Header(c, MHD_HTTP_HEADER_TRANSFER_ENCODING);
}

bool ExpectsContinue(MHD_Connection* c) {
  auto expect = Header(c, MHD_HTTP_HEADER_EXPECT);
  return expect && strcasecmp(expect->c_str(), "100-continue") == 0;
}

std::string DroppedBecause(int code) {
  switch (code) {
    case MHD_REQUEST_TERMINATED_TIMEOUT_REACHED:
      return "dropped (silent for " + std::to_string(kIdleSeconds) + " s)";
    case MHD_REQUEST_TERMINATED_DAEMON_SHUTDOWN:
      return "dropped (server stopping)";
    case MHD_REQUEST_TERMINATED_READ_ERROR:
    case MHD_REQUEST_TERMINATED_CLIENT_ABORT:
      return "dropped (client closed the connection)";
    default:
      return "dropped (connection failed)";
  }
}

/// Connections served at once: kMaxConnections, or as many as the
/// descriptor limit leaves room for beside the database and the polling
/// threads' own descriptors.
unsigned ConnectionLimit() {
  rlimit lim{};
  rlim_t files = getrlimit(RLIMIT_NOFILE, &lim) == 0 ? lim.rlim_cur : 1024;
  if (files == RLIM_INFINITY || files > kMaxConnections + 64) files = kMaxConnections + 64;
  return files > 80 ? static_cast<unsigned>(files - 64) : 16u;
}

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

std::string HostPort(const std::string& host, int port) {
  return (host.find(':') != std::string::npos ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

bool IsLoopbackHost(const std::string& host) {
  if (strcasecmp(host.c_str(), "localhost") == 0) return true;
  in_addr v4{};
  if (inet_pton(AF_INET, host.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
  in6_addr v6{};
  if (inet_pton(AF_INET6, host.c_str(), &v6) == 1) {
    if (IN6_IS_ADDR_LOOPBACK(&v6)) return true;
    return IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127;
  }
  return false;
}

struct ElmServer::Callbacks {
  static MHD_Result OnRequest(void* cls, MHD_Connection* c, const char* url, const char* method, const char*,
                              const char* data, size_t* size, void** context) noexcept {
    auto& self = *static_cast<ElmServer*>(cls);
    try {
      auto* ex = static_cast<Exchange*>(*context);
      if (!ex) {
        // The head is complete: decide what can be decided before the body.
        auto fresh = std::make_unique<Exchange>();
        fresh->method = method;
        fresh->path = url;
        self.Screen(c, *fresh);
        ex = fresh.release();
        *context = ex;
        // A client that waits for "100 Continue" never sends the refused
        // body, and one without a body has nothing left to send.
        if (ex->refused && (ex->closeAtOnce || !HasBody(c) || ExpectsContinue(c)))
          return static_cast<MHD_Result>(self.Respond(c, *ex));
        return MHD_YES;
      }
      if (*size > 0) {
        std::size_t n = *size;
        *size = 0;
        ex->received += n;
        if (!ex->refused) {
          // Counted as it arrives, whatever the framing: a chunked body
          // declares no length to check up front.
          if (ex->received > self.m_config.maxBodyBytes) {
            self.Screen(c, *ex);
            std::string().swap(ex->body);
          } else {
            ex->body.append(data, n);
          }
        }
        if (ex->refused && ex->received > ex->drainUntil) {
          self.Log(ex->method + " " + ex->path, "-",
                   "dropped (body went on past " + std::to_string(ex->received) + " bytes)", MillisSince(ex->start));
          ex->logged = true;
          return MHD_NO;
        }
        return MHD_YES;
      }
      return static_cast<MHD_Result>(self.Respond(c, *ex));
    } catch (...) {
      // Out of memory, most likely: give up this connection, not the server.
      return MHD_NO;
    }
  }

  static void OnCompleted(void* cls, MHD_Connection*, void** context, MHD_RequestTerminationCode code) noexcept {
    std::unique_ptr<Exchange> ex(static_cast<Exchange*>(*context));
    *context = nullptr;
    if (ex) static_cast<ElmServer*>(cls)->Finished(*ex, code);
  }
};

ElmServer::ElmServer(PdmStore& store, ServerConfig config, std::ostream* log)
    : m_store(store), m_config(std::move(config)), m_endpoint(m_config.basePath + "ELMRequest"), m_log(log),
      m_handler(std::make_unique<RequestHandler>(store)) {}

ElmServer::~ElmServer() {
  Stop();
  if (m_listenFd >= 0) ::close(m_listenFd);
}

void ElmServer::Screen(MHD_Connection* c, Exchange& ex) const {
  const std::size_t drain = std::max(kMinDrainBytes, 8 * m_config.maxBodyBytes);
  auto refuse = [&ex, drain](unsigned status, elmserver::Answer a) {
    ex.refused = true;
    ex.refusalStatus = status;
    ex.refusal = std::move(a);
    ex.drainUntil = ex.received + drain;
  };
  const std::string tooLarge =
      "The request body is larger than this server accepts (" + std::to_string(m_config.maxBodyBytes) + " bytes).";
  // Called again when a body outgrows the limit on its way in.
  if (ex.received > m_config.maxBodyBytes) {
    refuse(413, RequestHandler::ErrorAnswer(ErrorCode::BodyTooLarge, tooLarge));
    return;
  }
  if (ex.path != m_endpoint) {
    refuse(404, RequestHandler::ErrorAnswer(ErrorCode::NoSuchEndpoint, "Nothing is served at " + ex.path +
                                                                            "; requests go to " + m_endpoint +
                                                                            " with POST."));
    return;
  }
  if (ex.method != "POST") {
    refuse(405, RequestHandler::ErrorAnswer(ErrorCode::NoSuchEndpoint, "Requests to " + m_endpoint + " must be sent with POST."));
    return;
  }
  // The plug-in never compresses; a compressed body would have to be
  // inflated to be measured, and a small one can inflate without bound.
  if (auto enc = Header(c, MHD_HTTP_HEADER_CONTENT_ENCODING); enc && strcasecmp(enc->c_str(), "identity") != 0) {
    refuse(415, RequestHandler::ErrorAnswer(ErrorCode::NotXml, "The request body is encoded (Content-Encoding: " + *enc +
                                                                   "); this server reads only plain XML."));
    return;
  }
  if (auto te = Header(c, MHD_HTTP_HEADER_TRANSFER_ENCODING); te && strcasecmp(te->c_str(), "chunked") != 0) {
    // Where such a body ends cannot be known, so it cannot be read past.
    refuse(501, RequestHandler::ErrorAnswer(ErrorCode::NotXml, "The request's Transfer-Encoding \"" + *te +
                                                                   "\" is not supported; send the body with a "
                                                                   "Content-Length or chunked."));
    ex.closeAtOnce = true;
    return;
  }
  if (auto length = Header(c, MHD_HTTP_HEADER_CONTENT_LENGTH)) {
    unsigned long long n = 0;
    auto [end, ec] = std::from_chars(length->data(), length->data() + length->size(), n);
    if (ec == std::errc() && end == length->data() + length->size() && n > m_config.maxBodyBytes)
      refuse(413, RequestHandler::ErrorAnswer(ErrorCode::BodyTooLarge, tooLarge));
  }
}

int ElmServer::Respond(MHD_Connection* c, Exchange& ex) {
  {
    std::lock_guard lock(m_flightMutex);
    ++m_inFlight;
  }
  ex.underWay = true;
  if (ex.refused) {
    Log(ex.method + " " + ex.path, "-", Outcome(ex.refusal) + " (HTTP " + std::to_string(ex.refusalStatus) + ")",
        MillisSince(ex.start));
    return Send(c, ex.refusalStatus, std::move(ex.refusal.body));
  }
  Answer a;
  unsigned status = 200;  // the client reads only the body; errors travel in it
  try {
    a = m_handler->Handle(ex.body);
    Log(a.requestName, a.requestId, Outcome(a), MillisSince(ex.start));
  } catch (const std::exception& e) {
    a = RequestHandler::ErrorAnswer(ErrorCode::StoreFailure, std::string("The server could not answer: ") + e.what() + ".");
    status = 500;
    Log("-", "-", Outcome(a) + " (" + e.what() + ")", MillisSince(ex.start));
  }
  std::string().swap(ex.body);
  return Send(c, status, std::move(a.body));
}

int ElmServer::Send(MHD_Connection* c, unsigned status, std::string body) {
  auto* text = new std::string(std::move(body));
  MHD_Response* r = MHD_create_response_from_buffer_with_free_callback_cls(
      text->size(), text->data(), [](void* p) { delete static_cast<std::string*>(p); }, text);
  if (!r) {
    delete text;
    return MHD_NO;
  }
  MHD_add_response_header(r, MHD_HTTP_HEADER_CONTENT_TYPE, kXmlType);
  if (status == 405) MHD_add_response_header(r, MHD_HTTP_HEADER_ALLOW, "POST");
  // A stopping server takes no further request on this connection.
  if (m_stopping) MHD_add_response_header(r, MHD_HTTP_HEADER_CONNECTION, "close");
  MHD_Result queued = MHD_queue_response(c, status, r);
  MHD_destroy_response(r);
  return queued;
}

void ElmServer::Finished(Exchange& ex, int code) {
  if (ex.underWay) {
    std::lock_guard lock(m_flightMutex);
    if (--m_inFlight == 0) m_flightDone.notify_all();
  } else if (!ex.logged) {
    Log(ex.method + " " + ex.path, "-", DroppedBecause(code), MillisSince(ex.start));
  }
}

int ElmServer::Bind(std::string& why) {
  const std::string where = HostPort(m_config.host, m_config.port);
  if (!m_config.allowRemote && !IsLoopbackHost(m_config.host)) {
    why = "cannot listen on " + where + ": not a loopback address, and remote listening was not allowed";
    return -1;
  }
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const std::string port = std::to_string(m_config.port);
  int rc = getaddrinfo(m_config.host.empty() ? nullptr : m_config.host.c_str(), port.c_str(), &hints, &found);
  if (rc != 0) {
    why = "cannot listen on " + where + ": " + (rc == EAI_SYSTEM ? std::strerror(errno) : gai_strerror(rc));
    return -1;
  }
  int err = 0;
  for (addrinfo* ai = found; ai && m_listenFd < 0; ai = ai->ai_next) {
    int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, ai->ai_protocol);
    if (fd < 0) {
      err = errno;
      continue;
    }
    // SO_REUSEADDR lets a restarted server take its port at once; no
    // SO_REUSEPORT, with which a second server would bind without complaint
    // and the two would share the connections.
    int yes = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    if (::bind(fd, ai->ai_addr, ai->ai_addrlen) != 0 || ::listen(fd, SOMAXCONN) != 0) {
      err = errno;
      ::close(fd);
      continue;
    }
    m_listenFd = fd;
  }
  freeaddrinfo(found);
  if (m_listenFd < 0) {
    why = "cannot listen on " + where + ": " + std::strerror(err);
    return -1;
  }
  sockaddr_storage bound{};
  socklen_t len = sizeof bound;
  getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&bound), &len);
  m_port = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                             : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
  return m_port;
}

bool ElmServer::Start(std::string& why) {
  if (m_listenFd < 0) {
    why = "cannot start serving: the server is not bound";
    return false;
  }
  // Every connection is read by whichever polling thread holds it, a few
  // bytes at a time as they come; none is ever waited on. --threads sets how
  // many such threads there are, and so how many requests are answered at
  // the same moment.
  unsigned threads = static_cast<unsigned>(m_config.threads > 1 ? m_config.threads : 1);
  unsigned flags = MHD_USE_EPOLL_INTERNAL_THREAD | MHD_USE_ITC;
  errno = 0;
  if (threads > 1) {
    m_daemon = MHD_start_daemon(flags, 0, nullptr, nullptr, &Callbacks::OnRequest, this, MHD_OPTION_LISTEN_SOCKET,
                                m_listenFd, MHD_OPTION_THREAD_POOL_SIZE, threads, MHD_OPTION_CONNECTION_TIMEOUT,
                                kIdleSeconds, MHD_OPTION_CONNECTION_LIMIT, ConnectionLimit(), MHD_OPTION_NOTIFY_COMPLETED,
                                &Callbacks::OnCompleted, this, MHD_OPTION_END);
  } else {
    m_daemon = MHD_start_daemon(flags, 0, nullptr, nullptr, &Callbacks::OnRequest, this, MHD_OPTION_LISTEN_SOCKET,
                                m_listenFd, MHD_OPTION_CONNECTION_TIMEOUT, kIdleSeconds, MHD_OPTION_CONNECTION_LIMIT,
                                ConnectionLimit(), MHD_OPTION_NOTIFY_COMPLETED, &Callbacks::OnCompleted, this,
                                MHD_OPTION_END);
  }
  if (!m_daemon) {
    why = std::string("cannot start serving: ") + (errno ? std::strerror(errno) : "the HTTP library refused to start");
    return false;
  }
  return true;
}

void ElmServer::Stop() {
  if (!m_daemon) return;
  m_stopping = true;
  // No new connection from here on; the socket is ours to close.
  MHD_socket listening = MHD_quiesce_daemon(m_daemon);
  if (listening != MHD_INVALID_SOCKET) ::close(listening);
  m_listenFd = -1;
  {
    std::unique_lock lock(m_flightMutex);
    m_flightDone.wait_for(lock, std::chrono::milliseconds(kStopGraceMillis), [this] { return m_inFlight == 0; });
  }
  // Closes every connection still open, slow or stalled ones included.
  MHD_stop_daemon(m_daemon);
  m_daemon = nullptr;
}

std::string ElmServer::Url() const { return "http://" + HostPort(m_config.host, m_port) + m_config.basePath; }

void ElmServer::Log(const std::string& name, const std::string& id, const std::string& outcome, double ms) {
  if (!m_log) return;
  char dur[32];
  std::snprintf(dur, sizeof dur, "%.1f ms", ms);
  // Name, id and path are the client's: escaped, they can neither start a
  // line of their own nor hide the rest of this one.
  std::string line = UtcTimestamp() + " " + Printable(name) + " id=" + Printable(id) + " " + outcome + " " + dur + "\n";
  std::lock_guard lock(m_logMutex);
  *m_log << line << std::flush;
}

}  // namespace elmserver
