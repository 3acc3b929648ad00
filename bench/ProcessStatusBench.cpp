// The process status command on a list of 10,000 processes: the command as
// the host runs it (request on loopback, answer parsed, entries built, the
// dialog filled), and the host's text presentation of the filled dialog.

#include "CATApplication.h"
#include "CATCommand.h"
#include "CATDlgDialog.h"
#include "CATDlgMultiList.h"
#include "ELMHostClassDictionary.h"
#include "ELMHostDispatch.h"
#include "ELMHostDriver.h"
#include "ELMHostPLMSession.h"

#include <benchmark/benchmark.h>
#include <httplib.h>

#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <memory>
#include <string>
#include <thread>

namespace {

constexpr int kProcesses = 10000;

std::string Answer() {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><ELM><Response name=\"GetProcessInfoForUser\" "
                    "id=\"1_0\"><Processes>";
  for (int i = 0; i < kProcesses; ++i) {
    const std::string n = std::to_string(i);
    xml += "<PD Activity=\"Transfer to Teamcenter\" Status=\"" + std::string(i % 7 ? "Finished" : "Failed") +
           "\" Description=\"VPMReference PRD-" + n + " A (VPMReference), expand level -1\" Start=\"2026-12-01T08:" +
           n.substr(0, 2) + ":00Z\" End=\"2026-12-01T09:00:00Z\" User=\"demo\" ErrorMsg=\"" +
           (i % 7 ? "" : "Teamcenter refused PRD-" + n + ": the item revision is checked out by another user.") +
           "\"/>";
  }
  return xml + "</Processes></Response></ELM>";
}

class Server {
public:
  Server() : m_answer(Answer()) {
    m_server.set_tcp_nodelay(true);
    m_server.Post(".*", [this](const httplib::Request&, httplib::Response& res) {
      res.set_content(m_answer, "application/xml");
    });
    m_port = m_server.bind_to_any_port("127.0.0.1");
    m_thread = std::thread([this] { m_server.listen_after_bind(); });
    while (!m_server.is_running()) std::this_thread::yield();
  }
  ~Server() {
    m_server.stop();
    m_thread.join();
  }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/"; }
  std::size_t Bytes() const { return m_answer.size(); }

private:
  std::string m_answer;
  httplib::Server m_server;
  int m_port = -1;
  std::thread m_thread;
};

/// The host as elm sets it up, with the server answering 10,000 processes.
struct Host {
  Host() {
    // The plug-in is loaded as the client loads it; its classes fill the dictionary.
    if (!dlopen(ELM_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL)) {
      std::fprintf(stderr, "cannot load the plug-in: %s\n", dlerror());
      std::exit(1);
    }
    unsetenv("ELM_DEBUG");
    unsetenv("ELMHOST_SETTINGS_PATH");
    for (const char* proxy : {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY"}) unsetenv(proxy);
    setenv("ELM_MODULE", "OAK", 1);
    setenv("ELMHOST_CATALOG_PATH", "/nonexistent", 1);
    setenv("ELM_SERVER_URL", server.Url().c_str(), 1);
    std::string error;
    session = elmhost::PLMSession::FromText(R"({"user": {"login": "demo"}, "objects": []})", "", error);
  }
  /// Runs the command until the dialog is filled; the dialog, or null.
  CATDlgDialog* RunCommand() {
    auto* command = static_cast<CATBaseUnknown*>(elmhost::ClassDictionary::Create("ELMProcessStatusCmd"));
    CATCommand* started = nullptr;
    if (!command) return nullptr;
    command->QueryInterface(CATCommand::ClassId(), reinterpret_cast<void**>(&started));
    started->Release();
    dispatch.StartCommand(started);
    dispatch.RunUntilIdle();
    return elmhost::FindDialog("process_status");
  }
  static void Close(CATDlgDialog* dialog) {
    dialog->SetVisibility(CATDlgHide);
    dialog->RequestDelayedDestruction();
  }

  Server server;
  elmhost::Dispatch dispatch;
  CATApplication application{"bench", 0, nullptr};
  std::unique_ptr<elmhost::PLMSession> session;
};

Host& host() {
  static Host h;
  return h;
}

void BM_ProcessStatusCommandWith10000Processes(benchmark::State& state) {
  Host& h = host();
  for (auto _ : state) {
    CATDlgDialog* dialog = h.RunCommand();
    auto* list = dialog ? dynamic_cast<CATDlgMultiList*>(elmhost::FindWidget(dialog, "MultiList1")) : nullptr;
    if (!list || list->GetLineCount() != kProcesses) {
      state.SkipWithError("the dialog does not list every process");
      break;
    }
    state.PauseTiming();
    Host::Close(dialog);
    h.dispatch.RunUntilIdle();
    state.ResumeTiming();
  }
  state.counters["answer_bytes"] = static_cast<double>(h.server.Bytes());
}
BENCHMARK(BM_ProcessStatusCommandWith10000Processes)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DialogTextOf10000Processes(benchmark::State& state) {
  Host& h = host();
  CATDlgDialog* dialog = h.RunCommand();
  if (!dialog) {
    state.SkipWithError("no dialog");
    return;
  }
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::string text = elmhost::DialogText(dialog);
    bytes = text.size();
    benchmark::DoNotOptimize(text.data());
  }
  state.counters["text_bytes"] = static_cast<double>(bytes);
  Host::Close(dialog);
  h.dispatch.RunUntilIdle();
}
BENCHMARK(BM_DialogTextOf10000Processes)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
