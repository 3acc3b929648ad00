#pragma once

#include "ELMHostUserInterface.h"

#include <string>
#include <vector>

class QWidget;

namespace elmhost {
class ScriptPlayer;
}

namespace elmgui {

/// The pictures of one run: each dialog and box as it opens, numbered in
/// that order, as PNG files of one folder.
class Snapshot {
public:
  struct Picture {
    std::string path;
    std::string kind;  ///< "dialog" or "box"
    std::string name;
  };

  explicit Snapshot(std::string folder) : m_folder(std::move(folder)) {}

  /// Renders window as it is now into the next file; false (and Error())
  /// when the file cannot be written.
  bool Take(QWidget& window, const std::string& kind, const std::string& name);
  const std::vector<Picture>& Pictures() const { return m_pictures; }
  const std::string& Error() const { return m_error; }

private:
  std::string m_folder;
  std::vector<Picture> m_pictures;
  std::string m_error;
};

/// The user of elm snapshot: pictures every box, then answers it from the
/// script as elm run does. Installs itself as the host's sink while it lives.
class SnapshotUser : public elmhost::UserInterface {
public:
  SnapshotUser(Snapshot& snapshot, elmhost::ScriptPlayer& player);
  ~SnapshotUser() override;
  SnapshotUser(const SnapshotUser&) = delete;
  SnapshotUser& operator=(const SnapshotUser&) = delete;

  int ShowBox(const elmhost::BoxDescription& box) override;

private:
  Snapshot& m_snapshot;
  elmhost::ScriptPlayer& m_player;
  elmhost::UserInterface* m_previous = nullptr;
};

}  // namespace elmgui
