#include "ElmFixture.h"

#include <gmock/gmock.h>
#include <nlohmann/json.hpp>

using testing::HasSubstr;
using testing::Not;

namespace {

class ElmScript : public elmtest::ElmFixture {
protected:
  elmtest::ProcessResult About(const std::string& script, std::map<std::string, std::string> env = {},
                               const std::vector<std::string>& extra = {}) {
    std::vector<std::string> args;
    if (!script.empty()) args = {"--script", WriteFile("script.json", script)};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunCommand("ELMAboutCmd", args, std::move(env));
  }
};

TEST_F(ElmScript, AboutChecksTheServerFromAScriptAndEveryStepIsPrintedAndLogged) {
  std::string url = StartServer();
  ASSERT_FALSE(url.empty());
  auto r = About(R"([{"dialog": "oak_about", "press": "ELMCheckServerButton"}, "OK",
                    {"dialog": "oak_about", "button": "Close"}])",
                 {{"ELM_SERVER_URL", url}}, {"--events", EventsFile()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out.rfind("[dialog] oak_about opened\n"
                        "  oak_about: \"\" (style 0x10000001)\n"
                        "    buttons: Close (default)\n",
                        0),
            0u)
      << r.out;
  EXPECT_THAT(r.out, HasSubstr("    ELMServerUrl (CATDlgLabel) row 6, col 0, span 3x1, just 0xa: \"" + url + "\"\n" +
                               "    ELMCheckServerButton (CATDlgPushButton) row 7, col 1, just 0xa\n"
                               "[action] step 1: press ELMCheckServerButton in oak_about\n" +
                               "[request] POST " + url + "ELMRequest: status 200\n" +
                               Box("ELMWarning", "information, OK, 0x200", "ElementPropertyPageDlg MsgTitle",
                                   "ElementPropertyPageDlg CheckServerOK") +
                               "[action] step 3: press the Close button of oak_about\n"
                               "[dialog] oak_about closed\n"));
  EXPECT_THAT(r.out, Not(HasSubstr("(open)")));

  std::vector<nlohmann::json> lines = EventLines();
  std::vector<std::string> kinds;
  for (const auto& e : lines) kinds.push_back(e["event"]);
  EXPECT_EQ(kinds, (std::vector<std::string>{"dialog-open", "dialog-action", "request", "box", "dialog-action",
                                             "dialog-close"}));
  const nlohmann::json& open = lines[0];
  EXPECT_EQ(open["name"], "oak_about");
  EXPECT_EQ(open["style"], 0x10000001);
  ASSERT_EQ(open["widgets"].size(), 11u);
  EXPECT_EQ(open["widgets"][7], nlohmann::json::parse(R"({
      "name": "ELMCheckServerButton", "kind": "CATDlgPushButton", "parent": "oak_about", "style": 0,
      "grid": {"row": 7, "column": 1, "columnSpan": 1, "rowSpan": 1, "justification": 10},
      "title": "", "help": "", "shortHelp": "", "longHelp": "", "sensitivity": 8, "visibility": 2, "state": {}})"));
  EXPECT_EQ(lines[1], nlohmann::json::parse(R"({"event": "dialog-action", "step": 1, "dialog": "oak_about",
                                                  "action": "press", "widget": "ELMCheckServerButton"})"));
  EXPECT_EQ(lines[4]["button"], "Close");
}

TEST_F(ElmScript, StepsThatCannotBeTakenEndTheRunWithTheirOwnStatus) {
  struct Case {
    const char* script;
    const char* error;
  } cases[] = {
      {R"([{"dialog": "oak_names_select", "button": "OK"}])",
       "step 1 (press the OK button of oak_names_select): the dialog \"oak_names_select\" is not open"},
      {R"([{"dialog": "oak_about", "check": "ELMVersion"}])",
       "step 1 (check ELMVersion in oak_about): \"ELMVersion\" of the dialog \"oak_about\" is a CATDlgLabel, not a "
       "check button"},
      {R"([{"dialog": "oak_about", "close": "window"}, {"dialog": "oak_about", "close": "window"}])",
       "step 2 (close oak_about): the dialog \"oak_about\" is not open"},
      {R"(["OK"])", "step 1 (answer OK): no message box is open"},
      // Without a server address the check button is insensitive.
      {R"([{"dialog": "oak_about", "press": "ELMCheckServerButton"}])",
       "script.json: step 1 (press ELMCheckServerButton in oak_about): "
       "\"ELMCheckServerButton\" of the dialog \"oak_about\" is insensitive\n"},
  };
  for (const auto& c : cases) {
    auto r = About(c.script);
    EXPECT_EQ(r.exitCode, 7) << c.script;
    EXPECT_THAT(r.err, HasSubstr(c.error)) << c.script;
    // The step that could not be taken is not reported as taken.
    const std::string error = c.error, step = error.substr(error.find("step "), error.find(" (") - error.find("step "));
    EXPECT_THAT(r.out, Not(HasSubstr("[action] " + step + ":"))) << c.script;
  }
}

TEST_F(ElmScript, ScriptsThatCannotBeReadAreRefusedBeforeTheCommandStarts) {
  // Each reason is the script reader's; here only that elm refuses before anything runs.
  auto r = About(R"([{"dialog": "oak_about", "click": "x"}])");
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_THAT(r.err, HasSubstr("script.json: at /0/click: unknown action \"click\"")) << r.err;
  EXPECT_EQ(r.out, "") << "nothing may run";
  auto both = About("[]", {}, {"--answers", WriteFile("answers.json", "[]")});
  EXPECT_EQ(both.exitCode, 2);
  auto dialogInAnswers =
      About("", {}, {"--answers", WriteFile("a.json", R"(["OK", {"dialog": "oak_about", "button": "Close"}])")});
  EXPECT_EQ(dialogInAnswers.exitCode, 3);
  EXPECT_THAT(dialogInAnswers.err, HasSubstr("a.json: at /1: an answers file holds box answers only"));
}

TEST_F(ElmScript, ElmSettlesTheModuleBeforeTheCommandAsTheClientDoes) {
  auto r = About("[]", {{"ELM_MODULE", ""}});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out.rfind(Box("ELMWarning", "error, OK", "ELMGlobal MsgTitle", "ELMGlobal ModuleMissing") +
                            "[dialog] oak_about opened\n",
                        0),
            0u)
      << r.out;
  // Still open when the script has run out: reported so, and the run ends.
  EXPECT_THAT(r.out, HasSubstr("[dialog] oak_about (open)\n"));
}

TEST_F(ElmScript, AnEventsFileThatCannotBeWrittenEndsTheRunWithStatusSix) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this machine";
  auto r = About("[]", {}, {"--events", "/dev/full"});
  EXPECT_EQ(r.exitCode, 6);
  EXPECT_THAT(r.err, HasSubstr("/dev/full: cannot be written: No space left on device"));
}

}  // namespace
