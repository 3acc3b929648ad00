#pragma once

#include <cstdio>
#include <string>

namespace elmapp {

/// The --events file: one JSON object per line, written as things happen and
/// flushed at once, so a tool reading along sees every event.
class EventLog {
public:
  EventLog() = default;
  ~EventLog();
  EventLog(const EventLog&) = delete;
  EventLog& operator=(const EventLog&) = delete;

  /// Creates (or empties) path; on false, error says why.
  bool Open(const std::string& path, std::string& error);
  bool IsOpen() const { return m_file != nullptr; }
  /// Writes one line; line must be a serialised JSON object.
  void Write(const std::string& line);
  /// Closes the file; false when any line or the close failed (a full disk,
  /// say), with the reason in error.
  bool Close(std::string& error);

private:
  std::FILE* m_file = nullptr;
  std::string m_path;
  int m_errno = 0;  ///< the first write error, 0 while none
};

}  // namespace elmapp
