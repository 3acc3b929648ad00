// Every server function, driven through the plug-in's own request document
// and transport, as the commands use them.
#include "ServerTestSupport.h"

#include "SeedFile.h"

#include <gtest/gtest.h>

using namespace servertest;
using elmserver::PdmStore;

namespace {

class ServerFunctions : public ::testing::Test {
protected:
  InProcessServer server;

  void givenSeed(const std::string& xml) {
    elmserver::SeedSummary summary;
    std::string error;
    ASSERT_TRUE(elmserver::LoadSeed(server.Store(), xml, summary, error)) << error;
  }
  std::string attribute(const ELMRequestXml& response, const char* name) {
    CATUnicodeString v("<absent>");
    response.GetResponseAttribute(name, v);
    return v.ConvertToChar();
  }
};

const char* const kStructures = R"(<ElmServerSeed>
  <NamedStructure context="PRD-1000" name="Front axle">
    <O pn="PRD-1000" in="PRD-1000">
      <O pn="PRD-1100" in="PRD-1100.1">
        <O pn="PRD-1110" in="PRD-1110.1"/>
        <O pn="PRD-1110" in="PRD-1110.2"/>
      </O>
      <O pn="PRD-1200" in=""/>
    </O>
  </NamedStructure>
  <NamedStructure context="PRD-1000" name="Rear axle" default="true">
    <O pn="PRD-1000" in="PRD-1000"><O pn="PRD-1300" in="PRD-1300.1"/></O>
  </NamedStructure>
  <NamedStructure context="PRD-2000" name="Other product">
    <O pn="PRD-2000" in="PRD-2000"/>
  </NamedStructure>
</ElmServerSeed>)";

TEST_F(ServerFunctions, ConnectionCheckSucceedsAndTestMirrorsEveryAttributeInOrder) {
  EXPECT_EQ(HtmlRequest::CheckServerConnection(), S_OK);

  std::string id;
  ELMRequestXml response = Answer("Test", {{"ExecuteTest", "Mirror"}, {"Server", "OK"}, {"Server", "second"}, {"Empty", ""}}, &id);
  EXPECT_EQ(std::string(response.GetResponseId().ConvertToChar()), id);
  EXPECT_EQ(AttributeOfNodes(response, "/ELM/Response/Attribute", "name"),
            (std::vector<std::string>{"ExecuteTest", "Server", "Server", "Empty"}));
  EXPECT_EQ(AttributeOfNodes(response, "/ELM/Response/Attribute", "value"),
            (std::vector<std::string>{"Mirror", "OK", "second", ""}));
  EXPECT_FALSE(ErrorsOf(response).any);
}

TEST_F(ServerFunctions, PartNumbersAreConsecutiveAndRecordWhoAskedForThem) {
  std::string id1, id2;
  ELMRequestXml first = Answer("GetPartnumber", {{"PartNumber", "prd-00042"}}, &id1);
  ELMRequestXml second = Answer("GetPartnumber", {{"PartNumber", "prd-00043"}}, &id2);
  EXPECT_EQ(attribute(first, "PartNumber"), "ELM-000001");
  EXPECT_EQ(attribute(second, "PartNumber"), "ELM-000002");
  EXPECT_EQ(std::string(second.GetResponseId().ConvertToChar()), id2);

  auto issued = server.Store().IssuedNumbers();
  ASSERT_EQ(issued.size(), 2u);
  EXPECT_EQ(issued[0].requestedBy, "prd-00042");
  EXPECT_EQ(issued[0].requestId, id1);
  EXPECT_EQ(issued[1].requestedBy, "prd-00043");
}

TEST_F(ServerFunctions, PartNumberRequestWithoutOrWithEmptyCurrentIdentifierIssuesNothing) {
  ELMRequestXml missing = Answer("GetPartnumber", {});
  ELMRequestXml empty = Answer("GetPartnumber", {{"PartNumber", ""}});
  auto e1 = ErrorsOf(missing);
  auto e2 = ErrorsOf(empty);
  EXPECT_EQ(e1.codes, std::vector<int>{1004});
  EXPECT_EQ(e1.texts, std::vector<std::string>{"The request attribute \"PartNumber\" is missing."});
  EXPECT_EQ(e2.codes, std::vector<int>{1005});
  EXPECT_EQ(e2.texts, std::vector<std::string>{"The request attribute \"PartNumber\" is empty."});
  CATUnicodeString pn;
  EXPECT_EQ(missing.GetResponseAttribute("PartNumber", pn), E_FAIL);
  EXPECT_TRUE(server.Store().IssuedNumbers().empty());
}

TEST_F(ServerFunctions, SettingsInfoAnswersBothSwitchesAsTheClientReadsThem) {
  ELMRequestXml before = Answer("GetSettingsInfo", {});
  EXPECT_EQ(AttributeOfNodes(before, "//Show3DXSendConfigurationEnabled", "value"), std::vector<std::string>{"false"});
  EXPECT_EQ(AttributeOfNodes(before, "//UseBookmark", "value"), std::vector<std::string>{"false"});

  givenSeed(R"(<ElmServerSeed><Setting name="UseBookmark" value="true"/>
               <Setting name="Show3DXSendConfigurationEnabled" value="true"/></ElmServerSeed>)");
  ELMRequestXml after = Answer("GetSettingsInfo", {});
  EXPECT_EQ(AttributeOfNodes(after, "//Show3DXSendConfigurationEnabled", "value"), std::vector<std::string>{"true"});
  EXPECT_EQ(AttributeOfNodes(after, "//UseBookmark", "value"), std::vector<std::string>{"true"});
  EXPECT_FALSE(ErrorsOf(after).any);
}

TEST_F(ServerFunctions, AcceptedTransferIsRecordedWithAProcessForItsUser) {
  std::string id;
  ELMRequestXml response = Answer("SendEnoviaObjectToTC", TransferAttrs("jdoe"), &id);
  EXPECT_FALSE(ErrorsOf(response).any);
  auto messages = MessagesOf(response);
  EXPECT_EQ(messages.codes, std::vector<int>{2000});
  EXPECT_EQ(messages.texts, std::vector<std::string>{"Transfer 1 of PRD-1000 recorded for jdoe."});

  auto transfers = server.Store().Transfers();
  ASSERT_EQ(transfers.size(), 1u);
  const auto& t = transfers[0].request;
  EXPECT_EQ(t.requestId, id);
  EXPECT_EQ(t.user, "jdoe");
  EXPECT_EQ(t.name, "PRD-1000");
  EXPECT_EQ(t.revision, "A");
  EXPECT_EQ(t.transferType, "VPMReference");
  EXPECT_EQ(t.expandLevel, -1);
  EXPECT_FALSE(t.force);
  EXPECT_TRUE(t.removeExisting);
  EXPECT_FALSE(t.sendConfiguration);
  EXPECT_FALSE(t.folderOnly);
  EXPECT_TRUE(t.parallel);

  ELMRequestXml processes = Answer("GetProcessInfoForUser", {{"USER", "jdoe"}});
  EXPECT_EQ(AttributeOfNodes(processes, "/*/Response/*/PD", "Activity"), std::vector<std::string>{"Transfer to Teamcenter"});
  EXPECT_EQ(AttributeOfNodes(processes, "/*/Response/*/PD", "Description"),
            std::vector<std::string>{
                "VPMReference PRD-1000 A (VPMReference), expand level -1, removing vanished children, substructures in parallel"});
}

TEST_F(ServerFunctions, TransferWithBadValuesListsEveryFaultAndRecordsNothing) {
  Attrs attrs = TransferAttrs();
  auto set = [&](const std::string& name, const std::string& value) {
    for (auto& [n, v] : attrs)
      if (n == name) v = value;
  };
  set("type", "");
  set("transfer_type", "Part");
  set("expand_level", "-2");
  set("force", "TRUE");
  set("3DEXP", "false");
  ELMRequestXml response = Answer("SendEnoviaObjectToTC", attrs);
  auto e = ErrorsOf(response);
  EXPECT_EQ(e.codes, (std::vector<int>{1006, 1005, 1006, 1006, 1006}));
  ASSERT_EQ(e.texts.size(), 5u);
  EXPECT_EQ(e.texts[0], "The request attribute \"3DEXP\" must be true: only 3DEXPERIENCE clients are served.");
  EXPECT_EQ(e.texts[1], "The request attribute \"type\" is empty.");
  EXPECT_EQ(e.texts[2], "The request attribute \"transfer_type\" must be VPMReference, Folder or Bookmark, not \"Part\".");
  EXPECT_EQ(e.texts[3],
            "The request attribute \"expand_level\" must be -1 (all levels) or a level from 0 on, not \"-2\".");
  EXPECT_EQ(e.texts[4], "The request attribute \"force\" must be true or false, not \"TRUE\".");
  EXPECT_TRUE(server.Store().Transfers().empty());
  EXPECT_TRUE(server.Store().AllProcesses().empty());
}

TEST_F(ServerFunctions, TransferExpandLevelMustBeAWholeNumber) {
  for (const char* bad : {"", "abc", "3x", " 3", "1.5", "99999999999"}) {
    Attrs attrs = TransferAttrs();
    attrs[6].second = bad;
    ELMRequestXml response = Answer("SendEnoviaObjectToTC", attrs);
    EXPECT_EQ(ErrorsOf(response).codes, std::vector<int>{std::string(bad).empty() ? 1005 : 1006}) << "expand_level " << bad;
  }
  Attrs folder = TransferAttrs();
  folder[5].second = "Folder";
  folder[4].second = "";  // folders may come without a revision
  folder[6].second = "0";
  ELMRequestXml ok = Answer("SendEnoviaObjectToTC", folder);
  EXPECT_FALSE(ErrorsOf(ok).any);
  ASSERT_EQ(server.Store().Transfers().size(), 1u);
  EXPECT_EQ(server.Store().Transfers()[0].request.expandLevel, 0);
}

TEST_F(ServerFunctions, TransferWithoutAttributesNamesEachMissingOne) {
  ELMRequestXml response = Answer("SendEnoviaObjectToTC", {{"3DEXP", "true"}});
  auto e = ErrorsOf(response);
  EXPECT_EQ(e.codes, std::vector<int>(11, 1004));
  ASSERT_EQ(e.texts.size(), 11u);
  EXPECT_EQ(e.texts.front(), "The request attribute \"user\" is missing.");
  EXPECT_EQ(e.texts.back(), "The request attribute \"TRANSFER_SUBSTRUCTURES_PARALLEL\" is missing.");
}

TEST_F(ServerFunctions, StructureNamesComeJoinedOrAsElementsWithTheDefaultAndNoneForAnUnknownProduct) {
  givenSeed(kStructures);
  struct Case {
    const char* form;
    const char* context;
    const char* value;  ///< null: not looked at
    std::vector<std::string> names;
    std::vector<int> defaults;  ///< read in the element form only
  } cases[] = {
      {"joined", "PRD-1000", "Front axle@EOL@Rear axle", {"Front axle", "Rear axle"}, {}},
      // The element form leaves "value" empty, so the client reads the children.
      {"elements", "PRD-1000", "", {"Front axle", "Rear axle"}, {0, 1}},
      {"joined", "PRD-9999", nullptr, {}, {}},
      {"elements", "PRD-9999", nullptr, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.form) + " " + c.context);
    server.Store().SetSetting("NamesListForm", c.form);
    ELMRequestXml response = Answer("GetStructureNames", {{"ContextPartNumber", c.context}});
    if (c.value) { EXPECT_EQ(attribute(response, "OakNames"), c.value); }
    CATListValCATUnicodeString names;
    names.Append("stale");
    CATRawCollint defaults;
    const bool elements = std::string(c.form) == "elements";
    ASSERT_EQ(response.GetResponseAttributeList("OakNames", names, elements ? &defaults : nullptr), S_OK);
    std::vector<std::string> read;
    for (int i = 1; i <= names.Size(); ++i) read.push_back(names[i].ConvertToChar());
    EXPECT_EQ(read, c.names);
    std::vector<int> flags;
    for (int i = 1; i <= defaults.Size(); ++i) flags.push_back(defaults[i]);
    EXPECT_EQ(flags, c.defaults);
    EXPECT_FALSE(ErrorsOf(response).any);
  }
  ELMRequestXml noContext = Answer("GetStructureNames", {});
  EXPECT_EQ(ErrorsOf(noContext).codes, std::vector<int>{1004});
}

TEST_F(ServerFunctions, StructureForNameIsTheStoredTreeOfNestedO) {
  givenSeed(kStructures);
  ELMRequestXml response = Answer("GetStructureForName", {{"ContextPartNumber", "PRD-1000"}, {"OakName", "Front axle"}});
  EXPECT_FALSE(ErrorsOf(response).any);
  EXPECT_EQ(AttributeOfNodes(response, "/*/Response/ELMNamedStructure/O", "pn"), std::vector<std::string>{"PRD-1000"});
  EXPECT_EQ(AttributeOfNodes(response, "/*/Response/ELMNamedStructure/O/O", "in"),
            (std::vector<std::string>{"PRD-1100.1", ""}));
  EXPECT_EQ(AttributeOfNodes(response, "/*/Response/ELMNamedStructure/O/O[1]/O", "in"),
            (std::vector<std::string>{"PRD-1110.1", "PRD-1110.2"}));
  EXPECT_EQ(AttributeOfNodes(response, "/*/Response/ELMNamedStructure//O", "pn").size(), 5u);
  EXPECT_EQ(AttributeOfNodes(response, "/*/Response/ELMNamedStructure", "pn").size(), 1u);
}

TEST_F(ServerFunctions, StructureForAnUnknownNameOrProductIsAnError) {
  givenSeed(kStructures);
  ELMRequestXml wrongName = Answer("GetStructureForName", {{"ContextPartNumber", "PRD-1000"}, {"OakName", "front axle"}});
  ELMRequestXml wrongContext = Answer("GetStructureForName", {{"ContextPartNumber", "PRD-2000"}, {"OakName", "Front axle"}});
  ELMRequestXml noName = Answer("GetStructureForName", {{"ContextPartNumber", "PRD-1000"}, {"OakName", ""}});
  EXPECT_EQ(ErrorsOf(wrongName).codes, std::vector<int>{1007});
  EXPECT_EQ(ErrorsOf(wrongName).texts, std::vector<std::string>{"No structure named \"front axle\" is stored for PRD-1000."});
  EXPECT_EQ(ErrorsOf(wrongContext).codes, std::vector<int>{1007});
  EXPECT_EQ(ErrorsOf(noName).codes, std::vector<int>{1005});
  EXPECT_TRUE(AttributeOfNodes(wrongName, "//ELMNamedStructure", "pn").empty());
}

TEST_F(ServerFunctions, ProcessInfoListsOnlyTheUsersProcessesWithAllSevenTexts) {
  givenSeed(R"(<ElmServerSeed>
    <Process User="jdoe" Activity="Transfer" Status="Failed" Description="PRD-1 A" Start="2026-01-02 10:00"
             End="2026-01-02 10:05" ErrorMsg="Teamcenter refused PRD-1: &quot;locked&quot;"/>
    <Process User="asmith" Activity="Transfer" Status="Running" Description="PRD-2"/>
    <Process User="jdoe" Activity="Release" Status="Finished"/>
  </ElmServerSeed>)");
  ELMRequestXml response = Answer("GetProcessInfoForUser", {{"USER", "jdoe"}});
  const char* pd = "/*/Response/*/PD";
  EXPECT_EQ(AttributeOfNodes(response, pd, "Activity"), (std::vector<std::string>{"Transfer", "Release"}));
  EXPECT_EQ(AttributeOfNodes(response, pd, "Status"), (std::vector<std::string>{"Failed", "Finished"}));
  EXPECT_EQ(AttributeOfNodes(response, pd, "Description"), (std::vector<std::string>{"PRD-1 A", ""}));
  EXPECT_EQ(AttributeOfNodes(response, pd, "Start"), (std::vector<std::string>{"2026-01-02 10:00", ""}));
  EXPECT_EQ(AttributeOfNodes(response, pd, "End"), (std::vector<std::string>{"2026-01-02 10:05", ""}));
  EXPECT_EQ(AttributeOfNodes(response, pd, "User"), (std::vector<std::string>{"jdoe", "jdoe"}));
  EXPECT_EQ(AttributeOfNodes(response, pd, "ErrorMsg"),
            (std::vector<std::string>{"Teamcenter refused PRD-1: \"locked\"", ""}));

  ELMRequestXml nobody = Answer("GetProcessInfoForUser", {{"USER", "nobody"}});
  EXPECT_TRUE(AttributeOfNodes(nobody, pd, "Activity").empty());
  EXPECT_FALSE(ErrorsOf(nobody).any);

  ELMRequestXml empty = Answer("GetProcessInfoForUser", {{"USER", ""}});
  EXPECT_FALSE(ErrorsOf(empty).any);
  EXPECT_TRUE(AttributeOfNodes(empty, pd, "Activity").empty()) << "the empty user is not everybody";
}

TEST_F(ServerFunctions, ClientWithoutALoginTransfersAndListsUnderTheEmptyUser) {
  givenSeed(R"(<ElmServerSeed><Process User="jdoe" Activity="Transfer" Status="Failed"/></ElmServerSeed>)");
  Attrs forced = TransferAttrs("");
  for (auto& [name, value] : forced)
    if (name == "force") value = "true";
  ELMRequestXml sent = Answer("SendEnoviaObjectToTC", forced);
  EXPECT_FALSE(ErrorsOf(sent).any);
  EXPECT_EQ(MessagesOf(sent).texts, std::vector<std::string>{"Transfer 1 of PRD-1000 recorded without a user name."});
  ASSERT_EQ(server.Store().Transfers().size(), 1u);
  EXPECT_EQ(server.Store().Transfers()[0].request.user, "");

  ELMRequestXml processes = Answer("GetProcessInfoForUser", {{"USER", ""}});
  EXPECT_FALSE(ErrorsOf(processes).any);
  EXPECT_EQ(AttributeOfNodes(processes, "/*/Response/*/PD", "Activity"), std::vector<std::string>{"Transfer to Teamcenter"});
  EXPECT_EQ(AttributeOfNodes(processes, "/*/Response/*/PD", "User"), std::vector<std::string>{""});
  EXPECT_EQ(AttributeOfNodes(processes, "/*/Response/*/PD", "Description"),
            std::vector<std::string>{"VPMReference PRD-1000 A (VPMReference), expand level -1, forced, removing vanished "
                                     "children, substructures in parallel"});
  ELMRequestXml other = Answer("GetProcessInfoForUser", {{"USER", "jdoe"}});
  EXPECT_EQ(AttributeOfNodes(other, "/*/Response/*/PD", "Status"), std::vector<std::string>{"Failed"});
}

TEST_F(ServerFunctions, TextsOutsideAsciiAndXmlSpecialsTravelUnchanged) {
  const std::string odd = "Bügel <Ø 12> & \"Träger\" 'x' \xE2\x82\xAC";
  ELMRequestXml response = Answer("Test", {{"Server", odd}});
  EXPECT_EQ(attribute(response, "Server"), odd);
  ELMRequestXml pn = Answer("GetPartnumber", {{"PartNumber", odd}});
  EXPECT_EQ(server.Store().IssuedNumbers().at(0).requestedBy, odd);
}

}  // namespace
