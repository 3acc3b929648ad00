#include "ElmFixture.h"

#include <gmock/gmock.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <regex>
#include <set>
#include <sstream>

using testing::HasSubstr;

namespace {

using ElmNamedStructure = elmtest::ElmFixture;

/// The example: the chassis reduced to its front axle by the structure that
/// elm-server keeps for it; elm shows the removal and the tree left.
TEST_F(ElmNamedStructure, TheExampleScriptReducesTheChassisToItsFrontAxle) {
  UseSession(Example("sessions/chassis.json"));
  const std::string before = ReadFile(m_session);
  const std::string url = StartServer({Example("server/demo-seed.xml")});
  ASSERT_FALSE(url.empty());
  auto r = RunCommand("ELMNamedStructureCmd",
                      {"--script", Example("scripts/named-structure-front-axle.json"), "--events", EventsFile()},
                      {{"ELM_SERVER_URL", url},
                       {"ELMHOST_CATALOG_PATH", std::string(ELM_SOURCE_DIR) + "/resources/msg"},
                       {"ELM_DEBUG", "ON"}});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_THAT(r.out, HasSubstr("[tree] 2 branches removed (7 nodes): n-rear-axle, n-frame\n"));
  // The command traces its own operations only: the report and the branch
  // removal are steps of its stages, not scopes of their own.
  static const std::regex operation(
      "~?ELMNamedStructureCmd|Activate|Desactivate|Cancel|CancelCommand|ExpandAndFilter|RetrieveObjectsRecursive|"
      "SilverBrowseOccurrence|GetPartnumberFromOccurrence|GetInstanceNameFromOccurrence");
  static const std::regex scope(R"(^ ELM: ELMNamedStructureCmd::([A-Za-z~]+)\(\d+\) start$)");
  std::set<std::string> traced;
  std::istringstream out(r.out);
  for (std::string line; std::getline(out, line);)
    if (std::smatch m; std::regex_match(line, m, scope)) traced.insert(m[1]);
  EXPECT_TRUE(traced.count("ExpandAndFilter") && traced.count("SilverBrowseOccurrence")) << r.out;
  for (const std::string& name : traced) EXPECT_TRUE(std::regex_match(name, operation)) << name;
  // A dialog forms its resource file name within its constructor's scope.
  for (std::string dialog : {"ELMNamesSelectDialog", "ELMNamedStructureInfoDialog"})
    EXPECT_TRUE(std::regex_search(r.out, std::regex(" ELM: " + dialog + "::" + dialog +
                                                    R"(\(\d+\) start\n ELM: ELMGlobal::GetELMModulePrefix\()")))
        << dialog;
  // The second stage's documents are its own locals: they end after its report.
  const auto lastDocumentEnd = r.out.rfind(" ELM: ELMRequestXml::~ELMRequestXml(");
  ASSERT_NE(lastDocumentEnd, std::string::npos);
  EXPECT_GT(lastDocumentEnd, r.out.rfind(" ELM: ELMNamedStructureInfoDialog::AddMessages(")) << r.out;
  EXPECT_THAT(r.out, HasSubstr("[tree] after the run:\n"
                               "  PRD-1000 [n-chassis]\n"
                               "    PRD-1100 (PRD-1100.1) [n-front-axle]\n"
                               "      PRD-1110 (PRD-1110.1) [n-wheel-fl]\n"
                               "      PRD-1110 (PRD-1110.2) [n-wheel-fr]\n"
                               "      PRD-1120 (PRD-1120.1) [n-axle-beam]\n"))
      << r.out;
  EXPECT_THAT(r.out, HasSubstr("The named structure has been restored."));

  const auto lines = EventLines();
  auto change = std::find_if(lines.begin(), lines.end(), [](const nlohmann::json& e) { return e["event"] == "tree"; });
  ASSERT_NE(change, lines.end()) << r.out;
  EXPECT_EQ((*change)["removedBranches"], nlohmann::json::array({"n-rear-axle", "n-frame"}));
  EXPECT_EQ((*change)["removedNodes"], 7);
  // Only the view changed: the session file keeps every object and node.
  EXPECT_EQ(nlohmann::json::parse(ReadFile(m_session)), nlohmann::json::parse(before));
}

#ifdef ELM_GEN_EXE
/// A generated product 100,000 levels deep and its stored structure without
/// the deepest node, through elm-server and elm: nothing on the way recurses.
TEST_F(ElmNamedStructure, AHundredThousandLevelsDeepProductIsReducedThroughTheServer) {
  const std::string seed = (m_dir / "deep-seed.xml").string();
  auto generated =
      elmtest::RunProcess(ELM_GEN_EXE, {"--shape", "deep", "--nodes", "100000", "--leave-out", "99999", "--name",
                                        "Tiefe <über> & mehr", "--session", m_session, "--seed", seed});
  ASSERT_EQ(generated.exitCode, 0) << generated.err;
  const std::string url = StartServer({seed});
  ASSERT_FALSE(url.empty());
  const std::string script = WriteFile("script.json", R"([
    {"dialog": "oak_names_select", "pick": "OakNameSelector", "text": "Tiefe <über> & mehr"},
    {"dialog": "oak_names_select", "button": "OK"},
    {"dialog": "oak_named_structure_infos", "button": "Close"}])");
  auto r =
      RunCommand("ELMNamedStructureCmd", {"--script", script, "--events", EventsFile()}, {{"ELM_SERVER_URL", url}});
  ASSERT_EQ(r.exitCode, 0) << r.err.substr(0, 2000);
  EXPECT_THAT(r.out, HasSubstr("[tree] 1 branch removed (1 node): n99999\n"));
  // The deepest line left names its level instead of indenting it.
  EXPECT_THAT(r.out, HasSubstr("[level 99998] GEN-0-99998 (GEN-0-99998.1) [n99998]\n"));
  EXPECT_THAT(r.out, testing::Not(HasSubstr("[n99999]\n")));
}
#endif

}  // namespace
