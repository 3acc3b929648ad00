// Requests the server must refuse with an error answer, and keep serving.
#include "ServerTestSupport.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace elmtest;
using namespace servertest;

namespace {

class BadInput : public ::testing::Test {
protected:
  InProcessServer server;  // base path /plm/api/

  /// Parses a raw answer as the plug-in would and gives its errors.
  Errors errorsOfBody(const std::string& body, bool& hasResponse) {
    ELMRequestXml response;
    EXPECT_EQ(response.ReadXmlString(CATUnicodeString(body.c_str(), body.size())), S_OK) << body;
    CATIDOMElement_var r;
    response.GetResponse(r);
    hasResponse = !!r;
    return ErrorsOf(response);
  }
  void expectStillServing() {
    ELMRequestXml response = Answer("GetPartnumber", {{"PartNumber", "after"}});
    CATUnicodeString pn;
    EXPECT_EQ(response.GetResponseAttribute("PartNumber", pn), S_OK);
    EXPECT_FALSE(pn.IsNull());
  }
};

TEST_F(BadInput, UnknownFunctionIsAnErrorInsideTheResponseWithItsId) {
  std::string id;
  ELMRequestXml response = Answer("GetPartNumber", {{"PartNumber", "x"}}, &id);  // wrong letter case
  auto e = ErrorsOf(response);
  ASSERT_EQ(e.codes, std::vector<int>{1003});
  EXPECT_EQ(e.texts, std::vector<std::string>{"The server function \"GetPartNumber\" is unknown; this server offers "
                                              "GetPartnumber, GetProcessInfoForUser, GetSettingsInfo, "
                                              "GetStructureForName, GetStructureNames, SendEnoviaObjectToTC, Test."});
  EXPECT_EQ(std::string(response.GetResponseId().ConvertToChar()), id);
  EXPECT_TRUE(server.Store().IssuedNumbers().empty());
}

TEST_F(BadInput, BodiesThatAreNoRequestDocumentGetRootLevelErrors) {
  struct Case {
    const char* what;
    std::string body;
    int code;
    bool inResponse;
    const char* text = nullptr;  ///< null: any text but an empty one
  };
  const Case cases[] = {
      {"empty body", "", 1000, false, "The request body is empty; an ELM request document was expected."},
      {"tags that do not match", "<ELM><Request name=\"Test\"></ELM>", 1000, false,
       "The request body is not well-formed XML: Start-end tags mismatch at byte 28."},
      {"HTML page", "<html><body><p>hello</body></html>", 1000, false},
      {"plain text", "GetPartnumber please", 1000, false},
      {"truncated document", R"(<ELM><Request name="Test" id="1_0"><Attribute name="a" value="b"/>)", 1000, false},
      {"DOCTYPE with external entity",
       R"(<!DOCTYPE ELM [<!ENTITY x SYSTEM "file:///etc/passwd">]><ELM><Request name="Test" id="1"><Attribute name="a" value="&x;"/></Request></ELM>)",
       1001, false},
      {"wrong root", R"(<PLM><Request name="Test" id="1_0"/></PLM>)", 1001, false},
      {"no Request", R"(<ELM><Answer name="Test"/></ELM>)", 1001, false},
      {"Request without name", R"(<ELM><Request id="7_1"/></ELM>)", 1002, true},
      {"Request with empty name", R"(<ELM><Request name="" id="7_2"/></ELM>)", 1002, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    HttpReply a = RawExchange(server.Port(), PostWithLength("/plm/api/ELMRequest", c.body));
    EXPECT_EQ(a.status, 200);
    bool hasResponse = false;
    Errors e = errorsOfBody(a.body, hasResponse);
    EXPECT_EQ(e.codes, std::vector<int>{c.code}) << a.body;
    EXPECT_EQ(hasResponse, c.inResponse) << a.body;
    ASSERT_EQ(e.texts.size(), 1u);
    if (c.text) {
      EXPECT_EQ(e.texts[0], c.text);
    }
    EXPECT_FALSE(e.texts[0].empty());
    EXPECT_EQ(e.texts[0].find("root:"), std::string::npos) << "the entity must not be expanded: " << e.texts[0];
  }
  expectStillServing();
}

TEST_F(BadInput, FiftyMegabyteBodyIsRefusedAndTheServerStaysUp) {
  ELMRequestXml request("Test");
  ASSERT_EQ(request.AddRequestAttribute("Server", CATUnicodeString(std::string(50u << 20, 'x').c_str())), S_OK);
  ELMRequestXml response;
  ASSERT_EQ(HtmlRequest::DoRequest(request, response), S_OK);
  Errors e = ErrorsOf(response);
  EXPECT_EQ(e.codes, std::vector<int>{1008});
  EXPECT_EQ(e.texts, std::vector<std::string>{"The request body is larger than this server accepts (8388608 bytes)."});
  CATUnicodeString mirrored;
  EXPECT_EQ(response.GetResponseAttribute("Server", mirrored), E_FAIL);
  expectStillServing();
  EXPECT_EQ(HtmlRequest::CheckServerConnection(), S_OK);
}

TEST_F(BadInput, WrongPathOrMethodGetsAnErrorDocument) {
  HttpReply wrongPath = RawExchange(server.Port(), PostWithLength("/ELMRequest", "<ELM/>"));
  EXPECT_EQ(wrongPath.status, 404);
  bool hasResponse = true;
  EXPECT_EQ(errorsOfBody(wrongPath.body, hasResponse).texts,
            std::vector<std::string>{"Nothing is served at /ELMRequest; requests go to /plm/api/ELMRequest "
                                     "with POST."});

  HttpReply get = RawExchange(server.Port(), "GET /plm/api/ELMRequest HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
  EXPECT_EQ(get.status, 405);
  EXPECT_EQ(errorsOfBody(get.body, hasResponse).codes, std::vector<int>{1010});

  // A client whose URL lacks the server's base path hears about it instead
  // of getting a silent failure.
  setenv("ELM_SERVER_URL", ("http://127.0.0.1:" + std::to_string(server.Port()) + "/").c_str(), 1);
  ELMRequestXml response = Answer("Test", {{"Server", "OK"}});
  EXPECT_EQ(ErrorsOf(response).codes, std::vector<int>{1010});
  EXPECT_EQ(HtmlRequest::CheckServerConnection(), E_FAIL);
}

TEST_F(BadInput, ClientThatStopsMidBodyIsDroppedAndOthersAreServed) {
  int fd = elmtest::ConnectToLoopback(server.Port());
  ASSERT_GE(fd, 0);
  const std::string head = "POST /plm/api/ELMRequest HTTP/1.1\r\nHost: x\r\nContent-Length: 1000\r\n\r\n<ELM><Request";
  ASSERT_EQ(send(fd, head.data(), head.size(), 0), static_cast<ssize_t>(head.size()));

  // While it hangs, others get their answers.
  expectStillServing();

  // The server gives up on it and closes; bounded so a hang fails the test.
  std::string got;
  bool closed = false;
  for (int i = 0; i < 60 && !closed; ++i) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 1000) > 0) {
      char buf[4096];
      ssize_t n = recv(fd, buf, sizeof buf, 0);
      closed = n <= 0;
      if (!closed) got.append(buf, static_cast<std::size_t>(n));
    }
  }
  close(fd);
  EXPECT_TRUE(closed) << "the silent client was never dropped";
  // A cut body is never run as a request, nor answered as one.
  EXPECT_EQ(got, "");
  EXPECT_EQ(server.Store().IssuedNumbers().size(), 1u);
}

TEST_F(BadInput, DuplicateAttributesUseTheFirstAsTheClientDoes) {
  ELMRequestXml response = Answer("GetPartnumber", {{"PartNumber", "first"}, {"PartNumber", ""}});
  EXPECT_FALSE(ErrorsOf(response).any);
  EXPECT_EQ(server.Store().IssuedNumbers().at(0).requestedBy, "first");
}

}  // namespace
