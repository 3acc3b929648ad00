// elm-server beside slow clients: how long a well-behaved client waits for
// its part number while 100 connections each trickle one byte a second, and
// how long SIGTERM takes to end the server while they do. The server is the
// built executable, on a scratch database and an OS-assigned loopback port.

#include "LoopbackServer.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kTricklers = 100;

/// The built elm-server on a fresh database; stopped (SIGKILL) when the
/// object goes unless Terminate() ended it.
class Server {
public:
  Server() {
    m_dir = std::filesystem::temp_directory_path() / ("elm-bench-" + std::to_string(::getpid()) + "-" +
                                                       std::to_string(s_count++));
    std::filesystem::create_directories(m_dir);
    int out[2];
    if (pipe(out) != 0) throw std::runtime_error("pipe");
    m_pid = fork();
    if (m_pid == 0) {
      dup2(out[1], STDOUT_FILENO);
      close(out[0]);
      // Its stop message would interleave with the figures.
      int quiet = open("/dev/null", O_WRONLY);
      dup2(quiet, STDERR_FILENO);
      const std::string db = (m_dir / "pdm.db").string();
      execl(ELM_SERVER_EXECUTABLE, ELM_SERVER_EXECUTABLE, "--db", db.c_str(), "--listen", "127.0.0.1:0", "--quiet",
            static_cast<char*>(nullptr));
      _exit(127);
    }
    close(out[1]);
    std::string line;
    char c;
    while (line.find('\n') == std::string::npos && read(out[0], &c, 1) == 1) line += c;
    close(out[0]);
    auto at = line.find("http://127.0.0.1:");
    if (at == std::string::npos) throw std::runtime_error("elm-server did not start: " + line);
    m_port = std::atoi(line.c_str() + at + 17);
  }
  ~Server() {
    if (m_pid > 0) {
      kill(m_pid, SIGKILL);
      waitpid(m_pid, nullptr, 0);
    }
    std::error_code ignored;
    std::filesystem::remove_all(m_dir, ignored);
  }
  int Port() const { return m_port; }
  /// SIGTERM, then waits for the exit: the time it took.
  double Terminate() {
    auto start = Clock::now();
    kill(m_pid, SIGTERM);
    waitpid(m_pid, nullptr, 0);
    m_pid = -1;
    return std::chrono::duration<double>(Clock::now() - start).count();
  }

private:
  static inline int s_count = 0;
  std::filesystem::path m_dir;
  pid_t m_pid = -1;
  int m_port = -1;
};

/// kTricklers connections, each stuck inside a request (its line, its
/// headers or its announced body) and sending one more byte every second.
class Tricklers {
public:
  explicit Tricklers(int port) {
    const char* openings[] = {"POST /ELMR", "POST /ELMRequest HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ",
                              "POST /ELMRequest HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 1000000\r\n\r\n<ELM>"};
    for (int i = 0; i < kTricklers; ++i) {
      int fd = elmtest::ConnectToLoopback(port);
      if (fd < 0) throw std::runtime_error("cannot connect a trickler");
      const char* opening = openings[i % 3];
      send(fd, opening, std::strlen(opening), MSG_NOSIGNAL);
      m_fds.push_back(fd);
    }
    m_thread = std::thread([this] {
      while (!m_stop) {
        for (int fd : m_fds) send(fd, "a", 1, MSG_NOSIGNAL | MSG_DONTWAIT);
        for (int i = 0; i < 100 && !m_stop; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    });
  }
  ~Tricklers() {
    m_stop = true;
    m_thread.join();
    for (int fd : m_fds) close(fd);
  }

private:
  std::vector<int> m_fds;
  std::atomic<bool> m_stop{false};
  std::thread m_thread;
};

/// One GetPartnumber exchange on a fresh connection, as the plug-in makes
/// it; false when no number came within 10 s.
bool GetPartNumber(int port) {
  static const std::string body =
      R"(<?xml version="1.0" encoding="UTF-8"?><ELM><Request name="GetPartnumber" id="1_0">)"
      R"(<Attribute name="PartNumber" value="bench"/></Request></ELM>)";
  static const std::string request = "POST /ELMRequest HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/xml\r\n"
                                     "Content-Length: " +
                                     std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
  int fd = elmtest::ConnectToLoopback(port);
  if (fd < 0) return false;
  bool ok = send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size());
  std::string got;
  auto deadline = Clock::now() + std::chrono::seconds(10);
  while (ok && got.find("</ELM>") == std::string::npos && Clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 1000) <= 0) continue;
    char buf[4096];
    ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    got.append(buf, static_cast<std::size_t>(n));
  }
  close(fd);
  return got.find("name=\"PartNumber\" value=\"ELM-") != std::string::npos;
}

void PartNumber(benchmark::State& state, bool withTricklers) {
  Server server;
  std::unique_ptr<Tricklers> slow;
  if (withTricklers) slow = std::make_unique<Tricklers>(server.Port());
  double worst = 0;
  for (auto _ : state) {
    auto start = Clock::now();
    if (!GetPartNumber(server.Port())) {
      state.SkipWithError("no part number came");
      break;
    }
    worst = std::max(worst, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  state.counters["worst_ms"] = worst;
}

void BM_PartNumberAlone(benchmark::State& state) { PartNumber(state, false); }
void BM_PartNumberBeside100Tricklers(benchmark::State& state) { PartNumber(state, true); }

void BM_SigtermBeside100Tricklers(benchmark::State& state) {
  for (auto _ : state) {
    Server server;
    Tricklers slow(server.Port());
    // A part number first, so the server is past its start for certain.
    if (!GetPartNumber(server.Port())) {
      state.SkipWithError("no part number came");
      break;
    }
    state.SetIterationTime(server.Terminate());
  }
}

}  // namespace

// With repetitions, "max" gives the slowest repetition's figures, the worst
// single exchange of all among them.
double Max(const std::vector<double>& v) { return v.empty() ? 0.0 : *std::max_element(v.begin(), v.end()); }

BENCHMARK(BM_PartNumberAlone)->UseRealTime()->Unit(benchmark::kMillisecond)->ComputeStatistics("max", Max);
BENCHMARK(BM_PartNumberBeside100Tricklers)->UseRealTime()->Unit(benchmark::kMillisecond)->ComputeStatistics("max", Max);
BENCHMARK(BM_SigtermBeside100Tricklers)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->ComputeStatistics("max", Max);

BENCHMARK_MAIN();
