#include "PresenterFixture.h"

#include "CATDlgCheckButton.h"
#include "CATDlgCombo.h"
#include "CATDlgEditor.h"
#include "CATDlgLabel.h"
#include "CATDlgMultiList.h"
#include "CATDlgPushButton.h"
#include "CATDlgRadioButton.h"
#include "ELMHostScript.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>

#include <functional>

namespace {

using elmgui::DialogWindow;
using elmtest::RecordingDialog;

/// One widget of each kind a person acts on, each heard by the dialog.
void BuildPanel(RecordingDialog* d) {
  auto* go = new CATDlgPushButton(d, "Go");
  go->SetTitle("Go");
  go->SetGridConstraints(0, 0, 1, 1, CATGRID_LEFT);
  d->Listen(go, go->GetPushBActivateNotification());
  auto* opt = new CATDlgCheckButton(d, "Opt");
  opt->SetTitle("Option");
  opt->SetGridConstraints(1, 0, 1, 1, CATGRID_LEFT);
  d->Listen(opt, opt->GetChkBModifyNotification());
  for (const char* name : {"A", "B"}) {
    auto* radio = new CATDlgRadioButton(d, name);
    radio->SetTitle(name);
    radio->SetGridConstraints(name[0] == 'A' ? 2 : 3, 0, 1, 1, CATGRID_LEFT);
    d->Listen(radio, radio->GetRadBModifyNotification());
    if (name[0] == 'A') radio->SetState(CATDlgCheck, 0);
  }
  auto* pick = new CATDlgCombo(d, "Pick");
  for (const char* line : {"one", "two", "three"}) pick->SetLine(line);
  pick->SetGridConstraints(4, 0, 1, 1, CATGRID_LEFT | CATGRID_RIGHT);
  d->Listen(pick, pick->GetComboSelectNotification());
  auto* name = new CATDlgEditor(d, "Name");
  name->SetGridConstraints(5, 0, 1, 1, CATGRID_LEFT | CATGRID_RIGHT);
  d->Listen(name, name->GetEditModifyNotification());
  auto* list = new CATDlgMultiList(d, "List");
  CATUnicodeString title("Line");
  list->SetColumnTitles(1, &title);
  for (const char* line : {"x", "y", "z"}) list->SetColumnItem(0, line);
  list->SetGridConstraints(6, 0, 1, 1, CATGRID_4SIDES);
  d->Listen(list, list->GetListSelectNotification());
  d->Listen(d, d->GetDiaOKNotification());
  d->Listen(d, d->GetWindCloseNotification());
}

struct Gesture {
  const char* what;
  const char* step;  ///< the same action as a script step
  std::function<void(DialogWindow&)> act;
};

void PrintTo(const Gesture& g, std::ostream* os) { *os << g.what; }

template <class W>
W* In(DialogWindow& w, const char* name) {
  W* widget = w.findChild<W*>(name);
  EXPECT_NE(widget, nullptr) << name;
  return widget;
}

template <class W>
void Click(DialogWindow& w, const char* name) {
  QTest::mouseClick(In<W>(w, name), Qt::LeftButton);
}

class PresenterAction : public elmtest::PresenterFixture, public testing::WithParamInterface<Gesture> {};

TEST_P(PresenterAction, AClickReachesTheSameCallbacksAndLeavesTheSameStateAsTheScriptStep) {
  RecordingDialog* clicked = MakeDialog("panel", CATDlgGridLayout | CATDlgWndBtnOKCancel);
  BuildPanel(clicked);
  DialogWindow* window = Open(clicked);
  ASSERT_NE(window, nullptr);
  GetParam().act(*window);
  const std::string clickedState = elmhost::DialogText(clicked);
  clicked->SetVisibility(CATDlgHide);
  m_presenter->Sync();

  RecordingDialog* scripted = MakeDialog("panel", CATDlgGridLayout | CATDlgWndBtnOKCancel);
  BuildPanel(scripted);
  scripted->SetVisibility(CATDlgShow);
  std::vector<elmhost::ScriptStep> steps;
  std::string error;
  ASSERT_TRUE(elmhost::ParseScript(std::string("[") + GetParam().step + "]", "step", steps, error)) << error;
  elmhost::ScriptPlayer player(steps);
  ASSERT_TRUE(player.PlayNext()) << GetParam().step;

  EXPECT_FALSE(clicked->heard.empty());
  EXPECT_EQ(clicked->heard, scripted->heard);
  scripted->SetVisibility(CATDlgShow);
  EXPECT_EQ(clickedState, elmhost::DialogText(scripted));
}

INSTANTIATE_TEST_SUITE_P(
    Gestures, PresenterAction,
    testing::Values(
        Gesture{"Press", R"({"dialog": "panel", "press": "Go"})", [](DialogWindow& w) { Click<QPushButton>(w, "Go"); }},
        Gesture{"Check", R"({"dialog": "panel", "check": "Opt"})", [](DialogWindow& w) { Click<QCheckBox>(w, "Opt"); }},
        Gesture{"Choose", R"({"dialog": "panel", "choose": "B"})",
                [](DialogWindow& w) { Click<QRadioButton>(w, "B"); }},
        Gesture{"Pick", R"({"dialog": "panel", "pick": "Pick", "line": 0})",
                [](DialogWindow& w) { QTest::keyClick(In<QComboBox>(w, "Pick"), Qt::Key_Down); }},
        Gesture{"Type", R"({"dialog": "panel", "type": "Name", "text": "frame 1"})",
                [](DialogWindow& w) {
                  QLineEdit* line = In<QLineEdit>(w, "Name");
                  QTest::keyClicks(line, "frame 1");
                  QTest::keyClick(line, Qt::Key_Return);
                }},
        Gesture{"Select", R"({"dialog": "panel", "select": "List", "lines": [1]})",
                [](DialogWindow& w) {
                  QTreeWidget* tree = In<QTreeWidget>(w, "List");
                  QRect line = tree->visualItemRect(tree->topLevelItem(1));
                  QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, line.center());
                }},
        Gesture{"StandardButton", R"({"dialog": "panel", "button": "OK"})",
                [](DialogWindow& w) { QTest::mouseClick(w.StandardButton(CATDlgWndOK), Qt::LeftButton); }},
        Gesture{"CloseWindow", R"({"dialog": "panel", "close": "window"})", [](DialogWindow& w) { w.close(); }}),
    [](const testing::TestParamInfo<Gesture>& info) { return std::string(info.param.what); });

class PresenterRefusal : public elmtest::PresenterFixture {};

TEST_F(PresenterRefusal, ClickingTheChosenRadioButtonAgainChangesNothing) {
  RecordingDialog* d = MakeDialog("panel");
  BuildPanel(d);
  DialogWindow* w = Open(d);
  ASSERT_NE(w, nullptr);
  auto* a = Shown<QRadioButton>(w, "A");
  QTest::mouseClick(a, Qt::LeftButton);
  EXPECT_TRUE(d->heard.empty());
  EXPECT_TRUE(a->isChecked());
  EXPECT_EQ(dynamic_cast<CATDlgRadioButton*>(elmhost::FindWidget(d, "A"))->GetState(), CATDlgCheck);
}

/// A dialog whose button changes the dialog, as the plug-in's callbacks do.
class ChangingDialog : public RecordingDialog {
public:
  ChangingDialog() : RecordingDialog("changing", CATDlgGridLayout | CATDlgWndBtnOKCancel) {
    BuildPanel(this);
    AddAnalyseNotificationCB(elmhost::FindWidget(this, "Go"), "PushBActivate",
                             static_cast<CATCommandMethod>(&ChangingDialog::Change), nullptr);
  }
  void Change(CATCommand*, CATNotification*, CATCommandClientData) {
    auto* go = dynamic_cast<CATDlgPushButton*>(elmhost::FindWidget(this, "Go"));
    go->SetTitle("Gone");
    go->SetSensitivity(CATDlgDisable);
    elmhost::FindWidget(this, "Opt")->SetVisibility(CATDlgHide);
    dynamic_cast<CATDlgRadioButton*>(elmhost::FindWidget(this, "B"))->SetState(CATDlgCheck, 0);
    auto* pick = dynamic_cast<CATDlgCombo*>(elmhost::FindWidget(this, "Pick"));
    pick->SetLine("four");
    pick->SetSelect(3, 0);
    dynamic_cast<CATDlgEditor*>(elmhost::FindWidget(this, "Name"))->SetText("typed by the plug-in");
    auto* list = dynamic_cast<CATDlgMultiList*>(elmhost::FindWidget(this, "List"));
    CATUnicodeString titles[] = {"Line", "Hidden"};
    list->SetColumnTitles(2, titles);
    list->SetColumnVisibility(1, CATDlgHide);
    const int second[] = {2};
    list->SetSelect(second, 1, 0);
    SetOKTitle("Send");
    SetOKSensitivity(CATDlgDisable);
    SetDefaultButton(CATDlgWndCANCEL);
    SetTitle("Changed");
  }
};

TEST_F(PresenterRefusal, WhatACallbackChangesShowsAtOnce) {
  auto* d = new ChangingDialog;
  m_dialogs.push_back(d);
  DialogWindow* w = Open(d);
  ASSERT_NE(w, nullptr);
  QTest::mouseClick(Shown<QPushButton>(w, "Go"), Qt::LeftButton);

  EXPECT_EQ(w->windowTitle(), "Changed");
  EXPECT_EQ(Shown<QPushButton>(w, "Go")->text(), "Gone");
  EXPECT_FALSE(Shown(w, "Go")->isEnabled());
  EXPECT_FALSE(Shown(w, "Opt")->isVisible());
  EXPECT_TRUE(Shown<QRadioButton>(w, "B")->isChecked());
  EXPECT_FALSE(Shown<QRadioButton>(w, "A")->isChecked());
  auto* combo = Shown<QComboBox>(w, "Pick");
  EXPECT_EQ(combo->count(), 4);
  EXPECT_EQ(combo->currentText(), "four");
  EXPECT_EQ(Shown<QLineEdit>(w, "Name")->text(), "typed by the plug-in");
  auto* tree = Shown<QTreeWidget>(w, "List");
  EXPECT_EQ(tree->columnCount(), 2);
  EXPECT_TRUE(tree->isColumnHidden(1));
  ASSERT_EQ(tree->selectedItems().size(), 1);
  EXPECT_EQ(tree->indexOfTopLevelItem(tree->selectedItems()[0]), 2);
  QPushButton* ok = w->StandardButton(CATDlgWndOK);
  EXPECT_EQ(ok->text(), "Send");
  EXPECT_FALSE(ok->isEnabled());
  EXPECT_TRUE(w->StandardButton(CATDlgWndCANCEL)->isDefault());
  // Setting the widgets from the model is not an action of a person.
  EXPECT_EQ(d->heard, std::vector<std::string>{"Go PushBActivate"});
}

}  // namespace
