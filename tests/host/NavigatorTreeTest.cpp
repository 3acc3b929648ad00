#include "CATAfrStartCommand.h"
#include "CATCSO.h"
#include "CATFrmEditor.h"
#include "CATIBuildPath.h"
#include "CATIPLMNavEntity.h"
#include "CATListValCATUnicodeString.h"
#include "CATPLMComponentInterfacesServices.h"
#include "CATPathElement.h"
#include "ELMHostDispatch.h"
#include "ELMHostPLMSession.h"

#include "LoopbackServer.h"
#include "SessionSupport.h"

#include <gmock/gmock.h>
#include <nlohmann/json.hpp>

#include <memory>
#include <string>
#include <vector>

using testing::ElementsAre;

namespace {

// Two roots; the first holds a nested assembly, a shape and a product that
// the file marks as a representation, the second a single part.
const char* const kSession = R"json({
  "objects": [
    { "id": "top", "type": "VPMReference", "attributes": { "PLM_ExternalID": "TOP", "V_Name": "Top" } },
    { "id": "asm", "type": "VPMReference", "attributes": { "PLM_ExternalID": "ASM" } },
    { "id": "part", "type": "VPMReference", "attributes": { "PLM_ExternalID": "PART" } },
    { "id": "shape", "type": "3DShape", "attributes": { "PLM_ExternalID": "SHP" } },
    { "id": "marked", "type": "VPMReference", "representation": true, "attributes": { "PLM_ExternalID": "MRK" } },
    { "id": "other", "type": "VPMReference", "attributes": { "PLM_ExternalID": "OTHER" } },
    { "id": "i-asm", "type": "VPMInstance", "attributes": { "PLM_ExternalID": "ASM.1" } },
    { "id": "i-part", "type": "VPMInstance", "attributes": { "PLM_ExternalID": "PART.1" } },
    { "id": "i-part2", "type": "VPMInstance", "attributes": { "PLM_ExternalID": "PART.2" } },
    { "id": "i-shape", "type": "VPMRepInstance", "attributes": { "PLM_ExternalID": "SHP.1" } },
    { "id": "i-marked", "type": "VPMInstance", "attributes": { "PLM_ExternalID": "MRK.1" } },
    { "id": "i-other", "type": "VPMInstance", "attributes": { "PLM_ExternalID": "OTHER.1" } }
  ],
  "tree": [
    { "id": "n-top", "reference": "top", "children": [
      { "id": "n-asm", "reference": "asm", "instance": "i-asm", "children": [
        { "id": "n-part", "reference": "part", "instance": "i-part" } ] },
      { "id": "n-part2", "reference": "part", "instance": "i-part2" },
      { "id": "n-shape", "reference": "shape", "instance": "i-shape" },
      { "id": "n-marked", "reference": "marked", "instance": "i-marked" } ] },
    { "id": "n-other-top", "reference": "other", "children": [
      { "id": "n-other", "reference": "other", "instance": "i-other" } ] }
  ]
})json";

const std::vector<std::string> kNodes = {"n-top",   "n-asm",    "n-part",      "n-part2",
                                         "n-shape", "n-marked", "n-other-top", "n-other"};

class NavigatorTree : public ::testing::Test {
protected:
  void SetUp() override {
    m_session = elmtest::SessionFromFile(m_path);
    ASSERT_TRUE(m_session);
    m_session->SetTreeObserver([this](const elmhost::TreeChange& c) { m_changes.push_back(c); });
  }

  CATBaseUnknown* Node(const std::string& id) { return m_session->Find(id); }
  std::string IdOf(CATBaseUnknown* object) {
    for (const std::string& id : kNodes)
      if (CATBaseUnknown_var(Node(id)) == CATBaseUnknown_var(object)) return id;
    return "?";
  }
  std::vector<std::string> Ids(CATPathElement* path) {
    std::vector<std::string> ids;
    for (int i = 1; i <= path->GetSize(); ++i) ids.push_back(IdOf((*path)[i]));
    return ids;
  }
  /// The node's path as CATIBuildPath builds it, by ids; "<failed>" on failure.
  std::vector<std::string> PathOf(const std::string& id, CATPathElement* context) {
    CATIBuildPath_var builder(Node(id));
    CATPathElement* path = nullptr;
    if (!builder || FAILED(builder->ExtractPathElement(context, path)) || !path) return {"<failed>"};
    std::vector<std::string> ids = Ids(path);
    path->Release();
    return ids;
  }
  CATPathElement_var PathOfIds(const std::vector<std::string>& ids) {
    CATPathElement_var path = CATMakeVar<CATPathElement>();
    for (const std::string& id : ids) path->AddChildElement(Node(id));
    return path;
  }
  std::vector<std::string> TreeIds() {
    std::vector<std::string> ids;
    m_session->VisitTree([&](const elmhost::PLMSession::TreeLine& line) { ids.push_back(line.id); });
    return ids;
  }
  void Select(const std::vector<std::vector<std::string>>& paths) {
    CATCSO* cso = CATFrmEditor::GetCurrentEditor()->GetCSO();
    cso->Empty(1);
    for (const auto& p : paths) cso->AddElement(PathOfIds(p).get(), 1);
  }

  elmtest::ScratchDir m_dir;
  const std::string m_path = m_dir.Write("navigator.json", kSession);
  elmhost::Dispatch m_dispatch;
  std::vector<elmhost::TreeChange> m_changes;  // outlives the session that tells it
  std::unique_ptr<elmhost::PLMSession> m_session;
};

TEST_F(NavigatorTree, PathsAreBuiltFromTheTopOrFromAContextThatLeadsToTheNode) {
  CATFrmEditor* editor = CATFrmEditor::GetCurrentEditor();
  ASSERT_NE(editor, nullptr);
  // The editor's active object is its first root.
  EXPECT_THAT(Ids(&editor->GetUIActiveObject()), ElementsAre("n-top"));
  struct Row {
    const char* node;
    std::vector<std::string> context;
    std::vector<std::string> path;
  } table[] = {
      {"n-part", {}, {"n-top", "n-asm", "n-part"}},
      {"n-part", {"n-top"}, {"n-top", "n-asm", "n-part"}},
      {"n-part", {"n-top", "n-asm"}, {"n-top", "n-asm", "n-part"}},
      {"n-asm", {"n-asm"}, {"n-asm"}},
      {"n-other", {"n-other-top"}, {"n-other-top", "n-other"}},
      {"n-other", {"n-top"}, {"<failed>"}},
      {"n-part2", {"n-asm"}, {"<failed>"}},
  };
  for (const Row& row : table) {
    SCOPED_TRACE(row.node);
    CATPathElement_var context = PathOfIds(row.context);
    EXPECT_EQ(PathOf(row.node, row.context.empty() ? nullptr : context.get()), row.path);
  }
  // A context on the caller's stack is copied, not kept.
  EXPECT_EQ(PathOf("n-part", &editor->GetUIActiveObject()), (std::vector<std::string>{"n-top", "n-asm", "n-part"}));
}

TEST_F(NavigatorTree, TheRemoveBranchCommandTakesTheSelectedBranchesOutOfTheViewOnly) {
  // A branch inside another selected one, and a whole root, go with them.
  Select({{"n-top", "n-part2"}, {"n-top", "n-asm"}, {"n-top", "n-asm", "n-part"}, {"n-other-top"}});
  ASSERT_NE(CATAfrStartCommand("CATImmRemoveBranchCmd"), nullptr);
  // The caller does not wait: the command runs from the dispatch.
  EXPECT_EQ(TreeIds(), kNodes);
  m_dispatch.RunUntilIdle();
  EXPECT_THAT(TreeIds(), ElementsAre("n-top", "n-shape", "n-marked"));
  ASSERT_EQ(m_changes.size(), 1u);
  EXPECT_THAT(m_changes[0].removedBranches, ElementsAre("n-asm", "n-part2", "n-other-top"));
  EXPECT_EQ(m_changes[0].removedNodes, 5u);
  EXPECT_TRUE(m_session->TreeChanged());
  CATFrmEditor* editor = CATFrmEditor::GetCurrentEditor();
  EXPECT_EQ(editor->GetCSO()->GetSize(), 0);
  CATListValCATBaseUnknown_var roots;
  ASSERT_TRUE(SUCCEEDED(CATPLMComponentInterfacesServices::GetEditedRootPLMComponents(editor, roots)));
  ASSERT_EQ(roots.Size(), 1);
  EXPECT_EQ(CATBaseUnknown_var(roots[1]), CATBaseUnknown_var(m_session->Find("top")));
  // Removed nodes are out of every path; their objects stay in the session.
  EXPECT_THAT(PathOf("n-part", nullptr), ElementsAre("<failed>"));
  EXPECT_NE(m_session->Find("asm"), nullptr);

  // Nothing selected, or a node already gone: nothing to hear.
  Select({{"n-top", "n-asm"}});
  CATAfrStartCommand("CATImmRemoveBranchCmd");
  m_dispatch.RunUntilIdle();
  EXPECT_EQ(m_changes.size(), 1u);
  EXPECT_EQ(CATAfrStartCommand("NoSuchCommand"), nullptr);

  // Saving writes the objects, and the tree as the file had it.
  std::string error;
  ASSERT_TRUE(m_session->SaveObjects({m_session->FindObject("part")}, error)) << error;
  EXPECT_EQ(nlohmann::json::parse(elmtest::ReadFile(m_path)), nlohmann::json::parse(kSession));
}

TEST_F(NavigatorTree, TheYesNoQueryAnswersWhetherAReferenceIsARepresentation) {
  struct Row {
    const char* object;
    int answer;
  } table[] = {{"top", 0}, {"shape", 1}, {"marked", 1}, {"i-shape", 0}};
  for (const Row& row : table) {
    SCOPED_TRACE(row.object);
    CATIPLMNavEntity_var entity(m_session->Find(row.object));
    ASSERT_TRUE(!!entity);
    int answer = 7;
    EXPECT_EQ(entity->IsRepReference(answer), S_OK);
    EXPECT_EQ(answer, row.answer);
  }
  CATListValCATUnicodeString names{"PLM_ExternalID", "V_Name"}, values;
  EXPECT_EQ(CATIPLMNavEntity_var(m_session->Find("top"))->GetAttributeValues(names, values), S_OK);
  EXPECT_EQ(elmtest::Texts(values), (std::vector<std::string>{"TOP", "Top"}));
  // All or nothing: a name the object lacks fails the whole list.
  CATListValCATUnicodeString none;
  EXPECT_EQ(CATIPLMNavEntity_var(m_session->Find("asm"))->GetAttributeValues(names, none), E_FAIL);
  EXPECT_EQ(none.Size(), 0);
}

// A tree as deep as a session file allows: paths, removal and the end of
// the session walk it without recursion.
TEST(NavigatorTreeDepth, AHundredThousandLevelsBuildPathsAndLoseABranchWithoutRecursion) {
  constexpr int kDepth = 100000;
  std::string text = R"({"objects": [{"id": "r", "type": "VPMReference"}, {"id": "i", "type": "VPMInstance"}],
    "tree": {"id": "n0", "reference": "r", "children": [)";
  for (int d = 1; d < kDepth; ++d)
    text += R"({"id": "n)" + std::to_string(d) + R"(", "reference": "r", "instance": "i")" +
            (d + 1 < kDepth ? ", \"children\": [" : "");
  text += "}";
  for (int d = 2; d < kDepth; ++d) text += "]}";
  text += "]}}";
  elmhost::Dispatch dispatch;
  std::string error;
  auto session = elmhost::PLMSession::FromText(text, "", error);
  ASSERT_TRUE(session) << error;
  CATIBuildPath_var deepest(session->Find("n" + std::to_string(kDepth - 1)));
  CATPathElement* path = nullptr;
  ASSERT_EQ(deepest->ExtractPathElement(&session->WindowEditor()->GetUIActiveObject(), path), S_OK);
  EXPECT_EQ(path->GetSize(), kDepth);
  EXPECT_EQ(CATBaseUnknown_var((*path)[kDepth / 2]),
            CATBaseUnknown_var(session->Find("n" + std::to_string(kDepth / 2 - 1))));
  session->WindowEditor()->GetCSO()->AddElement(path, 1);
  path->Release();

  elmhost::TreeChange change = session->RemoveBranches({session->Find("n50000")});
  EXPECT_THAT(change.removedBranches, ElementsAre("n50000"));
  EXPECT_EQ(change.removedNodes, static_cast<std::size_t>(kDepth - 50000));
  std::size_t left = 0;
  session->VisitTree([&](const elmhost::PLMSession::TreeLine&) { ++left; });
  EXPECT_EQ(left, 50000u);
  session.reset();
}

}  // namespace
