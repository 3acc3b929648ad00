// Every server function, driven through the plug-in's own request document
// and transport, as the commands use them.
#include "ServerTestSupport.h"

#include "SeedFile.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace servertest;

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

/// The send dialogs' attributes with some of their values changed.
Attrs TransferWith(const Attrs& changes, const std::string& user = "jdoe") {
  Attrs attrs = TransferAttrs(user);
  for (auto& [name, value] : attrs)
    for (const auto& [changed, to] : changes)
      if (name == changed) value = to;
  return attrs;
}

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
  ELMRequestXml response =
      Answer("Test", {{"ExecuteTest", "Mirror"}, {"Server", "OK"}, {"Server", "second"}, {"Empty", ""}}, &id);
  EXPECT_EQ(std::string(response.GetResponseId().ConvertToChar()), id);
  EXPECT_EQ(AttributesOfNodes(response, "/ELM/Response/Attribute", {"name", "value"}),
            (Rows{{"ExecuteTest", "Mirror"}, {"Server", "OK"}, {"Server", "second"}, {"Empty", ""}}));
  EXPECT_FALSE(ErrorsOf(response).any);
}

TEST_F(ServerFunctions, PartNumbersAreConsecutiveAndRecordWhoAskedForThem) {
  std::string id1, id2;
  ELMRequestXml first = Answer("GetPartnumber", {{"PartNumber", "prd-00042"}}, &id1);
  ELMRequestXml second = Answer("GetPartnumber", {{"PartNumber", "prd-00043"}}, &id2);
  EXPECT_EQ(attribute(first, "PartNumber"), "ELM-000001");
  EXPECT_EQ(attribute(second, "PartNumber"), "ELM-000002");
  EXPECT_EQ(std::string(second.GetResponseId().ConvertToChar()), id2);

  std::vector<std::tuple<std::string, std::string, std::string>> issued;
  for (const auto& n : server.Store().IssuedNumbers()) issued.emplace_back(n.partNumber, n.requestedBy, n.requestId);
  EXPECT_EQ(issued, (decltype(issued){{"ELM-000001", "prd-00042", id1}, {"ELM-000002", "prd-00043", id2}}));
}

TEST_F(ServerFunctions, SettingsInfoAnswersBothSwitchesAsTheClientReadsThem) {
  // Each switch as the client reads it: the values of every element of its name.
  auto switches = [] {
    ELMRequestXml response = Answer("GetSettingsInfo", {});
    EXPECT_FALSE(ErrorsOf(response).any);
    return Rows{AttributeOfNodes(response, "//Show3DXSendConfigurationEnabled", "value"),
                AttributeOfNodes(response, "//UseBookmark", "value")};
  };
  EXPECT_EQ(switches(), (Rows{{"false"}, {"false"}}));
  givenSeed(R"(<ElmServerSeed><Setting name="UseBookmark" value="true"/>
               <Setting name="Show3DXSendConfigurationEnabled" value="true"/></ElmServerSeed>)");
  EXPECT_EQ(switches(), (Rows{{"true"}, {"true"}}));
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
  EXPECT_EQ(std::tie(t.requestId, t.user, t.type, t.name, t.revision, t.transferType, t.expandLevel, t.force,
                     t.removeExisting, t.sendConfiguration, t.folderOnly, t.parallel),
            std::make_tuple(id, "jdoe", "VPMReference", "PRD-1000", "A", "VPMReference", -1, false, true, false, false,
                            true));

  ELMRequestXml processes = Answer("GetProcessInfoForUser", {{"USER", "jdoe"}});
  EXPECT_EQ(AttributesOfNodes(processes, "/*/Response/*/PD", {"Activity", "Description"}),
            (Rows{{"Transfer to Teamcenter",
                   "VPMReference PRD-1000 A (VPMReference), expand level -1, removing "
                   "vanished children, substructures in parallel"}}));
}

TEST_F(ServerFunctions, FolderTransferMayComeWithoutRevisionAndStopAtLevelZero) {
  ELMRequestXml ok = Answer("SendEnoviaObjectToTC",
                            TransferWith({{"transfer_type", "Folder"}, {"revision", ""}, {"expand_level", "0"}}));
  EXPECT_FALSE(ErrorsOf(ok).any);
  ASSERT_EQ(server.Store().Transfers().size(), 1u);
  EXPECT_EQ(server.Store().Transfers()[0].request.expandLevel, 0);
}

TEST_F(ServerFunctions, RequestsWithMissingOrUnfitAttributesAreRefusedNamingEveryFault) {
  givenSeed(kStructures);
  auto missing = [](const std::string& name) { return "The request attribute \"" + name + "\" is missing."; };
  auto empty = [](const std::string& name) { return "The request attribute \"" + name + "\" is empty."; };
  const std::string levelRule = "The request attribute \"expand_level\" must be -1 (all levels) or a level from 0 on, ";
  // Given only "3DEXP", a transfer names each of the other attributes as missing.
  std::vector<std::string> allMissing;
  for (const auto& [name, value] : TransferAttrs())
    if (name != "3DEXP") allMissing.push_back(missing(name));
  struct Case {
    const char* function;
    Attrs attrs;
    std::vector<int> codes;
    std::vector<std::string> texts;
  };
  std::vector<Case> cases = {
      {"GetPartnumber", {}, {1004}, {missing("PartNumber")}},
      {"GetPartnumber", {{"PartNumber", ""}}, {1005}, {empty("PartNumber")}},
      {"SendEnoviaObjectToTC",
       TransferWith(
           {{"type", ""}, {"transfer_type", "Part"}, {"expand_level", "-2"}, {"force", "TRUE"}, {"3DEXP", "false"}}),
       {1006, 1005, 1006, 1006, 1006},
       {"The request attribute \"3DEXP\" must be true: only 3DEXPERIENCE clients are served.", empty("type"),
        "The request attribute \"transfer_type\" must be VPMReference, Folder or Bookmark, not \"Part\".",
        levelRule + "not \"-2\".", "The request attribute \"force\" must be true or false, not \"TRUE\"."}},
      {"SendEnoviaObjectToTC", TransferWith({{"expand_level", ""}}), {1005}, {empty("expand_level")}},
      {"SendEnoviaObjectToTC", {{"3DEXP", "true"}}, std::vector<int>(11, 1004), allMissing},
      {"GetStructureNames", {}, {1004}, {missing("ContextPartNumber")}},
      {"GetStructureForName",
       {{"ContextPartNumber", "PRD-1000"}, {"OakName", "front axle"}},
       {1007},
       {"No structure named \"front axle\" is stored for PRD-1000."}},
      {"GetStructureForName",
       {{"ContextPartNumber", "PRD-2000"}, {"OakName", "Front axle"}},
       {1007},
       {"No structure named \"Front axle\" is stored for PRD-2000."}},
      {"GetStructureForName", {{"ContextPartNumber", "PRD-1000"}, {"OakName", ""}}, {1005}, {empty("OakName")}},
  };
  // The expand level must be a whole number.
  for (const char* bad : {"abc", "3x", " 3", "1.5", "99999999999"})
    cases.push_back(
        {"SendEnoviaObjectToTC", TransferWith({{"expand_level", bad}}), {1006}, {levelRule + "not \"" + bad + "\"."}});
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(std::to_string(i) + ": " + cases[i].function);
    ELMRequestXml response = Answer(cases[i].function, cases[i].attrs);
    EXPECT_EQ(ErrorsOf(response).codes, cases[i].codes);
    EXPECT_EQ(ErrorsOf(response).texts, cases[i].texts);
    // A refused request answers nothing beside its errors.
    CATUnicodeString pn;
    EXPECT_EQ(response.GetResponseAttribute("PartNumber", pn), E_FAIL);
    EXPECT_TRUE(AttributeOfNodes(response, "//ELMNamedStructure", "pn").empty());
  }
  EXPECT_TRUE(server.Store().IssuedNumbers().empty());
  EXPECT_TRUE(server.Store().Transfers().empty());
  EXPECT_TRUE(server.Store().AllProcesses().empty());
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
    if (c.value) {
      EXPECT_EQ(attribute(response, "OakNames"), c.value);
    }
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
}

TEST_F(ServerFunctions, StructureForNameIsTheStoredTreeOfNestedO) {
  givenSeed(kStructures);
  ELMRequestXml response =
      Answer("GetStructureForName", {{"ContextPartNumber", "PRD-1000"}, {"OakName", "Front axle"}});
  EXPECT_FALSE(ErrorsOf(response).any);
  EXPECT_EQ(AttributeOfNodes(response, "/*/Response/ELMNamedStructure/O", "pn"), std::vector<std::string>{"PRD-1000"});
  EXPECT_EQ(AttributeOfNodes(response, "/*/Response/ELMNamedStructure/O/O", "in"),
            (std::vector<std::string>{"PRD-1100.1", ""}));
  EXPECT_EQ(AttributeOfNodes(response, "/*/Response/ELMNamedStructure/O/O[1]/O", "in"),
            (std::vector<std::string>{"PRD-1110.1", "PRD-1110.2"}));
  EXPECT_EQ(AttributeOfNodes(response, "/*/Response/ELMNamedStructure//O", "pn").size(), 5u);
  EXPECT_EQ(AttributeOfNodes(response, "/*/Response/ELMNamedStructure", "pn").size(), 1u);
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
  EXPECT_EQ(AttributesOfNodes(response, pd, {"Activity", "Status", "Description", "Start", "End", "User", "ErrorMsg"}),
            (Rows{{"Transfer", "Failed", "PRD-1 A", "2026-01-02 10:00", "2026-01-02 10:05", "jdoe",
                   "Teamcenter refused PRD-1: \"locked\""},
                  {"Release", "Finished", "", "", "", "jdoe", ""}}));

  ELMRequestXml nobody = Answer("GetProcessInfoForUser", {{"USER", "nobody"}});
  EXPECT_TRUE(AttributeOfNodes(nobody, pd, "Activity").empty());
  EXPECT_FALSE(ErrorsOf(nobody).any);

  ELMRequestXml empty = Answer("GetProcessInfoForUser", {{"USER", ""}});
  EXPECT_FALSE(ErrorsOf(empty).any);
  EXPECT_TRUE(AttributeOfNodes(empty, pd, "Activity").empty()) << "the empty user is not everybody";
}

TEST_F(ServerFunctions, ClientWithoutALoginTransfersAndListsUnderTheEmptyUser) {
  givenSeed(R"(<ElmServerSeed><Process User="jdoe" Activity="Transfer" Status="Failed"/></ElmServerSeed>)");
  ELMRequestXml sent = Answer("SendEnoviaObjectToTC", TransferWith({{"force", "true"}}, ""));
  EXPECT_FALSE(ErrorsOf(sent).any);
  EXPECT_EQ(MessagesOf(sent).texts, std::vector<std::string>{"Transfer 1 of PRD-1000 recorded without a user name."});
  ASSERT_EQ(server.Store().Transfers().size(), 1u);
  EXPECT_EQ(server.Store().Transfers()[0].request.user, "");

  ELMRequestXml processes = Answer("GetProcessInfoForUser", {{"USER", ""}});
  EXPECT_FALSE(ErrorsOf(processes).any);
  EXPECT_EQ(AttributesOfNodes(processes, "/*/Response/*/PD", {"Activity", "User", "Description"}),
            (Rows{{"Transfer to Teamcenter", "",
                   "VPMReference PRD-1000 A (VPMReference), expand level -1, forced, "
                   "removing vanished children, substructures in parallel"}}));
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
