#include "ElmRunner.h"

#ifdef ELM_WITH_GUI
#include "ElmGui.h"
#endif

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  elmapp::Presenters presenters;
#ifdef ELM_WITH_GUI
  presenters.gui = elmgui::RunGui;
  presenters.snapshot = elmgui::RunSnapshot;
#endif
  return elmapp::Main(args, presenters);
}
