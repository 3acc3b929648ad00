#include "HtmlRequest.h"

#include "ELMRequestXml.h"
#include "LoopbackServer.h"

#include <gtest/gtest.h>

#include <string>

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
};

Seen readSeen(const std::string& raw) {
  Seen seen;
  const std::string line = raw.substr(0, raw.find("\r\n"));
  const std::size_t sp1 = line.find(' ');
  const std::size_t sp2 = line.find(' ', sp1 + 1);
  const std::string method = line.substr(0, sp1);
  std::string target = line.substr(sp1 + 1, sp2 - sp1 - 1);
  std::string authority;
  if (method == "CONNECT") {
    seen.secure = true;
    authority = target;
  } else if (target.rfind("http://", 0) == 0) {
    target = target.substr(7);
    authority = target.substr(0, target.find('/'));
    seen.path = target.substr(authority.size());
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

  ELMRequestXml request("Test");
  ELMRequestXml response;
  const HRESULT rc = HtmlRequest::DoRequest(request, response);
  EXPECT_EQ(c.secure ? E_FAIL : S_OK, rc);

  const auto requests = server.Requests();
  ASSERT_EQ(1u, requests.size());
  const Seen seen = readSeen(requests[0]);
  EXPECT_EQ(c.host, seen.host) << requests[0];
  EXPECT_EQ(c.port == 0 ? server.Port() : c.port, seen.port) << requests[0];
  EXPECT_EQ(c.secure, seen.secure) << requests[0];
  if (!c.secure) {
    EXPECT_EQ(c.path, seen.path) << requests[0];
  }
}

TEST(HtmlRequestProxy, NoProxyListSendsTheRequestDirectly) {
  elmtest::EnvChanges env;
  elmtest::IsolateTransport(env);
  RawServer proxy([](const RawServer::Connection& conn, const std::string&) { conn.Send(answer200()); });
  RawServer server([](const RawServer::Connection& conn, const std::string&) { conn.Send(answer200()); });
  env.Set("http_proxy", proxy.Url());
  env.Set("no_proxy", "127.0.0.1");
  env.Set("ELM_SERVER_URL", server.Url("/direct"));
  ELMRequestXml request("Test");
  ELMRequestXml response;
  EXPECT_EQ(S_OK, HtmlRequest::DoRequest(request, response));
  EXPECT_EQ(0, proxy.Accepted());
  ASSERT_EQ(1u, server.Requests().size());
  EXPECT_EQ("/direct/ELMRequest", readSeen(server.Requests()[0]).path);
}

INSTANTIATE_TEST_SUITE_P(
    HtmlRequest, HtmlRequestUrlParts,
    ::testing::Values(UrlCase{"https://ElmHost.Example:8080/plm/api", true, "ElmHost.Example", 8080, true, ""},
                      UrlCase{"https://ElmHost.Example", true, "ElmHost.Example", 443, true, ""},
                      UrlCase{"http://ElmHost.Example", true, "ElmHost.Example", 80, false, "/ELMRequest"},
                      UrlCase{"HTTP://ElmHost.Example:9000", true, "ElmHost.Example", 9000, false, "/ELMRequest"},
                      UrlCase{"ElmHost.Example:9000/app", true, "ElmHost.Example", 9000, false, "/app/ELMRequest"},
                      UrlCase{"http://ElmHost.Example/", true, "ElmHost.Example", 80, false, "/ELMRequest"},
                      UrlCase{"http://ElmHost.Example/a/", true, "ElmHost.Example", 80, false, "/a/ELMRequest"},
                      UrlCase{"http://ElmHost.Example/a", true, "ElmHost.Example", 80, false, "/a/ELMRequest"},
                      UrlCase{"http://ElmHost.Example:0", true, "ElmHost.Example", 80, false, "/ELMRequest"},
                      UrlCase{"http://ElmHost.Example:abc", true, "ElmHost.Example", 80, false, "/ELMRequest"},
                      UrlCase{"HtTp://127.0.0.1:{port}", false, "127.0.0.1", 0, false, "/ELMRequest"},
                      UrlCase{"127.0.0.1:{port}/app", false, "127.0.0.1", 0, false, "/app/ELMRequest"},
                      UrlCase{"http://127.0.0.1:{port}/plm/api/", false, "127.0.0.1", 0, false,
                              "/plm/api/ELMRequest"}));

}  // namespace
