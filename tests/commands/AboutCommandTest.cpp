#include "CommandFixture.h"

#include "CATApplicationFrame.h"
#include "CATDlgDialog.h"
#include "CATDlgLabel.h"
#include "CATDlgPushButton.h"

#include <gmock/gmock.h>

#include <fstream>

using testing::ElementsAre;
using testing::IsEmpty;

namespace {

class About : public elmtest::CommandFixture {
protected:
  void SetUp() override {
    CommandFixture::SetUp();
    WriteCatalog("ELMElementPropertyPageDlg.nls",
                 "MsgTitle = \"Check\";\nCheckServerOK = \"answers\";\nCheckServerKO = \"silent\";\n");
    WriteCatalog("ELMAboutDialog.rsc", "ELMVersion.Title = \"Version:\";\nELM_Name.Title = \"ELM\";\n");
    WriteCatalog("OAKAboutDialog.rsc", "ELM_Name.Title = \"OAK\";\n");
    SetAnswer(R"(<ELM><Response name="Test"><Attribute name="Server" value="OK"/></Response></ELM>)");
  }
  CATDlgDialog* Dialog() const { return elmhost::FindDialog("oak_about"); }
  CATDialog* Widget(const char* name) const { return elmhost::FindWidget(Dialog(), name); }
  std::string Title(const char* name) const {
    CATDialog* w = Widget(name);
    return w ? w->GetTitle().Utf8() : "<no widget>";
  }
};

TEST_F(About, TheDialogHoldsItsElevenWidgetsWhereTheyBelong) {
  Run("ELMAboutCmd");
  EXPECT_THAT(OpenedDialogs(), ElementsAre("oak_about"));
  CATDlgDialog* dialog = Dialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->GetStyle(), 0x10000001ul);
  EXPECT_EQ(dialog->GetFather(), CATApplicationFrame::GetFrame()->GetApplicationDocument());
  const char* const d = "oak_about";
  // Captions come along the resource chain: the module's file, then the dialog's.
  const std::vector<elmtest::WidgetRow> widgets = {
      {"ELMVersion", "CATDlgLabel", d, 0, 1, 1, 1, 1, 10, "Version:"},
      {"ELM3DXLevel", "CATDlgLabel", d, 0, 2, 1, 1, 1, 10},
      {"ELMIcon", "CATDlgLabel", d, 0, 0, 0, 1, 4, 10},
      {"ELM_Name", "CATDlgLabel", d, 0, 0, 1, 1, 1, 10, "OAK"},
      {"ELMCRString", "CATDlgLabel", d, 0, 3, 1, 2, 1, 10},
      {"ELMVersionString", "CATDlgLabel", d, 0, 1, 2, 1, 1, 10, "3.11.0.0"},
      {"ELM3DXLevelString", "CATDlgLabel", d, 0, 2, 2, 1, 1, 10, "V6R2021x"},
      {"ELMCheckServerButton", "CATDlgPushButton", d, 0, 7, 1, 1, 1, 10},
      {"ELMServerUrl", "CATDlgLabel", d, 0, 6, 0, 3, 1, 10},
      {"ELMServerUrlLabel", "CATDlgLabel", d, 0, 5, 0, 1, 1, 10},
      {"Separator1", "CATDlgSeparator", d, 0, 4, 0, 3, 1, 0xe},
  };
  elmtest::ExpectWidgets(dialog, widgets);
  EXPECT_EQ(dialog->GetResizableColumns(), std::set<int>{3});
  EXPECT_FALSE(Title("ELMCRString").empty());
  EXPECT_EQ(dialog->GetDefaultButton(), CATDlgWndCLOSE);
  for (CATULong button : {CATDlgWndAPPLY, CATDlgWndCANCEL, CATDlgWndHELP, CATDlgWndOK, CATDlgWndPREVIEW})
    EXPECT_EQ(dialog->GetButtonSensitivity(button), CATDlgDisable) << elmhost::StandardButtonName(button);
  EXPECT_EQ(dialog->GetButtonSensitivity(CATDlgWndCLOSE), CATDlgEnable);
  // The command has ended; the dialog lives on by itself.
  EXPECT_EQ(m_dispatch->PendingDestructions(), 0u);
  EXPECT_THAT(BoxList(), IsEmpty());
}

TEST_F(About, TheServerAddressComesFromTheFirstPlaceThatHasOne) {
  struct Case {
    const char* what;
    const char* url;
    const char* urlAlt;
    const char* setting;
    std::string shown;
  } cases[] = {
      // Which place wins is the transport's test; the dialog shows what it found.
      {"both variables: the first wins", "http://first:1/", "http://second:2/", "http://setting:3/", "http://first:1/"},
      {"no variable: the settings", "", "", "http://setting:3/", "http://setting:3/"},
      {"nowhere", "", "", nullptr, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetHost();
    ASSERT_NO_FATAL_FAILURE(Prepare("ELMAboutCmd"));
    m_env.Set("ELM_SERVER_URL", c.url);
    m_env.Set("ELM_SERVERURL", c.urlAlt);
    std::filesystem::remove(m_dir / "ELMOptions.settings");
    if (c.setting) std::ofstream(m_dir / "ELMOptions.settings") << "ServerUrl = \"" << c.setting << "\";\n";
    StartCommand();
    EXPECT_EQ(Title("ELMServerUrl"), c.shown);
    CATDialog* button = Widget("ELMCheckServerButton");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->GetSensitivity(), c.shown.empty() ? CATDlgDisable : CATDlgEnable);
    if (c.shown.empty()) {
      EXPECT_EQ(elmhost::Press(Dialog(), "ELMCheckServerButton").error,
                "\"ELMCheckServerButton\" of the dialog \"oak_about\" is insensitive");
    }
  }
}

TEST_F(About, TheCheckButtonTellsWhetherTheServerAnswersInTheBoxOfItsOutcome) {
  SetScript(R"([{"dialog": "oak_about", "press": "ELMCheckServerButton"},
                {"dialog": "oak_about", "press": "ELMCheckServerButton"}])");
  Run("ELMAboutCmd");
  EXPECT_EQ(Requests(), elmtest::ReceivedRequests(2, {"Test", {{"ExecuteTest", "Mirror"}, {"Server", "OK"}}}));
  EXPECT_THAT(BoxList(), ElementsAre("ELMWarning|0x4100200|answers", "ELMWarning|0x4100200|answers"));
  EXPECT_THAT(BoxTitles(), ElementsAre("Check", "Check"));

  // A server that is not there, and one that answers without "Server".
  elmtest::RefusingPort closed;
  for (const std::string& url : {"http://127.0.0.1:" + std::to_string(closed.Port()) + "/", std::string()}) {
    ResetHost();
    SetScript("[]");
    if (url.empty()) SetAnswer("<ELM><Response name=\"Test\"/></ELM>");
    Run("ELMAboutCmd");
    if (!url.empty()) m_env.Set("ELM_SERVER_URL", url);
    ASSERT_TRUE(elmhost::Press(Dialog(), "ELMCheckServerButton").ok);
    EXPECT_THAT(BoxList(), ElementsAre("ELMWarning|0x10100200|silent")) << url;
  }
}

TEST_F(About, EveryWayOfClosingHidesTheDialogAndEndsIt) {
  ExpectEveryWayOutEnds(
      "ELMAboutCmd", {R"({"dialog": "oak_about", "button": "Close"})", R"({"dialog": "oak_about", "close": "window"})",
                      R"({"dialog": "oak_about", "close": "mdi"})"});
  // The dialog offers Close only: there is no Cancel for a person to press.
  ResetHost();
  SetScript(R"([{"dialog": "oak_about", "button": "Cancel"}])");
  Run("ELMAboutCmd", /*scriptMayFail=*/true);
  EXPECT_EQ(m_played.error,
            "step 1 (press the Cancel button of oak_about): the dialog \"oak_about\" has no Cancel button");
}

TEST_F(About, WithoutAnApplicationDocumentNoDialogOpensAndTheCommandEnds) {
  ASSERT_NO_FATAL_FAILURE(Prepare("ELMAboutCmd"));
  CATApplicationFrame::GetFrame()->CloseApplicationDocument();
  StartCommand();
  ExpectEnded();
}

}  // namespace
