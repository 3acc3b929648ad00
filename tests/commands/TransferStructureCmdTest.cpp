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

namespace {

const char* const kCmd = "ELMTransferStructureCmd";
const char* const kProduct = "oak_send_to_pdm_dialog";
const char* const kFolder = "oak_send_folder_to_pdm_dialog";
const char* const kBookmark = "oak_send_bookmark_to_pdm_dialog";
const char* const kVpm = "VPMReference";

using elmtest::ResponseAnswer;
using Json = nlohmann::ordered_json;
using Strings = std::vector<std::string>;
using RequestList = elmtest::ReceivedRequests;

std::string Settings(const std::string& content) { return ResponseAnswer("GetSettingsInfo", content); }
std::string Switches(bool showSendConfiguration, bool useBookmark) {
  return Settings(std::string("<Show3DXSendConfigurationEnabled value=\"") +
                  (showSendConfiguration ? "true" : "false") + "\"/><UseBookmark value=\"" +
                  (useBookmark ? "true" : "false") + "\"/>");
}
const std::string kAccepted = ResponseAnswer("SendEnoviaObjectToTC", "<Attribute name=\"TransferId\" value=\"7\"/>");

std::string InfoBox(const std::string& text) { return "ELMError|0x4100000|" + text; }
std::string ErrorBox(const std::string& text) { return "ELMError|0x10100000|" + text; }
const std::string kSentAsm = InfoBox("sent [prd-asm] [A] [VPMReference]\n\n");

std::string Ok(const char* dialog) { return elmtest::Step(dialog, "button", "OK"); }
const std::string kSendProduct = elmtest::Script({Ok(kProduct)});

std::function<void(Json&)> Selecting(Strings ids) {
  return [ids](Json& j) { j["selection"] = ids; };
}
std::function<void(Json&)> Failing(const char* service) {
  return [service](Json& j) { j["options"]["failingServices"] = {service}; };
}

/// The transfer request with the dialogs' defaults, changed where given.
elmtest::ReceivedRequest Transfer(const std::string& type, const std::string& name, const std::string& revision,
                                  const std::string& transferType, std::map<std::string, std::string> changes = {}) {
  elmtest::ReceivedRequest r{"SendEnoviaObjectToTC",
                             {{"3DEXP", "true"},
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
                              {"TRANSFER_SUBSTRUCTURES_PARALLEL", "false"}}};
  for (auto& [key, value] : r.attributes)
    if (auto it = changes.find(key); it != changes.end()) value = it->second;
  return r;
}

class TransferStructure : public elmtest::CommandFixture {
protected:
  void SetUp() override {
    CommandFixture::SetUp();
    UseSession("transfer.json");
    WriteCatalog("ELMTransferStructureCmd.nls",
                 "MsgWarnSelectedElementCannotTansfered = \"refused [/P1]\";\n"
                 "MsgSendSuccess = \"sent [/P1] [/P2] [/P3]\";\n"
                 "MsgSendFailed = \"failed [/P1] [/P2] [/P3]\";\n");
    WriteCatalog("ELMSendToPDMDialog.nls",
                 "MsgSaveFailed = \"not saved [/P1] [/P2] [/P3]\";\n"
                 "MsgSendFailed = \"product not sent [/P1] [/P2] [/P3]\";\n");
    WriteCatalog("ELMSendFolderToPDMDialog.nls", "Title = \"Folder to PDM\";\n");
    WriteCatalog("ELMSendFolderToPDMDialog.rsc",
                 "FolderOnlyCheckButton.Title = \"Folder only\";\n"
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
  void Rerun(const std::function<void(Json&)>& change, const std::string& script = "[]") {
    Restart(change);
    Run(script);
  }

  static CATDialog* Widget(const char* dialog, const char* name) {
    return elmhost::FindWidget(elmhost::FindDialog(dialog), name);
  }
  static bool Checked(const char* dialog, const char* name) { return elmtest::IsChecked(Widget(dialog, name)); }
  /// Requests other than the settings request, which every activation sends first.
  RequestList Transfers() const {
    RequestList out;
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
    Rerun(Selecting({c.selected}));
    EXPECT_EQ(OpenedDialogs(), c.dialog ? Strings{c.dialog} : Strings{});
    EXPECT_EQ(BoxList(), c.dialog ? Strings{} : Strings{WarningBox(std::string("refused [") + c.type + "]")});
    EXPECT_EQ(BoxTitles(), c.dialog ? Strings{} : Strings{"ELMTransferStructureCmd MsgTitle"});
    EXPECT_EQ(Requests(), (RequestList{{"GetSettingsInfo", {}}}));
  }
}

TEST_F(TransferStructure, EachDialogSendsItsOwnNameAndRevisionOfTheObjectOnOkAndNothingOnCancelOrClose) {
  struct Case {
    Strings selected;
    bool useBookmark;
    const char* dialog;
    const char* shown;
    elmtest::ReceivedRequest sent;
    Strings saved;
  } cases[] = {
      {{"n-asm"}, false, kProduct, "Assembly A prd-asm", Transfer(kVpm, "prd-asm", "A", kVpm), {"asm"}},
      {{"n-part"}, false, kProduct, "Part.1 (prd-part)", Transfer(kVpm, "prd-part", "B", kVpm), {"part"}},
      // Nothing selected: the window's root, shown by its alias.
      {{}, false, kProduct, "prd-asm", Transfer(kVpm, "prd-asm", "A", kVpm), {"asm"}},
      {{"fld"}, false, kFolder, "", Transfer("ENOFLD_FolderRootReference", "fld-ext", "F1", "Folder"), {}},
      {{"bmk"}, true, kBookmark, "", Transfer("Workspace", "bmk-name", "bmk-rev", "Bookmark"), {}},
      {{"team-bmk"}, true, kBookmark, "", Transfer("TeamWorkspace", "team-name", "2", "Bookmark"), {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dialog);
    Serve(false, c.useBookmark);
    Rerun(Selecting(c.selected));
    ASSERT_THAT(OpenedDialogs(), ElementsAre(c.dialog));
    const char* display = c.dialog == kProduct ? "SelectedComponentDisplay" : "SelectedComponentEditor";
    auto* editor = dynamic_cast<CATDlgEditor*>(Widget(c.dialog, display));
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->GetText().Utf8(), c.shown);

    Rerun(Selecting(c.selected), elmtest::Script({Ok(c.dialog)}));
    EXPECT_EQ(Transfers(), RequestList{c.sent});
    EXPECT_EQ(SavedObjects(), c.saved);
    const auto& sent = c.sent.attributes;
    EXPECT_THAT(BoxList(), ElementsAre(InfoBox("sent [" + sent[3].second + "] [" + sent[4].second + "] [" +
                                               sent[2].second + "]\n\n")));
    // Every way out of OK ends the dialog.
    EXPECT_EQ(elmhost::FindDialog(c.dialog), nullptr);

    for (const std::string& way :
         {elmtest::Step(c.dialog, "button", "Cancel"), elmtest::Step(c.dialog, "close", "window")}) {
      SCOPED_TRACE(way);
      Rerun(Selecting(c.selected), elmtest::Script({way}));
      EXPECT_THAT(Transfers(), IsEmpty());
      EXPECT_THAT(SavedObjects(), IsEmpty());
      EXPECT_THAT(BoxList(), IsEmpty());
      EXPECT_THAT(elmhost::LiveDialogs(), IsEmpty());
    }
  }
}

TEST_F(TransferStructure, ASwitchIsOnOnlyWhenOneElementSaysTrue) {
  const std::string kBookmarkOn = "<UseBookmark value=\"true\"/>";
  struct Case {
    const char* what;
    std::string settings;
    bool show, useBookmark;
  } cases[] = {
      {"both true", Switches(true, true), true, true},
      {"both false", Switches(false, false), false, false},
      {"letter case is not significant",
       Settings("<Show3DXSendConfigurationEnabled value=\"TRUE\"/><UseBookmark value=\"True\"/>"), true, true},
      {"found anywhere in the answer", Settings("<Settings><UseBookmark value=\"true\"/></Settings>"), false, true},
      {"UseBookmark twice", Settings(kBookmarkOn + kBookmarkOn + "<Show3DXSendConfigurationEnabled value=\"true\"/>"),
       true, false},
      {"no value attribute", Settings("<UseBookmark on=\"true\"/>"), false, false},
      {"other value", Settings("<UseBookmark value=\"yes\"/>"), false, false},
      {"missing elements", Settings(""), false, false},
      {"error in the answer",
       Settings("<Error code=\"0\">Settings unavailable</Error><Show3DXSendConfigurationEnabled value=\"true\"/>" +
                kBookmarkOn),
       false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Serve(c.settings, kAccepted);
    // The product dialog opens either way and shows whether effectivity is offered.
    Rerun(Selecting({"n-asm"}));
    ASSERT_THAT(OpenedDialogs(), ElementsAre(kProduct));
    EXPECT_EQ(elmhost::IsShown(Widget(kProduct, "IncludeEffectivity")), c.show);
    Rerun(Selecting({"bmk"}));
    EXPECT_EQ(OpenedDialogs(), c.useBookmark ? Strings{kBookmark} : Strings{});
  }
}

TEST_F(TransferStructure, SelectionsThatCannotBeSentEndWithTheirBoxOrSilently) {
  const std::string warnSelection = WarningBox("ELMTransferStructureCmd MsgWarnSelection");
  const RequestList settingsOnly = {{"GetSettingsInfo", {}}};
  auto twoRoots = [](Json& j) {
    j["tree"] = Json::array({j["tree"], {{"id", "n-fld"}, {"reference", "fld"}}});
    j.erase("selection");
  };
  struct Case {
    const char* what;
    std::function<void(Json&)> change;
    Strings boxes;
    RequestList requests;
  } cases[] = {
      {"two selected nodes", Selecting({"n-part", "n-bolt"}), {warnSelection}, {}},
      {"window with two roots and nothing selected", twoRoots, {warnSelection}, {}},
      {"never saved", Selecting({"n-unsaved"}), {WarningBox("ELMTransferStructureCmd MsgWarnSelectedNeverSaved")}, {}},
      {"no identity", Selecting({"n-noid"}), {}, {}},
      {"unique key unreadable", Failing("GetUniqueKey"), {WarningBox("refused []")}, settingsOnly},
      {"key information unreadable", Failing("MoreInformation"), {WarningBox("refused []")}, settingsOnly},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Rerun(c.change);
    EXPECT_EQ(BoxList(), c.boxes);
    EXPECT_EQ(Requests(), c.requests);
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
  EXPECT_THAT(BoxTitles(), ElementsAre("ELMTransferStructureCmd MsgTitle"));
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

  const std::vector<elmtest::WidgetRow> widgets = {
      {"Frame1", "CATDlgFrame", kProduct, 1, 1, 0, 1, 1, 0x1E, "Expand Depth", {}, true},
      {"RadioButtonAll", "CATDlgRadioButton", "Frame1", 0, 0, 0, 1, 1, 0x0A, "All", true, true},
      {"RadioButtonNone", "CATDlgRadioButton", "Frame1", 0, 1, 0, 1, 1, 0x0A, "None", false, true},
      {"RadioButtonSelect", "CATDlgRadioButton", "Frame1", 0, 2, 0, 1, 1, 0x0A, "Select depth:", false, true},
      {"expandDepth", "CATDlgEditor", "Frame1", 0x200000, 2, 1, 1, 1, 0x0E, "", {}, false},
      {"transferSubStructures", "CATDlgCheckButton", "Frame1", 0, 3, 0, 2, 1, 0x0A,
       "Transfer substructures at expand depth in parallel", false, false},
      {"Frame2", "CATDlgFrame", kProduct, 1, 2, 0, 1, 1, 0x1E, "Export Options", {}, true},
      {"CheckButtonRemoveExisting", "CATDlgCheckButton", "Frame2", 0, 1, 0, 1, 1, 0x0A,
       "Remove non-existing children in PDM", true, true},
      {"CheckButtonForce", "CATDlgCheckButton", "Frame2", 0, 0, 0, 1, 1, 0x0A, "Force", false, true},
      {"SaveBeforeCB", "CATDlgCheckButton", "Frame2", 0, 2, 0, 1, 1, 0x0A, "Save before component to PDM", true, true},
      {"IncludeEffectivity", "CATDlgCheckButton", "Frame2", 0, 3, 0, 1, 1, 0x0A, "Include Effectivity", false, true},
      {"SelectedComponentFrame", "CATDlgFrame", kProduct, 1, 0, 0, 1, 1, 0x1E, "Selected Component", {}, true},
      {"SelectedComponentDisplay", "CATDlgEditor", "SelectedComponentFrame", 0, 0, 0, 1, 1, 0x7E, "", {}, false},
  };
  elmtest::ExpectWidgets(dialog, widgets);
  auto* depth = dynamic_cast<CATDlgEditor*>(Widget(kProduct, "expandDepth"));
  EXPECT_EQ(depth->GetText().Utf8(), "2");
  EXPECT_EQ(depth->GetIntegerValue(), 2);
  EXPECT_EQ(dynamic_cast<CATDlgEditor*>(Widget(kProduct, "SelectedComponentDisplay"))->GetVisibleTextWidth(), 40);

  // Each button with its help, short help and long help.
  const std::vector<std::vector<std::string>> helps = {
      {"CheckButtonRemoveExisting", "Remove non-existing children in PDM", "Remove-non existing children in PDM",
       "Remove-non existing children in PDM"},
      {"CheckButtonForce", "Force", "Force", "Force"},
      {"SaveBeforeCB", "Save selected component before Send to PDM", "Save selected component before send to PDM",
       "Save selected component and all children before send to PDM"},
      {"IncludeEffectivity", "Include effectivity information", "Include effectivity information",
       "Include effectivity information"},
  };
  for (const auto& h : helps) {
    CATDialog* w = Widget(kProduct, h[0].c_str());
    EXPECT_EQ(std::vector<std::string>({h[0], w->GetHelp().Utf8(), w->GetShortHelp().Utf8(), w->GetLongHelp().Utf8()}),
              h);
  }
}

TEST_F(TransferStructure, TheProductDialogsChoicesReachTheRequest) {
  auto step = [](const char* action, const char* widget) { return elmtest::Step(kProduct, action, widget); };
  auto depth = [](const char* text) {
    return std::string("{\"dialog\": \"") + kProduct + "\", \"type\": \"expandDepth\", \"text\": \"" + text + "\"}";
  };
  const std::string select = step("choose", "RadioButtonSelect");
  const std::string parallel = step("check", "transferSubStructures");
  const std::map<std::string, std::string> threeInParallel = {{"expand_level", "3"},
                                                              {"TRANSFER_SUBSTRUCTURES_PARALLEL", "true"}};
  struct Case {
    const char* what;
    Strings steps;
    std::map<std::string, std::string> sent;
    bool showSendConfiguration = false;
  } cases[] = {
      {"defaults", {}, {}},
      {"no depth", {step("choose", "RadioButtonNone")}, {{"expand_level", "0"}}},
      {"three levels", {select, depth("3")}, {{"expand_level", "3"}}},
      {"editor's own value", {select}, {{"expand_level", "2"}}},
      {"three levels in parallel", {select, depth("3"), parallel}, threeInParallel},
      // Leaving the explicit depth forgets the editor and clears the parallel option.
      {"back to all levels", {select, depth("5"), parallel, step("choose", "RadioButtonAll")}, {}},
      {"back to no depth", {select, parallel, step("choose", "RadioButtonNone")}, {{"expand_level", "0"}}},
      {"force", {step("check", "CheckButtonForce")}, {{"force", "true"}}},
      {"keep children", {step("uncheck", "CheckButtonRemoveExisting")}, {{"remove_existing", "false"}}},
      {"effectivity", {step("check", "IncludeEffectivity")}, {{"send_configuration", "true"}}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Serve(c.showSendConfiguration, false);
    Strings steps = c.steps;
    steps.push_back(Ok(kProduct));
    Rerun([](auto&) {}, elmtest::Script(steps));
    EXPECT_EQ(Transfers(), RequestList{Transfer(kVpm, "prd-asm", "A", kVpm, c.sent)});
  }

  // What a person can and cannot reach while choosing.
  ResetHost();
  Run(elmtest::Script({select}));
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
  const std::string declined = elmtest::Script({elmtest::Step(kProduct, "uncheck", "SaveBeforeCB"), Ok(kProduct)});
  auto unchanged = [](Json&) {};
  auto failingSave = [](Json& j) { j["options"]["saveError"] = "Disk quota exceeded"; };
  struct Case {
    const char* what;
    std::function<void(Json&)> change;
    std::string script;
    bool offered;
    Strings saved;
    std::string box;
    size_t transfers;
  } cases[] = {
      {"authoring window", unchanged, kSendProduct, true, {"asm"}, kSentAsm, 1},
      {"declined", unchanged, declined, true, {}, kSentAsm, 1},
      {"explorer window", [](Json& j) { j["window"] = "explorer"; }, kSendProduct, false, {}, kSentAsm, 1},
      {"save fails", failingSave, kSendProduct, true, {"asm"}, ErrorBox("not saved [prd-asm] [A] [VPMReference]"), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Rerun(c.change);
    ASSERT_THAT(OpenedDialogs(), ElementsAre(kProduct));
    EXPECT_EQ(Checked(kProduct, "SaveBeforeCB"), c.offered);
    EXPECT_EQ(elmhost::IsSensitive(Widget(kProduct, "SaveBeforeCB")), c.offered);

    Rerun(c.change, c.script);
    EXPECT_EQ(SavedObjects(), c.saved);
    EXPECT_THAT(BoxList(), ElementsAre(c.box));
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
    std::string box;
    size_t transfers = 1;
  } cases[] = {
      {"accepted", kAccepted, "n-asm", kSentAsm},
      // Only errors count: no response element and messages are still an acceptance.
      {"empty answer", "<ELM/>", "n-asm", kSentAsm},
      {"messages only", ResponseAnswer("SendEnoviaObjectToTC", "<Message code=\"3\">queued</Message>"), "n-asm",
       kSentAsm},
      {"errors",
       ResponseAnswer("SendEnoviaObjectToTC",
                      "<Error code=\"12\">No Teamcenter item</Error><Error code=\"0\">Locked by smith</Error>"),
       "n-asm", ErrorBox("failed [prd-asm] [A] [VPMReference]\n\nNo Teamcenter item\nLocked by smith\n")},
      {"unreadable answer", garbage, "n-asm", ErrorBox("ELMGlobal ServerRequestFailed")},
      // Nothing to name the object by: nothing is sent, the dialog's own text stands in.
      {"object without a name", kAccepted, "n-nameless", ErrorBox("product not sent [] [A] [VPMReference]"), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Serve(Switches(false, false), c.answer);
    Rerun(Selecting({c.selected}), kSendProduct);
    EXPECT_THAT(BoxList(), ElementsAre(c.box));
    EXPECT_THAT(BoxTitles(), ElementsAre("ELMSendToPDMDialog MsgTitle"));
    EXPECT_EQ(Transfers().size(), c.transfers);
  }
}

TEST_F(TransferStructure, FolderAndBookmarkDialogsTakeTheirTextsFromTheCatalogs) {
  const std::map<std::string, std::string> everyOption = {
      {"force", "true"}, {"folder_only", "true"}, {"send_configuration", "true"}, {"remove_existing", "false"}};
  struct Case {
    const char* selected;
    bool useBookmark;
    const char* dialog;
    const char* only;
    const char* title;
    const char* forceTitle;
    const char* onlyTitle;
    elmtest::ReceivedRequest sent;
  } cases[] = {
      {"fld", false, kFolder, "FolderOnlyCheckButton", "Folder to PDM", "Force (OAK)", "Folder only",
       Transfer("ENOFLD_FolderRootReference", "fld-ext", "F1", "Folder", everyOption)},
      // No catalog texts at all for the bookmark dialog in this test.
      {"bmk", true, kBookmark, "BookmarkOnlyCheckButton", "", "", "",
       Transfer("Workspace", "bmk-name", "bmk-rev", "Bookmark", everyOption)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dialog);
    Serve(false, c.useBookmark);
    Rerun(Selecting({c.selected}));
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
    auto act = [&](const char* verb, const char* widget) { return elmtest::Step(c.dialog, verb, widget); };
    Rerun(Selecting({c.selected}),
          elmtest::Script({act("check", "CheckButtonForce"), act("check", c.only), act("check", "IncludeEffectivity"),
                           act("uncheck", "CheckButtonRemoveExisting"), Ok(c.dialog)}));
    EXPECT_EQ(Transfers(), RequestList{c.sent});
  }
}

TEST_F(TransferStructure, TheTransferRequestOnTheWireEscapesWhatTheObjectCarries) {
  Session()["user"]["login"] = "o'neil & <co>";
  Select({"n-odd"});
  Run(kSendProduct);
  ASSERT_EQ(m_server->Requests().size(), 2u);
  const std::string body = m_server->Requests()[1].body;
  std::smatch id;
  ASSERT_TRUE(std::regex_search(body, id, std::regex("id=\"([0-9]+_[0-9]+)\""))) << body;
  EXPECT_EQ(body, "<?xml version=\"1.0\" encoding=\"UTF-8\"?><ELM><Request name=\"SendEnoviaObjectToTC\" id=\"" +
                      id[1].str() +
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
  Run(kSendProduct);
  EXPECT_EQ(Transfers(), RequestList{Transfer(kVpm, "prd-asm", "A", kVpm, {{"user", ""}})});
  EXPECT_THAT(BoxList(), ElementsAre(kSentAsm));
}

}  // namespace
