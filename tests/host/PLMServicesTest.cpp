#include "CATAdpPLMQueryServices.h"
#include "CATCkeObjectAttrReadServices.h"
#include "CATCkeObjectAttrWriteServices.h"
#include "CATCkePLMNavPublicServices.h"
#include "CATGlobalFunctions.h"
#include "CATIAdpPLMIdentificator.h"
#include "CATIAlias.h"
#include "CATINavigateObject.h"
#include "CATIPLMComponent.h"
#include "CATIPLMNavReference.h"
#include "CATTime.h"
#include "ELMHostPLMSession.h"

#include "SessionSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Values that a careless writer or reader would change: control characters,
// quotes, backslashes and text beyond ASCII.
const char* const kTricky =
    "tab\there \"quoted\" \\ line1\nline2 \xC3\xA9t\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x9A\xB2";

const char* const kSession = R"json({
  "types": [ { "name": "Scan", "supertype": "VPMRepReference", "userName": "Scanned shape" } ],
  "objects": [
    { "id": "asm", "type": "VPMReference", "alias": "Main assembly",
      "attributes": { "PLM_ExternalID": "prd-asm", "majorrevision": "B",
                      "V_description": "tab\there \"quoted\" \\ line1\nline2 \u00e9t\u00e9 \u65e5\u672c \ud83d\udeb2",
                      "Created": { "type": "Date", "value": "2026-12-05T18:47:53+01:00", "zone": "CET" },
                      "Modified": { "type": "Date", "value": "2027-02-28T23:30:00-05:30" },
                      "Count": { "type": "Integer", "value": "-42" },
                      "Mass": { "type": "Real", "value": "1.5e3" },
                      "Spare": { "type": "Boolean", "value": "true" },
                      "Note": { "type": "String", "value": "" } } },
    { "id": "part", "type": "VPMReference", "saved": false, "attributes": { "PLM_ExternalID": "prd-part" } },
    { "id": "scan", "type": "Scan" },
    { "id": "folder", "type": "ENOFLD_FolderRootReference", "attributes": { "PLM_ExternalID": "fld-1" } },
    { "id": "bookmark", "type": "Workspace", "alias": "" },
    { "id": "i-part", "type": "VPMInstance", "attributes": { "PLM_ExternalID": "part.1" } },
    { "id": "i-scan", "type": "VPMRepInstance" }
  ],
  "window": "explorer",
  "tree": { "id": "n-asm", "reference": "asm",
            "children": [ { "id": "n-part", "reference": "part", "instance": "i-part", "identifiers": [ "Part.1", "prd-part A" ] },
                          { "id": "n-scan", "reference": "scan", "instance": "i-scan", "identifiers": [] } ] }
})json";

class PLMServices : public elmtest::SessionTest {
protected:
  void SetUp() override {
    std::string error;
    m_session = elmhost::PLMSession::FromText(kSession, "", error);
    ASSERT_TRUE(m_session) << error;
  }
};

/// The database key of a session object, or null when the platform gives none.
CATIAdpPLMUniqueKey_var KeyOf(elmhost::PLMSession& session, const char* object) {
  CATIAdpPLMUniqueKey* key = nullptr;
  CATIAdpPLMUniqueKey_var keyHolder;
  if (SUCCEEDED(CATAdpPLMQueryServices::GetUniqueKey(elmtest::IdentifierOf(session.Find(object)).get(), key)))
    keyHolder.Attach(key);
  return keyHolder;
}

}  // namespace

TEST(CATTimeText, ConvertsInItsOwnZoneWithStrftimeConversions) {
  struct Case {
    CATTime time;
    const char* format;
    const char* text;
  } cases[] = {
      {CATTime(), "%m/%d/%Y %H:%M:%S %Z", "01/01/1970 00:00:00 UTC"},
      {CATTime(2026, 12, 5, 18, 47, 53, 3600, "CET"), "%m/%d/%Y %H:%M:%S %Z", "12/05/2026 18:47:53 CET"},
      {CATTime(2026, 12, 5, 18, 47, 53, 3600, "CET"), "%z %%", "+0100 %"},
      {CATTime(2027, 2, 28, 23, 30, 0, -19800), "%Y-%m-%d %H:%M %Z %z", "2027-02-28 23:30 UTC-05:30 -0530"},
      {CATTime(2024, 2, 29, 0, 0, 0), "%a %A %b %j %u", "Thu Thursday Feb 060 4"},
      {CATTime(1, 1, 1, 0, 0, 0), "%Y-%m-%d %a", "1-01-01 Mon"},
      {CATTime(9999, 12, 31, 23, 59, 59, 14 * 3600), "%Y %j %H", "9999 365 23"},
      {CATTime(2023, 2, 29, 0, 0, 0), "%Y-%m-%d %Z", "1970-01-01 UTC"},  // no such day: the default time
      {CATTime(2026, 1, 1, 0, 0, 0), "", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(c.time.ConvertToString(c.format).Utf8(), c.text) << c.format;
  CATTime cet(2026, 12, 5, 18, 47, 53, 3600, "CET");
  EXPECT_EQ(cet.GetSecondsSinceEpoch(), 1796492873);
  EXPECT_EQ(cet.GetHour(), 18);
  EXPECT_EQ(cet.GetDay(), 5);
}

TEST_F(PLMServices, AttributesAreListedInFileOrderWithTypeNamesAndDisplayTexts) {
  CATListValCATAttributeInfos infos;
  ASSERT_EQ(CATCkePLMNavPublicServices::ListAttributesFromObject(Get<CATICkeObject>("asm"), infos), S_OK);
  std::vector<std::string> listed;
  for (const CATAttributeInfos& a : infos)
    listed.push_back(a.Name().Utf8() + ":" + a.Type()->Name().Utf8() + ":" + a.Type()->UserName().Utf8());
  EXPECT_EQ(listed, (std::vector<std::string>{
                        "PLM_ExternalID:String:Character string", "majorrevision:String:Character string",
                        "V_description:String:Character string", "Created:Date:Date and time",
                        "Modified:Date:Date and time", "Count:Integer:Integer number", "Mass:Real:Real number",
                        "Spare:Boolean:True or false", "Note:String:Character string"}));

  CATListValCATAttributeInfos none;
  EXPECT_EQ(CATCkePLMNavPublicServices::ListAttributesFromObject(Get<CATICkeObject>("scan"), none), S_OK);
  EXPECT_EQ(none.Size(), 0);
  EXPECT_EQ(CATCkePLMNavPublicServices::ListAttributesFromObject(CATICkeObject_var(), none), E_FAIL);
}

TEST_F(PLMServices, DatesReadAsTimesInTheirZoneAndOtherReadsFailLeavingTheValue) {
  CATICkeObject_var asm_ = Get<CATICkeObject>("asm");
  CATTime t;
  ASSERT_EQ(CATCkeObjectAttrReadServices::GetValueAsTime(asm_, "Created", t), S_OK);
  EXPECT_EQ(t.ConvertToString("%m/%d/%Y %H:%M:%S %Z").Utf8(), "12/05/2026 18:47:53 CET");
  ASSERT_EQ(CATCkeObjectAttrReadServices::GetValueAsTime(asm_, "Modified", t), S_OK);
  EXPECT_EQ(t.ConvertToString("%m/%d/%Y %H:%M:%S %Z").Utf8(), "02/28/2027 23:30:00 UTC-05:30");

  for (const char* notADate : {"Count", "PLM_ExternalID", "Missing"}) {
    CATTime kept(2000, 1, 2, 3, 4, 5);
    EXPECT_EQ(CATCkeObjectAttrReadServices::GetValueAsTime(asm_, notADate, kept), E_FAIL) << notADate;
    EXPECT_EQ(kept, CATTime(2000, 1, 2, 3, 4, 5)) << notADate;
  }
  CATUnicodeString shown;
  ASSERT_EQ(CATCkeObjectAttrReadServices::ShowAttributeValue(asm_, "Count", shown), S_OK);
  EXPECT_EQ(shown, "-42");
  ASSERT_EQ(CATCkeObjectAttrReadServices::ShowAttributeValue(asm_, "Created", shown), S_OK);
  EXPECT_EQ(shown, "2026-12-05T18:47:53+01:00");
}

TEST_F(PLMServices, WritesKeepTheAttributeTypeAndRefuseValuesOfAnotherType) {
  CATICkeObject_var asm_ = Get<CATICkeObject>("asm");
  // Written in this order: the values an attribute takes, then those it refuses.
  struct Case {
    const char* name;
    std::vector<const char*> taken, refused;
  } cases[] = {{"Count", {"17"}, {"seventeen", "99999999999"}},
               {"Mass", {"-0.25"}, {"nan"}},
               {"Spare", {"false"}, {"yes"}},
               {"Created", {"2026-12-06T08:00:00Z"}, {"2026-12-06"}},
               {"Note", {"anything"}, {}},
               {"Missing", {}, {"x"}}};
  auto write = [&](const char* name, const char* value) {
    return CATCkeObjectAttrWriteServices::SetValueWithString(asm_, name, value);
  };
  for (const Case& c : cases) {
    for (const char* v : c.taken) EXPECT_EQ(write(c.name, v), S_OK) << c.name << "=" << v;
    for (const char* v : c.refused) EXPECT_EQ(write(c.name, v), E_FAIL) << c.name << "=" << v;
  }
  // A date keeps the zone name the file gave it.
  CATTime t;
  ASSERT_EQ(CATCkeObjectAttrReadServices::GetValueAsTime(asm_, "Created", t), S_OK);
  EXPECT_EQ(t.ConvertToString("%H:%M %Z").Utf8(), "08:00 CET");
  EXPECT_EQ(m_session->AttributeValue("asm", "Spare"), "false");
  EXPECT_EQ(m_session->AttributeValue("asm", "Count"), "17");
}

TEST_F(PLMServices, TrickyValuesComeBackExactlyThroughEveryReader) {
  CATUnicodeString shown;
  ASSERT_EQ(CATCkeObjectAttrReadServices::ShowAttributeValue(Get<CATICkeObject>("asm"), "V_description", shown), S_OK);
  EXPECT_EQ(shown.Utf8(), kTricky);

  CATListValCATUnicodeString values;
  ASSERT_EQ(Get<CATIPLMNavReference>("asm")->GetAttributeValue("V_description", values), S_OK);
  EXPECT_EQ(elmtest::Texts(values), std::vector<std::string>{kTricky});
  // The query's attribute set, the third reader, is checked with the rest of the query below.
}

TEST_F(PLMServices, QueryGivesTheTypedFirstAttributeSetOfASavedObject) {
  CATIAdpPLMUniqueKey_var key = KeyOf(*m_session, "asm");
  ASSERT_TRUE(key);
  CATAdpQueryResult info;
  ASSERT_EQ(CATAdpPLMQueryServices::MoreInformation(key.get(), info), S_OK);
  CATAdpAttributeSetIterator it = info.GetIterator();
  CATIType_var type;
  CATAdpAttributeSet set;
  ASSERT_EQ(it.NextAttributeSet(type, set), S_OK);
  ASSERT_TRUE(type);
  EXPECT_EQ(type->Name(), "VPMReference");
  CATUnicodeString value = "kept";
  EXPECT_EQ(set.GetStringAttributeValue("majorrevision", value), S_OK);
  EXPECT_EQ(value, "B");
  // Tricky text comes back exactly through the query too.
  ASSERT_EQ(set.GetStringAttributeValue("V_description", value), S_OK);
  EXPECT_EQ(value.Utf8(), kTricky);
  value = "kept";
  EXPECT_EQ(set.GetStringAttributeValue("Count", value), E_FAIL);  // an integer is no text
  EXPECT_EQ(set.GetStringAttributeValue("revision", value), E_FAIL);
  EXPECT_EQ(value, "kept");
  EXPECT_EQ(it.NextAttributeSet(type, set), S_FALSE);
  EXPECT_FALSE(type);
  EXPECT_EQ(set.GetStringAttributeValue("majorrevision", value), E_FAIL);
}

namespace {

class RecordingReviewer : public CATIAdpPLMErrorReviewer {
public:
  void ReviewError(const CATUnicodeString& message) override { messages.push_back(message.Utf8()); }
  std::vector<std::string> messages;
};

}  // namespace

TEST_F(PLMServices, QueryFailuresReachTheReviewerAndTheText) {
  struct Case {
    const char* what;
    std::string session;
    const char* object;
    const char* text;
  } cases[] = {
      {"an object never saved has no key", kSession, "part",
       "The object has never been saved: the database has no key for it."},
      {"a database that does not answer",
       std::string(kSession).insert(1, R"("options": { "failingServices": [ "GetUniqueKey" ] },)"), "asm",
       "The database does not answer."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string error;
    auto session = elmhost::PLMSession::FromText(c.session, "", error);
    ASSERT_TRUE(session) << error;
    CATIAdpPLMIdentificator_var id = elmtest::IdentifierOf(session->Find(c.object));
    CATVar<RecordingReviewer> reviewer = CATMakeVar<RecordingReviewer>();
    CATUnicodeString text;
    CATVar<CATIAdpPLMUniqueKey> stale = CATMakeVar<CATIAdpPLMUniqueKey>();
    CATIAdpPLMUniqueKey* key = stale.get();  // a failure must not leave it behind
    EXPECT_EQ(CATAdpPLMQueryServices::GetUniqueKey(id.get(), key, reviewer.get(), &text), E_FAIL);
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(text.Utf8(), c.text);
    EXPECT_EQ(reviewer->messages, std::vector<std::string>{c.text});
  }
  CATAdpQueryResult info;
  EXPECT_EQ(CATAdpPLMQueryServices::MoreInformation(nullptr, info), E_FAIL);
  CATIType_var type;
  CATAdpAttributeSet set;
  EXPECT_EQ(info.GetIterator().NextAttributeSet(type, set), S_FALSE);
}

TEST_F(PLMServices, NodesNavigateWithTheirIdentifiersAndTheExplorerRootAnswersForItsNode) {
  CATINavigateObject_var root = Get<CATINavigateObject>("n-asm");
  ASSERT_TRUE(root);
  CATListValCATUnicodeString ids{"earlier"};
  ASSERT_EQ(root->GetIdentificators(ids), S_OK);
  EXPECT_EQ(elmtest::Texts(ids), (std::vector<std::string>{"earlier", "Main assembly"}));  // the reference's alias
  CATListValCATBaseUnknown_var children;
  ASSERT_EQ(root->GetChildren(children), S_OK);
  ASSERT_EQ(children.Size(), 2);
  EXPECT_EQ(children[1], CATBaseUnknown_var(m_session->Find("n-part")));

  ids.RemoveAll();
  ASSERT_EQ(Get<CATINavigateObject>("n-part")->GetIdentificators(ids), S_OK);
  EXPECT_EQ(elmtest::Texts(ids), (std::vector<std::string>{"Part.1", "prd-part A"}));
  ids.RemoveAll();
  ASSERT_EQ(Get<CATINavigateObject>("n-scan")->GetIdentificators(ids), S_OK);
  EXPECT_EQ(ids.Size(), 0);

  // In an explorer window the root component offers its node's navigation;
  // other components, and the root of any other window, do not.
  CATINavigateObject_var fromRoot = Get<CATINavigateObject>("asm");
  EXPECT_EQ(CATBaseUnknown_var(fromRoot), CATBaseUnknown_var(root));
  EXPECT_FALSE(Get<CATINavigateObject>("part"));
  std::string authoring = kSession;
  authoring.replace(authoring.find("\"explorer\""), 10, "\"authoring\"");
  std::string error;
  auto other = elmhost::PLMSession::FromText(authoring, "", error);
  ASSERT_TRUE(other) << error;
  EXPECT_FALSE(CATINavigateObject_var(other->Find("asm")));
}

TEST_F(PLMServices, AliasesAndTypesOfComponents) {
  EXPECT_EQ(Get<CATIAlias>("asm")->GetAlias(), "Main assembly");
  EXPECT_EQ(Get<CATIAlias>("folder")->GetAlias(), "fld-1");  // without an alias: the external id
  EXPECT_EQ(Get<CATIAlias>("bookmark")->GetAlias(), "");
  EXPECT_EQ(Get<CATIAlias>("i-part")->GetAlias(), "part.1");

  struct Case {
    const char* id;
    const char* type;
    bool shownThroughParent;
  } cases[] = {{"asm", "VPMReference", false},
               {"scan", "Scan", true},
               {"folder", "ENOFLD_FolderRootReference", false},
               {"bookmark", "Workspace", false},
               {"i-scan", "VPMRepInstance", false}};
  for (const Case& c : cases) {
    CATIType_var type;
    ASSERT_EQ(Get<CATIPLMComponent>(c.id)->GetPLMType(type), S_OK) << c.id;
    EXPECT_EQ(type->Name(), c.type);
    EXPECT_EQ(type->IsShownThroughParent(), c.shownThroughParent) << c.id;
  }
  CATITypeDictionary_var types = CATGlobalFunctions::GetTypeDictionary();
  CATIType_var bookmark, folder, none;
  ASSERT_EQ(types->FindType("Workspace", bookmark), S_OK);
  EXPECT_EQ(bookmark->UserName(), "Bookmark");
  ASSERT_EQ(types->FindType("ENOFLD_FolderRootReference", folder), S_OK);
  EXPECT_EQ(folder->UserName(), "Folder");
  EXPECT_EQ(types->FindType("Bookmark", none), E_FAIL);
  EXPECT_EQ(types->FindType("Date", none), E_FAIL);  // value types are not PLM types
}

TEST_F(PLMServices, ServicesThatTheSessionMakesFailAnswerWithAFailure) {
  std::string failing = std::string(kSession).insert(
      1, R"("options": { "failingServices": [ "ListAttributesFromObject", "GetValueAsTime", "MoreInformation" ] },)");
  std::string error;
  auto session = elmhost::PLMSession::FromText(failing, "", error);
  ASSERT_TRUE(session) << error;
  CATICkeObject_var asm_(session->Find("asm"));
  CATListValCATAttributeInfos infos;
  EXPECT_EQ(CATCkePLMNavPublicServices::ListAttributesFromObject(asm_, infos), E_FAIL);
  CATTime t;
  EXPECT_EQ(CATCkeObjectAttrReadServices::GetValueAsTime(asm_, "Created", t), E_FAIL);
  CATIAdpPLMUniqueKey_var key = KeyOf(*session, "asm");
  ASSERT_TRUE(key);
  CATAdpQueryResult info;
  EXPECT_EQ(CATAdpPLMQueryServices::MoreInformation(key.get(), info), E_FAIL);
}
