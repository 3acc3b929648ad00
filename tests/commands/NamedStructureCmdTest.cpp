#include "CommandFixture.h"

#include "CATCSO.h"
#include "CATDlgCombo.h"
#include "CATDlgDialog.h"
#include "CATDlgEditor.h"
#include "CATFrmEditor.h"
#include "CATPathElement.h"

#include <gmock/gmock.h>

#include <sstream>

using testing::ElementsAre;
using testing::IsEmpty;

namespace {

const char* const kOk = "ELMNamedStructureCmd MsgFinishedOK";
const char* const kFailed = "ELMNamedStructureCmd MsgFailed";
const char* const kUnhandled = "Unhandled Elements found:";

// Every node of the session's tree, in tree order.
const std::vector<std::string> kWholeTree = {"n-root",  "n-a",     "n-a1",    "n-a2", "n-b", "n-b1",
                                             "n-twin1", "n-twin2", "n-shape", "n-c",  "n-c1"};

using elmtest::ResponseAnswer;

std::string NamesAnswer(const std::string& joined) {
  return ResponseAnswer("GetStructureNames", "<Attribute name=\"OakNames\" value=\"" + joined + "\"/>");
}

class NamedStructure : public elmtest::CommandFixture {
protected:
  void SetUp() override {
    CommandFixture::SetUp();
    UseSession("namedstructure.json");
    m_names = NamesAnswer("First@EOL@Second");
  }

  // The server: names for the first request, m_structure for the second.
  void Serve() {
    SetAnswerer([names = m_names, structure = m_structure](const std::string& body) {
      return elmtest::ParseRequest(body).name == "GetStructureNames" ? names
                                                                     : ResponseAnswer("GetStructureForName", structure);
    });
  }
  // Picks line `line` of the names dialog, confirms it and leaves the report open.
  void RunPicking(int line) {
    SetScript(R"([{"dialog": "oak_names_select", "pick": "OakNameSelector", "line": )" + std::to_string(line) +
              R"(}, {"dialog": "oak_names_select", "button": "OK"}])");
    Serve();
    Run("ELMNamedStructureCmd");
  }
  void RunWithStructure(const std::string& structure) {
    m_structure = structure;
    RunPicking(1);
  }

  std::vector<std::string> Report() const {
    std::vector<std::string> lines;
    CATDlgDialog* dialog = elmhost::FindDialog("oak_named_structure_infos");
    auto* editor = dynamic_cast<CATDlgEditor*>(dialog ? elmhost::FindWidget(dialog, "MessageList") : nullptr);
    if (!editor) return {"<no report>"};
    std::istringstream text(editor->GetText().Utf8());
    for (std::string line; std::getline(text, line);) lines.push_back(line);
    if (!editor->GetText().Utf8().empty() && editor->GetText().Utf8().back() == '\n') lines.push_back("");
    return lines;
  }
  std::vector<std::string> Tree() const {
    std::vector<std::string> ids;
    m_plm->VisitTree([&ids](const elmhost::PLMSession::TreeLine& node) { ids.push_back(node.id); });
    return ids;
  }
  static std::vector<std::string> Without(std::vector<std::string> removed) {
    std::vector<std::string> out;
    for (const std::string& id : kWholeTree)
      if (std::find(removed.begin(), removed.end(), id) == removed.end()) out.push_back(id);
    return out;
  }
  std::vector<std::string> SelectedIds() const {
    std::vector<std::string> ids;
    CATCSO* cso = m_plm->WindowEditor()->GetCSO();
    cso->InitElementList();
    while (CATPathElement* path = cso->NextElement()) ids.push_back(path->GetSize() > 0 ? "path" : "empty");
    return ids;
  }

  std::string m_names;
  std::string m_structure;
};

TEST_F(NamedStructure, TheChosenStructureReducesTheTreeAndTheReportFollows) {
  RunWithStructure(R"(<ELMNamedStructure><O pn="ROOT-1" in="ROOT-1">
      <O pn="A-100" in="A-100.1"><O pn="L-1" in="L-1.1"/></O><O pn="T-1" in="T-1.1"/>
      <O pn="Z-9" in="Z-9.1"><O pn="Z-10" in="Z-10.1"/></O></O></ELMNamedStructure>)");
  EXPECT_EQ(Requests(), (elmtest::ReceivedRequests{
                            {"GetStructureNames", {{"ContextPartNumber", "ROOT-1"}}},
                            {"GetStructureForName", {{"ContextPartNumber", "ROOT-1"}, {"OakName", "Second"}}}}));
  EXPECT_THAT(OpenedDialogs(), ElementsAre("oak_names_select", "oak_named_structure_infos"));
  // Both twins meet the one stored T-1; the shape takes no part; what is
  // missing from the structure goes with its whole branch.
  EXPECT_EQ(Tree(), Without({"n-a2", "n-b", "n-b1", "n-c", "n-c1"}));
  EXPECT_TRUE(m_plm->TreeChanged());
  EXPECT_THAT(Report(), ElementsAre(kOk, "", kUnhandled, "Z-9(Z-9.1)", "Z-10(Z-10.1)"));
  // The removal takes the selection the command made; the objects stay.
  EXPECT_THAT(SelectedIds(), IsEmpty());
  EXPECT_THAT(BoxList(), IsEmpty());
}

TEST_F(NamedStructure, MatchingFollowsTheStoredStructureCaseByCase) {
  struct Row {
    const char* what;
    const char* structure;
    std::vector<std::string> removed;
    std::vector<std::string> unhandled;
  } table[] = {
      {"a top element whose instance differs never meets the root",
       R"(<O pn="ROOT-1" in="other"><O pn="A-100" in="A-100.1"/><O pn="B-200" in="B-200.1"/></O>)",
       {},
       {"A-100(A-100.1)", "B-200(B-200.1)"}},
      {"the first of two equal stored siblings takes every match",
       R"(<O pn="ROOT-1" in="ROOT-1"><O pn="A-100" in="A-100.1"/><O pn="A-100" in="A-100.1"><O pn="L-1" in="L-1.1"/></O>
          <O pn="B-200" in="B-200.1"><O pn="L-1" in="L-1.3"/></O><O pn="T-1" in="T-1.1"/><O pn="C-300" in=""/></O>)",
       {"n-a1", "n-a2"},
       {"A-100(A-100.1)", "L-1(L-1.1)"}},
      {"letter case counts",
       R"(<O pn="ROOT-1" in="ROOT-1"><O pn="a-100" in="A-100.1"/><O pn="B-200" in="B-200.1"><O pn="L-1" in="L-1.3"/></O>
          <O pn="T-1" in="T-1.1"/><O pn="C-300" in=""/></O>)",
       {"n-a", "n-a1", "n-a2"},
       {"a-100(A-100.1)"}},
      {"an empty instance name meets an empty stored one and nothing below it is matched or removed",
       R"(<O pn="ROOT-1" in="ROOT-1"><O pn="C-300" in=""><O pn="L-1" in="L-1.4"/></O></O>)",
       {"n-a", "n-a1", "n-a2", "n-b", "n-b1", "n-twin1", "n-twin2"},
       {"L-1(L-1.4)"}},
      {"foreign elements are skipped with everything beneath them",
       R"(<O pn="ROOT-1" in="ROOT-1"><X><O pn="B-200" in="B-200.1"/></X><O pn="A-100" in="A-100.1"><!-- note --><Y/>
          <O pn="L-1" in="L-1.1"/><O pn="L-1" in="L-1.2"/></O>text<O pn="T-1" in="T-1.1"/><O pn="C-300" in=""/></O>)",
       {"n-b", "n-b1"},
       {}},
      {"missing attributes read as empty names",
       R"(<O pn="ROOT-1" in="ROOT-1"><O in="A-100.1"/><O pn="B-200"/></O>)",
       {"n-a", "n-a1", "n-a2", "n-b", "n-b1", "n-twin1", "n-twin2", "n-c", "n-c1"},
       {"(A-100.1)", "B-200()"}},
      {"only the first top element takes part; the second is not reported",
       R"(<O pn="ROOT-1" in="ROOT-1"><O pn="B-200" in="B-200.1"/></O><O pn="ROOT-1" in="ROOT-1"><O pn="Q" in="Q.1"/></O>)",
       {"n-a", "n-a1", "n-a2", "n-b1", "n-twin1", "n-twin2", "n-c", "n-c1"},
       {}},
  };
  for (const Row& row : table) {
    SCOPED_TRACE(row.what);
    ResetHost();
    RunWithStructure(std::string("<ELMNamedStructure>") + row.structure + "</ELMNamedStructure>");
    EXPECT_EQ(Tree(), Without(row.removed));
    std::vector<std::string> report{kOk, ""};
    if (!row.unhandled.empty()) report.push_back(kUnhandled);
    report.insert(report.end(), row.unhandled.begin(), row.unhandled.end());
    EXPECT_EQ(Report(), report);
  }
}

TEST_F(NamedStructure, WithNothingToRemoveTheHostCommandIsNotStarted) {
  RunWithStructure(R"(<ELMNamedStructure><O pn="ROOT-1" in="ROOT-1"><O pn="A-100" in="A-100.1"><O pn="L-1" in="L-1.1"/>
      <O pn="L-1" in="L-1.2"/></O><O pn="B-200" in="B-200.1"><O pn="L-1" in="L-1.3"/></O><O pn="T-1" in="T-1.1"/>
      <O pn="C-300" in=""/></O></ELMNamedStructure>)");
  EXPECT_EQ(Tree(), kWholeTree);
  EXPECT_FALSE(m_plm->TreeChanged());
  // The user's selection is untouched: nothing was selected for removal.
  EXPECT_THAT(SelectedIds(), ElementsAre("path"));
  EXPECT_THAT(Report(), ElementsAre(kOk, ""));
}

// The session file may say per reference what the navigator's yes/no
// query answers: a product marked as a representation stays out of
// matching, and a shape marked as none takes part like any product.
TEST_F(NamedStructure, TheRepresentationFlagOfAReferenceDecidesWhetherItTakesPart) {
  for (auto& object : Session()["objects"]) {
    if (object["id"] == "a") object["representation"] = true;
    if (object["id"] == "shape") object["representation"] = false;
  }
  RunWithStructure(R"(<ELMNamedStructure><O pn="ROOT-1" in="ROOT-1"><O pn="A-100" in="A-100.1"/>
      <O pn="B-200" in="B-200.1"><O pn="L-1" in="L-1.3"/></O><O pn="T-1" in="T-1.1"/><O pn="C-300" in=""/></O>
      </ELMNamedStructure>)");
  EXPECT_EQ(Tree(), Without({"n-shape"}));
  EXPECT_THAT(Report(), ElementsAre(kOk, "", kUnhandled, "A-100(A-100.1)"));
}

// Enough siblings that the children are found through their index: the
// first stored sibling in list order still takes every match.
TEST_F(NamedStructure, AmongManySiblingsTheFirstEqualStoredElementTakesTheMatch) {
  auto& objects = Session()["objects"];
  auto& children = Session()["tree"]["children"];
  children = nlohmann::ordered_json::array();
  Select({});
  std::string structure = R"(<ELMNamedStructure><O pn="ROOT-1" in="ROOT-1">)";
  for (int i = 0; i < 40; ++i) {
    const std::string n = std::to_string(i);
    objects.push_back({{"id", "ref" + n}, {"type", "VPMReference"}, {"attributes", {{"PLM_ExternalID", "P-" + n}}}});
    objects.push_back(
        {{"id", "inst" + n}, {"type", "VPMInstance"}, {"attributes", {{"PLM_ExternalID", "P-" + n + ".1"}}}});
    nlohmann::ordered_json child = {{"id", "n" + n}, {"reference", "ref" + n}, {"instance", "inst" + n}};
    if (i == 7) child["children"] = {{{"id", "n7-leaf"}, {"reference", "leaf"}, {"instance", "i-a1"}}};
    children.push_back(child);
    // A twin of 7 right after it asks for P-7 again while the second copy
    // is next in stored order: the first copy still answers.
    if (i == 7) children.push_back({{"id", "n7-twin"}, {"reference", "ref7"}, {"instance", "inst7"}});
    // P-7 is stored twice: the first copy without the leaf, the second with
    // it. Sibling 30 is stored in the wrong letter case; 39 not at all.
    if (i == 7) structure += R"(<O pn="P-7" in="P-7.1"/>)";
    if (i == 30)
      structure += R"(<O pn="p-30" in="P-30.1"/>)";
    else if (i != 39)
      structure += "<O pn=\"P-" + n + "\" in=\"P-" + n + ".1\"" + (i == 7 ? "><O pn=\"L-1\" in=\"L-1.1\"/></O>" : "/>");
  }
  RunWithStructure(structure + "</O></ELMNamedStructure>");
  std::vector<std::string> tree = Tree();
  for (const char* gone : {"n7-leaf", "n30", "n39"})
    EXPECT_EQ(std::find(tree.begin(), tree.end(), gone), tree.end()) << gone;
  EXPECT_NE(std::find(tree.begin(), tree.end(), "n7-twin"), tree.end());
  EXPECT_EQ(tree.size(), 1u + 41u - 2u);
  EXPECT_THAT(Report(), ElementsAre(kOk, "", kUnhandled, "P-7(P-7.1)", "L-1(L-1.1)", "p-30(P-30.1)"));
}

TEST_F(NamedStructure, TheLastStructureElementOfTheAnswerIsUsed) {
  RunWithStructure(R"(<ELMNamedStructure><O pn="ROOT-1" in="ROOT-1"><O pn="A-100" in="A-100.1"/></O></ELMNamedStructure>
      <ELMNamedStructure><O pn="ROOT-1" in="ROOT-1"><O pn="B-200" in="B-200.1"/><O pn="X" in="X.1"/></O></ELMNamedStructure>)");
  EXPECT_EQ(Tree(), Without({"n-a", "n-a1", "n-a2", "n-b1", "n-twin1", "n-twin2", "n-c", "n-c1"}));
  EXPECT_THAT(Report(), ElementsAre(kOk, "", kUnhandled, "X(X.1)"));
}

TEST_F(NamedStructure, FirstStageOutcomesEachGiveTheirReport) {
  using Json = nlohmann::ordered_json;
  auto unchanged = [](Json&) {};
  auto emptyRootId = [](Json& s) { s["objects"][0]["attributes"]["PLM_ExternalID"] = ""; };
  auto noEditedRoot = [](Json& s) { s["options"]["failingServices"] = {"GetEditedRootPLMComponents"}; };
  auto noIdentity = [](Json& s) { s["objects"][0]["identificator"] = false; };
  const std::string errors =
      ResponseAnswer("GetStructureNames",
                     R"(<Error code="7">first</Error><Message code="1">note</Message><Error code="3">second</Error>)");
  const std::string a = NamesAnswer("A");
  struct Row {
    const char* what;
    std::function<void(Json&)> change;
    std::string names;  // empty: the server does not answer
    std::vector<std::string> report;
    std::size_t requests;
  } table[] = {
      {"no names stored", unchanged, NamesAnswer(""), {kOk, "", "NoStoredNamesFound"}, 1},
      {"errors in the server's order, messages left out", unchanged, errors, {kFailed, "", "first", "second"}, 1},
      {"the server does not answer", unchanged, "", {kFailed, ""}, 0},
      {"an empty root identifier", emptyRootId, a, {kOk, "", "RootNotExpanded"}, 0},
      {"no edited root", noEditedRoot, a, {kFailed, ""}, 0},
      {"a root without a PLM identity", noIdentity, a, {kFailed, ""}, 1},
  };
  for (const Row& row : table) {
    SCOPED_TRACE(row.what);
    Restart(row.change);
    m_names = row.names;
    Serve();
    Prepare("ELMNamedStructureCmd");
    if (row.names.empty()) m_env.Set("ELM_SERVER_URL", "http://127.0.0.1:1/");
    m_dispatch->StartCommand(m_command);
    m_played = m_player->PlayAll([] {});
    ASSERT_TRUE(m_played.ok) << m_played.error;
    EXPECT_EQ(Report(), row.report);
    EXPECT_EQ(Requests().size(), row.requests);
    EXPECT_EQ(elmhost::FindDialog("oak_names_select"), nullptr);
  }
}

TEST_F(NamedStructure, AnotherWorkshopGetsOnlyTheWarningBox) {
  Session()["workshop"] = "PartDesignWorkshop";
  Serve();
  Run("ELMNamedStructureCmd");
  EXPECT_THAT(BoxList(), ElementsAre(elmtest::ErrorBox("MsgWrongWorkshop")));
  EXPECT_THAT(BoxTitles(), ElementsAre("MsgTitle"));
  EXPECT_THAT(Requests(), IsEmpty());
  EXPECT_THAT(OpenedDialogs(), IsEmpty());
}

TEST_F(NamedStructure, TheNamesDialogOffersTheNamesAndEndsQuietlyWhenClosed) {
  m_names = NamesAnswer("Ä &lt;early&gt;@EOL@Second@EOL@Third");
  Serve();
  SetScript(R"([{"dialog": "oak_names_select", "close": "window"}])");
  Prepare("ELMNamedStructureCmd");
  StartCommand();
  CATDlgDialog* dialog = elmhost::FindDialog("oak_names_select");
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->GetStyle(), 0x400601ul);
  auto* combo = dynamic_cast<CATDlgCombo*>(elmhost::FindWidget(dialog, "OakNameSelector"));
  ASSERT_NE(combo, nullptr);
  EXPECT_THAT(elmtest::ComboLines(*combo), ElementsAre("Ä <early>", "Second", "Third"));
  EXPECT_EQ(combo->GetVisibleTextWidth(), 20);

  m_played = m_player->PlayAll([] {});
  ASSERT_TRUE(m_played.ok) << m_played.error;
  EXPECT_EQ(elmhost::FindDialog("oak_names_select"), nullptr);
  EXPECT_EQ(elmhost::FindDialog("oak_named_structure_infos"), nullptr);
  EXPECT_EQ(Requests().size(), 1u);
  EXPECT_FALSE(m_plm->TreeChanged());
}

TEST_F(NamedStructure, ConfirmingWithoutAChoiceFailsWithoutASecondRequest) {
  SetScript(R"([{"dialog": "oak_names_select", "button": "OK"}])");
  Serve();
  Run("ELMNamedStructureCmd");
  EXPECT_THAT(Report(), ElementsAre(kFailed, ""));
  EXPECT_EQ(Requests().size(), 1u);
}

TEST_F(NamedStructure, AnswersWithoutAUsableStructureFail) {
  for (const char* structure : {"", "<ELMNamedStructure/>", "<Other><O pn=\"ROOT-1\" in=\"ROOT-1\"/></Other>",
                                "<ELMNamedStructure><X/>text</ELMNamedStructure>"}) {
    SCOPED_TRACE(structure);
    ResetHost();
    RunWithStructure(structure);
    EXPECT_THAT(Report(), ElementsAre(kFailed, ""));
    EXPECT_EQ(Tree(), kWholeTree);
  }
}

// A product and its stored structure nested far deeper than any call stack:
// the walk neither overflows nor slows down with depth.
TEST_F(NamedStructure, HundredThousandLevelsDeepRemoveTheOneUnstoredLeaf) {
  constexpr int kDepth = 100000;
  // Written as text: a JSON writer would recurse once per level.
  std::string session = R"({"objects": [
    {"id": "r", "type": "VPMReference", "attributes": {"PLM_ExternalID": "ROOT-1"}},
    {"id": "p", "type": "VPMReference", "attributes": {"PLM_ExternalID": "P"}},
    {"id": "i", "type": "VPMInstance", "attributes": {"PLM_ExternalID": "P.1"}},
    {"id": "j", "type": "VPMInstance", "attributes": {"PLM_ExternalID": "P.2"}}],
  "tree": {"id": "n0", "reference": "r", "children": [)";
  for (int d = 1; d <= kDepth; ++d)
    session += R"({"id": "n)" + std::to_string(d) + R"(", "reference": "p", "instance": ")" +
               (d == kDepth ? "j\"" : "i\", \"children\": [");
  session += "}";
  for (int d = 1; d < kDepth; ++d) session += "]}";
  session += "]}}";
  SetSessionText(std::move(session));

  std::string structure = R"(<ELMNamedStructure><O pn="ROOT-1" in="ROOT-1">)";
  for (int d = 1; d < kDepth; ++d) structure += R"(<O pn="P" in="P.1">)";
  for (int d = 1; d < kDepth; ++d) structure += "</O>";
  structure += "</O></ELMNamedStructure>";
  RunWithStructure(structure);
  EXPECT_THAT(Report(), ElementsAre(kOk, ""));
  std::vector<std::string> tree = Tree();
  ASSERT_EQ(tree.size(), static_cast<std::size_t>(kDepth));
  EXPECT_EQ(tree.back(), "n" + std::to_string(kDepth - 1));
  // Dropping the whole session, with its deep tree and paths, must not recurse either.
  ResetHost();
}

}  // namespace
