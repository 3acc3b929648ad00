#include "RecordingServer.h"

#include <httplib.h>

namespace elmtest {

RecordingServer::RecordingServer(Answer answer)
    : m_answer(std::move(answer)), m_server(std::make_unique<httplib::Server>()) {
  m_server->set_tcp_nodelay(true);
  m_server->Post("/ELMRequest", [this](const httplib::Request& req, httplib::Response& res) {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_requests.push_back(req.body);
    }
    res.set_content(m_answer(req.body), "application/xml");
  });
  m_port = m_server->bind_to_any_port("127.0.0.1");
  m_thread = std::thread([this] { m_server->listen_after_bind(); });
  // stop() only reaches a server that runs: wait until it does.
  while (!m_server->is_running()) std::this_thread::yield();
}

RecordingServer::~RecordingServer() {
  m_server->stop();
  if (m_thread.joinable()) m_thread.join();
}

std::string RecordingServer::Url() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/"; }

std::vector<std::string> RecordingServer::Requests() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_requests;
}

std::string PartNumberAnswer(const std::string& number) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><ELM><Response name=\"GetPartnumber\">"
         "<Attribute name=\"PartNumber\" value=\"" + number + "\"/></Response></ELM>";
}

}  // namespace elmtest
