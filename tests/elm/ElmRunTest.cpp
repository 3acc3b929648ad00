#include "ElmFixture.h"

#include <gmock/gmock.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <regex>

using testing::HasSubstr;

namespace {

const std::string kTitle = "ELMSetPartNumberFromExtPdmCmd MsgTitle";

class ElmRun : public elmtest::ElmFixture {
protected:
  void SetUp() override {
    ElmFixture::SetUp();
    m_url = StartServer();
    ASSERT_FALSE(m_url.empty()) << "elm-server did not start";
  }
  elmtest::ProcessResult Run(const std::vector<std::string>& extra = {}, std::map<std::string, std::string> env = {}) {
    env.emplace("ELM_SERVER_URL", m_url);
    return RunCommand("SetPartNumberFromExtPdmCmd", extra, env);
  }
  std::string m_url;
};

nlohmann::json Json(const char* text) { return nlohmann::json::parse(text); }

long long TrailingNumber(const std::string& s) {
  std::smatch m;
  return std::regex_search(s, m, std::regex("([0-9]+)$")) ? std::stoll(m[1]) : -1;
}

}  // namespace

// The first run also writes its events: one JSON object per request, save and box.
TEST_F(ElmRun, TwoRunsGiveTwoSuccessiveNumbersTheSecondForTheFirst) {
  auto first = Run({"--events", EventsFile()});
  ASSERT_EQ(first.exitCode, 0) << first.err;
  std::string number1 = SessionAttribute("part", "PLM_ExternalID");
  EXPECT_NE(number1, "prd-part");
  EXPECT_EQ(first.out, "[request] POST " + m_url + "ELMRequest: status 200\n[save] part: saved\n" +
                           Box("ELMSuccess", "plain, OK", kTitle, "ELMSetPartNumberFromExtPdmCmd MsgFinishedOK"));
  std::vector<nlohmann::json> lines = EventLines();
  ASSERT_EQ(lines.size(), 3u);
  // The request's id differs from run to run: its texts are checked apart.
  nlohmann::json request = lines[0];
  EXPECT_THAT(request["request"].get<std::string>(), HasSubstr("<Attribute name=\"PartNumber\" value=\"prd-part\"/>"));
  EXPECT_THAT(request["response"].get<std::string>(), HasSubstr("value=\"" + number1 + "\""));
  EXPECT_EQ(request["url"], m_url + "ELMRequest");
  for (const char* checked : {"request", "response", "url"}) request.erase(checked);
  EXPECT_EQ(request, Json(R"({"event": "request", "method": "POST", "status": 200, "error": 0, "errorText": ""})"));
  EXPECT_EQ(lines[1], Json(R"({"event": "save", "objects": ["part"], "ok": true, "error": ""})"));
  EXPECT_EQ(lines[2], Json(R"({"event": "box", "name": "ELMSuccess", "style": "plain, OK", "styleValue": 1048576,
                               "title": "ELMSetPartNumberFromExtPdmCmd MsgTitle",
                               "text": "ELMSetPartNumberFromExtPdmCmd MsgFinishedOK", "answer": "OK"})"));

  auto second = Run();
  ASSERT_EQ(second.exitCode, 0) << second.err;
  std::string number2 = SessionAttribute("part", "PLM_ExternalID");
  EXPECT_EQ(TrailingNumber(number2), TrailingNumber(number1) + 1) << number1 << " then " << number2;
}

TEST_F(ElmRun, RefusalsAndFailuresStillExitZeroAndPrintEveryBox) {
  EditSession("selection", {"n-released"});
  auto r = Run({"--answers", WriteFile("answers.json", "[\"Cancel\"]")}, {{"ELM_SETPN_MATURITY", "IN_WORK"}});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, Box("ELMWarning", "warning, OK", kTitle, "ELMSetPartNumberFromExtPdmCmd MsgWrongMaturity 2 params",
                       "Cancel"));

  auto failed = Run({}, {{"ELM_SERVER_URL", "http://127.0.0.1:1/"}});
  EXPECT_EQ(failed.exitCode, 0);
  // The failed request, the connection box, then the failure box, and nothing else.
  EXPECT_EQ(failed.out.rfind("[request] POST http://127.0.0.1:1/ELMRequest: no answer (Couldn't connect", 0), 0u)
      << failed.out;
  EXPECT_EQ(failed.out.substr(std::min(failed.out.find("[box]"), failed.out.size())),
            Box("ELMWarning", "warning, OK", kTitle, "ELMSetPartNumberFromExtPdmCmd MsgConnectFailed") +
                Box("ELMWarning", "error, OK", kTitle, "ELMSetPartNumberFromExtPdmCmd MsgFailed"));
}

TEST_F(ElmRun, SaveFailureFromTheSessionOptionIsShownAndLeavesTheFile) {
  EditSession("options", {{"saveError", "Database is read-only."}});
  std::string before = ReadFile(m_session);
  auto r = Run();
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_THAT(r.out, HasSubstr("[save] part: failed: Database is read-only.\n" +
                               Box("ELMWarning", "warning, OK", kTitle, "Database is read-only.")));
  EXPECT_EQ(ReadFile(m_session), before);
}

TEST_F(ElmRun, CheckServerNamesTheUrlThePlugInFoundOrThatThereIsNone) {
  auto ok = Elm({"check-server"}, {{"ELM_SERVER_URL", m_url}});
  EXPECT_EQ(ok.exitCode, 0) << ok.err;
  EXPECT_THAT(ok.out, HasSubstr("server answers: " + m_url));
  WriteFile("ELMOptions.settings", "ServerUrl = \"" + m_url + "\";\n");
  auto fromSettings = Elm({"check-server"});
  EXPECT_EQ(fromSettings.exitCode, 0) << fromSettings.err;
  EXPECT_THAT(fromSettings.out, HasSubstr("server answers: " + m_url + "\n"));
  auto fromSecondVariable = Elm({"check-server"}, {{"ELM_SERVERURL", "http://127.0.0.1:1/elm"}});
  EXPECT_EQ(fromSecondVariable.exitCode, 1);
  EXPECT_THAT(fromSecondVariable.err,
              HasSubstr("the server check failed: http://127.0.0.1:1/elm gave no valid answer"));
  WriteFile("ELMOptions.settings", "ServerUrl = \"\";\n");
  auto none = Elm({"check-server"});
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_THAT(none.err, HasSubstr("the server check failed: no server URL is configured"));
}
