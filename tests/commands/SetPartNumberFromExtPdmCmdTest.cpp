#include "CommandFixture.h"

#include <gmock/gmock.h>

#include <cstdlib>
#include <fstream>
#include <functional>

using elmtest::ErrorBox;
using elmtest::PlainBox;
using elmtest::WarningBox;
using testing::ElementsAre;
using testing::IsEmpty;

namespace {

const char* const kFailed = "ELMSetPartNumberFromExtPdmCmd MsgFailed";
const char* const kConnectFailed = "ELMSetPartNumberFromExtPdmCmd MsgConnectFailed";

std::string Answer(const std::string& responseContent) {
  return elmtest::ResponseAnswer("GetPartnumber", responseContent);
}
/// The request for a new number for the object of this identifier.
elmtest::ReceivedRequests Asked(const std::string& id) { return {{"GetPartnumber", {{"PartNumber", id}}}}; }

using Json = nlohmann::ordered_json;
using Change = std::function<void(Json&)>;
Change Selecting(std::vector<std::string> ids) {
  return [ids](Json& j) { j["selection"] = ids; };
}
Change Options(Json options) {
  return [options](Json& j) { j["options"] = options; };
}
const Change kUnchanged = [](Json&) {};

class SetPartNumber : public elmtest::CommandFixture {
protected:
  void SetUp() override {
    CommandFixture::SetUp();
    // Only the texts with parameters, so every other text is the command's default.
    WriteCatalog("ELMSetPartNumberFromExtPdmCmd.nls",
                 "MsgWronPNPrefix = \"prefix refused: [/P1] [/P2]\";\n"
                 "MsgWrongMaturity = \"maturity refused: [/P1] [/P2]\";\n"
                 "MsgFinishedOK = \"numbered: [/P1] -> [/P2]\";\n");
  }
  void Run() { CommandFixture::Run("SetPartNumberFromExtPdmCmd"); }

  // One row of a table: a fresh host on the original session with the
  // change made, and the two configuration variables set or unset.
  void RunWith(const Change& change, const char* prefix, const char* maturity) {
    Restart(change);
    prefix ? setenv("ELM_SETPN_PNPREFIX", prefix, 1) : unsetenv("ELM_SETPN_PNPREFIX");
    maturity ? setenv("ELM_SETPN_MATURITY", maturity, 1) : unsetenv("ELM_SETPN_MATURITY");
    Run();
  }
};

}  // namespace

TEST_F(SetPartNumber, TreeSelectionGetsTheServersNumberSavedToTheSessionFile) {
  Run();
  EXPECT_EQ(Requests(), Asked("prd-part"));
  EXPECT_THAT(BoxList(), ElementsAre(PlainBox("numbered: [prd-part] -> [ELM-000042]")));
  EXPECT_THAT(BoxTitles(), ElementsAre("ELMSetPartNumberFromExtPdmCmd MsgTitle"));

  ASSERT_EQ(m_plm->Saves().size(), 1u);
  EXPECT_THAT(m_plm->Saves()[0].objectIds, ElementsAre("part"));
  EXPECT_EQ(SavedAttribute("part", "PLM_ExternalID"), "ELM-000042");
  // Only the selected object is written.
  EXPECT_EQ(SavedAttribute("other", "PLM_ExternalID"), "prd-other");
}

TEST_F(SetPartNumber, TheNumberSurvivesIntoTheNextSessionAndIsSentByTheNextRun) {
  Run();
  ResetHost();
  m_json = nlohmann::ordered_json::parse(std::ifstream(m_sessionPath));
  SetAnswer(elmtest::PartNumberAnswer("ELM-000043"));
  Run();
  EXPECT_EQ(Requests(), Asked("ELM-000042"));
  EXPECT_EQ(SavedAttribute("part", "PLM_ExternalID"), "ELM-000043");
}

TEST_F(SetPartNumber, OutsideTheNavigatorWorkbenchesTheSearchSelectionIsUsed) {
  Session()["workbench"] = "CATImmSearch";
  Session()["searchSelection"] = {"other"};
  Run();
  EXPECT_EQ(Requests(), Asked("prd-other"));
  EXPECT_EQ(SavedAttribute("other", "PLM_ExternalID"), "ELM-000042");
  EXPECT_EQ(SavedAttribute("part", "PLM_ExternalID"), "prd-part");
}

TEST_F(SetPartNumber, SelectionsThatCannotBeNumberedShowTheirBoxesAndSendNothing) {
  auto warning = [](const char* key) { return WarningBox(std::string("ELMSetPartNumberFromExtPdmCmd ") + key); };
  const std::vector<std::string> refused = {warning("MsgWarnSelection"), ErrorBox(kFailed)};
  const std::string wrongMaturity = WarningBox("maturity refused: [RELEASED] [IN_WORK]");
  auto noTree = [](Json& j) {
    j.erase("tree");
    j.erase("selection");
  };
  struct Case {
    const char* what;
    Change change;
    std::vector<std::string> boxes;
    const char* prefix = nullptr;
    const char* maturity = nullptr;
  } cases[] = {
      {"two selected objects", Selecting({"n-part", "n-other"}), refused},
      {"empty search selection", [](Json& j) { j["workbench"] = "3DEXPERIENCEPlatform"; }, refused},
      // A bare object in the tree window has no navigation occurrence.
      {"object that is no tree node", Selecting({"part"}), {ErrorBox(kFailed)}},
      {"no tree window", noTree, {ErrorBox(kFailed)}},
      {"unsaved object", Selecting({"n-unsaved"}), {warning("MsgSelectedUnsaved")}},
      {"object with two versions", Selecting({"n-versioned"}), {warning("MsgMultipleVersions")}},
      {"object without identity", Selecting({"n-noid"}), {}},
      // "part" stands inside "prd-part", but not at its start.
      {"identifier without the prefix", kUnchanged, {WarningBox("prefix refused: [prd-part] [part]")}, "part"},
      {"other maturity than configured", Selecting({"n-released"}), {wrongMaturity}, nullptr, "IN_WORK"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RunWith(c.change, c.prefix, c.maturity);
    EXPECT_EQ(BoxList(), c.boxes);
    EXPECT_EQ(m_plm->MaturityQueries(), c.maturity ? 1 : 0);
    EXPECT_THAT(Requests(), IsEmpty());
    EXPECT_THAT(m_plm->Saves(), IsEmpty());
    EXPECT_EQ(SavedAttribute("part", "PLM_ExternalID"), "prd-part");
  }
}

TEST_F(SetPartNumber, ConfigurationsThatAllowNumberingNumberTheSelectedObject) {
  auto lifeCycle = [](Json& j) {
    j["workbench"] = "LifeCycleWorkbench";
    j["searchSelection"] = {"other"};
  };
  // v2 alone in its family now.
  auto oneVersion = [](Json& j) {
    j["objects"][5]["versionFamily"] = "another";
    j["selection"] = {"n-versioned"};
  };
  struct Case {
    const char* what;
    Change change;
    const char* numbered;
    const char* prefix;
    const char* maturity;
    int maturityQueries;
  } cases[] = {
      {"life cycle workbench reads the tree", lifeCycle, "part", nullptr, nullptr, 0},
      {"identifier beginning with the prefix", kUnchanged, "part", "prd-", nullptr, 0},
      {"one version in its family", oneVersion, "v2", nullptr, nullptr, 0},
      {"no configured maturity: any state, never asked", Selecting({"n-released"}), "released", nullptr, nullptr, 0},
      {"configured maturity that matches", kUnchanged, "part", nullptr, "IN_WORK", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RunWith(c.change, c.prefix, c.maturity);
    EXPECT_EQ(Requests().size(), 1u);
    EXPECT_EQ(m_plm->MaturityQueries(), c.maturityQueries);
    EXPECT_EQ(SavedAttribute(c.numbered, "PLM_ExternalID"), "ELM-000042");
  }
}

// Coded errors show the catalog's text; with no catalog entry, its generated
// default. A failed save keeps the change in memory, unsaved.
TEST_F(SetPartNumber, AnswersWithoutANumberAndFailedSavesShowTheirBoxesAndKeepTheFile) {
  const std::string errors =
      Answer("<Error code=\"1234\">Number range exhausted</Error><Error code=\"0\">Plain failure</Error>");
  const std::string messages =
      Answer("<Message code=\"0\">Plain note</Message><Message code=\"7\">Coded note</Message>");
  const std::string numbered = elmtest::PartNumberAnswer("ELM-000042");
  const char* const locked = "The object is locked by jdoe.";
  const std::vector<std::string> lockedBoxes = {WarningBox(locked), ErrorBox(kFailed)};
  const std::vector<std::string> errorBoxes = {
      ErrorBox(std::string("1234: HtmlRequest Error_1234\n0: Plain failure\n\n") + kFailed)};
  const std::vector<std::string> messageBoxes = {WarningBox(kConnectFailed),
                                                 ErrorBox(std::string("Plain note\n7: Coded note\n\n") + kFailed)};
  struct Case {
    const char* what;
    std::string answer;
    const char* saveError;  ///< null: the save succeeds
    std::vector<std::string> boxes;
    const char* inMemory;
  } cases[] = {
      {"server errors, without the connection box", errors, nullptr, errorBoxes, "prd-part"},
      {"messages but no number, after the connection box", messages, nullptr, messageBoxes, "prd-part"},
      {"an empty number ends silently", elmtest::PartNumberAnswer(""), nullptr, {}, "prd-part"},
      {"a save failure with the platform's text", numbered, locked, lockedBoxes, "ELM-000042"},
      {"a save failure without a text", numbered, "", {ErrorBox(kFailed)}, "ELM-000042"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetAnswer(c.answer);
    RunWith(c.saveError ? Options({{"saveError", c.saveError}}) : kUnchanged, nullptr, nullptr);
    EXPECT_EQ(Requests().size(), 1u);
    EXPECT_EQ(BoxList(), c.boxes);
    EXPECT_EQ(m_plm->Saves().size(), c.saveError ? 1u : 0u);
    if (c.saveError) {
      EXPECT_FALSE(m_plm->Saves()[0].ok);
    }
    EXPECT_EQ(m_plm->AttributeValue("part", "PLM_ExternalID"), c.inMemory);
    EXPECT_EQ(SavedAttribute("part", "PLM_ExternalID"), "prd-part");
  }
}

TEST_F(SetPartNumber, PlatformServiceFailuresLeadStraightToTheFailureReport) {
  for (const char* service : {"CompleteAndOpen", "ShowAttributeValue", "GetAllVersions", "IsSaved",
                              "SetValueWithString", "GetStateAndPossibleTransitions"}) {
    SCOPED_TRACE(service);
    RunWith(Options({{"failingServices", {service}}}), nullptr, "IN_WORK");
    EXPECT_THAT(BoxList(), ElementsAre(ErrorBox(kFailed)));
    EXPECT_THAT(m_plm->Saves(), IsEmpty());
  }
}
