#pragma once

#include <memory>

class QApplication;

namespace elmgui {

/// The Qt application of gui and snapshot. offscreen: render without a
/// display, whatever the environment says. One look everywhere (Fusion), so
/// that pictures made here and on a desktop agree.
std::unique_ptr<QApplication> MakeApplication(bool offscreen);
/// Whether Qt can reach a display here (or was told which platform to use).
bool HasDisplay();

}  // namespace elmgui
