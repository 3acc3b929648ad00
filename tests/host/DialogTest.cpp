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

// A dialog or widget that tells when it is destroyed.
template <class Widget>
class Counted : public Widget {
public:
  template <class Parent>
  Counted(Parent parent, const CATString& name, int& destroyed) : Widget(parent, name), m_destroyed(destroyed) {}
  ~Counted() override { ++m_destroyed; }

private:
  int& m_destroyed;
};
using CountedWidget = Counted<CATDlgDialog>;
using CountedFrame = Counted<CATDlgFrame>;

}  // namespace

TEST(CATDlgNotify, DisplayBlockedHandsTheBoxToTheSinkAndReturnsItsAnswer) {
  elmtest::ScriptedUser user;
  user.QueueAnswer(0);
  auto* box = new CATDlgNotify(nullptr, "ELMWarning", CATDlgNfyWarning | CATDlgNfyOK);
  EXPECT_EQ(box->DisplayBlocked("Select one object.", "Part Number"), 0);
  EXPECT_EQ(box->DisplayBlocked("Again.", "Part Number"), elmhost::kBoxAcknowledged);

  std::vector<std::tuple<std::string, CATDlgStyle, std::string, std::string>> boxes;
  for (const elmhost::BoxDescription& b : user.Boxes())
    boxes.emplace_back(b.name.Str(), b.style, b.title.Utf8(), b.text.Utf8());
  EXPECT_EQ(boxes, (decltype(boxes){{"ELMWarning", 0x8100000ul, "Part Number", "Select one object."},
                                    {"ELMWarning", 0x8100000ul, "Part Number", "Again."}}));
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
  // The help has no text in the catalog, so it keeps its own; the icons are
  // set together, a missing one as empty.
  const std::vector<std::string> texts = {
      dialog.GetTitle().Utf8(),        dialog.GetOKTitle().Utf8(),    dialog.GetCANCELTitle().Utf8(),
      dialog.GetPREVIEWTitle().Utf8(), dialog.GetAPPLYTitle().Utf8(), dialog.GetFINISHTitle().Utf8(),
      dialog.GetShortHelp().Utf8(),    dialog.GetLongHelp().Utf8(),   dialog.GetAcceleratorString().Utf8(),
      dialog.GetHelp().Utf8(),         dialog.GetIconName(0).Str(),   dialog.GetIconName(1).Str(),
      dialog.GetIconName(2).Str(),     dialog.GetIconName(3).Str()};
  EXPECT_EQ(texts, (std::vector<std::string>{"Sample", "Send", "Close", "Preview", "Apply now", "Finish", "short",
                                             "long", "Ctrl+S", "kept", "I_Sample", "I_SampleSel", "", ""}));
  EXPECT_EQ(dialog.GetIconType(), 0);
}
