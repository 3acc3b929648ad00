// Part numbers under concurrent clients and across a killed server. The
// clients are separate processes using the plug-in's transport, as eight
// desktop clients would be; the server is the built executable.
#include "ServerTestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <set>

using namespace servertest;

namespace {

constexpr int kClients = 8;
constexpr int kPerClient = 500;

using elmtest::Lines;
using elmtest::ReadFile;

void WriteFileAtomically(const std::string& path, const std::string& text) {
  std::string tmp = path + ".tmp";
  std::ofstream(tmp) << text;
  std::rename(tmp.c_str(), path.c_str());
}

/// One client: asks for count numbers and appends each received one to
/// outFile the moment it has it. With a urlFile it follows the server to
/// wherever that file says it restarted, retrying failed requests;
/// without, a failure is written as "FAIL".
int IssueNumbers(int client, int count, const std::string& outFile, const std::string& urlFile) {
  unsetenv("ELM_DEBUG");
  setenv("ELM_SERVER_CONNECT_TIMEOUT", "5", 1);
  setenv("ELM_SERVER_RECEIVE_TIMEOUT", "10", 1);
  int fd = open(outFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  if (fd < 0) return 3;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
  int got = 0;
  std::string url;
  while (got < count && std::chrono::steady_clock::now() < deadline) {
    if (!urlFile.empty()) {
      std::string now = ReadFile(urlFile);
      if (!now.empty() && now != url) setenv("ELM_SERVER_URL", (url = now).c_str(), 1);
    }
    ELMRequestXml request("GetPartnumber");
    request.AddRequestAttribute("PartNumber", ("client-" + std::to_string(client)).c_str());
    ELMRequestXml response;
    CATUnicodeString pn;
    if (SUCCEEDED(HtmlRequest::DoRequest(request, response)) &&
        SUCCEEDED(response.GetResponseAttribute("PartNumber", pn)) && !pn.IsNull()) {
      std::string line = std::string(pn.ConvertToChar()) + "\n";
      if (write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size())) return 4;
      ++got;
    } else if (urlFile.empty()) {
      if (write(fd, "FAIL\n", 5) != 5) return 4;
    } else {
      usleep(5000);  // the server is down; the test restarts it
    }
  }
  close(fd);
  return got == count ? 0 : 1;
}

struct Received {
  std::vector<std::string> numbers;
  int failures = 0;
};

Received Collect(const elmtest::ScratchDir& dir) {
  Received r;
  for (int c = 0; c < kClients; ++c)
    for (auto& line : Lines(ReadFile(dir.File("client" + std::to_string(c)))))
      (line == "FAIL" ? static_cast<void>(++r.failures) : r.numbers.push_back(line));
  return r;
}

std::size_t CountReceived(const elmtest::ScratchDir& dir) {
  Received r = Collect(dir);
  return r.numbers.size() + r.failures;
}

std::string Expected(long long seq) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "ELM-%06lld", seq);
  return buf;
}

/// The store's sequence is 1..N without a hole and every number is spelled
/// from its sequence position.
void ExpectContiguous(const std::vector<elmserver::IssuedNumber>& issued) {
  for (std::size_t i = 0; i < issued.size(); ++i) {
    ASSERT_EQ(issued[i].seq, static_cast<long long>(i + 1)) << "hole or repeat at position " << i;
    ASSERT_EQ(issued[i].partNumber, Expected(issued[i].seq));
  }
}

TEST(PartNumberLoad, EightConcurrentClientsGetFourThousandDistinctNumbersWithoutAGap) {
  elmtest::ScratchDir dir;
  ServerProcess server({"--db", dir.File("pdm.db"), "--listen", "127.0.0.1:0"}, dir.File("server.log"));
  std::string url = server.WaitForUrl();
  ASSERT_FALSE(url.empty()) << server.Stdout() << ReadFile(dir.File("server.log"));
  setenv("ELM_SERVER_URL", url.c_str(), 1);

  std::vector<std::function<int()>> clients;
  for (int c = 0; c < kClients; ++c)
    clients.push_back([&dir, c] { return IssueNumbers(c, kPerClient, dir.File("client" + std::to_string(c)), ""); });
  auto codes = WaitClients(ForkClients(clients), 110);
  EXPECT_EQ(codes, std::vector<int>(kClients, 0));

  Received r = Collect(dir);
  EXPECT_EQ(r.failures, 0);
  ASSERT_EQ(r.numbers.size(), static_cast<std::size_t>(kClients * kPerClient));
  std::set<std::string> distinct(r.numbers.begin(), r.numbers.end());
  EXPECT_EQ(distinct.size(), r.numbers.size()) << "a number was issued twice";
  // Distinct, and all from ELM-000001 to ELM-004000: together that is no gap.
  EXPECT_EQ(*distinct.begin(), Expected(1));
  EXPECT_EQ(*distinct.rbegin(), Expected(kClients * kPerClient));

  EXPECT_EQ(server.Signal(SIGTERM), 0);
  auto issued = elmserver::PdmStore(dir.File("pdm.db")).IssuedNumbers();
  EXPECT_EQ(issued.size(), static_cast<std::size_t>(kClients * kPerClient));
  ExpectContiguous(issued);
}

TEST(PartNumberCrash, KilledMidLoadTheServerLosesNoAnsweredNumberAndNeverRepeatsOne) {
  elmtest::ScratchDir dir;
  const std::string db = dir.File("pdm.db");
  const std::string urlFile = dir.File("url");
  auto first = std::make_unique<ServerProcess>(std::vector<std::string>{"--db", db, "--listen", "127.0.0.1:0"},
                                               dir.File("server.log"));
  std::string url = first->WaitForUrl();
  ASSERT_FALSE(url.empty()) << ReadFile(dir.File("server.log"));
  WriteFileAtomically(urlFile, url);

  std::vector<std::function<int()>> clients;
  for (int c = 0; c < kClients; ++c)
    clients.push_back([&, c] { return IssueNumbers(c, kPerClient, dir.File("client" + std::to_string(c)), urlFile); });
  auto pids = ForkClients(clients);

  // Kill it while every client is in the middle of its run.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (CountReceived(dir) < 1200 && std::chrono::steady_clock::now() < deadline) usleep(2000);
  EXPECT_EQ(first->Signal(SIGKILL), 128 + SIGKILL);
  std::size_t atKill = CountReceived(dir);
  ASSERT_GE(atKill, 1200u);
  ASSERT_LT(atKill, static_cast<std::size_t>(kClients * kPerClient)) << "the load ended before the kill";

  ServerProcess second({"--db", db, "--listen", "127.0.0.1:0"}, dir.File("server.log"));
  std::string url2 = second.WaitForUrl();
  ASSERT_FALSE(url2.empty()) << ReadFile(dir.File("server.log"));
  WriteFileAtomically(urlFile, url2);

  auto codes = WaitClients(pids, 110);
  EXPECT_EQ(codes, std::vector<int>(kClients, 0));
  EXPECT_EQ(second.Signal(SIGTERM), 0);

  Received r = Collect(dir);
  ASSERT_EQ(r.numbers.size(), static_cast<std::size_t>(kClients * kPerClient));
  std::set<std::string> distinct(r.numbers.begin(), r.numbers.end());
  EXPECT_EQ(distinct.size(), r.numbers.size()) << "a number was issued twice";

  auto issued = elmserver::PdmStore(db).IssuedNumbers();
  ExpectContiguous(issued);
  std::set<std::string> stored;
  for (const auto& n : issued) stored.insert(n.partNumber);
  for (const auto& n : distinct) EXPECT_TRUE(stored.count(n)) << n << " was answered but is not in the store";
  // Numbers committed whose answer died with the server: at most one per
  // client that had a request under way.
  EXPECT_LE(issued.size() - distinct.size(), static_cast<std::size_t>(kClients));
}

}  // namespace
