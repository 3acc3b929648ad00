#include "ServerTestSupport.h"

#include "CATIDOMElement.h"
#include "CATIDOMNode.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace servertest {

InProcessServer::InProcessServer(const std::string& basePath) {
  m_store = std::make_unique<elmserver::PdmStore>(m_dir.File("pdm.db"));
  elmserver::ServerConfig config;
  config.port = 0;
  std::string why;
  if (!elmserver::NormalizeBasePath(basePath, config.basePath, why)) throw std::runtime_error(why);
  config.maxBodyBytes = 8u << 20;
  m_server = std::make_unique<elmserver::ElmServer>(*m_store, config, nullptr);
  if (m_server->Bind(why) < 0 || !m_server->Start(why)) throw std::runtime_error(why);
  m_url = m_server->Url();
  setenv("ELM_SERVER_URL", m_url.c_str(), 1);
}

InProcessServer::~InProcessServer() {
  m_server->Stop();
  unsetenv("ELM_SERVER_URL");
}

HRESULT Call(const char* function, const Attrs& attrs, ELMRequestXml& response, std::string* requestId) {
  ELMRequestXml request(function);
  for (const auto& [n, v] : attrs)
    if (FAILED(
            request.AddRequestAttribute(CATUnicodeString(n.c_str(), n.size()), CATUnicodeString(v.c_str(), v.size()))))
      return E_FAIL;
  if (requestId) *requestId = request.GetRequestId().ConvertToChar();
  return HtmlRequest::DoRequest(request, response);
}

ELMRequestXml Answer(const char* function, const Attrs& attrs, std::string* requestId) {
  ELMRequestXml response;
  EXPECT_EQ(Call(function, attrs, response, requestId), S_OK) << function;
  return response;
}

namespace {

Errors collected(bool any, const CATRawCollint& codes, const CATListValCATUnicodeString& texts) {
  Errors e;
  e.any = any;
  for (int i = 1; i <= codes.Size(); ++i) e.codes.push_back(codes[i]);
  for (int i = 1; i <= texts.Size(); ++i) e.texts.emplace_back(texts[i].ConvertToChar());
  return e;
}

}  // namespace

Errors ErrorsOf(const ELMRequestXml& response) {
  unsigned char has = 0;
  CATRawCollint codes;
  CATListValCATUnicodeString texts;
  response.GetErrors(has, &codes, &texts);
  return collected(has != 0, codes, texts);
}

Errors MessagesOf(const ELMRequestXml& response) {
  CATRawCollint codes;
  CATListValCATUnicodeString texts;
  response.GetMessages(codes, texts);
  return collected(codes.Size() > 0, codes, texts);
}

Rows AttributesOfNodes(const ELMRequestXml& response, const char* xpath, const std::vector<const char*>& attributes) {
  Rows rows;
  CATIDOMNodeList_var nodes;
  if (FAILED(response.GetNodesForXPath(xpath, nodes)) || !nodes) return rows;
  for (unsigned int i = 0; i < nodes->GetLength(); ++i) {
    CATIDOMNode_var node;
    nodes->Item(i, node);
    CATIDOMElement_var element(node);
    auto& row = rows.emplace_back();
    for (const char* attribute : attributes) {
      CATUnicodeString value;
      if (!!element) element->GetAttribute(attribute, value);
      row.emplace_back(value.ConvertToChar());
    }
  }
  return rows;
}

std::vector<std::string> AttributeOfNodes(const ELMRequestXml& response, const char* xpath, const char* attribute) {
  std::vector<std::string> column;
  for (auto& row : AttributesOfNodes(response, xpath, {attribute})) column.push_back(row.at(0));
  return column;
}

Attrs TransferAttrs(const std::string& user) {
  return {{"3DEXP", "true"},           {"user", user},
          {"type", "VPMReference"},    {"name", "PRD-1000"},
          {"revision", "A"},           {"transfer_type", "VPMReference"},
          {"expand_level", "-1"},      {"force", "false"},
          {"remove_existing", "true"}, {"send_configuration", "false"},
          {"folder_only", "false"},    {"TRANSFER_SUBSTRUCTURES_PARALLEL", "true"}};
}

std::vector<pid_t> ForkClients(const std::vector<std::function<int()>>& bodies) {
  std::vector<pid_t> pids;
  std::fflush(stdout);
  std::fflush(stderr);
  for (const auto& body : bodies) {
    pid_t pid = fork();
    if (pid == 0) _exit(body());
    pids.push_back(pid);
  }
  return pids;
}

std::vector<int> WaitClients(const std::vector<pid_t>& pids, int seconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  std::vector<int> codes;
  for (pid_t pid : pids) {
    auto left = std::chrono::duration_cast<std::chrono::seconds>(deadline - std::chrono::steady_clock::now()).count();
    codes.push_back(pid < 0 ? -1 : elmtest::WaitBounded(pid, static_cast<int>(std::max<long long>(left, 1))));
  }
  return codes;
}

}  // namespace servertest
