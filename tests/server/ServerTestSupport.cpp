#include "ServerTestSupport.h"

#include "CATIDOMElement.h"
#include "CATIDOMNode.h"

#include <httplib.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>


namespace servertest {

InProcessServer::InProcessServer(const std::string& basePath) {
  m_store = std::make_unique<elmserver::PdmStore>(m_dir.File("pdm.db"));
  elmserver::ServerConfig config;
  config.port = 0;
  std::string why;
  if (!elmserver::NormalizeBasePath(basePath, config.basePath, why)) throw std::runtime_error(why);
  config.maxBodyBytes = 8u << 20;
  m_server = std::make_unique<elmserver::ElmServer>(*m_store, config, nullptr);
  if (m_server->Bind(why) < 0) throw std::runtime_error(why);
  m_server->Start();
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
    if (FAILED(request.AddRequestAttribute(CATUnicodeString(n.c_str(), n.size()), CATUnicodeString(v.c_str(), v.size()))))
      return E_FAIL;
  if (requestId) *requestId = request.GetRequestId().ConvertToChar();
  return HtmlRequest::DoRequest(request, response);
}

Errors ErrorsOf(const ELMRequestXml& response) {
  Errors e;
  unsigned char has = 0;
  CATRawCollint codes;
  CATListValCATUnicodeString texts;
  response.GetErrors(has, &codes, &texts);
  e.any = has != 0;
  for (int i = 1; i <= codes.Size(); ++i) e.codes.push_back(codes[i]);
  for (int i = 1; i <= texts.Size(); ++i) e.texts.emplace_back(texts[i].ConvertToChar());
  return e;
}

Errors MessagesOf(const ELMRequestXml& response) {
  Errors e;
  CATRawCollint codes;
  CATListValCATUnicodeString texts;
  response.GetMessages(codes, texts);
  e.any = codes.Size() > 0;
  for (int i = 1; i <= codes.Size(); ++i) e.codes.push_back(codes[i]);
  for (int i = 1; i <= texts.Size(); ++i) e.texts.emplace_back(texts[i].ConvertToChar());
  return e;
}

std::vector<std::string> AttributeOfNodes(const ELMRequestXml& response, const char* xpath, const char* attribute) {
  std::vector<std::string> out;
  CATIDOMNodeList_var nodes;
  if (FAILED(response.GetNodesForXPath(xpath, nodes)) || !nodes) return out;
  for (unsigned int i = 0; i < nodes->GetLength(); ++i) {
    CATIDOMNode_var node;
    nodes->Item(i, node);
    CATIDOMElement_var element(node);
    CATUnicodeString value;
    if (!!element) element->GetAttribute(attribute, value);
    out.emplace_back(value.ConvertToChar());
  }
  return out;
}

Attrs TransferAttrs(const std::string& user) {
  return {{"3DEXP", "true"},
          {"user", user},
          {"type", "VPMReference"},
          {"name", "PRD-1000"},
          {"revision", "A"},
          {"transfer_type", "VPMReference"},
          {"expand_level", "-1"},
          {"force", "false"},
          {"remove_existing", "true"},
          {"send_configuration", "false"},
          {"folder_only", "false"},
          {"TRANSFER_SUBSTRUCTURES_PARALLEL", "true"}};
}

RawAnswer RawPost(int port, const std::string& path, const std::string& body) {
  httplib::Client cli("127.0.0.1", port);
  cli.set_read_timeout(60, 0);
  cli.set_write_timeout(60, 0);
  auto res = cli.Post(path.c_str(), body, "application/xml");
  return res ? RawAnswer{res->status, res->body} : RawAnswer{};
}

RawAnswer RawGet(int port, const std::string& path) {
  httplib::Client cli("127.0.0.1", port);
  auto res = cli.Get(path.c_str());
  return res ? RawAnswer{res->status, res->body} : RawAnswer{};
}

namespace {

pid_t Spawn(const std::vector<std::string>& args, int outFd, int errFd) {
  std::vector<char*> argv;
  std::string exe = ELM_SERVER_EXECUTABLE;
  argv.push_back(exe.data());
  std::vector<std::string> copy = args;
  for (auto& a : copy) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(outFd, STDOUT_FILENO);
    dup2(errFd, STDERR_FILENO);
    execv(exe.c_str(), argv.data());
    _exit(127);
  }
  return pid;
}

int DecodeStatus(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status); }

int WaitBounded(pid_t pid, int seconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  int status = 0;
  while (std::chrono::steady_clock::now() < deadline) {
    pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) return DecodeStatus(status);
    if (r < 0) return -1;
    usleep(2000);
  }
  kill(pid, SIGKILL);
  waitpid(pid, &status, 0);
  return -2;  // did not end in time
}

}  // namespace

ServerProcess::ServerProcess(const std::vector<std::string>& args, const std::string& logFile) {
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
  int errFd = open(logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  m_pid = Spawn(args, fds[1], errFd);
  close(fds[1]);
  close(errFd);
  m_outFd = fds[0];
}

ServerProcess::~ServerProcess() {
  if (m_status < 0 && m_pid > 0) Signal(SIGKILL);
  if (m_outFd >= 0) close(m_outFd);
}

std::string ServerProcess::WaitForUrl() {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (m_out.find('\n') == std::string::npos) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return {};
    pollfd p{m_outFd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) return {};
    char buf[512];
    ssize_t n = read(m_outFd, buf, sizeof buf);
    if (n <= 0) return {};
    m_out.append(buf, static_cast<std::size_t>(n));
  }
  auto at = m_out.find("http://");
  if (at == std::string::npos) return {};
  auto end = m_out.find(' ', at);
  return m_out.substr(at, end - at);
}

int ServerProcess::Signal(int sig) {
  if (m_status >= 0) return m_status;
  kill(m_pid, sig);
  m_status = WaitBounded(m_pid, 15);
  return m_status;
}

int ServerProcess::Wait() {
  if (m_status < 0) m_status = WaitBounded(m_pid, 15);
  return m_status;
}

RunResult RunServerExecutable(const std::vector<std::string>& args) {
  elmtest::ScratchDir dir;
  int out = open(dir.File("out").c_str(), O_WRONLY | O_CREAT, 0644);
  int err = open(dir.File("err").c_str(), O_WRONLY | O_CREAT, 0644);
  pid_t pid = Spawn(args, out, err);
  close(out);
  close(err);
  RunResult r;
  r.exitCode = WaitBounded(pid, 30);
  auto slurp = [](const std::string& path) {
    std::string s;
    int fd = open(path.c_str(), O_RDONLY);
    char buf[4096];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0) s.append(buf, static_cast<std::size_t>(n));
    close(fd);
    return s;
  };
  r.out = slurp(dir.File("out"));
  r.err = slurp(dir.File("err"));
  return r;
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
    codes.push_back(pid < 0 ? -1 : WaitBounded(pid, static_cast<int>(std::max<long long>(left, 1))));
  }
  return codes;
}

}  // namespace servertest
