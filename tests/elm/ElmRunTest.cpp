#include "ElmFixture.h"

#include <gmock/gmock.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <regex>

using testing::ElementsAre;
using testing::HasSubstr;

namespace {

class ElmRun : public elmtest::ElmFixture {
protected:
  void SetUp() override {
    ElmFixture::SetUp();
    m_url = StartServer();
    ASSERT_FALSE(m_url.empty()) << "elm-server did not start";
  }
  elmtest::ProcessResult Run(std::vector<std::string> extra = {}, std::map<std::string, std::string> env = {}) {
    std::vector<std::string> args{"run", "SetPartNumberFromExtPdmCmd", "--session", m_session};
    args.insert(args.end(), extra.begin(), extra.end());
    if (!env.count("ELM_SERVER_URL")) env["ELM_SERVER_URL"] = m_url;
    return Elm(args, env);
  }
  std::string m_url;
};

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
  EXPECT_THAT(first.out, HasSubstr("[box] ELMSuccess (plain, OK)\n"
                                   "  title:  ELMSetPartNumberFromExtPdmCmd MsgTitle\n"
                                   "  text:   ELMSetPartNumberFromExtPdmCmd MsgFinishedOK\n"
                                   "  answer: OK\n"));
  EXPECT_THAT(first.out, HasSubstr("[save] part: saved\n"));
  std::vector<nlohmann::json> lines = EventLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0]["event"], "request");
  EXPECT_EQ(lines[0]["method"], "POST");
  EXPECT_THAT(lines[0]["url"].get<std::string>(), HasSubstr("/ELMRequest"));
  EXPECT_THAT(lines[0]["request"].get<std::string>(),
              HasSubstr("<Attribute name=\"PartNumber\" value=\"prd-part\"/>"));
  EXPECT_EQ(lines[0]["status"], 200);
  EXPECT_THAT(lines[0]["response"].get<std::string>(),
              HasSubstr("value=\"" + number1 + "\""));
  EXPECT_EQ(lines[0]["error"], 0);
  EXPECT_EQ(lines[1]["event"], "save");
  EXPECT_EQ(lines[1]["objects"], nlohmann::json::array({"part"}));
  EXPECT_EQ(lines[1]["ok"], true);
  EXPECT_EQ(lines[2]["event"], "box");
  EXPECT_EQ(lines[2]["name"], "ELMSuccess");
  EXPECT_EQ(lines[2]["style"], "plain, OK");
  EXPECT_EQ(lines[2]["styleValue"], 0x100000);
  EXPECT_EQ(lines[2]["title"], "ELMSetPartNumberFromExtPdmCmd MsgTitle");
  EXPECT_EQ(lines[2]["answer"], "OK");

  auto second = Run();
  ASSERT_EQ(second.exitCode, 0) << second.err;
  std::string number2 = SessionAttribute("part", "PLM_ExternalID");
  EXPECT_EQ(TrailingNumber(number2), TrailingNumber(number1) + 1) << number1 << " then " << number2;
}

TEST_F(ElmRun, RefusalsAndFailuresStillExitZeroAndPrintEveryBox) {
  EditSession("selection", {"n-released"});
  std::string answers = WriteFile("answers.json", "[\"Cancel\"]");
  auto r = Run({"--answers", answers}, {{"ELM_SETPN_MATURITY", "IN_WORK"}});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out,
            "[box] ELMWarning (warning, OK)\n"
            "  title:  ELMSetPartNumberFromExtPdmCmd MsgTitle\n"
            "  text:   ELMSetPartNumberFromExtPdmCmd MsgWrongMaturity 2 params\n"
            "  answer: Cancel\n");

  auto failed = Run({}, {{"ELM_SERVER_URL", "http://127.0.0.1:1/"}});
  EXPECT_EQ(failed.exitCode, 0);
  // The failed request, the connection box, then the failure box, and nothing else.
  EXPECT_EQ(failed.out.rfind("[request] POST http://127.0.0.1:1/ELMRequest: no answer (Couldn't connect", 0), 0u)
      << failed.out;
  EXPECT_EQ(failed.out.substr(std::min(failed.out.find("[box]"), failed.out.size())),
            "[box] ELMWarning (warning, OK)\n"
            "  title:  ELMSetPartNumberFromExtPdmCmd MsgTitle\n"
            "  text:   ELMSetPartNumberFromExtPdmCmd MsgConnectFailed\n"
            "  answer: OK\n"
            "[box] ELMWarning (error, OK)\n"
            "  title:  ELMSetPartNumberFromExtPdmCmd MsgTitle\n"
            "  text:   ELMSetPartNumberFromExtPdmCmd MsgFailed\n"
            "  answer: OK\n");
}

TEST_F(ElmRun, SaveFailureFromTheSessionOptionIsShownAndLeavesTheFile) {
  EditSession("options", {{"saveError", "Database is read-only."}});
  std::string before = ReadFile(m_session);
  auto r = Run();
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_THAT(r.out, HasSubstr("[save] part: failed: Database is read-only.\n"
                               "[box] ELMWarning (warning, OK)\n"
                               "  title:  ELMSetPartNumberFromExtPdmCmd MsgTitle\n"
                               "  text:   Database is read-only.\n"));
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
  EXPECT_THAT(fromSecondVariable.err, HasSubstr("the server check failed: http://127.0.0.1:1/elm gave no valid answer"));
  WriteFile("ELMOptions.settings", "ServerUrl = \"\";\n");
  auto none = Elm({"check-server"});
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_THAT(none.err, HasSubstr("the server check failed: no server URL is configured"));
}
