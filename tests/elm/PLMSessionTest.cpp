#include "CATAdpMaturityServices.h"
#include "CATAdpOpener.h"
#include "CATAdpPublicSecurityServices.h"
#include "CATAdpSaver.h"
#include "CATAdpVersioningServices.h"
#include "CATApplicationFrame.h"
#include "CATCkeObjectAttrWriteServices.h"
#include "CATError.h"
#include "CATFrmEditor.h"
#include "CATGlobalFunctions.h"
#include "CATIAdpPLMIdentificator.h"
#include "CATICkeObject.h"
#include "CATIPLMComponent.h"
#include "CATIPLMNavInstance.h"
#include "CATIPLMNavOccurrence.h"
#include "CATIPLMNavReference.h"
#include "CATOmbLifeCycleRootsBag.h"
#include "CATPLMComponentInterfacesServices.h"
#include "CATPLMNavPropertiesAcquisition.h"
#include "ELMHostPLMSession.h"

#include "LoopbackServer.h"
#include "SessionSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>

namespace {

const char* const kSession = R"({
  "workbench": "CATImmSearch",
  "user": { "login": "jdoe", "role": "Designer" },
  "types": [ { "name": "Bolt", "supertype": "VPMReference" } ],
  "objects": [
    { "id": "top", "type": "VPMReference", "attributes": { "PLM_ExternalID": "T" } },
    { "id": "bolt", "type": "Bolt", "saved": false, "attributes": { "PLM_ExternalID": "B", "V_Name": "Bolt" } },
    { "id": "inst", "type": "VPMInstance", "attributes": { "PLM_ExternalID": "B.1" } }
  ],
  "tree": { "id": "n-top", "reference": "top",
            "children": [ { "id": "n-bolt", "reference": "bolt", "instance": "inst" } ] },
  "searchSelection": [ "bolt" ],
  "searchRoots": [ "bolt" ]
})";

/// A handle that takes over the reference an out-parameter handed back.
template <class I>
CATVar<I> Adopt(I* p) {
  CATVar<I> handle;
  handle.Attach(p);
  return handle;
}

class PLMSessionFile : public elmtest::SessionTest {
protected:
  void SetUp() override {
    m_session = elmtest::SessionFromFile(m_path);
    ASSERT_TRUE(m_session);
  }

  elmtest::ScratchDir m_scratch;
  std::filesystem::path m_dir{m_scratch.Path()};
  std::string m_path{m_scratch.Write("s.json", kSession)};
};

}  // namespace

TEST_F(PLMSessionFile, TreeNodesGiveReferenceInstanceFatherAndChildren) {
  auto node = Get<CATIPLMNavOccurrence>("n-bolt");
  ASSERT_TRUE(node);
  CATIPLMNavReference* ref = nullptr;
  ASSERT_EQ(node->GetRelatedReference(ref), S_OK);
  EXPECT_EQ(CATBaseUnknown_var(Adopt(ref)), CATBaseUnknown_var(m_session->Find("bolt")));

  CATIPLMNavInstance* inst = nullptr;
  ASSERT_EQ(node->GetRelatedInstance(inst), S_OK);
  CATIPLMNavInstance_var instVar = Adopt(inst);
  CATListValCATUnicodeString values;
  EXPECT_EQ(instVar->GetAttributeValue("PLM_ExternalID", values), S_OK);
  EXPECT_EQ(values, CATListValCATUnicodeString({"B.1"}));
  CATIPLMComponent* father = nullptr;
  ASSERT_EQ(instVar->GetFatherComponent(father), S_OK);
  EXPECT_EQ(CATBaseUnknown_var(Adopt(father)), CATBaseUnknown_var(m_session->Find("top")));

  auto root = Get<CATIPLMNavOccurrence>("n-top");
  CATIPLMNavOccurrence* none = nullptr;
  EXPECT_EQ(root->GetFather(none), E_FAIL);
  CATIPLMNavInstance* noInstance = nullptr;
  EXPECT_EQ(root->GetRelatedInstance(noInstance), E_FAIL);
  CATListValCATBaseUnknown_var children;
  ASSERT_EQ(root->ListChildren(children), S_OK);
  ASSERT_EQ(children.Size(), 1);
  EXPECT_EQ(children[1], CATBaseUnknown_var(node));
  // An instance is not a reference, and a reference has no father.
  EXPECT_FALSE(Get<CATIPLMNavReference>("inst"));
  EXPECT_FALSE(Get<CATIPLMNavInstance>("bolt"));
}

TEST_F(PLMSessionFile, FrameSearchAgentRootsUserAndTypesComeFromTheFile) {
  ASSERT_NE(CATApplicationFrame::GetFrame(), nullptr);
  EXPECT_EQ(CATApplicationFrame::GetFrame()->GetCurrentWorkbench(), "CATImmSearch");
  EXPECT_EQ(CATApplicationFrame::GetFrame()->GetCurrentWorkshop(), "ImmNavWorkshop");

  CATVar<CATPLMNavPropertiesAcquisition> agent = CATMakeVar<CATPLMNavPropertiesAcquisition>("NavPropertiesAcquisition");
  ASSERT_NE(agent->GetEditor(), nullptr);
  EXPECT_EQ(agent->GetEditor()->GetCSO()->GetSize(), 1);
  EXPECT_EQ(CATMakeVar<CATPLMNavPropertiesAcquisition>("Other")->GetEditor(), nullptr);
  CATListValCATBaseUnknown_var roots;
  ASSERT_EQ(CATPLMComponentInterfacesServices::GetEditedRootPLMComponents(agent->GetEditor(), roots), S_OK);
  ASSERT_EQ(roots.Size(), 1);
  EXPECT_EQ(roots[1], CATBaseUnknown_var(m_session->Find("bolt")));
  roots.RemoveAll();
  ASSERT_EQ(CATPLMComponentInterfacesServices::GetEditedRootPLMComponents(CATFrmEditor::GetCurrentEditor(), roots),
            S_OK);
  EXPECT_EQ(roots[1], CATBaseUnknown_var(m_session->Find("top")));

  CATUnicodeString login, role, organization, project;
  ASSERT_EQ(CATAdpPublicSecurityServices::GetSecurityParameters("", login, role, organization, project), S_OK);
  EXPECT_EQ(login, "jdoe");
  EXPECT_EQ(role, "Designer");
  // The file's types join the dictionary; their use is the services' tests.
  CATIType_var bolt;
  ASSERT_EQ(CATGlobalFunctions::GetTypeDictionary()->FindType("Bolt", bolt), S_OK);
  EXPECT_EQ(bolt->Supertype()->Name(), "VPMReference");
}

TEST_F(PLMSessionFile, SaveWritesOnlyTheSavedObjectsAndMarksThemSaved) {
  CATICkeObject_var top = Get<CATICkeObject>("top");
  CATICkeObject_var bolt = Get<CATICkeObject>("bolt");
  ASSERT_EQ(CATCkeObjectAttrWriteServices::SetValueWithString(top, "PLM_ExternalID", "T2"), S_OK);
  ASSERT_EQ(CATCkeObjectAttrWriteServices::SetValueWithString(bolt, "PLM_ExternalID", "B2"), S_OK);

  CATIAdpPLMIdentificator_var idVar = elmtest::IdentifierOf(m_session->Find("bolt"));
  ASSERT_TRUE(idVar);
  bool saved = true;
  ASSERT_EQ(idVar->IsSaved(saved), S_OK);
  EXPECT_FALSE(saved);

  CATListValCATBaseUnknown_var toSave;
  toSave.Append(CATBaseUnknown_var(bolt));
  ASSERT_EQ(CATAdpSaver().Save(toSave), S_OK);
  ASSERT_EQ(idVar->IsSaved(saved), S_OK);
  EXPECT_TRUE(saved);

  EXPECT_EQ(nlohmann::json::parse(std::ifstream(m_path))["objects"], nlohmann::json::parse(R"([
    { "id": "top", "type": "VPMReference", "attributes": { "PLM_ExternalID": "T" } },
    { "id": "bolt", "type": "Bolt", "saved": true, "attributes": { "PLM_ExternalID": "B2", "V_Name": "Bolt" } },
    { "id": "inst", "type": "VPMInstance", "attributes": { "PLM_ExternalID": "B.1" } }])"));
}

TEST_F(PLMSessionFile, FailedSaveLeavesTheFileAndAnErrorForThatResultOnly) {
  std::filesystem::remove(m_path);
  std::filesystem::create_directory(m_path);  // the file's place is taken: the rename must fail
  CATListValCATBaseUnknown_var toSave;
  toSave.Append(CATBaseUnknown_var(m_session->Find("top")));
  HRESULT rc = CATAdpSaver().Save(toSave);
  ASSERT_EQ(rc, E_FAIL);
  CATError* error = CATError::CATGetLastError(rc);
  ASSERT_NE(error, nullptr);
  EXPECT_NE(std::string(error->GetNLSMessage().ConvertToChar()).find(m_path), std::string::npos)
      << error->GetNLSMessage().ConvertToChar();
  error->Release();
  EXPECT_EQ(CATError::CATGetLastError(S_FALSE), nullptr);
  CATError::CATCleanLastError();
  EXPECT_EQ(CATError::CATGetLastError(rc), nullptr);
  // No temporary file is left behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir), std::filesystem::directory_iterator()), 1);
  ASSERT_EQ(m_session->Saves().size(), 1u);
  EXPECT_FALSE(m_session->Saves()[0].ok);
}

TEST_F(PLMSessionFile, OpenerKeepsObjectsInTheBagAndVersionsAndMaturityAnswer) {
  CATIAdpPLMIdentificator_var id = elmtest::IdentifierOf(m_session->Find("top"));
  ASSERT_TRUE(id);
  CATOmbLifeCycleRootsBag bag;
  CATAdpOpener opener(bag);
  CATIPLMComponent* opened = nullptr;
  ASSERT_EQ(opener.CompleteAndOpen(id.get(), CATIPLMComponent::ClassId(), reinterpret_cast<void**>(&opened)), S_OK);
  CATIPLMComponent_var openedVar = Adopt(opened);
  EXPECT_EQ(bag.Size(), 1);
  EXPECT_EQ(bag.RemoveRoot(opened), S_OK);
  EXPECT_EQ(bag.Size(), 0);

  CATListValCATBaseUnknown_var versions;
  ASSERT_EQ(CATAdpVersioningServices::GetAllVersions(id.get(), versions), S_OK);
  EXPECT_EQ(versions.Size(), 1);
  CATUnicodeString state;
  CATListValCATUnicodeString transitions;
  ASSERT_EQ(CATAdpMaturityServices::GetStateAndPossibleTransitions(id.get(), state, transitions), S_OK);
  EXPECT_EQ(state, "IN_WORK");
  EXPECT_EQ(transitions, CATListValCATUnicodeString({"FROZEN", "OBSOLETE"}));
  EXPECT_EQ(m_session->MaturityQueries(), 1);
}

TEST_F(PLMSessionFile, HandlesOutliveTheirSessionWithoutReachingIt) {
  CATIPLMComponent_var top = Get<CATIPLMComponent>("top");
  CATIPLMNavOccurrence_var node = Get<CATIPLMNavOccurrence>("n-bolt");
  m_session.reset();
  EXPECT_EQ(CATApplicationFrame::GetFrame(), nullptr);
  CATIAdpPLMIdentificator_var id = elmtest::IdentifierOf(top);
  ASSERT_TRUE(id);
  CATListValCATBaseUnknown_var versions;
  EXPECT_EQ(CATAdpVersioningServices::GetAllVersions(id.get(), versions), E_FAIL);
  CATListValCATBaseUnknown_var toSave;
  toSave.Append(CATBaseUnknown_var(top));
  EXPECT_EQ(CATAdpSaver().Save(toSave), E_FAIL);
  CATError::CATCleanLastError();
  CATIPLMNavOccurrence* father = nullptr;
  EXPECT_EQ(node->GetFather(father), E_FAIL);
}
