#include "Snapshot.h"

#include "Application.h"
#include "BoxPresenter.h"
#include "DialogPresenter.h"
#include "DialogWindow.h"
#include "ElmGui.h"

#include "ElmCommandLine.h"
#include "ElmSession.h"

#include "CATDlgDialog.h"
#include "ELMHostDispatch.h"
#include "ELMHostScript.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>

#include <cstdio>

namespace elmgui {

namespace {

/// A name that is safe as part of a file name on any system.
std::string FileSafe(const std::string& name) {
  std::string out;
  for (char c : name) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
                 c == '.';
    out += plain ? c : '_';
  }
  return out.empty() ? std::string("unnamed") : out;
}

/// The window as a person sees it: offscreen there is no window manager to
/// draw the title bar, so the picture gets a plain one with the title.
QPixmap Framed(QWidget& window) {
  QPixmap inside = window.grab();
  if (inside.isNull()) return inside;
  const QFontMetrics metrics(window.font());
  const int bar = metrics.height() + 12;
  QPixmap out(inside.width(), inside.height() + bar);
  out.fill(window.palette().color(QPalette::Window));
  QPainter painter(&out);
  painter.fillRect(0, 0, out.width(), bar, window.palette().color(QPalette::Mid));
  QFont bold = window.font();
  bold.setBold(true);
  painter.setFont(bold);
  painter.setPen(window.palette().color(QPalette::BrightText));
  painter.drawText(QRect(8, 0, out.width() - 16, bar), Qt::AlignVCenter | Qt::AlignLeft,
                   QFontMetrics(bold).elidedText(window.windowTitle(), Qt::ElideRight, out.width() - 16));
  painter.drawPixmap(0, bar, inside);
  painter.setPen(window.palette().color(QPalette::Dark));
  painter.drawRect(0, 0, out.width() - 1, out.height() - 1);
  return out;
}

}  // namespace

bool Snapshot::Take(QWidget& window, const std::string& kind, const std::string& name) {
  char number[16];
  std::snprintf(number, sizeof number, "%02zu-", m_pictures.size() + 1);
  const std::string path = QDir(QString::fromStdString(m_folder)).filePath(QString::fromStdString(number + FileSafe(name) + ".png")).toStdString();
  // Layout and sizes settle when the window has been shown once.
  QApplication::processEvents();
  QPixmap picture = Framed(window);
  if (picture.isNull() || !picture.save(QString::fromStdString(path), "PNG")) {
    m_error = "cannot write the picture " + path;
    return false;
  }
  m_pictures.push_back({path, kind, name});
  return true;
}

SnapshotUser::SnapshotUser(Snapshot& snapshot, elmhost::ScriptPlayer& player)
    : m_snapshot(snapshot), m_player(player) {
  m_previous = elmhost::SetUserInterface(this);
}

SnapshotUser::~SnapshotUser() { elmhost::SetUserInterface(m_previous); }

int SnapshotUser::ShowBox(const elmhost::BoxDescription& box) {
  std::unique_ptr<QMessageBox> shown = MakeBox(box, nullptr);
  shown->show();
  if (m_snapshot.Take(*shown, "box", box.name.Str()))
    elmapp::Print("[picture] " + m_snapshot.Pictures().back().path + "\n");
  shown->hide();
  int answer = m_player.AnswerBox();
  elmapp::Print(elmapp::BoxText(box, answer));
  return answer;
}

int RunSnapshot(const elmapp::CommandLine& cmd, const std::vector<std::string>& args) {
  using namespace elmapp;
  std::string error;
  std::vector<elmhost::ScriptStep> steps;
  if (!cmd.scriptPath.empty() && !elmhost::ReadScriptFile(cmd.scriptPath, steps, error)) {
    Fail(error);
    return kExitBadInput;
  }
  if (!QDir().mkpath(QString::fromStdString(cmd.outDir))) {
    Fail("cannot make the folder " + cmd.outDir + " for the pictures");
    return kExitEventsFile;
  }
  std::unique_ptr<QApplication> app = MakeApplication(true);
  ElmSession host;
  int status = host.Prepare(cmd.className, cmd.sessionPath, args, error);
  if (status != kExitRan) {
    Fail(error);
    return status;
  }
  elmhost::ScriptPlayer player(std::move(steps));
  Snapshot snapshot(cmd.outDir);
  SnapshotUser user(snapshot, player);
  host.OnSave([](const elmhost::SaveRecord& save) { Print(SaveText(save)); });
  host.OnRequest([](const elmhost::HttpExchange& x) { Print(RequestText(x)); }, false);

  DialogPresenter presenter;
  presenter.OnOpened([&snapshot](DialogWindow& window) {
    if (snapshot.Take(window, "dialog", window.Dialog()->GetName().Str()))
      Print("[picture] " + snapshot.Pictures().back().path + "\n");
  });
  host.LoadWorkbench();
  if (host.StartCommand(cmd.className, error) != kExitRan) {
    Fail(error);
    return kExitNoPlugin;
  }
  // Pictures are taken as the windows open, whenever the command waits.
  elmhost::DialogWatcher watcher;
  auto idle = [&] {
    for (const auto& c : watcher.Poll()) Print("[dialog] " + c.name + (c.opened ? " opened\n" : " closed\n"));
    presenter.Sync();
  };
  elmhost::ActionResult result = player.PlayAll(idle, [](const elmhost::ScriptStep& step) {
    Print("[action] step " + std::to_string(step.index) + ": " + elmhost::DescribeStep(step) + "\n");
  });
  if (!result) {
    Fail(cmd.scriptPath + ": " + result.error);
    status = kExitScriptStep;
    host.Dispatch().RunUntilIdle();
    idle();
  }
  if (!snapshot.Error().empty()) {
    Fail(snapshot.Error());
    return kExitEventsFile;
  }
  return status;
}

}  // namespace elmgui
