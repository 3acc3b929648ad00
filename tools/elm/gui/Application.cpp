#include "Application.h"

#include <QApplication>
#include <QStyleFactory>

#include <cstdlib>

namespace elmgui {

std::unique_ptr<QApplication> MakeApplication(bool offscreen) {
  if (offscreen) qputenv("QT_QPA_PLATFORM", "offscreen");
  // QApplication keeps argc and argv for its whole life.
  static int argc = 1;
  static char name[] = "elm";
  static char* argv[] = {name, nullptr};
  auto app = std::make_unique<QApplication>(argc, argv);
  QApplication::setApplicationName("elm");
  QApplication::setStyle(QStyleFactory::create("Fusion"));
  return app;
}

bool HasDisplay() {
  for (const char* variable : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(variable);
    if (value && *value) return true;
  }
  return false;
}

}  // namespace elmgui
