#include "ElmFixture.h"

#include <gmock/gmock.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <functional>

using testing::HasSubstr;
using testing::Not;

namespace {

using Json = nlohmann::ordered_json;

class ElmPropertyViewer : public elmtest::ElmFixture {
protected:
  /// Runs the viewer on viewer.json as change leaves it.
  elmtest::ProcessResult Viewer(const std::function<void(Json&)>& change, std::map<std::string, std::string> env = {},
                                std::vector<std::string> extra = {}) {
    Json session = Json::parse(ReadFile(std::string(ELM_TEST_DATA_DIR) + "/sessions/viewer.json"));
    change(session);
    WriteFile("session.json", session.dump(2));
    std::vector<std::string> args{"run", "ELMShowPropertyViewerWindowCmd", "--session", m_session};
    args.insert(args.end(), extra.begin(), extra.end());
    return Elm(args, std::move(env));
  }
};

TEST_F(ElmPropertyViewer, ShowsTheSelectedComponentsAttributesExactlyAsStored) {
  const std::string events = (m_dir / "events.jsonl").string();
  auto r = Viewer([](Json&) {}, {},
                  {"--events", events, "--script",
                   WriteFile("script.json", R"([{"dialog": "property viewer", "button": "Close"}])")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_THAT(r.out, HasSubstr("[dialog] property viewer opened\n"
                               "  property viewer: \"\" (style 0x10020001)\n"
                               "    buttons: Close\n"
                               "    properiesEditor (CATDlgEditor) row 0, col 0, just 0x1e text \"\\n' PLM_ExternalID'"
                               "\\t<Character string> -> \\t'prd-pump'\\n' V_description'"));
  EXPECT_THAT(r.out, HasSubstr("[action] step 1: press the Close button of property viewer\n"
                               "[dialog] property viewer closed\n"));

  std::ifstream in(events);
  std::string first;
  ASSERT_TRUE(std::getline(in, first));
  Json open = Json::parse(first);
  ASSERT_EQ(open["event"], "dialog-open");
  EXPECT_EQ(open["resizableRows"], Json::array({0}));
  ASSERT_EQ(open["widgets"].size(), 1u);
  const Json& editor = open["widgets"][0];
  EXPECT_EQ(editor["style"], 0x4180000);
  EXPECT_EQ(editor["state"]["visibleTextHeight"], 50);
  EXPECT_EQ(editor["state"]["visibleTextWidth"], 30);
  EXPECT_EQ(editor["state"]["text"],
            "\n' PLM_ExternalID'\t<Character string> -> \t'prd-pump'"
            "\n' V_description'\t<Character string> -> \t'Tab\there\nsecond line: 'single' \"double\" Größe ✓ 日本'"
            "\n' originated'\t<Date and time> -> \t'03/02/2026 09:15:00 CET'"
            "\n' modified'\t<Date and time> -> \t'12/31/2025 23:59:59 UTC-05:00'"
            "\n' V_Weight'\t<Real number> -> \t'2.5'"
            "\n' V_Count'\t<Integer number> -> \t'-42'"
            "\n' V_Flag'\t<True or false> -> \t'true'"
            "\n");
}

TEST_F(ElmPropertyViewer, FailuresShowNothingAndTraceWhereTheyHappened) {
  struct Case {
    const char* what;
    std::function<void(Json&)> change;
    std::string traced;
    bool shown;
  } cases[] = {
      {"no tree window", [](Json& s) { s.erase("tree"), s.erase("selection"); },
       "ELMDBX Function: ELMShowPropertyViewerWindowCmd::Activate (", false},
      {"two objects selected", [](Json& s) { s["selection"] = {"n-pump", "n-bare"}; },
       "ELMDBX Function: ELMShowPropertyViewerWindowCmd::GeneratePLMCompAttrDispStrFromSel (", false},
      {"listing fails", [](Json& s) { s["options"]["failingServices"] = {"ListAttributesFromObject"}; },
       "ELMDBX Function: ELMShowPropertyViewerWindowCmd::GeneratePLMCompAttrDispStrFromNavX (", false},
      {"one read fails", [](Json& s) { s["options"]["failingServices"] = {"GetValueAsTime"}; },
       "): Failed to get originated\n"
       "ELMDBX Function: ELMShowPropertyViewerWindowCmd::GeneratePLMCompAttributesDisplayString (", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto r = Viewer(c.change, {{"ELM_DEBUG", "ON"}});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr(c.traced)) << r.out;
    EXPECT_EQ(r.out.find("[dialog] property viewer opened") != std::string::npos, c.shown) << r.out;
    EXPECT_THAT(r.out, Not(HasSubstr("[box]")));
  }
}

TEST_F(ElmPropertyViewer, PrintsTheTypeTreeWhenAskedEvenWithNothingSelected) {
  auto nothingSelected = [](Json& s) { s["selection"] = Json::array(); };
  auto r = Viewer(nothingSelected, {{"ELM_PRINT_CLASSHIRARCHY", "ON"}});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out.rfind("(1)+ <PLMEntity>  (PLM Entity)\n(2)+   <PLMCoreReference>  (Core Reference)\n", 0), 0u)
      << r.out;
  EXPECT_THAT(r.out, HasSubstr("(4)        <Drawing>  (Drawing)\n"));
  EXPECT_THAT(r.out, HasSubstr("(1)- <PLMEntity>  (PLM Entity)\n"));
  EXPECT_THAT(r.out, Not(HasSubstr("[dialog]")));

  for (const char* value : {"on", "ON ", ""}) {
    auto quiet = Viewer(nothingSelected, {{"ELM_PRINT_CLASSHIRARCHY", value}});
    EXPECT_THAT(quiet.out, Not(HasSubstr("<PLMEntity>"))) << value;
  }
}

}  // namespace
