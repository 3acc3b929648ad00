#include "ServedSession.h"

#include "DialogWindow.h"

#include "ElmCommandLine.h"

#include "CATDlgDialog.h"
#include "CATDlgFrame.h"
#include "ELMHostDispatch.h"
#include "ELMHostDriver.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include <cstdlib>
#include <filesystem>
#include <functional>

namespace elmtest {

std::unique_ptr<ScratchDir> ServedSession::s_serverDir;
std::unique_ptr<ServerProcess> ServedSession::s_server;

void ServedSession::SetUpTestSuite() {
  s_serverDir = std::make_unique<ScratchDir>();
  const std::string db = s_serverDir->File("pdm.db");
  ProcessResult seeded = RunProcess(
      ELM_SERVER_EXECUTABLE, {"seed", "--db", db, std::string(ELM_SOURCE_DIR) + "/examples/server/demo-seed.xml"});
  ASSERT_EQ(seeded.exitCode, 0) << seeded.err;
  s_server = std::make_unique<ServerProcess>(std::vector<std::string>{"--db", db, "--listen", "127.0.0.1:0", "--quiet"},
                                             s_serverDir->File("server.log"));
  const std::string url = s_server->WaitForUrl();
  ASSERT_FALSE(url.empty());
  setenv("ELM_SERVER_URL", url.c_str(), 1);
  setenv("ELM_PLUGIN", ELM_PLUGIN_PATH, 1);
  // The catalogs shipped with the plug-in: the texts users see.
  setenv("ELMHOST_CATALOG_PATH",
         (std::string(ELM_SOURCE_DIR) + "/resources/msg:" + ELM_SOURCE_DIR + "/resources/rsc").c_str(), 1);
}

void ServedSession::TearDownTestSuite() {
  s_server.reset();
  s_serverDir.reset();
}

void ServedSession::SetUp() {
  m_session = m_dir.File("session.json");
  std::filesystem::copy_file(std::string(ELM_SOURCE_DIR) + "/examples/sessions/bicycle.json", m_session);
}

void ServedSession::Prepare(const std::string& className) {
  std::string error;
  ASSERT_EQ(m_host.Prepare(className, m_session, {}, error), elmapp::kExitRan) << error;
}

void ServedSession::Start(const std::string& className) {
  m_host.LoadWorkbench();
  std::string error;
  ASSERT_EQ(m_host.StartCommand(className, error), elmapp::kExitRan) << error;
  m_host.Dispatch().RunUntilIdle();
}

void ExpectShowsModel(elmgui::DialogWindow& window) {
  CATDlgDialog* dialog = window.Dialog();
  const std::string title = dialog->GetTitle().Utf8();
  EXPECT_EQ(window.windowTitle().toStdString(), title.empty() ? dialog->GetName().Str() : title);
  for (CATULong button : dialog->GetStandardButtons()) {
    QPushButton* push = window.StandardButton(button);
    ASSERT_NE(push, nullptr) << elmhost::StandardButtonName(button);
    EXPECT_TRUE(push->isVisible());
    EXPECT_EQ(push->isEnabled(), dialog->GetButtonSensitivity(button) == CATDlgEnable);
  }
  const QRect inside = window.rect();
  std::function<void(const CATDialog*)> walk = [&](const CATDialog* parent) {
    for (const CATDialog* m : parent->GetChildWidgets()) {
      if (dynamic_cast<const CATDlgWindow*>(m)) continue;
      const std::string name = m->GetName().Str();
      QWidget* q = window.WidgetFor(m);
      ASSERT_NE(q, nullptr) << name;
      EXPECT_EQ(q->objectName().toStdString(), name);
      const bool shown = elmhost::IsShown(m);
      EXPECT_EQ(q->isVisibleTo(&window), shown) << name;
      if (shown) {
        const QRect place(q->mapTo(&window, QPoint(0, 0)), q->size());
        EXPECT_TRUE(inside.contains(place)) << name;
        auto* label = qobject_cast<QLabel*>(q);
        bool blank = label && label->text().isEmpty() && label->pixmap().isNull();
        EXPECT_TRUE(blank || !place.isEmpty()) << name;
        EXPECT_EQ(q->isEnabled(), elmhost::IsSensitive(m)) << name;
      }
      const QString caption = QString::fromStdString(m->GetTitle().Utf8());
      QString shownCaption = caption;
      if (auto* button = qobject_cast<QAbstractButton*>(q)) shownCaption = button->text();
      if (auto* label = qobject_cast<QLabel*>(q); label && m->GetIconName().IsNull()) shownCaption = label->text();
      if (auto* box = qobject_cast<QGroupBox*>(q); box && !(m->GetStyle() & CATDlgFraNoTitle))
        shownCaption = box->title();
      EXPECT_EQ(shownCaption, caption) << name;
      walk(m);
    }
  };
  walk(dialog);
}

}  // namespace elmtest
