#include "ElmGui.h"

#include "Application.h"
#include "MainWindow.h"
#include "OutputCapture.h"

#include "ElmCommandLine.h"
#include "ElmSession.h"

#include "ELMHostPLMSession.h"

#include <QApplication>

namespace elmgui {

int RunGui(const elmapp::CommandLine& cmd, const std::vector<std::string>& args) {
  using namespace elmapp;
  if (!HasDisplay()) {
    Fail("gui needs a display and DISPLAY is not set (elm snapshot renders the dialogs without one)");
    return kExitNoPresenter;
  }
  std::string error;
  ElmSession host;
  int status = host.Prepare("", cmd.sessionPath, args, error);
  if (status != kExitRan) {
    Fail(error);
    return status;
  }
  std::unique_ptr<QApplication> app = MakeApplication(false);
  MainWindow window(host, cmd.sessionPath);
  OutputCapture capture(&window, [&window](const QString& text) { window.AppendOutput(text); });
  host.OnSave([](const elmhost::SaveRecord& save) { Print(SaveText(save)); });
  host.OnRequest([](const elmhost::HttpExchange& x) { Print(RequestText(x)); }, false);
  window.show();
  window.ShowToolbar(host.LoadWorkbench());
  app->exec();
  return kExitRan;
}

}  // namespace elmgui
