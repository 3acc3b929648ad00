#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
}

namespace elmtest {

/// A loopback integration server that records every request body and
/// answers each one with what the test's answer function gives.
class RecordingServer {
public:
  using Answer = std::function<std::string(const std::string& requestBody)>;

  explicit RecordingServer(Answer answer);
  ~RecordingServer();
  RecordingServer(const RecordingServer&) = delete;
  RecordingServer& operator=(const RecordingServer&) = delete;

  /// The URL to put into ELM_SERVER_URL.
  std::string Url() const;
  std::vector<std::string> Requests() const;

private:
  Answer m_answer;
  std::unique_ptr<httplib::Server> m_server;
  std::thread m_thread;
  int m_port = 0;
  mutable std::mutex m_mutex;
  std::vector<std::string> m_requests;
};

/// An answer carrying one "PartNumber" response attribute.
std::string PartNumberAnswer(const std::string& number);

}  // namespace elmtest
