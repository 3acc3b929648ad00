#include "TortureSupport.h"

#include <expat.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace torture {

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
  int fd = elmtest::ConnectToLoopback(port);
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

std::string XmlError(const std::string& document) {
  // The encoding is fixed, whatever the declaration says: the answer must be
  // UTF-8, and expat refuses every byte sequence that is not.
  XML_Parser parser = XML_ParserCreate("UTF-8");
  std::string error;
  if (XML_Parse(parser, document.data(), static_cast<int>(document.size()), 1) == XML_STATUS_ERROR)
    error = std::string(XML_ErrorString(XML_GetErrorCode(parser))) + " at byte " +
            std::to_string(XML_GetCurrentByteIndex(parser));
  XML_ParserFree(parser);
  return error;
}

Tricklers::Tricklers(int port, int count, const std::vector<std::string>& openings, char filler,
                     std::chrono::milliseconds interval, std::chrono::seconds life) {
  for (int i = 0; i < count; ++i) {
    int fd = elmtest::ConnectToLoopback(port);
    if (fd < 0) continue;
    const std::string& opening = openings[static_cast<std::size_t>(i) % openings.size()];
    if (!opening.empty() && send(fd, opening.data(), opening.size(), MSG_NOSIGNAL) < 0) {
      close(fd);
      continue;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    m_fds.push_back(fd);
  }
  m_connected = static_cast<int>(m_fds.size());
  m_open = m_connected;
  m_thread = std::thread([this, filler, interval, life] { Run(filler, interval, life); });
}

Tricklers::~Tricklers() {
  {
    std::lock_guard lock(m_lock);
    m_stop = true;
  }
  m_wake.notify_all();
  m_thread.join();
  for (int fd : m_fds)
    if (fd >= 0) close(fd);
}

void Tricklers::Run(char filler, std::chrono::milliseconds interval, std::chrono::seconds life) {
  Deadline end{life};
  std::unique_lock lock(m_lock);
  while (!m_stop && !end.Passed()) {
    m_wake.wait_for(lock, interval, [this] { return m_stop; });
    for (int& fd : m_fds) {
      if (fd < 0) continue;
      char probe;
      ssize_t r = recv(fd, &probe, 1, MSG_DONTWAIT | MSG_PEEK);
      bool gone = r == 0 || (r < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
      if (!gone && send(fd, &filler, 1, MSG_NOSIGNAL | MSG_DONTWAIT) < 0 && errno != EAGAIN) gone = true;
      if (gone) {
        close(fd);
        fd = -1;
        --m_open;
      }
    }
  }
}

ServerUnderTest::ServerUnderTest(const std::vector<std::string>& extra) {
  std::vector<std::string> args{"--db", Db(), "--listen", "127.0.0.1:0"};
  args.insert(args.end(), extra.begin(), extra.end());
  m_process = std::make_unique<elmtest::ServerProcess>(args, m_dir.File("server.log"));
  m_url = m_process->WaitForUrl();
  auto colon = m_url.rfind(':');
  if (!m_url.empty() && colon != std::string::npos) m_port = std::atoi(m_url.c_str() + colon + 1);
}

elmtest::ProcessResult ServerUnderTest::Admin(std::vector<std::string> args) const {
  args.insert(args.begin() + (args.empty() ? 0 : 1), {"--db", Db()});
  elmtest::RunOptions options;
  options.timeoutSeconds = 30;
  return elmtest::RunProcess(ELM_SERVER_EXECUTABLE, args, options);
}

}  // namespace torture
