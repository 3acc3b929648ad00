#include "ElmEvents.h"

#include <cerrno>
#include <cstring>

namespace elmapp {

EventLog::~EventLog() {
  if (m_file) std::fclose(m_file);
}

bool EventLog::Open(const std::string& path, std::string& error) {
  m_file = std::fopen(path.c_str(), "w");
  if (!m_file) {
    error = path + ": cannot be written: " + std::strerror(errno);
    return false;
  }
  m_path = path;
  return true;
}

void EventLog::Write(const std::string& line) {
  if (!m_file) return;
  errno = 0;
  if ((std::fputs(line.c_str(), m_file) < 0 || std::fputc('\n', m_file) == EOF || std::fflush(m_file) != 0) &&
      !m_errno)
    m_errno = errno ? errno : EIO;
}

bool EventLog::Close(std::string& error) {
  if (!m_file) return true;
  errno = 0;
  if (std::fclose(m_file) != 0 && !m_errno) m_errno = errno ? errno : EIO;
  m_file = nullptr;
  if (!m_errno) return true;
  error = m_path + ": cannot be written: " + std::strerror(m_errno);
  return false;
}

}  // namespace elmapp
