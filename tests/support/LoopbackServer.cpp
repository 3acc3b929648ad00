#include "LoopbackServer.h"

#include <condition_variable>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace elmtest {

namespace {

// Generous bound for a server thread to come up; only ever reached when
// something is badly wrong.
constexpr auto kStartBound = std::chrono::seconds(10);

bool isHttplibEntry(const std::string& name) {
  return name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" || name == "LOCAL_PORT";
}

int loopbackSocket(int& port) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
    throw std::runtime_error("cannot bind a loopback port");
  port = ntohs(addr.sin_port);
  return fd;
}

}  // namespace

int ConnectToLoopback(int port) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(port));
  if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

int Deadline::LeftMs() const {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(m_at - std::chrono::steady_clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

namespace {

/// Parses what arrived so far; true once one whole final answer is there.
bool ParseReply(const std::string& got, HttpReply& reply) {
  std::size_t start = 0;
  for (;;) {
    auto end = got.find("\r\n\r\n", start);
    if (end == std::string::npos) return false;
    std::string head = got.substr(start, end + 4 - start);
    int status = head.size() > 12 ? std::atoi(head.c_str() + 9) : 0;
    if (status >= 100 && status < 200) {  // "100 Continue": the answer follows
      start = end + 4;
      continue;
    }
    reply.status = status;
    reply.head = head;
    std::size_t length = std::string::npos;
    auto at = head.find("Content-Length: ");
    if (at != std::string::npos) length = std::strtoul(head.c_str() + at + 16, nullptr, 10);
    std::string body = got.substr(end + 4);
    if (length != std::string::npos && body.size() >= length) {
      reply.body = body.substr(0, length);
      return true;
    }
    reply.body = body;
    return false;
  }
}

}  // namespace

HttpReply RawExchange(int port, const std::string& bytes, int timeoutMs) {
  HttpReply reply;
  Deadline deadline{std::chrono::milliseconds(timeoutMs)};
  int fd = ConnectToLoopback(port);
  if (fd < 0) return reply;
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
  std::size_t sent = 0;
  bool sending = true;
  std::string got;
  while (!deadline.Passed()) {
    pollfd p{fd, static_cast<short>(POLLIN | (sending ? POLLOUT : 0)), 0};
    if (poll(&p, 1, deadline.LeftMs()) <= 0) break;
    if (p.revents & (POLLIN | POLLHUP | POLLERR)) {
      char buf[65536];
      ssize_t n = recv(fd, buf, sizeof buf, 0);
      if (n > 0) {
        got.append(buf, static_cast<std::size_t>(n));
        // An early answer ends the sending: the server wants no more.
        if (ParseReply(got, reply)) break;
        if (reply.status) sending = false;
        continue;
      }
      if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
        reply.closed = true;
        break;
      }
    }
    if (sending && (p.revents & POLLOUT)) {
      ssize_t n = send(fd, bytes.data() + sent, std::min<std::size_t>(bytes.size() - sent, 1 << 16), MSG_NOSIGNAL);
      if (n > 0) sent += static_cast<std::size_t>(n);
      else if (errno != EAGAIN && errno != EINTR) sending = false;
      if (sent == bytes.size()) sending = false;
    }
  }
  ParseReply(got, reply);
  close(fd);
  return reply;
}

std::string PostWithLength(const std::string& path, const std::string& body, const std::string& extraHeaders) {
  return "POST " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/xml\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\n" + extraHeaders + "\r\n" + body;
}

std::string PostChunked(const std::string& path, const std::string& body, std::size_t chunkSize,
                        const std::string& extraHeaders) {
  std::string out = "POST " + path +
                    " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/xml\r\nTransfer-Encoding: chunked\r\n" +
                    extraHeaders + "\r\n";
  char size[32];
  for (std::size_t at = 0; at < body.size(); at += chunkSize) {
    std::string chunk = body.substr(at, chunkSize);
    std::snprintf(size, sizeof size, "%zx\r\n", chunk.size());
    out += size + chunk + "\r\n";
  }
  return out + "0\r\n\r\n";
}

LoopbackServer::LoopbackServer(Handler handler) : m_server(std::make_unique<httplib::Server>()) {
  Start(std::move(handler));
}

LoopbackServer::LoopbackServer(Handler handler, const std::string& certFile, const std::string& keyFile)
    : m_server(std::make_unique<httplib::SSLServer>(certFile.c_str(), keyFile.c_str())), m_tls(true) {
  if (!m_server->is_valid()) throw std::runtime_error("TLS server rejected its certificate or key");
  Start(std::move(handler));
}

namespace {

// The server's worker pool, built so that its threads have all started and
// are waiting before anyone is told so. Tests fork children while the server
// runs; a fork that meets a worker still allocating its start-up state can
// leave the child blocked on an allocator lock under the sanitizers.
class SettledPool : public httplib::TaskQueue {
public:
  SettledPool(std::size_t workers, std::atomic<bool>& idle) {
    for (std::size_t i = 0; i < workers; ++i)
      m_threads.emplace_back([this] {
        std::unique_lock<std::mutex> lock(m_lock);
        ++m_started;
        m_changed.notify_all();
        for (;;) {
          m_changed.wait(lock, [this] { return m_stop || !m_jobs.empty(); });
          if (m_jobs.empty()) return;
          std::function<void()> job = std::move(m_jobs.front());
          m_jobs.erase(m_jobs.begin());
          lock.unlock();
          job();
          lock.lock();
        }
      });
    std::unique_lock<std::mutex> lock(m_lock);
    m_changed.wait(lock, [&] { return m_started == workers; });
    idle = true;
  }
  ~SettledPool() override { shutdown(); }

  void enqueue(std::function<void()> fn) override {
    std::lock_guard<std::mutex> lock(m_lock);
    m_jobs.push_back(std::move(fn));
    m_changed.notify_all();
  }
  void shutdown() override {
    {
      std::lock_guard<std::mutex> lock(m_lock);
      m_stop = true;
      m_changed.notify_all();
    }
    for (std::thread& t : m_threads)
      if (t.joinable()) t.join();
  }

private:
  std::mutex m_lock;
  std::condition_variable m_changed;
  std::vector<std::function<void()>> m_jobs;
  std::vector<std::thread> m_threads;
  std::size_t m_started = 0;
  bool m_stop = false;
};

}  // namespace

void LoopbackServer::Start(Handler handler) {
  auto record = [this, handler](const httplib::Request& req, httplib::Response& res) {
    SeenRequest seen;
    seen.method = req.method;
    seen.target = req.target;
    seen.body = req.body;
    seen.tls = m_tls;
    for (const auto& [name, value] : req.headers)
      if (!isHttplibEntry(name)) seen.headers.emplace_back(name, value);
    {
      std::lock_guard<std::mutex> lock(m_lock);
      m_requests.push_back(std::move(seen));
    }
    handler(req, res);
  };
  m_server->set_tcp_nodelay(true);
  m_server->new_task_queue = [this] { return new SettledPool(4, m_workersIdle); };
  m_server->Post(".*", record);
  m_server->Get(".*", record);
  m_port = m_server->bind_to_any_port("127.0.0.1");
  if (m_port <= 0) throw std::runtime_error("cannot bind a loopback port");
  m_thread = std::thread([this] { m_server->listen_after_bind(); });
  const auto deadline = std::chrono::steady_clock::now() + kStartBound;
  while (!(m_server->is_running() && m_workersIdle) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::yield();
}

LoopbackServer::~LoopbackServer() {
  m_server->stop();
  if (m_thread.joinable()) m_thread.join();
}

std::string LoopbackServer::Url(const std::string& rest) const {
  return (m_tls ? "https://127.0.0.1:" : "http://127.0.0.1:") + std::to_string(m_port) + rest;
}

std::vector<SeenRequest> LoopbackServer::Requests() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_requests;
}

bool RawServer::Connection::Send(const std::string& bytes) const {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t n = ::send(m_fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

bool RawServer::Connection::WaitForPeerClose() const {
  pollfd p[2] = {{m_fd, POLLIN, 0}, {m_stopFd, POLLIN, 0}};
  for (;;) {
    if (::poll(p, 2, -1) < 0) continue;
    if (p[1].revents) return false;
    char c;
    if (::recv(m_fd, &c, 1, 0) <= 0) return true;
  }
}

RawServer::RawServer(Behaviour behaviour) : m_behaviour(std::move(behaviour)) {
  if (::pipe(m_stopPipe) != 0) throw std::runtime_error("pipe");
  m_listenFd = loopbackSocket(m_port);
  if (::listen(m_listenFd, 16) != 0) throw std::runtime_error("cannot listen on a loopback port");
  // The socket listens already, so clients may connect before the thread runs.
  m_thread = std::thread([this] { Run(); });
}

RawServer::~RawServer() {
  char c = 'x';
  (void)!::write(m_stopPipe[1], &c, 1);
  if (m_thread.joinable()) m_thread.join();
  ::close(m_listenFd);
  ::close(m_stopPipe[0]);
  ::close(m_stopPipe[1]);
}

std::string RawServer::Url(const std::string& rest) const { return "http://127.0.0.1:" + std::to_string(m_port) + rest; }

std::vector<std::string> RawServer::Requests() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_requests;
}

void RawServer::Run() {
  for (;;) {
    pollfd p[2] = {{m_listenFd, POLLIN, 0}, {m_stopPipe[0], POLLIN, 0}};
    if (::poll(p, 2, -1) < 0) continue;
    if (p[1].revents) return;
    int fd = ::accept(m_listenFd, nullptr, nullptr);
    if (fd < 0) continue;
    ++m_accepted;

    // The request: headers up to the blank line, then Content-Length bytes.
    // Reads give up after a few seconds of silence so a stuck client cannot
    // hold the test.
    std::string request;
    std::size_t wanted = std::string::npos;
    char buf[4096];
    for (;;) {
      if (wanted != std::string::npos && request.size() >= wanted) break;
      pollfd r[2] = {{fd, POLLIN, 0}, {m_stopPipe[0], POLLIN, 0}};
      if (::poll(r, 2, 5000) <= 0 || r[1].revents) break;
      ssize_t n = ::recv(fd, buf, sizeof buf, 0);
      if (n <= 0) break;
      request.append(buf, static_cast<std::size_t>(n));
      std::size_t end = request.find("\r\n\r\n");
      if (wanted == std::string::npos && end != std::string::npos) {
        std::size_t bodyLength = 0;
        std::size_t at = request.find("\r\nContent-Length: ");
        if (at != std::string::npos && at < end) bodyLength = std::strtoul(request.c_str() + at + 18, nullptr, 10);
        wanted = end + 4 + bodyLength;
      }
    }
    {
      std::lock_guard<std::mutex> lock(m_lock);
      m_requests.push_back(request);
    }
    m_behaviour(Connection(fd, m_stopPipe[0]), request);
    ::close(fd);
  }
}

IdleListener::IdleListener(int backlog) {
  m_fd = loopbackSocket(m_port);
  if (::listen(m_fd, backlog) != 0) throw std::runtime_error("listen");
}

IdleListener::~IdleListener() {
  for (int fd : m_fillers) ::close(fd);
  ::close(m_fd);
}

std::string IdleListener::Url(const std::string& rest) const {
  return "http://127.0.0.1:" + std::to_string(m_port) + rest;
}

bool IdleListener::Fill() {
  int fd = ConnectToLoopback(m_port);
  if (fd < 0) return false;
  m_fillers.push_back(fd);
  return true;
}

RefusingPort::RefusingPort() { m_fd = loopbackSocket(m_port); }

RefusingPort::~RefusingPort() { ::close(m_fd); }

EnvChanges::~EnvChanges() {
  for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
    if (it->second.first)
      ::setenv(it->first.c_str(), it->second.second.c_str(), 1);
    else
      ::unsetenv(it->first.c_str());
  }
}

void EnvChanges::Remember(const std::string& name) {
  const char* old = std::getenv(name.c_str());
  m_saved.emplace_back(name, std::make_pair(old != nullptr, old ? std::string(old) : std::string()));
}

void EnvChanges::Set(const std::string& name, const std::string& value) {
  Remember(name);
  ::setenv(name.c_str(), value.c_str(), 1);
}

void EnvChanges::Unset(const std::string& name) {
  Remember(name);
  ::unsetenv(name.c_str());
}

void IsolateTransport(EnvChanges& env) {
  for (const char* name :
       {"ELM_SERVER_URL", "ELM_SERVERURL", "ELMHOST_SETTINGS_PATH", "ELM_SERVER_RESOLVE_TIMEOUT",
        "ELM_SERVER_CONNECT_TIMEOUT", "ELM_SERVER_SEND_TIMEOUT", "ELM_SERVER_RECEIVE_TIMEOUT", "http_proxy",
        "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY", "SSL_CERT_FILE",
        "SSL_CERT_DIR"})
    env.Unset(name);
}

ScratchDir::ScratchDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "elmtest-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp");
  m_path = pattern;
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(m_path, ignored);
}

std::string ScratchDir::Write(const std::string& name, const std::string& content) const {
  std::string path = File(name);
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

bool MakeSelfSignedCertificate(const ScratchDir& dir) {
  const std::string command =
      "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 -subj /CN=127.0.0.1"
      " -addext subjectAltName=IP:127.0.0.1,DNS:localhost -keyout '" +
      dir.File("key.pem") + "' -out '" + dir.File("cert.pem") + "' >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

}  // namespace elmtest
