#include "CATDlgDialog.h"
#include "CATDlgFrame.h"
#include "CATDlgNotify.h"
#include "ELMHostDispatch.h"
#include "ELMHostDriver.h"
#include "ELMHostUserInterface.h"

#include "LoopbackServer.h"
#include "ScriptedUser.h"

#include <gtest/gtest.h>

namespace {

// A widget that tells when it is destroyed.
class CountedWidget : public CATDlgDialog {
public:
  CountedWidget(CATCommand* parent, const CATString& name, int& destroyed)
      : CATDlgDialog(parent, name), m_destroyed(destroyed) {}
  ~CountedWidget() override { ++m_destroyed; }

private:
  int& m_destroyed;
};

// A frame that tells when it is destroyed.
class CountedFrame : public CATDlgFrame {
public:
  CountedFrame(CATDialog* parent, const CATString& name, int& destroyed)
      : CATDlgFrame(parent, name), m_destroyed(destroyed) {}
  ~CountedFrame() override { ++m_destroyed; }

private:
  int& m_destroyed;
};

}  // namespace

TEST(CATDlgNotify, DisplayBlockedHandsTheBoxToTheSinkAndReturnsItsAnswer) {
  elmtest::ScriptedUser user;
  user.QueueAnswer(0);
  auto* box = new CATDlgNotify(nullptr, "ELMWarning", CATDlgNfyWarning | CATDlgNfyOK);
  EXPECT_EQ(box->DisplayBlocked("Select one object.", "Part Number"), 0);
  EXPECT_EQ(box->DisplayBlocked("Again.", "Part Number"), elmhost::kBoxAcknowledged);

  ASSERT_EQ(user.Boxes().size(), 2u);
  const elmhost::BoxDescription& first = user.Boxes()[0];
  EXPECT_EQ(first.name, "ELMWarning");
  EXPECT_EQ(first.style, 0x8100000ul);
  EXPECT_EQ(first.title, "Part Number");
  EXPECT_EQ(first.text, "Select one object.");
  EXPECT_EQ(user.Boxes()[1].text, "Again.");
  EXPECT_EQ(box->GetVisibility(), CATDlgHide);
  box->Release();
}

TEST(CATDlgNotify, WithoutASinkEveryBoxIsAcknowledged) {
  elmhost::UserInterface* previous = elmhost::SetUserInterface(nullptr);
  CATDlgNotify box(nullptr, "ELMSuccess", CATDlgNfyOK);
  EXPECT_EQ(box.DisplayBlocked("done", "title"), elmhost::kBoxAcknowledged);
  EXPECT_EQ(box.GetText(), "done");
  EXPECT_EQ(box.GetTitle(), "title");
  elmhost::SetUserInterface(previous);
}

TEST(HostDriver, FindsOpenDialogsByNameAndForgetsHiddenAndDestroyedOnes) {
  int destroyed = 0;
  auto* older = new CountedWidget(nullptr, "ELMAboutDialog", destroyed);
  auto* newer = new CountedWidget(nullptr, "ELMAboutDialog", destroyed);
  auto* other = new CATDlgDialog(nullptr, "ELMProcessStatusDialog");
  // Made, but not shown yet: nobody sees them.
  EXPECT_EQ(elmhost::FindDialog("ELMAboutDialog"), nullptr);
  EXPECT_EQ(elmhost::LiveDialogs().size(), 3u);
  for (CATDlgDialog* d : {static_cast<CATDlgDialog*>(older), static_cast<CATDlgDialog*>(newer), other})
    d->SetVisibility(CATDlgShow);
  EXPECT_EQ(elmhost::FindDialog("ELMAboutDialog"), newer);
  EXPECT_EQ(elmhost::FindDialog("ELMProcessStatusDialog"), other);
  EXPECT_EQ(elmhost::FindDialog("NoSuchDialog"), nullptr);

  newer->Release();
  EXPECT_EQ(elmhost::FindDialog("ELMAboutDialog"), older);
  older->SetVisibility(CATDlgHide);
  EXPECT_EQ(elmhost::FindDialog("ELMAboutDialog"), nullptr);
  older->Release();
  other->Release();
  EXPECT_TRUE(elmhost::LiveDialogs().empty());
  EXPECT_EQ(destroyed, 2);
}

TEST(HostDriver, FindsNestedWidgetsAndADialogTakesItsWidgetsAlong) {
  int destroyed = 0;
  elmhost::Dispatch dispatch;
  auto* dialog = new CATDlgDialog(nullptr, "Top");
  auto* frame = new CountedFrame(dialog, "Frame", destroyed);
  auto* deep = new CountedFrame(frame, "Deep", destroyed);
  auto* doomed = new CountedFrame(dialog, "Doomed", destroyed);
  EXPECT_EQ(elmhost::FindWidget(dialog, "Deep"), deep);
  EXPECT_EQ(elmhost::FindWidget(dialog, "Top"), nullptr);
  EXPECT_EQ(elmhost::FindWidget(frame, "Frame"), nullptr);
  EXPECT_EQ(deep->GetParentDialog(), frame);

  // A widget already handed to the dispatch is the dispatch's to release.
  doomed->RequestDelayedDestruction();
  dialog->RequestDelayedDestruction();
  dispatch.FlushDestructions();
  EXPECT_EQ(destroyed, 3);
  EXPECT_TRUE(elmhost::LiveDialogs().empty());
}

TEST(CATDlgDialog, StandardTextsComeFromTheCatalogsNamedAndOnlyWhereTheyHaveText) {
  elmtest::ScratchDir dir;
  dir.Write("ELMSampleDialog.nls",
            "Title = \"Sample\";\n"
            "OKBtnTitle = \"Send\";\n"
            "CancelBtnTitle = \"Close\";\n"
            "PreviewBtnTitle = \"Preview\";\n"
            "ApplyBtnTitle = \"Apply now\";\n"
            "FinishBtnTitle = \"Finish\";\n"
            "ShortHelp = \"short\";\n"
            "LongHelp = \"long\";\n"
            "Accelerator = \"Ctrl+S\";\n"
            "Help = \"\";\n");
  dir.Write("ELMSampleDialog.rsc", "Icon = \"I_Sample\";\nIconSel = \"I_SampleSel\";\n");
  elmtest::EnvChanges path("ELMHOST_CATALOG_PATH", dir.Path());

  CATDlgDialog dialog(nullptr, "Sample");
  dialog.SetHelp("kept");
  dialog.SetIconName("old", "old", "old", "old", 5);
  dialog.ApplyStandardTexts("ELMSampleDialog");
  EXPECT_EQ(dialog.GetTitle(), "Sample");
  EXPECT_EQ(dialog.GetOKTitle(), "Send");
  EXPECT_EQ(dialog.GetCANCELTitle(), "Close");
  EXPECT_EQ(dialog.GetPREVIEWTitle(), "Preview");
  EXPECT_EQ(dialog.GetAPPLYTitle(), "Apply now");
  EXPECT_EQ(dialog.GetFINISHTitle(), "Finish");
  EXPECT_EQ(dialog.GetShortHelp(), "short");
  EXPECT_EQ(dialog.GetLongHelp(), "long");
  EXPECT_EQ(dialog.GetAcceleratorString(), "Ctrl+S");
  EXPECT_EQ(dialog.GetHelp(), "kept");
  // The icons are set together, a missing one as empty.
  EXPECT_EQ(dialog.GetIconName(0), "I_Sample");
  EXPECT_EQ(dialog.GetIconName(1), "I_SampleSel");
  EXPECT_EQ(dialog.GetIconName(2), "");
  EXPECT_EQ(dialog.GetIconName(3), "");
  EXPECT_EQ(dialog.GetIconType(), 0);
}
