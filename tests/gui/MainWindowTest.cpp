#include "ServedSession.h"

#include "DialogPresenter.h"
#include "DialogWindow.h"
#include "MainWindow.h"
#include "NavigatorTree.h"
#include "ScriptedUser.h"

#include "CATCSO.h"
#include "CATFrmEditor.h"
#include "CATPathElement.h"
#include "ELMHostClassDictionary.h"
#include "ELMHostPLMSession.h"

#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QToolBar>

namespace {

using elmgui::MainWindow;
using elmgui::NavigatorTree;

class GuiMainWindow : public elmtest::ServedSession {
protected:
  void SetUp() override {
    ServedSession::SetUp();
    ASSERT_NO_FATAL_FAILURE(Prepare());
    m_window = std::make_unique<MainWindow>(m_host, m_session);
    // Boxes are answered here instead of waiting for a person.
    m_user = std::make_unique<elmtest::ScriptedUser>();
    m_window->ShowToolbar(m_host.LoadWorkbench());
    m_window->show();
  }
  QTreeWidgetItem* Line(const char* nodeId) { return m_window->Tree().ItemFor(m_host.Session().Find(nodeId)); }
  /// The editor's selection: each path's objects, from the top.
  std::vector<std::vector<CATBaseUnknown*>> SelectedPaths() {
    std::vector<std::vector<CATBaseUnknown*>> out;
    CATCSO* cso = m_host.Session().WindowEditor()->GetCSO();
    cso->InitElementList();
    while (CATPathElement* path = cso->NextElement()) {
      out.emplace_back();
      for (int i = 1; i <= path->GetSize(); ++i) out.back().push_back((*path)[i]);
    }
    return out;
  }

  std::unique_ptr<MainWindow> m_window;
  std::unique_ptr<elmtest::ScriptedUser> m_user;
};

TEST_F(GuiMainWindow, TheTreeShowsTheSessionsNodesAndTheSelectionOfTheFile) {
  NavigatorTree& tree = m_window->Tree();
  ASSERT_EQ(tree.topLevelItemCount(), 1);
  QTreeWidgetItem* root = tree.topLevelItem(0);
  EXPECT_EQ(root->text(0), "prd-bike");
  EXPECT_EQ(root->text(1), "City bicycle");
  EXPECT_EQ(root->text(2), "VPMReference");
  ASSERT_EQ(root->childCount(), 5);
  EXPECT_EQ(root->child(0)->text(0), "frame.1 (prd-frame)");
  EXPECT_EQ(root->child(0)->child(0)->text(0), "fork.1 (prd-fork)");
  ASSERT_NE(Line("node-frame"), nullptr);
  EXPECT_TRUE(Line("node-frame")->isSelected());
  EXPECT_EQ(tree.selectedItems().size(), 1);
}

TEST_F(GuiMainWindow, SelectingLinesMakesThemTheEditorsSelectionWithPathsFromTheTop) {
  NavigatorTree& tree = m_window->Tree();
  QTreeWidgetItem* bell = Line("node-bell");
  ASSERT_NE(bell, nullptr);
  QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, tree.visualItemRect(bell).center());
  const std::vector<CATBaseUnknown*> bikeBell = {m_host.Session().Find("node-bike"),
                                                 m_host.Session().Find("node-bell")};
  EXPECT_EQ(SelectedPaths(), std::vector<std::vector<CATBaseUnknown*>>{bikeBell});

  QTest::mouseClick(tree.viewport(), Qt::LeftButton, Qt::ControlModifier,
                    tree.visualItemRect(Line("node-fork")).center());
  EXPECT_EQ(SelectedPaths().size(), 2u);
}

TEST_F(GuiMainWindow, ToolbarAndMenuOfferEveryRegisteredCommandAndTheToolbarFollowsThePlugIn) {
  std::vector<std::string> names = elmhost::ClassDictionary::Names();
  ASSERT_FALSE(names.empty());
  QList<QAction*> onToolbar = m_window->Toolbar().actions();
  ASSERT_EQ(onToolbar.size(), static_cast<qsizetype>(names.size()));
  for (std::size_t i = 0; i < names.size(); ++i)
    EXPECT_EQ(onToolbar[static_cast<int>(i)]->text().toStdString(), names[i]);
  // ELM_MODULE=OAK and the client's name: the plug-in asks for its toolbar.
  EXPECT_TRUE(m_window->Toolbar().isVisible());
  m_window->ShowToolbar(false);
  EXPECT_FALSE(m_window->Toolbar().isVisible());
  EXPECT_EQ(m_window->CommandsMenu().actions(), onToolbar);
}

TEST_F(GuiMainWindow, ACommandFromTheToolbarOpensItsDialogAsAWindowThatItsCloseButtonEnds) {
  m_window->CommandAction("ELMAboutCmd")->trigger();
  std::vector<elmgui::DialogWindow*> windows = m_window->Presenter().Windows();
  ASSERT_EQ(windows.size(), 1u);
  EXPECT_EQ(windows[0]->windowTitle(), "About ELM PDM Integration");
  EXPECT_TRUE(windows[0]->isVisible());
  EXPECT_EQ(windows[0]->parentWidget(), m_window.get());
  QTest::mouseClick(windows[0]->StandardButton(CATDlgWndCLOSE), Qt::LeftButton);
  EXPECT_TRUE(m_window->Presenter().Windows().empty());
}

TEST_F(GuiMainWindow, WhatACommandChangesInTheSessionShowsInTheTree) {
  // The file selects the frame; the command gives it a number and saves it.
  m_window->CommandAction("SetPartNumberFromExtPdmCmd")->trigger();
  ASSERT_EQ(m_user->Boxes().size(), 1u) << m_user->Boxes().size();
  const std::string number = m_host.Session().AttributeValue("frame", "PLM_ExternalID");
  ASSERT_NE(number, "prd-frame") << m_user->Boxes()[0].text.Utf8();
  EXPECT_EQ(Line("node-frame")->text(0).toStdString(), "frame.1 (" + number + ")");
  EXPECT_TRUE(Line("node-frame")->isSelected());
  ASSERT_EQ(m_host.Session().Saves().size(), 1u);
  EXPECT_TRUE(m_host.Session().Saves()[0].ok);
}

}  // namespace
