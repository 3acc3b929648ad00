#include "MainWindow.h"

#include "BoxPresenter.h"
#include "DialogPresenter.h"
#include "NavigatorTree.h"

#include "ElmCommandLine.h"
#include "ElmSession.h"

#include "CATApplicationFrame.h"
#include "ELMHostClassDictionary.h"
#include "ELMHostDispatch.h"
#include "ELMHostPLMSession.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QFontDatabase>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>

namespace elmgui {

MainWindow::MainWindow(elmapp::ElmSession& host, const std::string& sessionPath) : m_host(host) {
  setObjectName("elm");
  setWindowTitle("elm - " + QFileInfo(QString::fromStdString(sessionPath)).fileName());

  auto* split = new QSplitter(Qt::Horizontal, this);
  m_tree = new NavigatorTree(host.Session(), split);
  m_output = new QPlainTextEdit(split);
  m_output->setObjectName("output");
  m_output->setReadOnly(true);
  m_output->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  m_output->setPlaceholderText("Pick a command from the toolbar or the Commands menu; what it does shows here.");
  split->setStretchFactor(0, 2);
  split->setStretchFactor(1, 3);
  setCentralWidget(split);

  QMenu* file = menuBar()->addMenu("&File");
  QAction* quit = file->addAction("&Quit", this, &QWidget::close);
  quit->setShortcut(QKeySequence::Quit);
  m_commands = menuBar()->addMenu("&Commands");
  m_toolbar = addToolBar("ELM");
  m_toolbar->setObjectName("toolbar");
  m_toolbar->setToolButtonStyle(Qt::ToolButtonTextOnly);
  for (const std::string& name : elmhost::ClassDictionary::Names()) {
    auto* action = new QAction(QString::fromStdString(name), this);
    action->setObjectName(QString::fromStdString(name));
    action->setToolTip("Start " + QString::fromStdString(name));
    connect(action, &QAction::triggered, this, [this, name] { StartCommand(name); });
    m_commands->addAction(action);
    m_toolbar->addAction(action);
  }

  CATApplicationFrame& frame = host.Session().Frame();
  QString user = QString::fromStdString(host.Session().ConnectedUser().login);
  statusBar()->showMessage(QString("Session %1 · workbench %2 · workshop %3%4")
                               .arg(QString::fromStdString(sessionPath),
                                    QString::fromStdString(frame.GetCurrentWorkbench().Str()),
                                    QString::fromStdString(frame.GetCurrentWorkshop().Str()),
                                    user.isEmpty() ? QString() : " · user " + user));

  m_presenter = std::make_unique<DialogPresenter>(this);
  m_presenter->OnTaken([](const elmhost::ScriptStep& step) {
    elmapp::Print("[action] " + elmhost::DescribeStep(step) + "\n");
  });
  m_presenter->OnRefused([](const elmhost::ScriptStep& step, const std::string& why) {
    elmapp::Print("[refused] " + elmhost::DescribeStep(step) + ": " + why + "\n");
  });
  m_presenter->OnSynced([this] { m_tree->Refresh(); });
  m_previousSink = elmhost::SetUserInterface(this);
  resize(1000, 560);
}

MainWindow::~MainWindow() {
  elmhost::SetUserInterface(m_previousSink);
  // The dialog windows are children of this window: the presenter lets go
  // of them before QWidget's destructor deletes them.
  m_presenter.reset();
}

void MainWindow::ShowToolbar(bool show) {
  m_toolbar->setVisible(show);
  if (!show)
    statusBar()->showMessage("The plug-in asks not to show its toolbar here; its commands stay in the Commands menu.");
}

void MainWindow::StartCommand(const std::string& className) {
  elmapp::Print("--- " + className + "\n");
  std::string error;
  if (m_host.StartCommand(className, error) != elmapp::kExitRan) {
    elmapp::Print("[error] " + error + "\n");
    return;
  }
  m_host.Dispatch().RunUntilIdle();
  m_presenter->Sync();
}

void MainWindow::AppendOutput(const QString& text) {
  m_output->moveCursor(QTextCursor::End);
  m_output->insertPlainText(text);
  m_output->verticalScrollBar()->setValue(m_output->verticalScrollBar()->maximum());
}

int MainWindow::ShowBox(const elmhost::BoxDescription& box) {
  QWidget* over = QApplication::activeWindow() ? QApplication::activeWindow() : this;
  std::unique_ptr<QMessageBox> shown = MakeBox(box, over);
  shown->exec();
  int answer = BoxAnswer(*shown);
  elmapp::Print(elmapp::BoxText(box, answer));
  return answer;
}

QAction* MainWindow::CommandAction(const std::string& className) const {
  return findChild<QAction*>(QString::fromStdString(className));
}

}  // namespace elmgui
