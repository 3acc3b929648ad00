#include "HtmlRequest.h"

#include "ELMCheckServerConnection.h"
#include "ELMRequestXml.h"
#include "LoopbackServer.h"
#include "WinHttp.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <chrono>
#include <set>
#include <string>
#include <thread>

using elmtest::LoopbackServer;
using elmtest::RawServer;

namespace {

constexpr const char* kPartNumberAnswer =
    "<ELM><Response id=\"7_0\"><Attribute name=\"PartNumber\" value=\"PN-4711\"/></Response></ELM>";

std::string xmlAnswer(const std::string& name, const std::string& value) {
  return "<ELM><Response><Attribute name=\"" + name + "\" value=\"" + value + "\"/></Response></ELM>";
}

std::string rawAnswer(const std::string& body, const std::string& status = "200 OK") {
  return "HTTP/1.1 " + status + "\r\nContent-Type: application/xml\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nConnection: close\r\n\r\n" + body;
}

LoopbackServer::Handler answering(const std::string& body, int status = 200, const char* type = "application/xml") {
  return [body, status, type](const httplib::Request&, httplib::Response& res) {
    res.status = status;
    res.set_content(body, type);
  };
}

// Announces the whole answer, sends its first half and drops the connection.
LoopbackServer::Handler cutShort(const std::string& answer) {
  return [answer](const httplib::Request&, httplib::Response& res) {
    res.set_content_provider(answer.size(), "application/xml",
                             [answer](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                               if (offset > 0) return false;  // drops the connection
                               sink.write(answer.data(), answer.size() / 2);
                               return true;
                             });
  };
}

std::string responseAttribute(const ELMRequestXml& response, const char* name) {
  CATUnicodeString value("<unset>");
  if (FAILED(response.GetResponseAttribute(name, value))) return "<missing>";
  return value.ConvertToChar();
}

class HtmlRequestTest : public ::testing::Test {
protected:
  void SetUp() override { elmtest::IsolateTransport(m_env); }

  void UseServer(const std::string& url) { m_env.Set("ELM_SERVER_URL", url); }

  HRESULT SendTo(const std::string& url, ELMRequestXml& response) {
    UseServer(url);
    return HtmlRequest::DoRequest(givenPartNumberRequest(), response);
  }

  static ELMRequestXml givenPartNumberRequest() {
    ELMRequestXml request("GetPartnumber");
    request.AddRequestAttribute("PartNumber", "Wälzlager-€-Ω");
    return request;
  }

  elmtest::EnvChanges m_env;
};

// --- What goes on the wire ------------------------------------------------

using HtmlRequestWire = HtmlRequestTest;

// A large request too goes out whole, without asking to continue.
TEST_F(HtmlRequestWire, PostsTheDocumentAsUtf8XmlWithOnlyTheClientsHeadersWhateverItsSize) {
  for (const std::string& value : {std::string("Wälzlager-€-Ω"), std::string(3 << 20, 'S')}) {
    SCOPED_TRACE(value.size());
    RawServer server([](const RawServer::Connection& c, const std::string&) { c.Send(rawAnswer(kPartNumberAnswer)); });
    UseServer(server.Url("/plm/api"));
    ELMRequestXml request("GetPartnumber");
    request.AddRequestAttribute("PartNumber", value.c_str());
    CATUnicodeString text;
    ASSERT_EQ(S_OK, request.GetXml(text));
    const std::string expectedBody = text.Utf8();
    EXPECT_NE(std::string::npos, expectedBody.find(value));

    ELMRequestXml response;
    ASSERT_EQ(S_OK, HtmlRequest::DoRequest(request, response));
    EXPECT_EQ("PN-4711", responseAttribute(response, "PartNumber"));

    const auto requests = server.Requests();
    ASSERT_EQ(1u, requests.size());
    const std::string& raw = requests[0];
    const std::size_t end = raw.find("\r\n\r\n");
    ASSERT_NE(std::string::npos, end) << raw.substr(0, 1000);
    const std::size_t firstLine = raw.find("\r\n");
    EXPECT_EQ("POST /plm/api/ELMRequest HTTP/1.1", raw.substr(0, firstLine));

    std::multiset<std::string> headers;
    for (std::size_t at = firstLine + 2; at < end;) {
      std::size_t next = raw.find("\r\n", at);
      headers.insert(raw.substr(at, next - at));
      at = next + 2;
    }
    const std::multiset<std::string> expected = {"Host: 127.0.0.1:" + std::to_string(server.Port()),
                                                 "User-Agent: ELM/1.0",
                                                 "Content-Type: application/xml",
                                                 "Content-Length: " + std::to_string(expectedBody.size()),
                                                 "Pragma: no-cache",
                                                 "Cache-Control: no-cache"};
    EXPECT_EQ(expected, headers) << raw.substr(0, end);
    EXPECT_EQ(expectedBody, raw.substr(end + 4));
  }
}

TEST_F(HtmlRequestWire, EveryCallOpensAConnectionOfItsOwn) {
  RawServer server([](const RawServer::Connection& c, const std::string&) { c.Send(rawAnswer(kPartNumberAnswer)); });
  UseServer(server.Url());
  for (int i = 0; i < 3; ++i) {
    ELMRequestXml response;
    ASSERT_EQ(S_OK, HtmlRequest::DoRequest(givenPartNumberRequest(), response));
  }
  EXPECT_EQ(3, server.Accepted());
}

// --- Answers and how they are read ------------------------------------------

using HtmlRequestAnswers = HtmlRequestTest;

TEST_F(HtmlRequestAnswers, Status500WithXmlBodyIsReadableByTheCaller) {
  LoopbackServer server(
      answering("<ELM><Response><Attribute name=\"PartNumber\" value=\"\"/>"
                "<Error code=\"17\">no part number left</Error></Response></ELM>",
                500));
  ELMRequestXml response;
  ASSERT_EQ(S_OK, SendTo(server.Url(), response));
  unsigned char hasErrors = 0;
  CATRawCollint codes;
  ASSERT_EQ(S_OK, response.GetErrors(hasErrors, &codes, nullptr));
  EXPECT_EQ(1, hasErrors);
  EXPECT_EQ((CATRawCollint{17}), codes);
}

TEST_F(HtmlRequestAnswers, HtmlErrorPageEmptyOrCutShortBodyFailsAndLeavesNoDocument) {
  for (const auto& [what, handler] :
       {std::pair{"error page", answering("<html><body><h1>502 Bad Gateway</h1><br></body></html>", 502, "text/html")},
        std::pair{"empty body", answering("")}, std::pair{"connection closed mid-body", cutShort(kPartNumberAnswer)}}) {
    LoopbackServer server(handler);
    ELMRequestXml response;
    EXPECT_EQ(E_FAIL, SendTo(server.Url(), response)) << what;
    EXPECT_FALSE(response.GetDocument()) << what;
    EXPECT_EQ(1u, server.Requests().size()) << what;
  }
}

TEST_F(HtmlRequestAnswers, ChunkedBodySplitInsideACharacterIsParsedWhole) {
  // "Grüße €" with the ü cut after its first byte and the € after its second.
  const std::string first = "<ELM><Response><Attribute name=\"Name\" value=\"Gr\xC3";
  const std::string second =
      "\xBC\xC3\x9F"
      "e \xE2\x82";
  const std::string third = "\xAC\"/></Response></ELM>";
  RawServer server([&](const RawServer::Connection& c, const std::string&) {
    auto chunk = [](const std::string& data) {
      char size[16];
      std::snprintf(size, sizeof size, "%zx\r\n", data.size());
      return size + data + "\r\n";
    };
    c.Send("HTTP/1.1 200 OK\r\nContent-Type: application/xml\r\nTransfer-Encoding: chunked\r\n\r\n");
    for (const auto& part : {first, second, third}) {
      c.Send(chunk(part));
      // Paced so that the client meets the parts one by one.
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    c.Send("0\r\n\r\n");
  });
  ELMRequestXml response;
  ASSERT_EQ(S_OK, SendTo(server.Url(), response));
  EXPECT_EQ("Grüße €", responseAttribute(response, "Name"));
}

TEST_F(HtmlRequestAnswers, AnswerWithoutResponseElementIsNotATransportFailure) {
  LoopbackServer server(answering("<ELM><Error code=\"3\" text=\"unknown function\"/></ELM>"));
  ELMRequestXml response;
  ASSERT_EQ(S_OK, SendTo(server.Url(), response));
  CATIDOMElement_var element;
  response.GetResponse(element);
  EXPECT_FALSE(element);
}

// --- Hostile answers ----------------------------------------------------------

using HtmlRequestHostileAnswers = HtmlRequestTest;

TEST_F(HtmlRequestHostileAnswers, ExternalEntityOnALocalFileIsNeverRead) {
  elmtest::ScratchDir dir;
  const std::string secretFile = dir.Write("secret.txt", "TOP-SECRET-4711");
  LoopbackServer server(answering("<?xml version=\"1.0\"?>\n<!DOCTYPE ELM [<!ENTITY xxe SYSTEM \"file://" + secretFile +
                                  "\">]>\n<ELM><Response><Attribute name=\"Name\" value=\"&xxe;\"/>"
                                  "<Attribute name=\"Other\" value=\"x\">&xxe;</Attribute></Response></ELM>"));
  ELMRequestXml response;
  ASSERT_EQ(S_OK, SendTo(server.Url(), response));
  ASSERT_EQ(1u, server.Requests().size());
  // The reference stays as written, in attributes and in text alike.
  EXPECT_EQ("&xxe;", responseAttribute(response, "Name"));
  CATUnicodeString text;
  ASSERT_EQ(S_OK, response.GetXml(text));
  EXPECT_EQ(std::string::npos, std::string(text.ConvertToChar()).find("TOP-SECRET")) << text.ConvertToChar();
}

TEST_F(HtmlRequestHostileAnswers, BillionLaughsReturnsPromptlyWithoutExpansion) {
  std::string doctype = "<?xml version=\"1.0\"?>\n<!DOCTYPE ELM [\n<!ENTITY lol \"lol\">\n";
  doctype += "<!ENTITY lol1 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">\n";
  for (int i = 2; i <= 9; ++i) {
    const std::string prev = "&lol" + std::to_string(i - 1) + ";";
    doctype += "<!ENTITY lol" + std::to_string(i) + " \"";
    for (int k = 0; k < 10; ++k) doctype += prev;
    doctype += "\">\n";
  }
  doctype += "]>\n<ELM><Response><Attribute name=\"Name\" value=\"&lol9;\"/></Response></ELM>";
  LoopbackServer server(answering(doctype));
  ELMRequestXml response;
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(S_OK, SendTo(server.Url(), response));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ("&lol9;", responseAttribute(response, "Name"));
}

// --- Where the request goes -------------------------------------------------

using HtmlRequestServerUrl = HtmlRequestTest;

// Read again for every request: each change is seen at once.
TEST_F(HtmlRequestServerUrl, TheFirstNonEmptyVariableWinsThenTheSettings) {
  LoopbackServer first(answering(xmlAnswer("From", "first")));
  LoopbackServer second(answering(xmlAnswer("From", "second")));
  LoopbackServer third(answering(xmlAnswer("From", "settings")));
  elmtest::ScratchDir withUrl, without;
  withUrl.Write("ELMOptions.settings", "ServerUrl = \"" + third.Url() + "\";\n");
  without.Write("ELMOptions.settings", "OtherSetting = \"" + third.Url() + "\";\n");
  struct Case {
    std::string url, urlAlt;
    const elmtest::ScratchDir& settings;
    const char* from;  ///< null: no request is sent
  } cases[] = {
      {first.Url(), second.Url(), withUrl, "first"},
      {"", second.Url(), withUrl, "second"},
      {"", "", withUrl, "settings"},
      {"", "", without, nullptr},
  };
  std::size_t sent = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.from ? c.from : "nowhere");
    m_env.Set("ELM_SERVERURL", c.urlAlt);
    m_env.Set("ELMHOST_SETTINGS_PATH", c.settings.Path());
    ELMRequestXml response;
    EXPECT_EQ(c.from ? S_OK : E_FAIL, SendTo(c.url, response));
    EXPECT_EQ(c.from ? c.from : "<missing>", responseAttribute(response, "From"));
    sent += c.from ? 1 : 0;
    EXPECT_EQ(sent, first.Requests().size() + second.Requests().size() + third.Requests().size());
  }
}

TEST_F(HtmlRequestServerUrl, PortBeyondSixteenBitsIsNotTruncatedToAnotherPort) {
  RawServer server([](const RawServer::Connection& c, const std::string&) { c.Send(rawAnswer(kPartNumberAnswer)); });
  ELMRequestXml response;
  EXPECT_EQ(E_FAIL, SendTo("http://127.0.0.1:" + std::to_string(server.Port() + 65536), response));
  EXPECT_EQ(0, server.Accepted());
}

// --- Servers that do not answer -----------------------------------------------

using HtmlRequestUnreachable = HtmlRequestTest;

TEST_F(HtmlRequestUnreachable, UnansweredConnectionFailsAfterTheConnectAndResolveTimeouts) {
  // With its one backlog place taken, the listener leaves further
  // connection attempts unanswered, as an unreachable host does.
  elmtest::IdleListener full(0);
  ASSERT_TRUE(full.Fill());
  auto expectFailureAfter = [&](std::chrono::milliseconds atLeast) {
    ELMRequestXml response;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(E_FAIL, SendTo(full.Url(), response));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, atLeast);
    EXPECT_LT(elapsed, std::chrono::seconds(10));
  };
  m_env.Set("ELM_SERVER_CONNECT_TIMEOUT", "1");
  expectFailureAfter(std::chrono::milliseconds(950));
  // libcurl times name resolution and connection together, so a limited
  // resolution adds its time to the connection's.
  m_env.Set("ELM_SERVER_RESOLVE_TIMEOUT", "1");
  expectFailureAfter(std::chrono::milliseconds(1950));
}

// --- TLS ----------------------------------------------------------------------

class HtmlRequestTls : public HtmlRequestTest {
protected:
  void SetUp() override {
    HtmlRequestTest::SetUp();
    ASSERT_TRUE(elmtest::MakeSelfSignedCertificate(m_dir)) << "openssl could not make a certificate";
    m_server = std::make_unique<LoopbackServer>(answering(xmlAnswer("Secure", "yes")), m_dir.File("cert.pem"),
                                                m_dir.File("key.pem"));
  }
  elmtest::ScratchDir m_dir;
  std::unique_ptr<LoopbackServer> m_server;
};

// "http://" is looked for anywhere in the URL, so its first 7 characters are
// cut and no host name is left, even with the certificate trusted.
TEST_F(HtmlRequestTls, SelfSignedCertificateOrAPlainSchemeAnywhereInTheUrlSendsNothing) {
  for (bool trusted : {false, true}) {
    if (trusted) m_env.Set("SSL_CERT_FILE", m_dir.File("cert.pem"));
    ELMRequestXml response;
    EXPECT_EQ(E_FAIL, SendTo(m_server->Url(trusted ? "/r?back=http://elsewhere" : "/plm/api"), response)) << trusted;
    EXPECT_TRUE(m_server->Requests().empty()) << trusted;
  }
}

TEST_F(HtmlRequestTls, TrustedCertificateCarriesTheRequestOverTls) {
  m_env.Set("SSL_CERT_FILE", m_dir.File("cert.pem"));
  ELMRequestXml response;
  ASSERT_EQ(S_OK, SendTo("HTTPS://" + m_server->Url("/plm/api").substr(8), response));
  EXPECT_EQ("yes", responseAttribute(response, "Secure"));
  const auto seen = m_server->Requests();
  ASSERT_EQ(1u, seen.size());
  EXPECT_TRUE(seen[0].tls);
  EXPECT_EQ("POST", seen[0].method);
  EXPECT_EQ("/plm/api/ELMRequest", seen[0].target);
}

TEST_F(HtmlRequestTls, CertificateRefusalIsASecureFailureOfTheSend) {
  HINTERNET session = WinHttpOpen(L"ELM/1.0", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, nullptr, nullptr, 0);
  HINTERNET connect = WinHttpConnect(session, L"127.0.0.1", static_cast<INTERNET_PORT>(m_server->Port()), 0);
  HINTERNET request = WinHttpOpenRequest(connect, L"POST", L"ELMRequest", nullptr, nullptr, nullptr,
                                         WINHTTP_FLAG_REFRESH | WINHTTP_FLAG_SECURE);
  ASSERT_NE(nullptr, request);
  char body[] = "<ELM/>";
  EXPECT_FALSE(WinHttpSendRequest(request, nullptr, 0, body, 6, 6, 0));
  EXPECT_EQ(ERROR_WINHTTP_SECURE_FAILURE, GetLastError());
  WinHttpCloseHandle(request);
  WinHttpCloseHandle(connect);
  WinHttpCloseHandle(session);
  EXPECT_TRUE(m_server->Requests().empty());
}

// --- Connection check ---------------------------------------------------------

using HtmlRequestCheckServerConnection = HtmlRequestTest;

// The request it sends is the about dialog's test to the letter; here, what
// answer counts as the server's.
TEST_F(HtmlRequestCheckServerConnection, SucceedsOnlyWhenTheServerMirrorsANonEmptyServerAttribute) {
  for (const auto& [answer, rc] : {std::pair{xmlAnswer("Server", "ELM integration 2.3"), S_OK},
                                   std::pair{std::string("<ELM><Server value=\"OK\"/></ELM>"), E_FAIL},
                                   std::pair{xmlAnswer("Server", ""), E_FAIL}}) {
    LoopbackServer server(answering(answer));
    UseServer(server.Url("/elm/"));
    EXPECT_EQ(rc, HtmlRequest::CheckServerConnection()) << answer;
    ASSERT_EQ(1u, server.Requests().size()) << answer;
    EXPECT_EQ("/elm/ELMRequest", server.Requests()[0].target);
  }
}

// The entry a host finds by its plain name: it reports the URL that the
// plug-in's own lookup found, then the check's result.
TEST_F(HtmlRequestCheckServerConnection, CEntryTellsTheUrlFoundAndTheResult) {
  auto entry = reinterpret_cast<decltype(&ELMCheckServerConnection)>(dlsym(RTLD_DEFAULT, "ELMCheckServerConnection"));
  ASSERT_NE(nullptr, entry);
  auto check = [entry](std::string& url) {
    url = "<not told>";
    return entry([](const char* found, void* context) { *static_cast<std::string*>(context) = found; }, &url);
  };
  LoopbackServer server(answering(xmlAnswer("Server", "ELM integration 2.3")));
  elmtest::ScratchDir settings;
  settings.Write("ELMOptions.settings", "ServerUrl = \"" + server.Url("/elm") + "\";\n");
  m_env.Set("ELMHOST_SETTINGS_PATH", settings.Path());
  std::string url;
  EXPECT_EQ(S_OK, check(url));
  EXPECT_EQ(server.Url("/elm"), url);
  EXPECT_EQ(1u, server.Requests().size());

  m_env.Set("ELMHOST_SETTINGS_PATH", "");
  EXPECT_EQ(E_FAIL, check(url));
  EXPECT_EQ("", url);
  EXPECT_EQ(1u, server.Requests().size());
  EXPECT_EQ(E_FAIL, entry(nullptr, nullptr));
}

}  // namespace
