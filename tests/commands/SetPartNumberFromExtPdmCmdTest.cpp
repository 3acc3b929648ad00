#include "PartNumberFixture.h"

#include <gmock/gmock.h>

#include <cstdlib>
#include <fstream>

using elmtest::ErrorBox;
using elmtest::PlainBox;
using elmtest::WarningBox;
using testing::ElementsAre;
using testing::IsEmpty;
using testing::Pair;

namespace {

const char* const kFailed = "ELMSetPartNumberFromExtPdmCmd MsgFailed";
const char* const kConnectFailed = "ELMSetPartNumberFromExtPdmCmd MsgConnectFailed";

std::string Answer(const std::string& responseContent) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><ELM><Response name=\"GetPartnumber\">" + responseContent +
         "</Response></ELM>";
}

class SetPartNumber : public elmtest::PartNumberFixture {};

}  // namespace

TEST_F(SetPartNumber, TreeSelectionGetsTheServersNumberSavedToTheSessionFile) {
  Run();
  auto requests = Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].name, "GetPartnumber");
  EXPECT_THAT(requests[0].attributes, ElementsAre(Pair("PartNumber", "prd-part")));

  EXPECT_THAT(BoxList(), ElementsAre(PlainBox("numbered: [prd-part] -> [ELM-000042]")));
  EXPECT_EQ(m_user->Boxes()[0].title.Utf8(), "ELMSetPartNumberFromExtPdmCmd MsgTitle");

  ASSERT_EQ(m_plm->Saves().size(), 1u);
  EXPECT_THAT(m_plm->Saves()[0].objectIds, ElementsAre("part"));
  EXPECT_EQ(SavedAttribute("part", "PLM_ExternalID"), "ELM-000042");
  // Only the selected object is written.
  EXPECT_EQ(SavedAttribute("other", "PLM_ExternalID"), "prd-other");
  // The rename leaves no temporary file behind.
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(m_dir)) files += e.is_regular_file() ? 1 : 0;
  EXPECT_EQ(files, 1);
}

TEST_F(SetPartNumber, TheNumberSurvivesIntoTheNextSessionAndIsSentByTheNextRun) {
  Run();
  ResetHost();
  m_json = nlohmann::ordered_json::parse(std::ifstream(m_sessionPath));
  SetAnswer([](const std::string&) { return elmtest::PartNumberAnswer("ELM-000043"); });
  ResetHost();
  Run();
  auto requests = Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_THAT(requests[0].attributes, ElementsAre(Pair("PartNumber", "ELM-000042")));
  EXPECT_EQ(SavedAttribute("part", "PLM_ExternalID"), "ELM-000043");
}

TEST_F(SetPartNumber, OutsideTheNavigatorWorkbenchesTheSearchSelectionIsUsed) {
  Session()["workbench"] = "CATImmSearch";
  Session()["searchSelection"] = {"other"};
  Run();
  auto requests = Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_THAT(requests[0].attributes, ElementsAre(Pair("PartNumber", "prd-other")));
  EXPECT_EQ(SavedAttribute("other", "PLM_ExternalID"), "ELM-000042");
  EXPECT_EQ(SavedAttribute("part", "PLM_ExternalID"), "prd-part");
}

TEST_F(SetPartNumber, LifeCycleWorkbenchReadsTheTree) {
  Session()["workbench"] = "LifeCycleWorkbench";
  Session()["searchSelection"] = {"other"};
  Run();
  EXPECT_EQ(SavedAttribute("part", "PLM_ExternalID"), "ELM-000042");
}

TEST_F(SetPartNumber, NotExactlyOneSelectedObjectWarnsThenReportsTheFailure) {
  Select({"n-part", "n-other"});
  Run();
  EXPECT_THAT(BoxList(), ElementsAre(WarningBox("ELMSetPartNumberFromExtPdmCmd MsgWarnSelection"), ErrorBox(kFailed)));
  EXPECT_THAT(Requests(), IsEmpty());
  EXPECT_THAT(m_plm->Saves(), IsEmpty());
}

TEST_F(SetPartNumber, EmptySearchSelectionWarnsThenReportsTheFailure) {
  Session()["workbench"] = "3DEXPERIENCEPlatform";
  Run();
  EXPECT_THAT(BoxList(), ElementsAre(WarningBox("ELMSetPartNumberFromExtPdmCmd MsgWarnSelection"), ErrorBox(kFailed)));
  EXPECT_THAT(Requests(), IsEmpty());
}

TEST_F(SetPartNumber, ASelectedObjectThatIsNotATreeNodeIsRefusedWithoutASelectionBox) {
  // A bare object in the tree window has no navigation occurrence.
  Select({"part"});
  Run();
  EXPECT_THAT(BoxList(), ElementsAre(ErrorBox(kFailed)));
  EXPECT_THAT(Requests(), IsEmpty());
}

TEST_F(SetPartNumber, WithoutATreeWindowOnlyTheFailureIsReported) {
  Session().erase("tree");
  Session().erase("selection");
  Run();
  EXPECT_THAT(BoxList(), ElementsAre(ErrorBox(kFailed)));
}

TEST_F(SetPartNumber, IdentifierWithoutThePrefixIsRefusedBeforeAnyRequest) {
  setenv("ELM_SETPN_PNPREFIX", "part", 1);  // inside "prd-part", but not at its start
  Run();
  EXPECT_THAT(BoxList(), ElementsAre(WarningBox("prefix refused: [prd-part] [part]")));
  EXPECT_THAT(Requests(), IsEmpty());
  EXPECT_EQ(SavedAttribute("part", "PLM_ExternalID"), "prd-part");
}

TEST_F(SetPartNumber, IdentifierBeginningWithThePrefixPasses) {
  setenv("ELM_SETPN_PNPREFIX", "prd-", 1);
  Run();
  EXPECT_EQ(Requests().size(), 1u);
  EXPECT_EQ(SavedAttribute("part", "PLM_ExternalID"), "ELM-000042");
}

TEST_F(SetPartNumber, UnsavedObjectIsRefusedWithItsOwnBoxOnly) {
  Select({"n-unsaved"});
  Run();
  EXPECT_THAT(BoxList(), ElementsAre(WarningBox("ELMSetPartNumberFromExtPdmCmd MsgSelectedUnsaved")));
  EXPECT_THAT(Requests(), IsEmpty());
}

TEST_F(SetPartNumber, ObjectWithTwoVersionsIsRefused) {
  Select({"n-versioned"});
  Run();
  EXPECT_THAT(BoxList(), ElementsAre(WarningBox("ELMSetPartNumberFromExtPdmCmd MsgMultipleVersions")));
  EXPECT_THAT(Requests(), IsEmpty());
}

TEST_F(SetPartNumber, ObjectWithOneVersionInItsFamilyPasses) {
  Session()["objects"][5]["versionFamily"] = "another";  // v2 alone in its family now
  Select({"n-versioned"});
  Run();
  EXPECT_EQ(Requests().size(), 1u);
  EXPECT_EQ(SavedAttribute("v2", "PLM_ExternalID"), "ELM-000042");
}

TEST_F(SetPartNumber, WithoutConfiguredMaturityAnyStatePassesAndMaturityIsNotAsked) {
  Select({"n-released"});
  Run();
  EXPECT_EQ(Requests().size(), 1u);
  EXPECT_EQ(m_plm->MaturityQueries(), 0);
  EXPECT_EQ(SavedAttribute("released", "PLM_ExternalID"), "ELM-000042");
}

TEST_F(SetPartNumber, OtherMaturityThanConfiguredIsRefusedWithStateAndConfiguration) {
  setenv("ELM_SETPN_MATURITY", "IN_WORK", 1);
  Select({"n-released"});
  Run();
  EXPECT_THAT(BoxList(), ElementsAre(WarningBox("maturity refused: [RELEASED] [IN_WORK]")));
  EXPECT_EQ(m_plm->MaturityQueries(), 1);
  EXPECT_THAT(Requests(), IsEmpty());
}

TEST_F(SetPartNumber, ConfiguredMaturityThatMatchesPasses) {
  setenv("ELM_SETPN_MATURITY", "IN_WORK", 1);
  Run();
  EXPECT_EQ(m_plm->MaturityQueries(), 1);
  EXPECT_EQ(Requests().size(), 1u);
}

TEST_F(SetPartNumber, ServerErrorsAreListedAsCodeColonTextWithoutTheConnectionBox) {
  SetAnswer([](const std::string&) {
    return Answer("<Error code=\"1234\">Number range exhausted</Error><Error code=\"0\">Plain failure</Error>");
  });
  Run();
  // Coded errors show the catalog's text; with no catalog entry, its generated default.
  EXPECT_THAT(BoxList(), ElementsAre(ErrorBox(std::string("1234: HtmlRequest Error_1234\n"
                                                          "0: Plain failure\n"
                                                          "\n") +
                                              kFailed)));
  EXPECT_THAT(m_plm->Saves(), IsEmpty());
  EXPECT_EQ(m_plm->AttributeValue("part", "PLM_ExternalID"), "prd-part");
}

TEST_F(SetPartNumber, AnswerWithoutPartNumberListsMessagesAfterTheConnectionBox) {
  SetAnswer([](const std::string&) {
    return Answer("<Message code=\"0\">Plain note</Message><Message code=\"7\">Coded note</Message>");
  });
  Run();
  EXPECT_THAT(BoxList(), ElementsAre(WarningBox(kConnectFailed), ErrorBox(std::string("Plain note\n"
                                                                                      "7: Coded note\n"
                                                                                      "\n") +
                                                                          kFailed)));
  EXPECT_THAT(m_plm->Saves(), IsEmpty());
}

TEST_F(SetPartNumber, EmptyPartNumberEndsSilentlyAndWritesNothing) {
  SetAnswer([](const std::string&) { return elmtest::PartNumberAnswer(""); });
  Run();
  EXPECT_EQ(Requests().size(), 1u);
  EXPECT_THAT(BoxList(), IsEmpty());
  EXPECT_THAT(m_plm->Saves(), IsEmpty());
  EXPECT_EQ(m_plm->AttributeValue("part", "PLM_ExternalID"), "prd-part");
}

TEST_F(SetPartNumber, UnreachableServerShowsTheConnectionBoxThenTheFailure) {
  Prepare();
  // A port that was just free: nothing listens there.
  std::string url = m_server->Url();
  m_server.reset();
  setenv("ELM_SERVER_URL", url.c_str(), 1);
  CATCommand* command = CreateCommand();
  ASSERT_NE(command, nullptr);
  EXPECT_EQ(command->Activate(nullptr, nullptr), 0);
  m_dispatch->RunUntilIdle();
  EXPECT_THAT(BoxList(), ElementsAre(WarningBox(kConnectFailed), ErrorBox(kFailed)));
}

TEST_F(SetPartNumber, SaveFailureShowsThePlatformTextThenTheFailureAndKeepsTheFile) {
  Session()["options"] = {{"saveError", "The object is locked by jdoe."}};
  Run();
  EXPECT_THAT(BoxList(), ElementsAre(WarningBox("The object is locked by jdoe."), ErrorBox(kFailed)));
  ASSERT_EQ(m_plm->Saves().size(), 1u);
  EXPECT_FALSE(m_plm->Saves()[0].ok);
  // The change stays in memory, unsaved.
  EXPECT_EQ(m_plm->AttributeValue("part", "PLM_ExternalID"), "ELM-000042");
  EXPECT_EQ(SavedAttribute("part", "PLM_ExternalID"), "prd-part");
}

TEST_F(SetPartNumber, SaveFailureWithoutPlatformTextShowsOnlyTheFailure) {
  Session()["options"] = {{"saveError", ""}};
  Run();
  EXPECT_THAT(BoxList(), ElementsAre(ErrorBox(kFailed)));
}

TEST_F(SetPartNumber, ObjectWithoutIdentityEndsWithoutAnyBox) {
  Select({"n-noid"});
  Run();
  EXPECT_THAT(BoxList(), IsEmpty());
  EXPECT_THAT(Requests(), IsEmpty());
}

TEST_F(SetPartNumber, PlatformServiceFailuresLeadStraightToTheFailureReport) {
  for (const char* service : {"CompleteAndOpen", "ShowAttributeValue", "GetAllVersions", "IsSaved",
                              "SetValueWithString", "GetStateAndPossibleTransitions"}) {
    SCOPED_TRACE(service);
    setenv("ELM_SETPN_MATURITY", "IN_WORK", 1);
    Session()["options"] = {{"failingServices", {service}}};
    Run();
    EXPECT_THAT(BoxList(), ElementsAre(ErrorBox(kFailed)));
    EXPECT_THAT(m_plm->Saves(), IsEmpty());
    ResetHost();
  }
}
