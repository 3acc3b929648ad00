#include "TortureSupport.h"

#include <expat.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>

namespace torture {

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
  return elmtest::RunProcess(ELM_SERVER_EXECUTABLE, args,
                             elmtest::RunOptions{.env = {}, .timeoutSeconds = 30, .beforeExec = {}});
}

}  // namespace torture
