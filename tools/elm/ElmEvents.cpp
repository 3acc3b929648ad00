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
  return true;
}

void EventLog::Write(const std::string& line) {
  if (!m_file) return;
  std::fputs(line.c_str(), m_file);
  std::fputc('\n', m_file);
  std::fflush(m_file);
}

}  // namespace elmapp
