// Peak memory of one HtmlRequest::DoRequest that receives a large, valid
// answer on loopback, as a multiple of the answer's size, beside what the
// same text costs held in one buffer and parsed in place by pugixml alone
// (the floor for a DOM over pugixml). The answer is
// served by a child process that writes it as it generates it, so that
// neither its text nor the server's buffers count in this process; the peak
// is the kernel's high-water mark of this process's resident set, reset just
// before the exchange, less what was resident before it. The response
// document is still alive when the peak is read, so it is counted.

#include "HtmlRequest.h"

#include "ELMRequestXml.h"

#include "ElementDenseAnswer.h"

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace {

constexpr std::uint64_t kAnswerBytes = 250ull * 1000 * 1000;

// Two forms of the same large answer: "elements" carries it in many small
// elements (attributes, list items with their own elements, messages), the
// densest case for the DOM; "values" carries it in a few long list values
// joined with the list separator, where the text itself dominates.
enum class Shape { Elements, Values };

// Calls sink(text) with consecutive pieces of the answer, about `bytes` long.
template <class Sink>
void generate(Shape shape, std::uint64_t bytes, Sink sink) {
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ELM><Response id=\"4711_0\">\n";
  std::uint64_t total = 0;
  auto flush = [&] {
    total += out.size();
    sink(out);
    out.clear();
  };
  for (std::uint64_t i = 0; total + out.size() < bytes; ++i) {
    if (shape == Shape::Elements) {
      elmtest::AppendElementDenseGroup(out, i);
    } else {
      const std::string n = std::to_string(i);
      out += "  <Attribute name=\"List" + n + "\" value=\"";
      for (int k = 0; k < 20000; ++k) out += (k ? "@EOL@" : "") + ("Teil " + n + "." + std::to_string(k) + " Größe M");
      out += "\"/>\n";
    }
    if (out.size() >= (1u << 16)) flush();
  }
  out += "</Response></ELM>\n";
  flush();
}

std::uint64_t answerSize(Shape shape) {
  std::uint64_t size = 0;
  generate(shape, kAnswerBytes, [&](const std::string& piece) { size += piece.size(); });
  return size;
}

bool sendAll(int fd, const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

// The child: one connection at a time; the request target names the shape.
[[noreturn]] void serve(int listenFd) {
  for (;;) {
    int fd = ::accept(listenFd, nullptr, nullptr);
    if (fd < 0) continue;
    std::string request;
    char buf[4096];
    std::size_t end = std::string::npos;
    std::size_t wanted = std::string::npos;
    while (wanted == std::string::npos || request.size() < wanted) {
      ssize_t n = ::recv(fd, buf, sizeof buf, 0);
      if (n <= 0) break;
      request.append(buf, static_cast<std::size_t>(n));
      if (end == std::string::npos && (end = request.find("\r\n\r\n")) != std::string::npos) {
        const std::size_t at = request.find("Content-Length: ");
        wanted = end + 4 + (at < end ? std::strtoul(request.c_str() + at + 16, nullptr, 10) : 0);
      }
    }
    const Shape shape = request.find(" /values/") != std::string::npos ? Shape::Values : Shape::Elements;
    bool ok = sendAll(fd, "HTTP/1.1 200 OK\r\nContent-Type: application/xml\r\nContent-Length: " +
                              std::to_string(answerSize(shape)) + "\r\nConnection: close\r\n\r\n");
    generate(shape, kAnswerBytes, [&](const std::string& piece) { ok = ok && sendAll(fd, piece); });
    ::close(fd);
  }
}

pid_t g_server = -1;
int g_port = 0;

bool startServer() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 4) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
    return false;
  g_port = ntohs(addr.sin_port);
  g_server = ::fork();
  if (g_server == 0) serve(fd);
  ::close(fd);
  return g_server > 0;
}

// A field of /proc/self/status in kB, as bytes.
std::uint64_t statusBytes(const char* field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const std::string key = std::string(field) + ":";
  while (std::getline(in, line))
    if (line.rfind(key, 0) == 0) return std::strtoull(line.c_str() + key.size(), nullptr, 10) * 1024;
  return 0;
}

// Measures one run of work: the peak of the resident set over it, less what
// was resident before, reported beside the answer's size. work returns the
// answer's size in bytes, or 0 when it failed.
template <class Work>
void measurePeak(benchmark::State& state, Work work) {
  double answer = 0;
  double extra = 0;
  for (auto _ : state) {
    const std::uint64_t before = statusBytes("VmRSS");
    std::ofstream reset("/proc/self/clear_refs");
    if (!(reset << "5" << std::flush)) {
      state.SkipWithError("cannot reset the peak of the resident set (/proc/self/clear_refs)");
      break;
    }
    answer = static_cast<double>(work());
    if (answer == 0) {
      state.SkipWithError("the answer was not read");
      break;
    }
    extra = static_cast<double>(statusBytes("VmHWM") - before);
  }
  state.counters["answer_MB"] = answer / 1e6;
  state.counters["peak_MB"] = extra / 1e6;
  state.counters["ratio"] = extra / answer;
}

Shape shapeOf(const benchmark::State& state) { return state.range(0) == 0 ? Shape::Elements : Shape::Values; }

void bothShapesOnce(benchmark::internal::Benchmark* b) {
  b->ArgName("values")->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
}

void BM_DoRequestPeakMemory(benchmark::State& state) {
  const Shape shape = shapeOf(state);
  const std::string url =
      "http://127.0.0.1:" + std::to_string(g_port) + (shape == Shape::Values ? "/values" : "/elements");
  setenv("ELM_SERVER_URL", url.c_str(), 1);
  ELMRequestXml request("GetStructureForName");
  request.AddRequestAttribute("Name", "Gearbox Mk II");
  const std::uint64_t size = answerSize(shape);
  measurePeak(state, [&]() -> std::uint64_t {
    ELMRequestXml response;  // alive when the peak is read
    return SUCCEEDED(HtmlRequest::DoRequest(request, response)) ? size : 0;
  });
}
BENCHMARK(BM_DoRequestPeakMemory)->Apply(bothShapesOnce);

// The text gathered into one buffer and parsed in place with the host's
// parse options: no transport, no copies.
void BM_PugixmlInPlacePeakMemory(benchmark::State& state) {
  measurePeak(state, [shape = shapeOf(state)]() -> std::uint64_t {
    std::string text;
    generate(shape, kAnswerBytes, [&](const std::string& piece) { text += piece; });
    pugi::xml_document doc;
    return doc.load_buffer_inplace(text.data(), text.size(),
                                   pugi::parse_default | pugi::parse_ws_pcdata_single | pugi::parse_comments | pugi::parse_pi,
                                   pugi::encoding_utf8)
               ? text.size()
               : 0;
  });
}
BENCHMARK(BM_PugixmlInPlacePeakMemory)->Apply(bothShapesOnce);

}  // namespace

int main(int argc, char** argv) {
  for (const char* name : {"ELM_DEBUG", "ELMHOST_SETTINGS_PATH", "http_proxy", "https_proxy", "HTTPS_PROXY",
                           "all_proxy", "ALL_PROXY"})
    unsetenv(name);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  if (!startServer()) {
    std::fprintf(stderr, "cannot start the loopback server\n");
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  ::kill(g_server, SIGTERM);
  ::waitpid(g_server, nullptr, 0);
  return 0;
}
