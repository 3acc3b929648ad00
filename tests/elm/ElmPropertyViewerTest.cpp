#include "ElmFixture.h"

#include <gmock/gmock.h>
#include <nlohmann/json.hpp>

using testing::HasSubstr;
using testing::Not;

namespace {

using Json = nlohmann::ordered_json;

class ElmPropertyViewer : public elmtest::ElmFixture {
protected:
  /// Runs the viewer on viewer.json with this selection, writing the events to events.jsonl.
  elmtest::ProcessResult Viewer(const Json& selection, std::map<std::string, std::string> env,
                                const Json& failing = Json::array()) {
    Json session = Json::parse(ReadFile(std::string(ELM_TEST_DATA_DIR) + "/sessions/viewer.json"));
    session["selection"] = selection;
    session["options"]["failingServices"] = failing;
    WriteFile("session.json", session.dump(2));
    return RunCommand("ELMShowPropertyViewerWindowCmd", {"--events", EventsFile()}, std::move(env));
  }
};

TEST_F(ElmPropertyViewer, ShowsTheStoredValuesAsTheyAreAndPrintsTheTypeTreeOnlyWhenAsked) {
  auto r = Viewer({"n-pump"}, {{"ELM_PRINT_CLASSHIRARCHY", "ON"}});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out.rfind("(1)+ <PLMEntity>  (PLM Entity)\n(2)+   <PLMCoreReference>  (Core Reference)\n", 0), 0u)
      << r.out;
  EXPECT_THAT(r.out, HasSubstr("(1)- <PLMEntity>  (PLM Entity)\n"));
  auto events = EventLines();
  ASSERT_FALSE(events.empty());
  const nlohmann::json& open = events[0];
  ASSERT_EQ(open["event"], "dialog-open");
  // The listing's every byte is the command test's; the event carries it.
  EXPECT_EQ(open["widgets"][0]["state"]["text"].get<std::string>().rfind(
                "\n' PLM_ExternalID'\t<Character string> -> \t'prd-pump'\n' V_description'\t", 0),
            0u);

  // Printed before anything else, so also with nothing selected; only for exactly "ON".
  auto nothing = Viewer(Json::array(), {{"ELM_PRINT_CLASSHIRARCHY", "ON"}});
  EXPECT_EQ(nothing.out.rfind("(1)+ <PLMEntity>", 0), 0u) << nothing.out;
  EXPECT_THAT(nothing.out, Not(HasSubstr("[dialog]")));
  // A time that cannot be read still leaves its line; the trace names the attribute.
  for (const char* value : {"on", "ON ", ""}) {
    auto quiet = Viewer({"n-pump"}, {{"ELM_PRINT_CLASSHIRARCHY", value}, {"ELM_DEBUG", "ON"}}, {"GetValueAsTime"});
    EXPECT_THAT(quiet.out, Not(HasSubstr("<PLMEntity>"))) << value;
    EXPECT_THAT(quiet.out, HasSubstr("): Failed to get originated\nELMDBX Function: "
                                     "ELMShowPropertyViewerWindowCmd::GeneratePLMCompAttributesDisplayString ("));
  }
}

TEST_F(ElmPropertyViewer, EachFailureIsTracedWhereItHappensAndARefusedSelectionShowsNothing) {
  struct Case {
    Json selection, failing;
    const char* where;
    bool window;
  } cases[] = {
      {Json::array(), Json::array(), "GeneratePLMCompAttrDispStrFromSel", false},
      {{"n-pump", "n-bare"}, Json::array(), "GeneratePLMCompAttrDispStrFromSel", false},
      // The identity's request succeeded without one: its success stands.
      {{"n-noid"}, Json::array(), "GeneratePLMCompAttrDispStrFromNavX", true},
      {{"n-pump"}, {"ListAttributesFromObject"}, "GeneratePLMCompAttrDispStrFromNavX", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.selection.dump() + c.failing.dump());
    auto r = Viewer(c.selection, {{"ELM_DEBUG", "ON"}}, c.failing);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr(std::string("ELMDBX Function: ELMShowPropertyViewerWindowCmd::") + c.where + " ("));
    EXPECT_EQ(r.out.find("[dialog]") != std::string::npos, c.window) << r.out;
    EXPECT_THAT(r.out, Not(HasSubstr("[box]")));
  }
}

}  // namespace
