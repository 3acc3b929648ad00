#pragma once

#include "ElmServer.h"
#include "PdmStore.h"

#include "ChildProcess.h"
#include "ELMRequestXml.h"
#include "HtmlRequest.h"
#include "LoopbackServer.h"

#include <sys/types.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace servertest {

/// The server inside the test process on an ephemeral loopback port, with
/// ELM_SERVER_URL pointing the plug-in's transport at it.
class InProcessServer {
public:
  explicit InProcessServer(const std::string& basePath = "/plm/api/");
  ~InProcessServer();
  elmserver::PdmStore& Store() { return *m_store; }
  const std::string& Url() const { return m_url; }
  int Port() const { return m_server->Port(); }

private:
  elmtest::ScratchDir m_dir;
  std::unique_ptr<elmserver::PdmStore> m_store;
  std::unique_ptr<elmserver::ElmServer> m_server;
  std::string m_url;
};

using Attrs = std::vector<std::pair<std::string, std::string>>;

/// Builds the request as the plug-in does, sends it and parses the answer
/// into response; the result is the transport's.
HRESULT Call(const char* function, const Attrs& attrs, ELMRequestXml& response, std::string* requestId = nullptr);
/// Call() for an exchange that must succeed: the parsed answer. A failed
/// exchange fails the test and gives an empty document.
ELMRequestXml Answer(const char* function, const Attrs& attrs, std::string* requestId = nullptr);

/// Codes and texts of the answer's errors as the plug-in reads them.
struct Errors {
  bool any = false;
  std::vector<int> codes;
  std::vector<std::string> texts;
};
Errors ErrorsOf(const ELMRequestXml& response);
/// Codes and texts of the answer's messages.
Errors MessagesOf(const ELMRequestXml& response);

/// Attribute values of the elements an XPath expression selects, in order.
std::vector<std::string> AttributeOfNodes(const ELMRequestXml& response, const char* xpath, const char* attribute);
/// The same for several attributes: one row per element, one column per attribute.
using Rows = std::vector<std::vector<std::string>>;
Rows AttributesOfNodes(const ELMRequestXml& response, const char* xpath, const std::vector<const char*>& attributes);

/// The twelve attributes of a transfer as the send dialogs fill them.
Attrs TransferAttrs(const std::string& user = "jdoe");

using elmtest::ServerProcess;
using RunResult = elmtest::ProcessResult;
/// Runs elm-server to its end, with both output streams captured.
inline RunResult RunServerExecutable(const std::vector<std::string>& args) {
  return elmtest::RunProcess(ELM_SERVER_EXECUTABLE, args);
}

/// Forks one child per body, all before waiting on any. Bodies must not use
/// gtest assertions; a body's return value is its child's exit code.
std::vector<pid_t> ForkClients(const std::vector<std::function<int()>>& bodies);
/// Exit codes of the children, in order; all must end within seconds, else
/// the late ones are killed and give -2.
std::vector<int> WaitClients(const std::vector<pid_t>& pids, int seconds);

}  // namespace servertest
