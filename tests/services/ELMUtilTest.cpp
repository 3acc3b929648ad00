#include "ELMUtil.h"

#include "CATIAdpPLMIdentificator.h"
#include "ELMHostPLMSession.h"

#include "ChildProcess.h"
#include "SessionSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using Json = nlohmann::ordered_json;

// An assembly with a part, a shape under the part and a shape directly under
// the assembly; "bolt" and "other" are outside the tree. Shapes are shown
// through the product that aggregates them.
const char* const kSession = R"json({
  "types": [ { "name": "Bolt", "supertype": "VPMReference", "userName": "Bolt part" } ],
  "objects": [
    { "id": "asm", "type": "VPMReference", "alias": "Assembly A", "attributes": { "PLM_ExternalID": "prd-asm" } },
    { "id": "part", "type": "VPMReference", "attributes": { "PLM_ExternalID": "prd-part" } },
    { "id": "other", "type": "VPMReference", "attributes": { "PLM_ExternalID": "prd-other" } },
    { "id": "shape", "type": "3DShape", "attributes": { "PLM_ExternalID": "prd-shape" } },
    { "id": "bolt", "type": "Bolt", "alias": "Bolt M6" },
    { "id": "i-part", "type": "VPMInstance", "attributes": { "PLM_ExternalID": "part.1" } },
    { "id": "i-other", "type": "VPMInstance", "attributes": { "PLM_ExternalID": "other.1" } },
    { "id": "i-shape", "type": "VPMRepInstance", "attributes": { "PLM_ExternalID": "shape.1" } },
    { "id": "i-topshape", "type": "VPMRepInstance", "attributes": { "PLM_ExternalID": "shape.2" } }
  ],
  "tree": { "id": "n-asm", "reference": "asm", "identifiers": [ "Assembly A", "prd-asm" ],
            "children": [
              { "id": "n-part", "reference": "part", "instance": "i-part", "identifiers": [ "Part.1 (prd-part)" ],
                "children": [ { "id": "n-shape", "reference": "shape", "instance": "i-shape" } ] },
              { "id": "n-other", "reference": "other", "instance": "i-other" },
              { "id": "n-topshape", "reference": "shape", "instance": "i-topshape" } ] },
  "selection": [ "n-part" ]
})json";

std::string IdOf(const CATIPLMComponent_var& component) {
  CATIAdpPLMIdentificator_var id = elmtest::IdentifierOf(component);
  return !component ? "" : id ? id->GetIdentifierText().Utf8() : "?";
}

// A change to the base session: a JSON merge patch, written with single
// quotes for double ones (a null removes a key), or a function.
struct Edit {
  Edit(std::nullptr_t = nullptr) {}
  Edit(const char* patch) : patch(patch) {}
  Edit(void (*apply)(Json&)) : apply(apply) {}
  const char* patch = nullptr;
  void (*apply)(Json&) = nullptr;
};

// Bolt becomes a second root of the window beside the assembly; nothing is selected.
void addSecondRoot(Json& j) {
  j.erase("selection");
  j["tree"] = {j["tree"], {{"id", "n-bolt"}, {"reference", "bolt"}}};
}

std::string sessionText(const Edit& edit) {
  Json j = Json::parse(kSession);
  if (edit.apply) edit.apply(j);
  if (edit.patch) {
    std::string patch = edit.patch;
    std::replace(patch.begin(), patch.end(), '\'', '"');
    j.merge_patch(Json::parse(patch));
  }
  return j.dump();
}

class ELMUtilSession : public elmtest::SessionTest {
protected:
  /// Loads the base session changed by edit; it stays the current session.
  void Load(const Edit& edit = nullptr) {
    std::string error;
    m_session.reset();
    m_session = elmhost::PLMSession::FromText(sessionText(edit), "", error);
    ASSERT_TRUE(m_session) << error;
  }
};

struct SelectionCase {
  const char* what;
  Edit edit;
  unsigned char useRoot;
  bool wantFather;
  HRESULT rc;
  std::string component, father, fatherInstanceId;
  const char* names;  ///< each followed by ";", after "earlier", which the caller had in the list
};

// The father and its instance id start as "other" and "unchanged", so that a
// row expecting them untouched tells it from a cleared value.
const SelectionCase kSelectionCases[] = {
    {"a node gives its reference, the instance's father and id, and the node's identifiers", nullptr, 0, true, 0,
     "part", "asm", "part.1", "Part.1 (prd-part);"},
    {"a node without identifiers of its own shows its reference's alias", "{'selection': ['n-other']}", 0, true, 0,
     "other", "asm", "other.1", "prd-other;"},
    {"without a father asked for, the instance is not read", nullptr, 0, false, 0, "part", "other", "unchanged",
     "Part.1 (prd-part);"},
    {"a representation stands for its parent product, whose instance and father are taken",
     "{'selection': ['n-shape']}", 0, true, 0, "part", "asm", "part.1", "prd-shape;"},
    {"a representation stays itself when no father is asked for", "{'selection': ['n-shape']}", 0, false, 0, "shape",
     "other", "unchanged", "prd-shape;"},
    {"a representation under the root stands for the root, which has no instance", "{'selection': ['n-topshape']}", 0,
     true, 0, "asm", "other", "unchanged", "prd-shape;"},
    {"an object selected outside the tree is returned as it is", "{'selection': ['bolt']}", 0, true, 0, "bolt", "other",
     "unchanged", ""},
    {"two selected objects give 1 and no component, even with the root wanted", "{'selection': ['n-part', 'n-other']}",
     1, true, 1, "", "other", "unchanged", ""},
    {"nothing selected without the root wanted fails", "{'selection': []}", 0, true, E_FAIL, "", "other", "unchanged",
     ""},
    {"nothing selected gives the window's single root, named by its alias outside an explorer", "{'selection': []}", 1,
     true, 0, "asm", "other", "unchanged", "Assembly A;"},
    {"in an explorer window the root is named by its node's identifiers", "{'selection': [], 'window': 'explorer'}", 1,
     true, 0, "asm", "other", "unchanged", "Assembly A;prd-asm;"},
    {"an explorer root node without identifiers falls back to the alias",
     "{'selection': [], 'window': 'explorer', 'tree': {'identifiers': []}}", 1, true, 0, "asm", "other", "unchanged",
     "Assembly A;"},
    {"a window with two roots has no single root", addSecondRoot, 1, true, E_FAIL, "", "other", "unchanged", ""},
    {"without a tree window there is neither selection nor root", "{'tree': null, 'selection': null}", 1, true, E_FAIL,
     "", "other", "unchanged", ""},
    {"a failing root service fails the fallback",
     "{'selection': [], 'options': {'failingServices': ['GetEditedRootPLMComponents']}}", 1, true, E_FAIL, "", "other",
     "unchanged", ""},
    {"the search workbench reads the search selection, leaving father and names alone",
     "{'workbench': 'CATImmSearch', 'searchSelection': ['other']}", 1, true, 0, "other", "other", "unchanged", ""},
    {"a failing search selection falls back to the navigator's roots, not the window's",
     "{'workbench': '3DEXPERIENCEPlatform', 'searchRoots': ['bolt']}", 1, true, 0, "bolt", "other", "unchanged",
     "Bolt M6;"},
    {"two objects in the search result give 1",
     "{'workbench': 'CATImmSearch', 'searchSelection': ['other', 'bolt'], 'searchRoots': ['bolt']}", 1, true, 1, "",
     "other", "unchanged", ""},
    {"a tree node in the search result is no component", "{'workbench': 'CATImmSearch', 'searchSelection': ['n-part']}",
     0, true, E_FAIL, "", "other", "unchanged", ""},
    {"two navigator roots have no single root", "{'workbench': 'CATImmSearch', 'searchRoots': ['bolt', 'other']}", 1,
     true, E_FAIL, "", "other", "unchanged", ""},
};

}  // namespace

TEST_F(ELMUtilSession, GetSelectedComponentFollowsTheSelectionRules) {
  for (const SelectionCase& c : kSelectionCases) {
    SCOPED_TRACE(c.what);
    Load(c.edit);
    CATIPLMComponent_var component, father = Get<CATIPLMComponent>("other");
    CATUnicodeString fatherInstanceId = "unchanged";
    CATListValCATUnicodeString names{"earlier"};
    HRESULT rc = ELMUtil::GetSelectedComponent(component, c.wantFather ? &father : nullptr,
                                               c.wantFather ? &fatherInstanceId : nullptr, c.useRoot, &names);
    EXPECT_EQ(rc, c.rc);
    EXPECT_EQ(IdOf(component), c.component);
    EXPECT_EQ(IdOf(father), c.father);
    EXPECT_EQ(fatherInstanceId.Utf8(), c.fatherInstanceId);
    std::string shown;
    for (const std::string& name : elmtest::Texts(names)) shown += name + ";";
    EXPECT_EQ(shown, std::string("earlier;") + c.names);
  }
}

TEST_F(ELMUtilSession, WithoutANamesListOrASessionNothingIsReached) {
  Load();
  CATIPLMComponent_var component;
  EXPECT_EQ(ELMUtil::GetSelectedComponent(component, nullptr, nullptr, 0, nullptr), S_OK);
  EXPECT_EQ(IdOf(component), "part");
  m_session.reset();
  CATIPLMComponent_var none;
  EXPECT_EQ(ELMUtil::GetSelectedComponent(none, nullptr, nullptr, 1, nullptr), E_FAIL);
  EXPECT_FALSE(none);
  EXPECT_EQ(ELMUtil::IsExplorerWindowActive(), 0);
}

TEST_F(ELMUtilSession, ExplorerWindowIsToldApartByItsRoot) {
  struct Case {
    const char* what;
    Edit edit;
    unsigned char explorer;
  } cases[] = {
      {"an authoring window", nullptr, 0},
      {"an explorer window", "{'window': 'explorer'}", 1},
      {"an explorer window without roots", "{'window': 'explorer', 'tree': [], 'selection': null}", 0},
      {"an explorer window whose roots cannot be listed",
       "{'window': 'explorer', 'options': {'failingServices': ['GetEditedRootPLMComponents']}}", 0},
      {"no tree window", "{'tree': null, 'selection': null}", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Load(c.edit);
    EXPECT_EQ(ELMUtil::IsExplorerWindowActive(), c.explorer);
  }
}

TEST_F(ELMUtilSession, IsSubTypeAnswersThroughTheTypeDictionary) {
  Load();
  struct Case {
    const char* base;
    const char* type;
    HRESULT rc;
    unsigned char result;  ///< 7 when it must stay as it was
  } cases[] = {
      {"VPMReference", "Bolt", S_OK, 1},
      {"VPMReference", "VPMReference", S_OK, 1},
      {"PLMEntity", "Bolt", S_OK, 1},
      {"Bolt", "VPMReference", S_OK, 0},
      {"ENOFLD_FolderRootReference", "VPMReference", S_OK, 0},
      {"Workspace", "Workspace", S_OK, 1},
      {"Workspace", "ENOFLD_FolderRootReference", S_OK, 0},
      {"Bookmark", "Workspace", E_FAIL, 7},
      {"VPMReference", "Gizmo", E_FAIL, 7},
      {"VPMReference", "", E_FAIL, 7},
  };
  for (const Case& c : cases) {
    unsigned char result = 7;
    EXPECT_EQ(ELMUtil::IsSubType(c.base, c.type, result), c.rc) << c.base << " / " << c.type;
    EXPECT_EQ(result, c.result) << c.base << " / " << c.type;
  }
  m_session.reset();
  unsigned char result = 7;
  EXPECT_EQ(ELMUtil::IsSubType("VPMReference", "VPMReference", result), E_FAIL);
  EXPECT_EQ(result, 7);
}

TEST(ELMUtilTypeTree, PrintsTheTreeAboveRepresentationsWithDepthLabels) {
  auto r = elmtest::RunInChild({{"ELM_DEBUG", elmtest::kUnset}}, [] {
    std::string error;
    auto session = elmhost::PLMSession::FromText(kSession, "", error);
    if (!session) return 1;
    ELMUtil::PrintTypeHirarchy();
    return 0;
  });
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out,
            "(1)+ <PLMEntity>  (PLM Entity)\n"
            "(2)+   <PLMCoreReference>  (Core Reference)\n"
            "(3)+     <VPMReference>  (Physical Product)\n"
            "(4)        <Bolt>  (Bolt part)\n"
            "(3)-     <VPMReference>  (Physical Product)\n"
            "(3)      <ENOFLD_FolderRootReference>  (Folder)\n"
            "(3)      <Workspace>  (Bookmark)\n"
            "(2)-   <PLMCoreReference>  (Core Reference)\n"
            "(2)+   <PLMCoreInstance>  (Core Instance)\n"
            "(3)      <VPMInstance>  (Physical Product Instance)\n"
            "(2)-   <PLMCoreInstance>  (Core Instance)\n"
            "(2)+   <PLMCoreRepReference>  (Core Representation Reference)\n"
            "(3)+     <VPMRepReference>  (3D Representation)\n"
            "(4)        <3DShape>  (3D Shape)\n"
            "(4)        <Drawing>  (Drawing)\n"
            "(3)-     <VPMRepReference>  (3D Representation)\n"
            "(2)-   <PLMCoreRepReference>  (Core Representation Reference)\n"
            "(2)+   <PLMCoreRepInstance>  (Core Representation Instance)\n"
            "(3)      <VPMRepInstance>  (3D Representation Instance)\n"
            "(2)-   <PLMCoreRepInstance>  (Core Representation Instance)\n"
            "(1)- <PLMEntity>  (PLM Entity)\n");
}

TEST(ELMUtilTrace, TwoRootsAreNotedWithTheirCountAndTheScopesMarkedFailed) {
  auto r = elmtest::RunInChild({{"ELM_DEBUG", "ON"}}, [] {
    std::string error;
    auto session = elmhost::PLMSession::FromText(sessionText(addSecondRoot), "", error);
    if (!session) return 1;
    CATIPLMComponent_var component;
    return ELMUtil::GetSelectedComponent(component, nullptr, nullptr, 1, nullptr) == E_FAIL ? 0 : 2;
  });
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_NE(r.out.find("): Current Window uses 2 root components\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("ELMDBX Function: ELMUtil::GetSelection ("), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("ELMDBX Function: ELMUtil::GetRootComponent ("), std::string::npos) << r.out;
  std::string last = r.out.substr(r.out.rfind('\n', r.out.size() - 2) + 1);
  EXPECT_TRUE(last.starts_with(" ELM: ELMUtil::GetSelectedComponent(") && last.ends_with(") end  \n")) << last;
}
