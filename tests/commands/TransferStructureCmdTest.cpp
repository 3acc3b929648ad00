#include "CommandFixture.h"

#include "CATApplicationFrame.h"
#include "CATDlgDialog.h"
#include "CATDlgEditor.h"

#include <gmock/gmock.h>

#include <map>
#include <regex>

using elmtest::WarningBox;
using testing::ElementsAre;
using testing::IsEmpty;
using testing::Pair;

namespace {

const char* const kCmd = "ELMTransferStructureCmd";
const char* const kProduct = "oak_send_to_pdm_dialog";
const char* const kFolder = "oak_send_folder_to_pdm_dialog";
const char* const kBookmark = "oak_send_bookmark_to_pdm_dialog";

using elmtest::ResponseAnswer;
std::string Switches(bool showSendConfiguration, bool useBookmark) {
  return ResponseAnswer("GetSettingsInfo", std::string("<Show3DXSendConfigurationEnabled value=\"") +
                                       (showSendConfiguration ? "true" : "false") + "\"/><UseBookmark value=\"" +
                                       (useBookmark ? "true" : "false") + "\"/>");
}
const std::string kAccepted = ResponseAnswer("SendEnoviaObjectToTC", "<Attribute name=\"TransferId\" value=\"7\"/>");

std::string InfoBox(const std::string& text) { return "ELMError|0x4100000|" + text; }
std::string ErrorBox(const std::string& text) { return "ELMError|0x10100000|" + text; }

using Attributes = std::vector<std::pair<std::string, std::string>>;

/// The attributes of a transfer with the dialogs' defaults, changed where given.
Attributes Transfer(const std::string& type, const std::string& name, const std::string& revision,
                    const std::string& transferType, std::map<std::string, std::string> changes = {}) {
  Attributes a = {{"3DEXP", "true"},
                  {"user", "tester"},
                  {"type", type},
                  {"name", name},
                  {"revision", revision},
                  {"transfer_type", transferType},
                  {"expand_level", "-1"},
                  {"force", "false"},
                  {"remove_existing", "true"},
                  {"send_configuration", "false"},
                  {"folder_only", "false"},
                  {"TRANSFER_SUBSTRUCTURES_PARALLEL", "false"}};
  for (auto& [key, value] : a)
    if (auto it = changes.find(key); it != changes.end()) value = it->second;
  return a;
}

class TransferStructure : public elmtest::CommandFixture {
protected:
  void SetUp() override {
    CommandFixture::SetUp();
    UseSession("transfer.json");
    WriteCatalog("ELMTransferStructureCmd.nls", "MsgWarnSelectedElementCannotTansfered = \"refused [/P1]\";\n"
                                                "MsgSendSuccess = \"sent [/P1] [/P2] [/P3]\";\n"
                                                "MsgSendFailed = \"failed [/P1] [/P2] [/P3]\";\n");
    WriteCatalog("ELMSendToPDMDialog.nls", "MsgSaveFailed = \"not saved [/P1] [/P2] [/P3]\";\n"
                                           "MsgSendFailed = \"product not sent [/P1] [/P2] [/P3]\";\n");
    WriteCatalog("ELMSendFolderToPDMDialog.nls", "Title = \"Folder to PDM\";\n");
    WriteCatalog("ELMSendFolderToPDMDialog.rsc", "FolderOnlyCheckButton.Title = \"Folder only\";\n"
                                                 "CheckButtonForce.Title = \"Force\";\n");
    // The module's file comes first along the resource chain.
    WriteCatalog("OAKSendFolderToPDMDialog.rsc", "CheckButtonForce.Title = \"Force (OAK)\";\n");
    Serve(false, false);
  }

  /// The server answers the settings request with these switches and every
  /// other request with transfer.
  void Serve(bool showSendConfiguration, bool useBookmark, const std::string& transfer = kAccepted) {
    Serve(Switches(showSendConfiguration, useBookmark), transfer);
  }
  void Serve(const std::string& settings, const std::string& transfer) {
    SetAnswerer([settings, transfer](const std::string& body) {
      return body.find("name=\"GetSettingsInfo\"") != std::string::npos ? settings : transfer;
    });
  }
  void Run(const std::string& script = "[]") {
    SetScript(script);
    CommandFixture::Run(kCmd);
  }
  /// One row of a table: a fresh host on the original session, changed.
  void Rerun(const std::function<void(nlohmann::ordered_json&)>& change, const std::string& script = "[]") {
    Restart(change);
    Run(script);
  }
  static std::string Ok(const char* dialog) {
    return std::string("{\"dialog\": \"") + dialog + "\", \"button\": \"OK\"}";
  }

  static CATDialog* Widget(const char* dialog, const char* name) {
    return elmhost::FindWidget(elmhost::FindDialog(dialog), name);
  }
  static bool Checked(const char* dialog, const char* name) { return elmtest::IsChecked(Widget(dialog, name)); }
  /// Requests other than the settings request, which every activation sends first.
  std::vector<elmtest::ReceivedRequest> Transfers() const {
    std::vector<elmtest::ReceivedRequest> out;
    for (auto& r : Requests())
      if (r.name != "GetSettingsInfo") out.push_back(r);
    return out;
  }
  std::vector<std::string> SavedObjects() const {
    std::vector<std::string> out;
    for (const auto& s : m_plm->Saves()) out.insert(out.end(), s.objectIds.begin(), s.objectIds.end());
    return out;
  }
};

TEST_F(TransferStructure, TheObjectsTypeAndTheBookmarkSwitchChooseTheDialog) {
  struct Case {
    const char* selected;
    bool useBookmark;
    const char* dialog;  ///< null: refused
    const char* type;
  } cases[] = {
      {"n-asm", false, kProduct, "VPMReference"},
      {"n-asm", true, kProduct, "VPMReference"},
      {"n-bolt", true, kProduct, "Bolt"},
      {"fld", false, kFolder, "ENOFLD_FolderRootReference"},
      {"fld", true, nullptr, "ENOFLD_FolderRootReference"},
      {"project-fld", false, kFolder, "ProjectFolder"},
      {"bmk", true, kBookmark, "Workspace"},
      {"bmk", false, nullptr, "Workspace"},
      {"team-bmk", true, kBookmark, "TeamWorkspace"},
      {"sheet", false, nullptr, "Datasheet"},
      {"sheet", true, nullptr, "Datasheet"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.selected) + (c.useBookmark ? " with" : " without") + " bookmarks");
    Serve(false, c.useBookmark);
    Rerun([&](auto& j) { j["selection"] = {c.selected}; });
    if (c.dialog) {
      EXPECT_THAT(OpenedDialogs(), ElementsAre(c.dialog));
      EXPECT_THAT(BoxList(), IsEmpty());
    } else {
      EXPECT_THAT(OpenedDialogs(), IsEmpty());
      EXPECT_THAT(BoxList(), ElementsAre(WarningBox(std::string("refused [") + c.type + "]")));
      EXPECT_EQ(m_user->Boxes()[0].title.Utf8(), "ELMTransferStructureCmd MsgTitle");
    }
    auto requests = Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].name, "GetSettingsInfo");
    EXPECT_THAT(requests[0].attributes, IsEmpty());
  }
}

TEST_F(TransferStructure, EachDialogSendsItsOwnNameAndRevisionOfTheObject) {
  struct Case {
    std::vector<std::string> selected;
    bool useBookmark;
    const char* dialog;
    const char* shown;
    Attributes sent;
    std::vector<std::string> saved;
  } cases[] = {
      {{"n-asm"}, false, kProduct, "Assembly A prd-asm", Transfer("VPMReference", "prd-asm", "A", "VPMReference"),
       {"asm"}},
      {{"n-part"}, false, kProduct, "Part.1 (prd-part)", Transfer("VPMReference", "prd-part", "B", "VPMReference"),
       {"part"}},
      // Nothing selected: the window's root, shown by its alias.
      {{}, false, kProduct, "prd-asm", Transfer("VPMReference", "prd-asm", "A", "VPMReference"), {"asm"}},
      {{"fld"}, false, kFolder, "", Transfer("ENOFLD_FolderRootReference", "fld-ext", "F1", "Folder"), {}},
      {{"bmk"}, true, kBookmark, "", Transfer("Workspace", "bmk-name", "bmk-rev", "Bookmark"), {}},
      {{"team-bmk"}, true, kBookmark, "", Transfer("TeamWorkspace", "team-name", "2", "Bookmark"), {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dialog);
    Serve(false, c.useBookmark);
    Rerun([&](auto& j) { j["selection"] = c.selected; });
    ASSERT_THAT(OpenedDialogs(), ElementsAre(c.dialog));
    const char* display = c.dialog == kProduct ? "SelectedComponentDisplay" : "SelectedComponentEditor";
    auto* editor = dynamic_cast<CATDlgEditor*>(Widget(c.dialog, display));
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->GetText().Utf8(), c.shown);

    Rerun([&](auto& j) { j["selection"] = c.selected; }, "[" + Ok(c.dialog) + "]");
    auto transfers = Transfers();
    ASSERT_EQ(transfers.size(), 1u);
    EXPECT_EQ(transfers[0].name, "SendEnoviaObjectToTC");
    EXPECT_EQ(transfers[0].attributes, c.sent);
    EXPECT_EQ(SavedObjects(), c.saved);
    ASSERT_EQ(BoxList().size(), 1u);
    EXPECT_EQ(BoxList()[0],
              InfoBox("sent [" + c.sent[3].second + "] [" + c.sent[4].second + "] [" + c.sent[2].second + "]\n\n"));
    // Every way out of OK ends the dialog.
    EXPECT_EQ(elmhost::FindDialog(c.dialog), nullptr);
  }
}

TEST_F(TransferStructure, ASwitchIsOnOnlyWhenOneElementSaysTrue) {
  struct Case {
    const char* what;
    std::string settings;
    bool show, useBookmark;
  } cases[] = {
      {"both true", Switches(true, true), true, true},
      {"both false", Switches(false, false), false, false},
      {"letter case is not significant",
       ResponseAnswer("GetSettingsInfo", "<Show3DXSendConfigurationEnabled value=\"TRUE\"/><UseBookmark value=\"True\"/>"),
       true, true},
      {"found anywhere in the answer",
       ResponseAnswer("GetSettingsInfo", "<Settings><UseBookmark value=\"true\"/></Settings>"), false, true},
      {"UseBookmark twice", ResponseAnswer("GetSettingsInfo", "<UseBookmark value=\"true\"/><UseBookmark value=\"true\"/>"
                                                      "<Show3DXSendConfigurationEnabled value=\"true\"/>"),
       true, false},
      {"no value attribute", ResponseAnswer("GetSettingsInfo", "<UseBookmark on=\"true\"/>"), false, false},
      {"other value", ResponseAnswer("GetSettingsInfo", "<UseBookmark value=\"yes\"/>"), false, false},
      {"missing elements", ResponseAnswer("GetSettingsInfo", ""), false, false},
      {"error in the answer", ResponseAnswer("GetSettingsInfo", "<Error code=\"0\">Settings unavailable</Error>"
                                                        "<Show3DXSendConfigurationEnabled value=\"true\"/>"
                                                        "<UseBookmark value=\"true\"/>"),
       false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Serve(c.settings, kAccepted);
    // The product dialog opens either way and shows whether effectivity is offered.
    Rerun([](auto& j) { j["selection"] = {"n-asm"}; });
    ASSERT_THAT(OpenedDialogs(), ElementsAre(kProduct));
    EXPECT_EQ(elmhost::IsShown(Widget(kProduct, "IncludeEffectivity")), c.show);
    Rerun([](auto& j) { j["selection"] = {"bmk"}; });
    EXPECT_EQ(OpenedDialogs(), c.useBookmark ? std::vector<std::string>{kBookmark} : std::vector<std::string>{});
  }
}

TEST_F(TransferStructure, SelectionsThatCannotBeSentEndWithTheirBoxOrSilently) {
  const std::string settingsOnly = "GetSettingsInfo";
  struct Case {
    const char* what;
    std::function<void(nlohmann::ordered_json&)> change;
    std::vector<std::string> boxes;
    std::vector<std::string> requests;
  } cases[] = {
      {"two selected nodes", [](auto& j) { j["selection"] = {"n-part", "n-bolt"}; },
       {WarningBox("ELMTransferStructureCmd MsgWarnSelection")}, {}},
      {"window with two roots and nothing selected",
       [](auto& j) {
         j["tree"] = nlohmann::ordered_json::array({j["tree"], {{"id", "n-fld"}, {"reference", "fld"}}});
         j.erase("selection");
       },
       {WarningBox("ELMTransferStructureCmd MsgWarnSelection")}, {}},
      {"never saved", [](auto& j) { j["selection"] = {"n-unsaved"}; },
       {WarningBox("ELMTransferStructureCmd MsgWarnSelectedNeverSaved")}, {}},
      {"no identity", [](auto& j) { j["selection"] = {"n-noid"}; }, {}, {}},
      {"unique key unreadable",
       [](auto& j) { j["options"]["failingServices"] = {"GetUniqueKey"}; }, {WarningBox("refused []")}, {settingsOnly}},
      {"key information unreadable",
       [](auto& j) { j["options"]["failingServices"] = {"MoreInformation"}; }, {WarningBox("refused []")},
       {settingsOnly}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Rerun(c.change);
    EXPECT_EQ(BoxList(), c.boxes);
    std::vector<std::string> names;
    for (auto& r : Requests()) names.push_back(r.name);
    EXPECT_EQ(names, c.requests);
    EXPECT_THAT(OpenedDialogs(), IsEmpty());
  }
}

TEST_F(TransferStructure, WithoutTheServerNoDialogOpens) {
  ASSERT_NO_FATAL_FAILURE(Prepare(kCmd));
  // Nothing listens on the port any more: the connection is refused.
  m_server.reset();
  m_dispatch->StartCommand(m_command);
  m_played = m_player->PlayAll();
  EXPECT_TRUE(m_played.ok) << m_played.error;
  EXPECT_THAT(BoxList(), ElementsAre(WarningBox("ELMGlobal ServerRequestFailed")));
  EXPECT_EQ(m_user->Boxes()[0].title.Utf8(), "ELMTransferStructureCmd MsgTitle");
  EXPECT_THAT(elmhost::OpenDialogs(), IsEmpty());
}

TEST_F(TransferStructure, TheProductDialogHoldsItsWidgetsWhereTheyBelong) {
  Serve(true, false);
  Run();
  CATDlgDialog* dialog = elmhost::FindDialog(kProduct);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->GetStyle(), 0xE01ul);
  EXPECT_EQ(dialog->GetTitle().Utf8(), "Send to PDM");
  EXPECT_EQ(dialog->GetFather(), CATApplicationFrame::GetFrame()->GetApplicationDocument());
  EXPECT_EQ(dialog->GetResizableColumns(), std::set<int>{0});
  for (CATULong button : {CATDlgWndAPPLY, CATDlgWndCLOSE, CATDlgWndHELP, CATDlgWndPREVIEW})
    EXPECT_EQ(dialog->GetButtonSensitivity(button), CATDlgDisable) << button;
  for (CATULong button : {CATDlgWndOK, CATDlgWndCANCEL})
    EXPECT_EQ(dialog->GetButtonSensitivity(button), CATDlgEnable) << button;

  elmtest::ExpectWidgets(dialog, {
      {"Frame1", "CATDlgFrame", kProduct, 1, 1, 0, 1, 1, 0x1E, "Expand Depth", {}, true},
      {"RadioButtonAll", "CATDlgRadioButton", "Frame1", 0, 0, 0, 1, 1, 0x0A, "All", true, true},
      {"RadioButtonNone", "CATDlgRadioButton", "Frame1", 0, 1, 0, 1, 1, 0x0A, "None", false, true},
      {"RadioButtonSelect", "CATDlgRadioButton", "Frame1", 0, 2, 0, 1, 1, 0x0A, "Select depth:", false, true},
      {"expandDepth", "CATDlgEditor", "Frame1", 0x200000, 2, 1, 1, 1, 0x0E, "", {}, false},
      {"transferSubStructures", "CATDlgCheckButton", "Frame1", 0, 3, 0, 2, 1, 0x0A, "Transfer substructures at expand depth in parallel",
       false, false},
      {"Frame2", "CATDlgFrame", kProduct, 1, 2, 0, 1, 1, 0x1E, "Export Options", {}, true},
      {"CheckButtonRemoveExisting", "CATDlgCheckButton", "Frame2", 0, 1, 0, 1, 1, 0x0A, "Remove non-existing children in PDM",
       true, true},
      {"CheckButtonForce", "CATDlgCheckButton", "Frame2", 0, 0, 0, 1, 1, 0x0A, "Force", false, true},
      {"SaveBeforeCB", "CATDlgCheckButton", "Frame2", 0, 2, 0, 1, 1, 0x0A, "Save before component to PDM", true, true},
      {"IncludeEffectivity", "CATDlgCheckButton", "Frame2", 0, 3, 0, 1, 1, 0x0A, "Include Effectivity", false, true},
      {"SelectedComponentFrame", "CATDlgFrame", kProduct, 1, 0, 0, 1, 1, 0x1E, "Selected Component", {}, true},
      {"SelectedComponentDisplay", "CATDlgEditor", "SelectedComponentFrame", 0, 0, 0, 1, 1, 0x7E, "", {}, false},
  });
  auto* depth = dynamic_cast<CATDlgEditor*>(Widget(kProduct, "expandDepth"));
  EXPECT_EQ(depth->GetText().Utf8(), "2");
  EXPECT_EQ(depth->GetIntegerValue(), 2);
  EXPECT_EQ(dynamic_cast<CATDlgEditor*>(Widget(kProduct, "SelectedComponentDisplay"))->GetVisibleTextWidth(), 40);

  struct Help {
    const char* name;
    const char *help, *shortHelp, *longHelp;
  } helps[] = {
      {"CheckButtonRemoveExisting", "Remove non-existing children in PDM", "Remove-non existing children in PDM",
       "Remove-non existing children in PDM"},
      {"CheckButtonForce", "Force", "Force", "Force"},
      {"SaveBeforeCB", "Save selected component before Send to PDM", "Save selected component before send to PDM",
       "Save selected component and all children before send to PDM"},
      {"IncludeEffectivity", "Include effectivity information", "Include effectivity information",
       "Include effectivity information"},
  };
  for (const Help& h : helps) {
    CATDialog* w = Widget(kProduct, h.name);
    EXPECT_EQ(std::vector<std::string>({w->GetHelp().Utf8(), w->GetShortHelp().Utf8(), w->GetLongHelp().Utf8()}),
              std::vector<std::string>({h.help, h.shortHelp, h.longHelp}))
        << h.name;
  }
}

TEST_F(TransferStructure, TheProductDialogsChoicesReachTheRequest) {
  auto step = [](const char* action, const char* widget, const char* text = nullptr) {
    return std::string("{\"dialog\": \"") + kProduct + "\", \"" + action + "\": \"" + widget + "\"" +
           (text ? std::string(", \"text\": \"") + text + "\"" : "") + "}";
  };
  const std::string select = step("choose", "RadioButtonSelect");
  const std::string parallel = step("check", "transferSubStructures");
  struct Case {
    const char* what;
    std::vector<std::string> steps;
    std::map<std::string, std::string> sent;
    bool showSendConfiguration = false;
  } cases[] = {
      {"defaults", {}, {}},
      {"no depth", {step("choose", "RadioButtonNone")}, {{"expand_level", "0"}}},
      {"three levels", {select, step("type", "expandDepth", "3")}, {{"expand_level", "3"}}},
      {"editor's own value", {select}, {{"expand_level", "2"}}},
      {"three levels in parallel", {select, step("type", "expandDepth", "3"), parallel},
       {{"expand_level", "3"}, {"TRANSFER_SUBSTRUCTURES_PARALLEL", "true"}}},
      // Leaving the explicit depth forgets the editor and clears the parallel option.
      {"back to all levels", {select, step("type", "expandDepth", "5"), parallel, step("choose", "RadioButtonAll")},
       {}},
      {"back to no depth", {select, parallel, step("choose", "RadioButtonNone")}, {{"expand_level", "0"}}},
      {"force", {step("check", "CheckButtonForce")}, {{"force", "true"}}},
      {"keep children", {step("uncheck", "CheckButtonRemoveExisting")}, {{"remove_existing", "false"}}},
      {"effectivity", {step("check", "IncludeEffectivity")}, {{"send_configuration", "true"}}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Serve(c.showSendConfiguration, false);
    std::string script = "[";
    for (const auto& s : c.steps) script += s + ",";
    Rerun([](auto&) {}, script + Ok(kProduct) + "]");
    auto transfers = Transfers();
    ASSERT_EQ(transfers.size(), 1u);
    EXPECT_EQ(transfers[0].attributes, Transfer("VPMReference", "prd-asm", "A", "VPMReference", c.sent));
  }

  // What a person can and cannot reach while choosing.
  ResetHost();
  Run("[" + select + "]");
  EXPECT_TRUE(elmhost::IsSensitive(Widget(kProduct, "expandDepth")));
  EXPECT_TRUE(elmhost::IsSensitive(Widget(kProduct, "transferSubStructures")));
  CATDlgDialog* dialog = elmhost::FindDialog(kProduct);
  ASSERT_TRUE(elmhost::SetChecked(dialog, "transferSubStructures", true));
  ASSERT_TRUE(elmhost::Choose(dialog, "RadioButtonNone"));
  EXPECT_FALSE(elmhost::IsSensitive(Widget(kProduct, "expandDepth")));
  EXPECT_FALSE(elmhost::IsSensitive(Widget(kProduct, "transferSubStructures")));
  EXPECT_FALSE(Checked(kProduct, "transferSubStructures"));
  EXPECT_FALSE(elmhost::Type(dialog, "expandDepth", "4"));
}

TEST_F(TransferStructure, SavingBeforeSendingIsOfferedOutsideExplorerWindowsAndAFailedSaveSendsNothing) {
  struct Case {
    const char* what;
    std::function<void(nlohmann::ordered_json&)> change;
    std::string script;
    bool offered;
    std::vector<std::string> saved;
    std::vector<std::string> boxes;
    size_t transfers;
  } cases[] = {
      {"authoring window", [](auto&) {}, "[" + Ok(kProduct) + "]", true, {"asm"},
       {InfoBox("sent [prd-asm] [A] [VPMReference]\n\n")}, 1},
      {"declined", [](auto&) {},
       std::string("[{\"dialog\": \"") + kProduct + "\", \"uncheck\": \"SaveBeforeCB\"}," + Ok(kProduct) + "]", true,
       {}, {InfoBox("sent [prd-asm] [A] [VPMReference]\n\n")}, 1},
      {"explorer window", [](auto& j) { j["window"] = "explorer"; }, "[" + Ok(kProduct) + "]", false, {},
       {InfoBox("sent [prd-asm] [A] [VPMReference]\n\n")}, 1},
      {"save fails", [](auto& j) { j["options"]["saveError"] = "Disk quota exceeded"; }, "[" + Ok(kProduct) + "]",
       true, {"asm"}, {ErrorBox("not saved [prd-asm] [A] [VPMReference]")}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Rerun(c.change);
    ASSERT_THAT(OpenedDialogs(), ElementsAre(kProduct));
    EXPECT_EQ(Checked(kProduct, "SaveBeforeCB"), c.offered);
    EXPECT_EQ(elmhost::IsSensitive(Widget(kProduct, "SaveBeforeCB")), c.offered);

    Rerun(c.change, c.script);
    EXPECT_EQ(SavedObjects(), c.saved);
    EXPECT_EQ(BoxList(), c.boxes);
    EXPECT_EQ(Transfers().size(), c.transfers);
    EXPECT_EQ(elmhost::FindDialog(kProduct), nullptr);
  }
}

TEST_F(TransferStructure, TheOutcomeBoxTellsTheServersAnswer) {
  const std::string garbage = "this is no XML";
  struct Case {
    const char* what;
    std::string answer;
    const char* selected;
    std::vector<std::string> boxes;
    size_t transfers = 1;
  } cases[] = {
      {"accepted", kAccepted, "n-asm", {InfoBox("sent [prd-asm] [A] [VPMReference]\n\n")}},
      // Only errors count: no response element and messages are still an acceptance.
      {"empty answer", "<ELM/>", "n-asm", {InfoBox("sent [prd-asm] [A] [VPMReference]\n\n")}},
      {"messages only", ResponseAnswer("SendEnoviaObjectToTC", "<Message code=\"3\">queued</Message>"), "n-asm",
       {InfoBox("sent [prd-asm] [A] [VPMReference]\n\n")}},
      {"errors", ResponseAnswer("SendEnoviaObjectToTC", "<Error code=\"12\">No Teamcenter item</Error><Error code=\"0\">"
                                                "Locked by smith</Error>"),
       "n-asm", {ErrorBox("failed [prd-asm] [A] [VPMReference]\n\nNo Teamcenter item\nLocked by smith\n")}},
      {"unreadable answer", garbage, "n-asm", {ErrorBox("ELMGlobal ServerRequestFailed")}},
      // Nothing to name the object by: nothing is sent, the dialog's own text stands in.
      {"object without a name", kAccepted, "n-nameless", {ErrorBox("product not sent [] [A] [VPMReference]")}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Serve(Switches(false, false), c.answer);
    Rerun([&](auto& j) { j["selection"] = {c.selected}; }, "[" + Ok(kProduct) + "]");
    EXPECT_EQ(BoxList(), c.boxes);
    ASSERT_FALSE(m_user->Boxes().empty());
    EXPECT_EQ(m_user->Boxes()[0].title.Utf8(), "ELMSendToPDMDialog MsgTitle");
    EXPECT_EQ(Transfers().size(), c.transfers);
  }
}

TEST_F(TransferStructure, CancelAndWindowCloseEndTheDialogWithoutSending) {
  struct Case {
    const char* selected;
    bool useBookmark;
    const char* dialog;
  } cases[] = {{"n-asm", false, kProduct}, {"fld", false, kFolder}, {"bmk", true, kBookmark}};
  for (const Case& c : cases) {
    for (const char* how : {"\"button\": \"Cancel\"", "\"close\": \"window\""}) {
      SCOPED_TRACE(std::string(c.dialog) + " " + how);
      Serve(false, c.useBookmark);
      Rerun([&](auto& j) { j["selection"] = {c.selected}; },
            std::string("[{\"dialog\": \"") + c.dialog + "\", " + how + "}]");
      EXPECT_THAT(Transfers(), IsEmpty());
      EXPECT_THAT(SavedObjects(), IsEmpty());
      EXPECT_THAT(BoxList(), IsEmpty());
      EXPECT_THAT(elmhost::LiveDialogs(), IsEmpty());
    }
  }
}

TEST_F(TransferStructure, FolderAndBookmarkDialogsTakeTheirTextsFromTheCatalogs) {
  struct Case {
    const char* selected;
    bool useBookmark;
    const char* dialog;
    const char* only;
    const char* title;
    const char* forceTitle;
    const char* onlyTitle;
  } cases[] = {
      {"fld", false, kFolder, "FolderOnlyCheckButton", "Folder to PDM", "Force (OAK)", "Folder only"},
      // No catalog texts at all for the bookmark dialog in this test.
      {"bmk", true, kBookmark, "BookmarkOnlyCheckButton", "", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dialog);
    Serve(false, c.useBookmark);
    Rerun([&](auto& j) { j["selection"] = {c.selected}; });
    CATDlgDialog* dialog = elmhost::FindDialog(c.dialog);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->GetStyle(), 0xE01ul);
    EXPECT_EQ(dialog->GetTitle().Utf8(), c.title);
    EXPECT_EQ(dialog->GetResizableColumns(), std::set<int>{0});
    EXPECT_EQ(dialog->GetButtonSensitivity(CATDlgWndAPPLY), CATDlgDisable);
    std::vector<std::string> created;
    for (CATDialog* w : elmtest::WidgetTree(dialog)) {
      const CATDlgGridConstraints& g = w->GetGridConstraints();
      created.push_back(w->GetName().Str() + " " + std::to_string(g.Row) + "," + std::to_string(g.Column) + " " +
                        std::to_string(g.Justification));
    }
    const std::string only = c.only;
    EXPECT_THAT(created, ElementsAre("Frame2 1,0 30", "CheckButtonForce 0,0 10", only + " 3,0 10",
                                     "CheckButtonRemoveExisting 1,0 10", "IncludeEffectivity 0,0 10",
                                     "SelectedComponentFrame 0,0 30", "SelectedComponentEditor 0,0 14"));
    EXPECT_TRUE(Checked(c.dialog, "CheckButtonRemoveExisting"));
    EXPECT_FALSE(Checked(c.dialog, c.only));
    EXPECT_FALSE(elmhost::IsShown(Widget(c.dialog, "IncludeEffectivity")));
    EXPECT_FALSE(elmhost::IsSensitive(Widget(c.dialog, "SelectedComponentEditor")));
    EXPECT_EQ(Widget(c.dialog, "CheckButtonForce")->GetTitle().Utf8(), c.forceTitle);
    EXPECT_EQ(Widget(c.dialog, c.only)->GetTitle().Utf8(), c.onlyTitle);

    // With effectivity offered, every option reaches the request.
    Serve(true, c.useBookmark);
    auto act = [&](const char* verb, const char* widget) {
      return std::string("{\"dialog\": \"") + c.dialog + "\", \"" + verb + "\": \"" + widget + "\"},";
    };
    Rerun([&](auto& j) { j["selection"] = {c.selected}; },
          "[" + act("check", "CheckButtonForce") + act("check", c.only) + act("check", "IncludeEffectivity") +
              act("uncheck", "CheckButtonRemoveExisting") + Ok(c.dialog) + "]");
    auto transfers = Transfers();
    ASSERT_EQ(transfers.size(), 1u);
    const Attributes& sent = transfers[0].attributes;
    EXPECT_EQ(sent, Transfer(sent[2].second, sent[3].second, sent[4].second, c.dialog == kFolder ? "Folder" : "Bookmark",
                             {{"force", "true"},
                              {"folder_only", "true"},
                              {"send_configuration", "true"},
                              {"remove_existing", "false"}}));
  }
}

TEST_F(TransferStructure, TheTransferRequestOnTheWireEscapesWhatTheObjectCarries) {
  Session()["user"]["login"] = "o'neil & <co>";
  Select({"n-odd"});
  Run("[" + Ok(kProduct) + "]");
  ASSERT_EQ(m_server->Requests().size(), 2u);
  const std::string body = m_server->Requests()[1].body;
  std::smatch id;
  ASSERT_TRUE(std::regex_search(body, id, std::regex("id=\"([0-9]+_[0-9]+)\""))) << body;
  EXPECT_EQ(body,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?><ELM><Request name=\"SendEnoviaObjectToTC\" id=\"" + id[1].str() +
                "\"><Attribute name=\"3DEXP\" value=\"true\"/>"
                "<Attribute name=\"user\" value=\"o'neil &amp; &lt;co>\"/>"
                "<Attribute name=\"type\" value=\"VPMReference\"/>"
                "<Attribute name=\"name\" value=\"prd-&lt;&amp;>&quot;'-Größe-€-😀\"/>"
                "<Attribute name=\"revision\" value=\"Ä&amp;&lt;1>\"/>"
                "<Attribute name=\"transfer_type\" value=\"VPMReference\"/>"
                "<Attribute name=\"expand_level\" value=\"-1\"/>"
                "<Attribute name=\"force\" value=\"false\"/>"
                "<Attribute name=\"remove_existing\" value=\"true\"/>"
                "<Attribute name=\"send_configuration\" value=\"false\"/>"
                "<Attribute name=\"folder_only\" value=\"false\"/>"
                "<Attribute name=\"TRANSFER_SUBSTRUCTURES_PARALLEL\" value=\"false\"/></Request></ELM>");
}

TEST_F(TransferStructure, AnUnreadableLoginStillSendsTheTransferWithAnEmptyUser) {
  Session()["options"]["failingServices"] = {"GetSecurityParameters"};
  Run("[" + Ok(kProduct) + "]");
  auto transfers = Transfers();
  ASSERT_EQ(transfers.size(), 1u);
  EXPECT_THAT(transfers[0].attributes[1], Pair("user", ""));
  EXPECT_THAT(BoxList(), ElementsAre(InfoBox("sent [prd-asm] [A] [VPMReference]\n\n")));
}

}  // namespace
