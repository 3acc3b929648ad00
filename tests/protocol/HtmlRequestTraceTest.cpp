#include "HtmlRequest.h"

#include "ChildProcess.h"
#include "ELMRequestXml.h"
#include "LoopbackServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using elmtest::LoopbackServer;
using elmtest::RawServer;

namespace {

const std::string kAnswer = "<ELM><Response><Attribute name=\"PartNumber\" value=\"PN-1\"/></Response></ELM>";

// The trace's lines with every source line number replaced by "#", which
// keeps the assertions about the texts, not about where they sit in the file.
std::vector<std::string> traceLines(const std::string& out) {
  static const std::regex lineNumber(R"(^(  ELMDBX |ELMDBX Function: .* | ELM: [^(]*)\(\d+\))");
  std::vector<std::string> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) lines.push_back(std::regex_replace(line, lineNumber, "$1(#)"));
  return lines;
}

// The lines from the opening of scope's start line to its end line.
std::vector<std::string> scopeLines(const std::string& out, const std::string& scope) {
  const auto lines = traceLines(out);
  const auto first = std::find(lines.begin(), lines.end(), " ELM: " + scope + "(#) start");
  auto last = first;
  while (last != lines.end() && last->rfind(" ELM: " + scope + "(#) end", 0) != 0) ++last;
  if (last != lines.end()) ++last;
  return std::vector<std::string>(first, last);
}

// The trace line right after the first one equal to line; "<none>" without one.
std::string lineAfter(const std::string& out, const std::string& line) {
  const auto lines = traceLines(out);
  const auto it = std::find(lines.begin(), lines.end(), line);
  return it == lines.end() || it + 1 == lines.end() ? "<none>" : *(it + 1);
}

// Every expected line appears, in this order, with anything in between.
::testing::AssertionResult containsInOrder(const std::string& out, const std::vector<std::string>& expected) {
  const auto lines = traceLines(out);
  std::size_t at = 0;
  for (const auto& want : expected) {
    while (at < lines.size() && lines[at] != want) ++at;
    if (at == lines.size()) return ::testing::AssertionFailure() << "missing \"" << want << "\" in order in:\n" << out;
    ++at;
  }
  return ::testing::AssertionSuccess();
}

// The child ended with exitCode and its trace holds expected's lines in order.
::testing::AssertionResult tracedInOrder(const elmtest::ChildResult& child, int exitCode, const std::string& expected) {
  if (child.exitCode != exitCode)
    return ::testing::AssertionFailure() << "exit code " << child.exitCode << ":\n" << child.out;
  return containsInOrder(child.out, elmtest::Lines(expected));
}

// The child's exit code tells the exact result: 0 for S_OK, 1 for E_FAIL.
int exitCodeOf(HRESULT rc) { return rc == S_OK ? 0 : rc == E_FAIL ? 1 : 2; }

int doRequest() {
  ELMRequestXml request("GetPartnumber");
  request.AddRequestAttribute("PartNumber", "");
  ELMRequestXml response;
  return exitCodeOf(HtmlRequest::DoRequest(request, response));
}

LoopbackServer::Handler answering(const std::string& body, const char* type = "application/xml") {
  return [body, type](const httplib::Request&, httplib::Response& res) { res.set_content(body, type); };
}

class HtmlRequestTrace : public ::testing::Test {
protected:
  void SetUp() override { elmtest::IsolateTransport(m_env); }

  elmtest::ChildResult RunTraced(const std::string& url, std::map<std::string, std::string> env = {}) {
    env["ELM_DEBUG"] = "ON";
    env["ELM_SERVER_URL"] = url;
    return elmtest::RunInChild(env, doRequest);
  }

  elmtest::EnvChanges m_env;
};

TEST_F(HtmlRequestTrace, NoUrlWritesTheFixedNoteAndFailsTheScope) {
  auto child = elmtest::RunInChild({{"ELM_DEBUG", "ON"}}, doRequest);
  EXPECT_EQ(1, child.exitCode);
  const std::vector<std::string> expected = {
      " ELM: HtmlRequest::DoRequest(#) start",
      "ELMDBX Function: HtmlRequest::DoRequest (#)",
      "  ELMDBX (#): Environment ELM_SETPN_SERVERHOST not set",
      " ELM: HtmlRequest::DoRequest(#) end  ",
  };
  EXPECT_EQ(expected, scopeLines(child.out, "HtmlRequest::DoRequest")) << child.out;
}

TEST_F(HtmlRequestTrace, SuccessfulExchangeNotesUrlPortDumpsAndAnswer) {
  LoopbackServer server(answering(kAnswer));
  const std::string url = server.Url("/plm/api");
  auto child = RunTraced(url);
  EXPECT_EQ(0, child.exitCode);
  EXPECT_TRUE(containsInOrder(child.out, {
                                             " ELM: HtmlRequest::DoRequest(#) start",
                                             "  ELMDBX (#): using server url " + url,
                                             "  ELMDBX (#): using server Port " + std::to_string(server.Port()),
                                             "  ELMDBX (#): Dump Send Request start ",
                                             "Dump Send Request end ",
                                             "  ELMDBX (#): ******* Answer from WinHttp Start *******",
                                             "  ELMDBX (#): " + kAnswer,
                                             "  ELMDBX (#): ******* Answer from WinHttp End *******",
                                             "  ELMDBX (#): Dump Response start ",
                                             "Dump Response end ",
                                             " ELM: HtmlRequest::DoRequest(#) end OK",
                                         }));
  // The request's dump sits between its two markers.
  const std::size_t start = child.out.find("Dump Send Request start ");
  const std::size_t end = child.out.find("Dump Send Request end ");
  EXPECT_NE(std::string::npos, child.out.substr(start, end - start).find("GetPartnumber")) << child.out;
}

TEST_F(HtmlRequestTrace, EachChunkIsNotedAsItArrives) {
  const std::string first = kAnswer.substr(0, 20);
  const std::string second = kAnswer.substr(20);
  RawServer server([&](const RawServer::Connection& c, const std::string&) {
    c.Send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kAnswer.size()) + "\r\n\r\n" + first);
    // Paced so that the two parts reach the client apart.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    c.Send(second);
  });
  auto child = RunTraced(server.Url());
  EXPECT_EQ(0, child.exitCode);
  EXPECT_TRUE(containsInOrder(child.out, {
                                             "  ELMDBX (#): " + first,
                                             "  ELMDBX (#): " + second,
                                             "  ELMDBX (#): ",
                                             "  ELMDBX (#): ******* Answer from WinHttp End *******",
                                         }));
}

// A port read as a negative number goes to the connection as its 16 bits
// (-1 is 65535), so the request is opened; one past 16 bits opens nothing.
TEST_F(HtmlRequestTrace, NegativePortIsTakenAsItsSixteenBitsAndAnOverlongOneIsNot) {
  const std::string start = "  ELMDBX (#): ******* Answer from WinHttp Start *******";
  auto negative = RunTraced("http://127.0.0.1:-1");
  EXPECT_TRUE(containsInOrder(negative.out, {"  ELMDBX (#): using server Port -1", start})) << negative.out;
  auto overlong = RunTraced("http://127.0.0.1:70000");
  EXPECT_TRUE(tracedInOrder(overlong, 1, "  ELMDBX (#): using server Port 70000\n"));
  EXPECT_FALSE(containsInOrder(overlong.out, {start})) << overlong.out;
}

TEST_F(HtmlRequestTrace, SilentServerFailsAfterTheReceiveTimeoutAndNotesIt) {
  elmtest::IdleListener silent;
  const auto start = std::chrono::steady_clock::now();
  auto child = RunTraced(silent.Url(), {{"ELM_SERVER_RECEIVE_TIMEOUT", "1"}});
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_GE(elapsed, std::chrono::milliseconds(950));
  EXPECT_LT(elapsed, std::chrono::seconds(10));
  EXPECT_TRUE(tracedInOrder(child, 1,
                            "  ELMDBX (#): ******* Answer from WinHttp Start *******\n"
                            "  ELMDBX (#): Error 12002 in  WinHttpReceiveResponse:\n"
                            "  ELMDBX (#): Timeout was reached: nothing was received for 1000 ms\n"
                            "  ELMDBX (#): ******* Answer from WinHttp End *******\n"
                            "ELMDBX Function: HtmlRequest::DoRequest (#)\n"
                            " ELM: HtmlRequest::DoRequest(#) end  \n"));
}

// No single wait reaches a time-out, yet the exchange as a whole ends at
// their sum (here 3 s), and the client goes before the server is done.
TEST_F(HtmlRequestTrace, ServerTricklingTheAnswerIsCutOffAtTheSumOfTheTimeouts) {
  std::atomic<bool> clientLeft{false};
  const auto start = std::chrono::steady_clock::now();
  {
    RawServer server([&](const RawServer::Connection& c, const std::string&) {
      if (!c.Send("HTTP/1.1 200 OK\r\nContent-Length: 605\r\n\r\n<ELM>")) return;
      for (int i = 0; i < 600; ++i) {  // a minute at most
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (!c.Send(" ")) {
          clientLeft = true;
          return;
        }
      }
    });
    auto child = RunTraced(
        server.Url(),
        {{"ELM_SERVER_CONNECT_TIMEOUT", "1"}, {"ELM_SERVER_SEND_TIMEOUT", "1"}, {"ELM_SERVER_RECEIVE_TIMEOUT", "1"}});
    EXPECT_TRUE(tracedInOrder(child, 1,
                              "  ELMDBX (#): <ELM>\n"
                              "  ELMDBX (#): Error 12002 in WinHttpQueryDataAvailable:\n"
                              "  ELMDBX (#): Timeout was reached: the exchange took longer than 3000 ms\n"
                              "  ELMDBX (#): Error 12002 in WinHttpReadData:\n"
                              "  ELMDBX (#): ******* Answer from WinHttp End *******\n"
                              " ELM: HtmlRequest::DoRequest(#) end  \n"));
  }
  EXPECT_TRUE(clientLeft);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

TEST_F(HtmlRequestTrace, RefusedConnectionNotesTheSendErrorWithLibcurlsText) {
  elmtest::RefusingPort port;
  auto child = RunTraced("http://127.0.0.1:" + std::to_string(port.Port()));
  EXPECT_EQ(1, child.exitCode);
  const std::string text = lineAfter(child.out, "  ELMDBX (#): Error 12029 in WinHttpSendRequest:");
  EXPECT_EQ(0u, text.rfind("  ELMDBX (#): Couldn't connect to server", 0)) << child.out;
  EXPECT_NE(std::string::npos, text.find(std::to_string(port.Port()))) << text;
}

TEST_F(HtmlRequestTrace, BodyCutShortHandsOutTheChunkThenNotesTheReadErrorsWithLibcurlsText) {
  RawServer server([](const RawServer::Connection& c, const std::string&) {
    c.Send("HTTP/1.1 200 OK\r\nContent-Length: 500\r\n\r\n<ELM><Response>");
  });
  auto child = RunTraced(server.Url());
  EXPECT_TRUE(tracedInOrder(child, 1,
                            "  ELMDBX (#): <ELM><Response>\n"
                            "  ELMDBX (#): Error 12030 in WinHttpQueryDataAvailable:\n"
                            "  ELMDBX (#): Error 12030 in WinHttpReadData:\n"
                            "  ELMDBX (#): ******* Answer from WinHttp End *******\n"
                            " ELM: HtmlRequest::DoRequest(#) end  \n"));
  // libcurl's text for a body cut short, with its detail.
  const std::string text = lineAfter(child.out, "  ELMDBX (#): Error 12030 in WinHttpQueryDataAvailable:");
  EXPECT_EQ(0u, text.rfind("  ELMDBX (#): Transferred a partial file: ", 0)) << child.out;
}

TEST_F(HtmlRequestTrace, RefusedTimeoutsAreNotedAndTheRequestGoesOn) {
  LoopbackServer server(answering(kAnswer));
  auto child = RunTraced(server.Url(), {{"ELM_SERVER_SEND_TIMEOUT", "-5"}});
  EXPECT_TRUE(tracedInOrder(child, 0,
                            "  ELMDBX (#): Failed to set Timeouts 87\n"
                            "  ELMDBX (#): A libcurl function was given a bad argument\n"
                            "  ELMDBX (#): ******* Answer from WinHttp Start *******\n"
                            " ELM: HtmlRequest::DoRequest(#) end OK\n"));
}

TEST_F(HtmlRequestTrace, TraceOffWritesNothing) {
  LoopbackServer server(answering("<html>not xml", "text/html"));
  auto failing = elmtest::RunInChild({{"ELM_SERVER_URL", server.Url()}}, doRequest);
  EXPECT_EQ(1, failing.exitCode);
  EXPECT_EQ("", failing.out);
}

TEST_F(HtmlRequestTrace, ConnectionCheckFailsItsOwnScope) {
  auto child =
      elmtest::RunInChild({{"ELM_DEBUG", "ON"}}, [] { return exitCodeOf(HtmlRequest::CheckServerConnection()); });
  EXPECT_TRUE(tracedInOrder(child, 1,
                            " ELM: HtmlRequest::CheckServerConnection(#) start\n"
                            " ELM: HtmlRequest::DoRequest(#) end  \n"
                            "ELMDBX Function: HtmlRequest::CheckServerConnection (#)\n"
                            " ELM: HtmlRequest::CheckServerConnection(#) end  \n"));
}

}  // namespace
