#include "HtmlRequest.h"

#include "ELMRequestXml.h"
#include "ELMServerSettings.h"
#include "LoopbackServer.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

using elmtest::RawServer;

namespace {

const std::string kAnswer = "<ELM><Response><Attribute name=\"R\" value=\"1\"/></Response></ELM>";

std::string answer200() {
  return "HTTP/1.1 200 OK\r\nContent-Type: application/xml\r\nContent-Length: " + std::to_string(kAnswer.size()) +
         "\r\nConnection: close\r\n\r\n" + kAnswer;
}

// How the request reached the server, read from its first line and Host
// header: a proxy sees the absolute URL of a plain request and a CONNECT to
// host:port for a TLS tunnel; a server sees the path.
struct Seen {
  std::string host;
  int port = 0;
  bool secure = false;
  std::string path;  // empty when tunnelled
  bool operator==(const Seen&) const = default;
};

void PrintTo(const Seen& s, std::ostream* os) { *os << s.host << ':' << s.port << " secure=" << s.secure << s.path; }

Seen readSeen(const std::string& raw) {
  Seen seen;
  std::istringstream firstLine(raw.substr(0, raw.find("\r\n")));
  std::string method, target;
  firstLine >> method >> target;
  std::string authority = target;
  if (method == "CONNECT") {
    seen.secure = true;
  } else if (target.rfind("http://", 0) == 0) {
    authority = target.substr(7, target.find('/', 7) - 7);
    seen.path = target.substr(7 + authority.size());
  } else {
    const std::size_t at = raw.find("\r\nHost: ");
    authority = raw.substr(at + 8, raw.find("\r\n", at + 2) - at - 8);
    seen.path = target;
  }
  const std::size_t colon = authority.find(':');
  seen.host = authority.substr(0, colon);
  seen.port = colon == std::string::npos ? 80 : std::stoi(authority.substr(colon + 1));
  return seen;
}

struct UrlCase {
  const char* url;  // "{port}" stands for the loopback server's port
  bool viaProxy;
  const char* host;
  int port;  // 0: the loopback server's port
  bool secure;
  const char* path;
};

void PrintTo(const UrlCase& c, std::ostream* os) { *os << c.url; }

class HtmlRequestUrlParts : public ::testing::TestWithParam<UrlCase> {
protected:
  void SetUp() override { elmtest::IsolateTransport(m_env); }
  elmtest::EnvChanges m_env;
};

// The proxy answers a plain request and refuses a tunnel, so that a request
// to a host name that exists nowhere still shows how it was addressed.
TEST_P(HtmlRequestUrlParts, ReachTheWireAsTheUrlSays) {
  const UrlCase& c = GetParam();
  RawServer server([](const RawServer::Connection& conn, const std::string& request) {
    if (request.rfind("CONNECT ", 0) == 0)
      conn.Send("HTTP/1.1 403 Forbidden\r\nContent-Length: 0\r\n\r\n");
    else
      conn.Send(answer200());
  });
  std::string url = c.url;
  const std::size_t at = url.find("{port}");
  if (at != std::string::npos) url.replace(at, 6, std::to_string(server.Port()));
  if (c.viaProxy) {
    m_env.Set("http_proxy", server.Url());
    m_env.Set("https_proxy", server.Url());
  }
  m_env.Set("ELM_SERVER_URL", url);

  ELMRequestXml response;
  EXPECT_EQ(c.secure ? E_FAIL : S_OK, HtmlRequest::DoRequest(ELMRequestXml("Test"), response));

  const auto requests = server.Requests();
  ASSERT_EQ(1u, requests.size());
  const Seen expected{c.host, c.port == 0 ? server.Port() : c.port, c.secure, c.path};
  EXPECT_EQ(expected, readSeen(requests[0])) << requests[0];
}

TEST(HtmlRequestProxy, NoProxyListSendsTheRequestDirectly) {
  elmtest::EnvChanges env;
  elmtest::IsolateTransport(env);
  RawServer proxy([](const RawServer::Connection& conn, const std::string&) { conn.Send(answer200()); });
  RawServer server([](const RawServer::Connection& conn, const std::string&) { conn.Send(answer200()); });
  env.Set("http_proxy", proxy.Url());
  env.Set("no_proxy", "127.0.0.1");
  env.Set("ELM_SERVER_URL", server.Url("/direct"));
  ELMRequestXml response;
  EXPECT_EQ(S_OK, HtmlRequest::DoRequest(ELMRequestXml("Test"), response));
  EXPECT_EQ(0, proxy.Accepted());
  ASSERT_EQ(1u, server.Requests().size());
  EXPECT_EQ("/direct/ELMRequest", readSeen(server.Requests()[0]).path);
}

const UrlCase kUrlCases[] = {
    {"https://ElmHost.Example:8080/plm/api", true, "ElmHost.Example", 8080, true, ""},
    {"http://ElmHost.Example/a", true, "ElmHost.Example", 80, false, "/a/ELMRequest"},
    {"HtTp://127.0.0.1:{port}", false, "127.0.0.1", 0, false, "/ELMRequest"},
    {"127.0.0.1:{port}/app", false, "127.0.0.1", 0, false, "/app/ELMRequest"},
    {"http://127.0.0.1:{port}/plm/api/", false, "127.0.0.1", 0, false, "/plm/api/ELMRequest"},
};
INSTANTIATE_TEST_SUITE_P(HtmlRequest, HtmlRequestUrlParts, ::testing::ValuesIn(kUrlCases));

struct SplitCase {
  const char* url;
  const char* host;
  int port;
  bool secure;
  const char* objectName;
};

void PrintTo(const SplitCase& c, std::ostream* os) { *os << '"' << c.url << '"'; }

class ServerUrlSplit : public ::testing::TestWithParam<SplitCase> {};

TEST_P(ServerUrlSplit, GivesHostPortSchemeAndObjectName) {
  const SplitCase& c = GetParam();
  const ELMServerSettings::Address a = ELMServerSettings::SplitUrl(c.url);
  EXPECT_EQ(c.host, std::string(a.hostName.ConvertToChar()));
  EXPECT_EQ(c.port, a.port);
  EXPECT_EQ(c.secure, a.secure);
  EXPECT_EQ(c.objectName, std::string(a.objectName.ConvertToChar()));
}

const SplitCase kSplitCases[] = {
    {"https://ElmHost.Example:8080/plm/api", "ElmHost.Example", 8080, true, "plm/api/ELMRequest"},
    {"https://ElmHost.Example", "ElmHost.Example", 443, true, "ELMRequest"},
    {"http://ElmHost.Example", "ElmHost.Example", 80, false, "ELMRequest"},
    {"HTTP://ElmHost.Example:9000", "ElmHost.Example", 9000, false, "ELMRequest"},
    {"ElmHost.Example:9000/app", "ElmHost.Example", 9000, false, "app/ELMRequest"},
    {"http://ElmHost.Example/", "ElmHost.Example", 80, false, "ELMRequest"},
    {"http://ElmHost.Example/a/", "ElmHost.Example", 80, false, "a/ELMRequest"},
    {"http://ElmHost.Example/a", "ElmHost.Example", 80, false, "a/ELMRequest"},
    {"http://ElmHost.Example:0", "ElmHost.Example", 80, false, "ELMRequest"},
    {"http://ElmHost.Example:abc", "ElmHost.Example", 80, false, "ELMRequest"},
    // A secure default port, and a number read as far as it goes.
    {"HTTPS://ElmHost.Example:0/x", "ElmHost.Example", 443, true, "x/ELMRequest"},
    {"https://ElmHost.Example:8443x/x", "ElmHost.Example", 8443, true, "x/ELMRequest"},
    // Too large for a port: kept, so that no other port is reached.
    {"http://ElmHost.Example:70000", "ElmHost.Example", 70000, false, "ELMRequest"},
    // Positions count characters, not bytes.
    {"http://wärme.example:81/grüße", "wärme.example", 81, false, "grüße/ELMRequest"},
    // "http://" further on wins, and the first 7 characters go.
    {"https://ElmHost.Example/r?back=http://elsewhere", "", 80, false,
     "ElmHost.Example/r?back=http://elsewhere/ELMRequest"},
};
INSTANTIATE_TEST_SUITE_P(ELMServerSettings, ServerUrlSplit, ::testing::ValuesIn(kSplitCases));

TEST(ServerTimeouts, AreReadInSecondsAndANonNumberKeepsTheDefault) {
  elmtest::EnvChanges env;
  elmtest::IsolateTransport(env);
  const ELMServerSettings::Timeouts defaults = ELMServerSettings::ReadTimeouts();
  EXPECT_EQ((std::vector<int>{0, 60000, 30000, 300000}),
            (std::vector<int>{defaults.resolveMs, defaults.connectMs, defaults.sendMs, defaults.receiveMs}));
  env.Set("ELM_SERVER_RESOLVE_TIMEOUT", "2");
  env.Set("ELM_SERVER_CONNECT_TIMEOUT", "5");
  env.Set("ELM_SERVER_SEND_TIMEOUT", "abc");
  env.Set("ELM_SERVER_RECEIVE_TIMEOUT", "-3");
  const ELMServerSettings::Timeouts read = ELMServerSettings::ReadTimeouts();
  EXPECT_EQ((std::vector<int>{2000, 5000, 30000, -3000}),
            (std::vector<int>{read.resolveMs, read.connectMs, read.sendMs, read.receiveMs}));
}

TEST(ServerTimeouts, BoundTheWholeExchangeByTheirSumUnlessAPhaseIsUnlimited) {
  using T = ELMServerSettings::Timeouts;
  const struct {
    T timeouts;
    std::uint32_t limitMs;
  } cases[] = {
      {T{}, 390000},
      {T{5000, 1000, 1000, 1000}, 8000},
      {T{0, 0, 30000, 300000}, 0},
      {T{0, 60000, 0, 300000}, 0},
      {T{0, 60000, 30000, 0}, 0},
      {T{INT_MAX, INT_MAX, INT_MAX, INT_MAX}, UINT32_MAX},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.limitMs, ELMServerSettings::ExchangeLimitMs(c.timeouts))
        << c.timeouts.resolveMs << " " << c.timeouts.connectMs << " " << c.timeouts.sendMs << " "
        << c.timeouts.receiveMs;
}

}  // namespace
