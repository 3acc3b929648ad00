// One request round trip on loopback through HtmlRequest::DoRequest (build
// the text, post it on a fresh connection, read and parse the answer)
// against a bare libcurl POST of the same bytes on a fresh connection, both
// against the same local server in the same run.

#include "HtmlRequest.h"

#include "ELMRequestXml.h"

#include "WinHttp.h"

#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <httplib.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

namespace {

const std::string kAnswer =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><ELM><Response id=\"4711_0\">"
    "<Attribute name=\"PartNumber\" value=\"PN-0004711\"/><Attribute name=\"Status\" value=\"OK\"/>"
    "</Response></ELM>";

class Server {
public:
  Server() {
    m_server.set_tcp_nodelay(true);
    m_server.Post(".*", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(kAnswer, "application/xml");
    });
    m_port = m_server.bind_to_any_port("127.0.0.1");
    m_thread = std::thread([this] { m_server.listen_after_bind(); });
    while (!m_server.is_running()) std::this_thread::yield();
  }
  ~Server() {
    m_server.stop();
    m_thread.join();
  }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/plm/api"; }

private:
  httplib::Server m_server;
  int m_port = -1;
  std::thread m_thread;
};

Server& server() {
  static Server s;
  return s;
}

void fillRequest(ELMRequestXml& request) {
  request.AddRequestAttribute("PartNumber", "");
  request.AddRequestAttribute("Type", "VPMReference");
  request.AddRequestAttribute("User", "jdoe");
}

void BM_DoRequestRoundTrip(benchmark::State& state) {
  setenv("ELM_SERVER_URL", server().Url().c_str(), 1);
  // Building the request is the caller's work, as it is outside the libcurl
  // loop below; getting its text, posting, reading and parsing are DoRequest's.
  ELMRequestXml request("GetPartnumber");
  fillRequest(request);
  for (auto _ : state) {
    ELMRequestXml response;
    if (FAILED(HtmlRequest::DoRequest(request, response))) {
      state.SkipWithError("DoRequest failed");
      break;
    }
  }
}
BENCHMARK(BM_DoRequestRoundTrip)->UseRealTime();

// The host's HTTP client alone, the same bytes as DoRequest sends: tells the
// transport's share of the round trip from the documents' share.
void BM_WinHttpExchange(benchmark::State& state) {
  ELMRequestXml request("GetPartnumber");
  fillRequest(request);
  CATUnicodeString text;
  request.GetXml(text);
  std::string body = text.ConvertToChar();
  const std::string url = server().Url();
  const int port = std::stoi(url.substr(url.rfind(':') + 1));
  for (auto _ : state) {
    HINTERNET session = WinHttpOpen(L"ELM/1.0", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, nullptr, nullptr, 0);
    HINTERNET connect = WinHttpConnect(session, L"127.0.0.1", static_cast<INTERNET_PORT>(port), 0);
    HINTERNET req = WinHttpOpenRequest(connect, L"POST", L"plm/api/ELMRequest", nullptr, nullptr, nullptr,
                                       WINHTTP_FLAG_REFRESH);
    std::string answer;
    bool ok = WinHttpSendRequest(req, L"Content-Type: application/xml\r\n", WINHTTP_ADDREQ_LENGTH_ZERO_TERMINATED,
                                 body.data(), static_cast<DWORD>(body.size()), static_cast<DWORD>(body.size()), 0) &&
              WinHttpReceiveResponse(req, nullptr);
    DWORD available = 0;
    char buffer[4096];
    while (ok && WinHttpQueryDataAvailable(req, &available) && available > 0) {
      DWORD read = 0;
      ok = WinHttpReadData(req, buffer, std::min<DWORD>(available, sizeof buffer), &read);
      answer.append(buffer, read);
    }
    WinHttpCloseHandle(req);
    WinHttpCloseHandle(connect);
    WinHttpCloseHandle(session);
    if (!ok || answer.size() != kAnswer.size()) {
      state.SkipWithError("WinHttp exchange failed");
      break;
    }
  }
}
BENCHMARK(BM_WinHttpExchange)->UseRealTime();

size_t collect(char* data, size_t size, size_t count, void* out) {
  static_cast<std::string*>(out)->append(data, size * count);
  return size * count;
}

void BM_BareLibcurlPost(benchmark::State& state) {
  const std::string url = server().Url() + "/ELMRequest";
  ELMRequestXml request("GetPartnumber");
  fillRequest(request);
  CATUnicodeString text;
  request.GetXml(text);
  const std::string body = text.ConvertToChar();
  for (auto _ : state) {
    CURL* h = curl_easy_init();
    curl_slist* headers = curl_slist_append(nullptr, "Content-Type: application/xml");
    std::string answer;
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_USERAGENT, "ELM/1.0");
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(h, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curl_easy_setopt(h, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(h, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &collect);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &answer);
    CURLcode rc = curl_easy_perform(h);
    curl_slist_free_all(headers);
    curl_easy_cleanup(h);
    if (rc != CURLE_OK || answer.size() != kAnswer.size()) {
      state.SkipWithError("libcurl POST failed");
      break;
    }
  }
}
BENCHMARK(BM_BareLibcurlPost)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  for (const char* name : {"ELM_DEBUG", "ELMHOST_SETTINGS_PATH", "http_proxy", "https_proxy", "HTTPS_PROXY",
                           "all_proxy", "ALL_PROXY"})
    unsetenv(name);
  curl_global_init(CURL_GLOBAL_DEFAULT);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  curl_global_cleanup();
  return 0;
}
