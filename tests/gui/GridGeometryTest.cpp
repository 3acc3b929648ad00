#include "PresenterFixture.h"

#include "CATDlgCheckButton.h"
#include "CATDlgEditor.h"
#include "CATDlgFrame.h"
#include "CATDlgLabel.h"
#include "CATDlgMultiList.h"
#include "CATDlgPushButton.h"

#include <QCheckBox>
#include <QLabel>
#include <QLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

namespace {

using elmtest::PresenterFixture;

class GridGeometry : public PresenterFixture {
protected:
  CATDlgLabel* Label(CATDialog* parent, const char* name, int row, int column, int width = 1, int height = 1,
                     CATDlgJustification justification = CATGRID_4SIDES) {
    auto* label = new CATDlgLabel(parent, name);
    label->SetTitle(name);
    label->SetGridConstraints(row, column, width, height, justification);
    return label;
  }
};

TEST_F(GridGeometry, LaterColumnsLieToTheRightAndLaterRowsBelow) {
  auto* d = MakeDialog("cells");
  Label(d, "TopLeft", 0, 0);
  Label(d, "TopRight", 0, 1);
  Label(d, "Below", 1, 0);
  elmgui::DialogWindow* w = Open(d);
  ASSERT_NE(w, nullptr);
  const QRect topLeft = Place(Shown(w, "TopLeft")), topRight = Place(Shown(w, "TopRight")),
              below = Place(Shown(w, "Below"));
  EXPECT_GT(topRight.left(), topLeft.right());
  EXPECT_EQ(topRight.top(), topLeft.top());
  EXPECT_GT(below.top(), topLeft.bottom());
  EXPECT_EQ(below.left(), topLeft.left());
}

TEST_F(GridGeometry, ASpanCoversExactlyTheRowsAndColumnsItSpans) {
  auto* d = MakeDialog("spans");
  Label(d, "Row0", 0, 0);
  Label(d, "Row1", 1, 0);
  Label(d, "Row2", 2, 0);
  auto* tall = new CATDlgEditor(d, "Tall", CATDlgEdtMultiline);
  tall->SetGridConstraints(0, 1, 1, 2, CATGRID_4SIDES);
  Label(d, "Wide", 3, 0, 2, 1);
  elmgui::DialogWindow* w = Open(d);
  ASSERT_NE(w, nullptr);
  const QRect row0 = Place(Shown(w, "Row0")), row1 = Place(Shown(w, "Row1")), row2 = Place(Shown(w, "Row2"));
  const QRect editor = Place(Shown<QPlainTextEdit>(w, "Tall")), wide = Place(Shown(w, "Wide"));
  EXPECT_EQ(editor.top(), row0.top());
  EXPECT_EQ(editor.bottom(), row1.bottom());
  EXPECT_LT(editor.bottom(), row2.top());
  EXPECT_EQ(wide.left(), row0.left());
  EXPECT_EQ(wide.right(), editor.right());
}

TEST_F(GridGeometry, AHiddenWidgetTakesNoRoomAndShowingItMakesRoom) {
  auto* withHidden = MakeDialog("hidden");
  Label(withHidden, "First", 0, 0);
  CATDlgLabel* middle = Label(withHidden, "Middle", 1, 0);
  middle->SetTitle("A caption tall enough\nto need\nthree lines");
  middle->SetVisibility(CATDlgHide);
  Label(withHidden, "Last", 2, 0);
  auto* without = MakeDialog("without");
  Label(without, "First", 0, 0);
  Label(without, "Last", 2, 0);

  elmgui::DialogWindow* w = Open(withHidden);
  elmgui::DialogWindow* reference = Open(without);
  ASSERT_NE(w, nullptr);
  ASSERT_NE(reference, nullptr);
  EXPECT_FALSE(Shown(w, "Middle")->isVisible());
  EXPECT_EQ(Place(Shown(w, "Last")).top(), Place(Shown(reference, "Last")).top());

  middle->SetVisibility(CATDlgShow);
  m_presenter->Sync();
  w->layout()->activate();
  EXPECT_TRUE(Shown(w, "Middle")->isVisible());
  EXPECT_GT(Place(Shown(w, "Last")).top(), Place(Shown(w, "Middle")).bottom());
}

TEST_F(GridGeometry, AnInsensitiveWidgetOrFrameIsDisabledUntilTheModelEnablesIt) {
  auto* d = MakeDialog("sensitivity");
  auto* button = new CATDlgPushButton(d, "Push");
  button->SetGridConstraints(0, 0, 1, 1, CATGRID_LEFT);
  auto* frame = new CATDlgFrame(d, "Group");
  frame->SetGridConstraints(1, 0, 1, 1, CATGRID_4SIDES);
  auto* inner = new CATDlgCheckButton(frame, "Inner");
  inner->SetGridConstraints(0, 0, 1, 1, CATGRID_LEFT);
  button->SetSensitivity(CATDlgDisable);
  frame->SetSensitivity(CATDlgDisable);
  elmgui::DialogWindow* w = Open(d);
  ASSERT_NE(w, nullptr);
  EXPECT_FALSE(Shown(w, "Push")->isEnabled());
  // The frame takes its widgets along, as the host's driver refuses them.
  EXPECT_TRUE(Shown<QCheckBox>(w, "Inner")->isEnabledTo(Shown(w, "Group")));
  EXPECT_FALSE(Shown<QCheckBox>(w, "Inner")->isEnabled());

  button->SetSensitivity(CATDlgEnable);
  frame->SetSensitivity(CATDlgEnable);
  m_presenter->Sync();
  EXPECT_TRUE(Shown(w, "Push")->isEnabled());
  EXPECT_TRUE(Shown<QCheckBox>(w, "Inner")->isEnabled());
}

/// How far a narrow widget stands from the sides of its column: 0 touches
/// the side, 1 keeps a gap.
struct Holding {
  const char* what;
  CATDlgJustification justification;
  int leftGap, rightGap;
};

int Sign(int value) { return (value > 0) - (value < 0); }

void PrintTo(const Holding& h, std::ostream* os) { *os << h.what; }

class GridJustification : public GridGeometry, public testing::WithParamInterface<Holding> {};

TEST_P(GridJustification, ANarrowWidgetHoldsToTheSidesItNames) {
  auto* d = MakeDialog("justification");
  Label(d, "A much wider caption that sets the column's width", 0, 0);
  CATDlgLabel* narrow = Label(d, "Narrow", 1, 0, 1, 1, GetParam().justification);
  narrow->SetTitle("ab");
  elmgui::DialogWindow* w = Open(d);
  ASSERT_NE(w, nullptr);
  const QRect column = Place(Shown(w, "A much wider caption that sets the column's width"));
  const QRect cell = Place(Shown(w, "Narrow"));
  EXPECT_EQ(Sign(cell.left() - column.left()), GetParam().leftGap);
  EXPECT_EQ(Sign(column.right() - cell.right()), GetParam().rightGap);
  // Held to neither side, it stands in the middle.
  if (GetParam().leftGap && GetParam().rightGap) {
    EXPECT_NEAR(cell.center().x(), column.center().x(), 1);
  }
}

INSTANTIATE_TEST_SUITE_P(Sides, GridJustification,
                         testing::Values(Holding{"Fill", CATGRID_4SIDES, 0, 0},
                                         Holding{"Left", CATGRID_LEFT | CATGRID_TOP, 0, 1},
                                         Holding{"Right", CATGRID_RIGHT, 1, 0},
                                         Holding{"Centre", CATGRID_CENTER, 1, 1}),
                         [](const testing::TestParamInfo<Holding>& info) { return std::string(info.param.what); });

TEST_F(GridGeometry, OnlyResizableColumnsAndRowsTakeTheGrowthOfTheWindow) {
  auto* d = MakeDialog("growth");
  Label(d, "Fixed", 0, 0);
  Label(d, "Growing", 0, 1);
  auto* list = new CATDlgMultiList(d, "Lines");
  list->SetGridConstraints(1, 0, 2, 1, CATGRID_4SIDES);
  d->SetGridColumnResizable(1);
  d->SetGridRowResizable(1);
  elmgui::DialogWindow* w = Open(d);
  ASSERT_NE(w, nullptr);
  const QRect fixed = Place(Shown(w, "Fixed")), growing = Place(Shown(w, "Growing"));
  const QRect lines = Place(Shown(w, "Lines"));
  w->resize(w->width() + 200, w->height() + 100);
  w->layout()->activate();
  EXPECT_EQ(Place(Shown(w, "Fixed")).width(), fixed.width());
  EXPECT_EQ(Place(Shown(w, "Growing")).width(), growing.width() + 200);
  EXPECT_EQ(Place(Shown(w, "Growing")).height(), growing.height());
  EXPECT_EQ(Place(Shown(w, "Lines")).height(), lines.height() + 100);
}

TEST_F(GridGeometry, WithoutResizableColumnsNothingStretches) {
  auto* d = MakeDialog("rigid");
  Label(d, "One", 0, 0);
  Label(d, "Two", 0, 1);
  elmgui::DialogWindow* w = Open(d);
  ASSERT_NE(w, nullptr);
  const QRect one = Place(Shown(w, "One")), two = Place(Shown(w, "Two"));
  w->resize(w->width() + 200, w->height() + 100);
  w->layout()->activate();
  EXPECT_EQ(Place(Shown(w, "One")), one);
  EXPECT_EQ(Place(Shown(w, "Two")), two);
}

}  // namespace
