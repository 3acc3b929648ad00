#include "CATDlgCheckButton.h"
#include "CATDlgCombo.h"
#include "CATDlgDialog.h"
#include "CATDlgEditor.h"
#include "CATDlgFrame.h"
#include "CATDlgLabel.h"
#include "CATDlgMultiList.h"
#include "CATDlgPushButton.h"
#include "CATDlgRadioButton.h"
#include "CATDlgSeparator.h"
#include "ELMHostDispatch.h"
#include "ELMHostDriver.h"

#include "LoopbackServer.h"

#include <gmock/gmock.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <functional>

using testing::ElementsAre;
using testing::IsEmpty;

namespace {

// A dialog with one widget of every kind, each notification routed to a
// callback that notes its name and the widget that sent it.
class SampleDialog : public CATDlgDialog {
public:
  explicit SampleDialog(std::vector<std::string>& log)
      : CATDlgDialog(nullptr, "sample", CATDlgGridLayout | CATDlgWndBtnOKCancel | CATDlgWndBtnClose), m_log(log) {
    new CATDlgSeparator(this, "Line");

    Route(this, GetDiaOKNotification(), "ok");
    Route(this, GetDiaCANCELNotification(), "cancel");
    Route(this, GetDiaCLOSENotification(), "close");
    Route(this, GetWindCloseNotification(), "window-close");
    Route(this, GetMDICloseNotification(), "mdi-close");
    Route(push, push->GetPushBActivateNotification(), "push");
    Route(check, check->GetChkBModifyNotification(), "check");
    Route(radioA, radioA->GetRadBModifyNotification(), "radio");
    Route(radioB, radioB->GetRadBModifyNotification(), "radio");
    Route(combo, combo->GetComboSelectNotification(), "combo");
    Route(list, list->GetListSelectNotification(), "list");
    Route(editor, editor->GetEditModifyNotification(), "edit");

    const CATUnicodeString titles[] = {"Activity", "Hidden"};
    list->SetColumnTitles(2, titles);
    list->SetColumnVisibility(1, CATDlgHide);
    list->SetColumnItem(0, "first");
    list->SetColumnItem(1, "secret", 0);
    list->SetColumnItem(0, "second");
    combo->SetLine("alpha");
    combo->SetLine("beta");
    SetVisibility(CATDlgShow);
  }

  void Route(CATCommand* publisher, CATNotification* notification, const char* what) {
    AddAnalyseNotificationCB(publisher, notification, static_cast<CATCommandMethod>(&SampleDialog::Note),
                             const_cast<char*>(what));
  }
  void Note(CATCommand* from, CATNotification*, CATCommandClientData what) {
    m_log.push_back(std::string(static_cast<const char*>(what)) + ":" + from->GetName().Str());
  }

  // Made in this order, before the constructor's body: the separator comes last.
  CATDlgFrame* frame = new CATDlgFrame(this, "Options", CATDlgGridLayout);
  CATDlgCheckButton* check = new CATDlgCheckButton(frame, "Force");
  CATDlgRadioButton* radioA = new CATDlgRadioButton(frame, "All");
  CATDlgRadioButton* radioB = new CATDlgRadioButton(frame, "None");
  CATDlgFrame* otherGroup = new CATDlgFrame(this, "Other", CATDlgGridLayout);
  CATDlgRadioButton* radioC = new CATDlgRadioButton(otherGroup, "Other");
  CATDlgPushButton* push = new CATDlgPushButton(this, "Refresh");
  CATDlgCombo* combo = new CATDlgCombo(this, "Names");
  CATDlgEditor* editor = new CATDlgEditor(this, "Depth", CATDlgEdtInteger);
  CATDlgEditor* notes = new CATDlgEditor(this, "Notes", CATDlgEdtMultiline | CATDlgEdtReadOnly);
  CATDlgMultiList* list = new CATDlgMultiList(this, "Processes");
  CATDlgLabel* label = new CATDlgLabel(this, "Caption");

private:
  std::vector<std::string>& m_log;
};

class Driver : public testing::Test {
protected:
  void SetUp() override { dialog = new SampleDialog(log); }
  void TearDown() override {
    auto live = elmhost::LiveDialogs();
    if (std::find(live.begin(), live.end(), dialog) != live.end()) dialog->Release();
  }
  elmhost::Dispatch dispatch;
  std::vector<std::string> log;
  SampleDialog* dialog = nullptr;
};

TEST_F(Driver, EveryKindOfNotificationReachesItsCallbackThroughTheDriver) {
  using elmhost::ActionResult;
  struct Case {
    const char* what;
    std::function<ActionResult()> act;
    const char* expected;
  } cases[] = {
      {"OK", [&] { return elmhost::PressButton(dialog, CATDlgWndOK); }, "ok:sample"},
      {"Cancel", [&] { return elmhost::PressButton(dialog, CATDlgWndCANCEL); }, "cancel:sample"},
      {"Close", [&] { return elmhost::PressButton(dialog, CATDlgWndCLOSE); }, "close:sample"},
      {"window close", [&] { return elmhost::CloseWindow(dialog); }, "window-close:sample"},
      {"MDI close", [&] { return elmhost::CloseWindow(dialog, true); }, "mdi-close:sample"},
      {"push button", [&] { return elmhost::Press(dialog, "Refresh"); }, "push:Refresh"},
      {"check button", [&] { return elmhost::SetChecked(dialog, "Force", true); }, "check:Force"},
      {"radio button", [&] { return elmhost::Choose(dialog, "None"); }, "radio:None"},
      {"combo line", [&] { return elmhost::Pick(dialog, "Names", 1); }, "combo:Names"},
      {"list lines", [&] { return elmhost::Select(dialog, "Processes", {1}); }, "list:Processes"},
      {"typed text", [&] { return elmhost::Type(dialog, "Depth", "7"); }, "edit:Depth"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    log.clear();
    ActionResult r = c.act();
    EXPECT_TRUE(r.ok) << r.error;
    EXPECT_THAT(log, ElementsAre(c.expected));
  }
  // The state a person set is what the plug-in reads back.
  EXPECT_EQ(dialog->check->GetState(), CATDlgCheck);
  EXPECT_EQ(dialog->combo->GetSelect(), 1);
  EXPECT_EQ(dialog->editor->GetIntegerValue(), 7);
  int selected = -1;
  EXPECT_EQ(dialog->list->GetSelect(&selected, 1), 1);
  EXPECT_EQ(selected, 1);
  // A callback for window close decides what closing means: the dialog stays.
  EXPECT_EQ(dialog->GetVisibility(), CATDlgShow);
}

TEST_F(Driver, ActionsAPersonCouldNotTakeAreRefusedAndChangeNothing) {
  dialog->push->SetSensitivity(CATDlgDisable);
  dialog->frame->SetSensitivity(CATDlgDisable);  // takes the check and radio buttons in it along
  dialog->SetOKSensitivity(CATDlgDisable);
  const std::vector<int> pastTheEnd = {0, 5};
  struct Case {
    const char* what;
    std::function<elmhost::ActionResult()> act;
    std::string error;
  } cases[] = {
      {"insensitive push button", [&] { return elmhost::Press(dialog, "Refresh"); },
       "\"Refresh\" of the dialog \"sample\" is insensitive"},
      {"check button in an insensitive frame", [&] { return elmhost::SetChecked(dialog, "Force", true); },
       "\"Force\" of the dialog \"sample\" is insensitive"},
      {"hidden widget",
       [&] {
         dialog->editor->SetVisibility(CATDlgHide);
         auto r = elmhost::Type(dialog, "Depth", "3");
         dialog->editor->SetVisibility(CATDlgShow);
         return r;
       },
       "\"Depth\" of the dialog \"sample\" is hidden"},
      {"a label is no push button", [&] { return elmhost::Press(dialog, "Caption"); },
       "\"Caption\" of the dialog \"sample\" is a CATDlgLabel, not a push button"},
      {"unknown widget", [&] { return elmhost::Press(dialog, "Nothing"); },
       "the dialog \"sample\" has no widget \"Nothing\""},
      {"combo line past the end", [&] { return elmhost::Pick(dialog, "Names", 2); },
       "\"Names\" has 2 lines; there is no line 2"},
      {"combo text it lacks", [&] { return elmhost::PickText(dialog, "Names", "gamma"); },
       "\"Names\" has no line \"gamma\""},
      {"list line past the end", [&] { return elmhost::Select(dialog, "Processes", pastTheEnd); },
       "\"Processes\" has 2 lines; there is no line 5"},
      {"read-only editor", [&] { return elmhost::Type(dialog, "Notes", "x"); }, "\"Notes\" is read-only"},
      {"letters in an integer editor", [&] { return elmhost::Type(dialog, "Depth", "two"); },
       "\"Depth\" takes an integer, not \"two\""},
      {"integer beyond int", [&] { return elmhost::Type(dialog, "Depth", "99999999999"); },
       "\"Depth\" takes an integer, not \"99999999999\""},
      {"two lines in a one-line editor", [&] { return elmhost::Type(dialog, "Depth", "1\n2"); },
       "\"Depth\" takes one line only"},
      {"insensitive OK", [&] { return elmhost::PressButton(dialog, CATDlgWndOK); },
       "the OK button of the dialog \"sample\" is insensitive"},
      {"button the style does not show", [&] { return elmhost::PressButton(dialog, CATDlgWndAPPLY); },
       "the dialog \"sample\" has no Apply button"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    elmhost::ActionResult r = c.act();
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, c.error);
  }
  EXPECT_THAT(log, IsEmpty());
  EXPECT_EQ(dialog->check->GetState(), CATDlgUncheck);
  EXPECT_EQ(dialog->combo->GetSelect(), -1);
  EXPECT_EQ(dialog->editor->GetText(), "");
  EXPECT_EQ(dialog->list->GetSelectCount(), 0);

  // A hidden dialog is not open: nothing in it can be reached.
  dialog->SetVisibility(CATDlgHide);
  EXPECT_EQ(elmhost::CloseWindow(dialog).error, "no such dialog is open");
  EXPECT_EQ(elmhost::Press(dialog, "Refresh").error, "no such dialog is open");
}

TEST_F(Driver, ARadioGroupKeepsOneButtonCheckedAndOtherGroupsAlone) {
  dialog->radioC->SetState(CATDlgCheck, 0);
  ASSERT_TRUE(elmhost::Choose(dialog, "All").ok);
  ASSERT_TRUE(elmhost::Choose(dialog, "None").ok);
  EXPECT_EQ(dialog->radioA->GetState(), CATDlgUncheck);
  EXPECT_EQ(dialog->radioB->GetState(), CATDlgCheck);
  EXPECT_EQ(dialog->radioC->GetState(), CATDlgCheck);
  // Only the chosen button tells; the one it unchecked stays quiet.
  EXPECT_THAT(log, ElementsAre("radio:All", "radio:None"));
}

TEST_F(Driver, AComboWithoutLinesHasNoSelectionAndOffersNothingToPick) {
  dialog->combo->ClearLine();
  EXPECT_EQ(dialog->combo->GetSelect(), -1);
  CATUnicodeString line("untouched");
  dialog->combo->GetLine(line, 0);
  EXPECT_EQ(line, "untouched");
  EXPECT_FALSE(elmhost::Pick(dialog, "Names", 0).ok);
}

TEST_F(Driver, NotificationsRaisedByACallbackRunAfterItInTheOrderRaised) {
  struct Chain : CATCommand {
    SampleDialog* d;
    std::vector<std::string>* log;
    void OnPush(CATCommand*, CATNotification*, CATCommandClientData) {
      log->push_back("push begins");
      d->check->SetState(CATDlgCheck, 1);
      d->combo->SetSelect(0, 1);
      d->radioA->SetState(CATDlgCheck, 0);  // without notification: no callback
      log->push_back("push ends");
    }
  } chain;
  chain.d = dialog;
  chain.log = &log;
  chain.AddAnalyseNotificationCB(dialog->push, dialog->push->GetPushBActivateNotification(),
                                 static_cast<CATCommandMethod>(&Chain::OnPush), nullptr);
  ASSERT_TRUE(elmhost::Press(dialog, "Refresh").ok);
  EXPECT_THAT(log, ElementsAre("push:Refresh", "push begins", "push ends", "check:Force", "combo:Names"));
}

TEST_F(Driver, ADialogThatEndsItselfInItsOwnCallbackIsSafe) {
  struct Ender : CATCommand {
    SampleDialog* d;
    void OnOK(CATCommand*, CATNotification*, CATCommandClientData) {
      d->SetVisibility(CATDlgHide);
      d->RequestDelayedDestruction();
      d->check->SetState(CATDlgCheck, 1);  // raised by a widget about to go
    }
  } ender;
  ender.d = dialog;
  ender.AddAnalyseNotificationCB(dialog, dialog->GetDiaOKNotification(), static_cast<CATCommandMethod>(&Ender::OnOK),
                                 nullptr);
  ASSERT_TRUE(elmhost::PressButton(dialog, CATDlgWndOK).ok);
  EXPECT_THAT(elmhost::LiveDialogs(), IsEmpty());
  EXPECT_EQ(dispatch.PendingEvents(), 0u);
  EXPECT_THAT(log, ElementsAre("ok:sample"));
}

TEST_F(Driver, AWindowWithoutACloseCallbackIsClosedByTheFrame) {
  auto* plain = new CATDlgDialog(nullptr, "plain", CATDlgWndBtnOK);
  plain->SetVisibility(CATDlgShow);
  ASSERT_TRUE(elmhost::CloseWindow(plain).ok);
  EXPECT_EQ(plain->GetVisibility(), CATDlgHide);
  EXPECT_EQ(elmhost::FindDialog("plain"), nullptr);
  plain->Release();
}

TEST_F(Driver, TheDescriptionsShowEveryWidgetWithItsCellAndState) {
  dialog->frame->SetGridConstraints(1, 0, 2, 1, CATGRID_4SIDES);
  dialog->check->SetGridConstraints(0, 0, 1, 1, CATGRID_LEFT | CATGRID_TOP);
  dialog->push->SetGridConstraints(0, 1, 1, 1, CATGRID_RIGHT);
  dialog->label->SetGridConstraints(0, 0, 1, 1, CATGRID_LEFT);
  dialog->label->SetTitle("A \"quoted\"\ttext");
  dialog->label->SetVisibility(CATDlgHide);
  dialog->check->SetState(CATDlgCheck, 0);
  dialog->SetGridColumnResizable(1);
  std::string text = elmhost::DialogText(dialog);
  // Grid order: row 0 before row 1, column 0 before column 1, unplaced last.
  EXPECT_LT(text.find("Caption (CATDlgLabel) row 0, col 0, just 0x2: \"A \"quoted\"\\ttext\" hidden"),
            text.find("Refresh (CATDlgPushButton) row 0, col 1, just 0x4"))
      << text;
  EXPECT_LT(text.find("Refresh (CATDlgPushButton)"), text.find("Options (CATDlgFrame) row 1, col 0, span 2x1"));
  EXPECT_NE(text.find("    Force (CATDlgCheckButton) row 0, col 0, just 0xa checked\n"), std::string::npos) << text;
  EXPECT_NE(text.find("line 0: first | secret\n"), std::string::npos) << text;
  EXPECT_NE(text.find("buttons: OK, Cancel, Close\n"), std::string::npos) << text;

  auto j = nlohmann::json::parse(elmhost::DialogJson(dialog));
  EXPECT_EQ(j["name"], "sample");
  EXPECT_EQ(j["style"], CATDlgGridLayout | CATDlgWndBtnOKCancel | CATDlgWndBtnClose);
  EXPECT_EQ(j["resizableColumns"], nlohmann::json::array({1}));
  const auto& widgets = j["widgets"];
  auto widget = [&](const std::string& name) {
    for (const auto& w : widgets)
      if (w["name"] == name) return w;
    return nlohmann::json();
  };
  EXPECT_EQ(widget("Force")["parent"], "Options");
  EXPECT_EQ(widget("Force")["state"]["state"], CATDlgCheck);
  EXPECT_EQ(widget("Options")["grid"],
            nlohmann::json({{"row", 1}, {"column", 0}, {"columnSpan", 2}, {"rowSpan", 1}, {"justification", 0x1e}}));
  EXPECT_EQ(widget("Caption")["visibility"], CATDlgHide);
  EXPECT_EQ(widget("Processes")["state"]["columns"][1]["visibility"], CATDlgHide);
  EXPECT_EQ(widget("Processes")["state"]["lines"], nlohmann::json::array({{"first", "secret"}, {"second", ""}}));
  EXPECT_EQ(widget("Line")["grid"], nullptr);
  EXPECT_EQ(widgets.size(), 13u);
}

TEST(ResourceFiles, WidgetsTakeTheirTextsAlongTheDialogsFileChain) {
  elmtest::ScratchDir dir;
  dir.Write("OwnFile.rsc", "Force.Title = \"Own force\";\n");
  dir.Write("ChainedDialog.rsc",
            "Force.Title = \"Class force\";\nForce.Help = \"Class help\";\nRefresh.Title = \"Again\";\n"
            "Caption.Icon = \"I_Caption\";\n");
  elmtest::EnvChanges path("ELMHOST_CATALOG_PATH", dir.Path());
  struct ChainedDialog : CATDlgDialog {
    ChainedDialog() : CATDlgDialog(nullptr, "chained") {}
    const char* GetResourceFilename(int level) override {
      return level <= 0 ? "OwnFile" : CATDlgDialog::GetResourceFilename(level - 1);
    }
  };
  auto* d = new ChainedDialog;
  auto* force = new CATDlgCheckButton(d, "Force");
  auto* refresh = new CATDlgPushButton(d, "Refresh");
  auto* caption = new CATDlgLabel(d, "Caption");
  // The dialog's own file first, then its class's file.
  EXPECT_EQ(force->GetTitle(), "Own force");
  EXPECT_EQ(force->GetHelp(), "Class help");
  EXPECT_EQ(refresh->GetTitle(), "Again");
  EXPECT_EQ(caption->GetIconName(), "I_Caption");
  EXPECT_EQ(d->GetResourceFilename(1), std::string("ChainedDialog"));
  EXPECT_EQ(d->GetResourceFilename(2), nullptr);
  d->Release();
}

TEST(HostDispatch, ACommandAskingForActivationWhileMadeIsActivatedOnce) {
  struct Counting : CATCommand {
    int activations = 0;
    explicit Counting(bool asks) : CATCommand("counting") {
      if (asks) RequestStatusChange(CATCommandMsgRequestExclusiveMode);
    }
    CATStatusChangeRC Activate(CATCommand*, CATNotification*) override {
      ++activations;
      return 0;
    }
  };
  elmhost::Dispatch dispatch;
  Counting asking(true), quiet(false);
  dispatch.StartCommand(&asking);
  dispatch.StartCommand(&quiet);
  EXPECT_EQ(asking.activations + quiet.activations, 0);
  dispatch.RunUntilIdle();
  EXPECT_EQ(asking.activations, 1);
  EXPECT_EQ(quiet.activations, 1);
}

}  // namespace
