#pragma once

#include <QTreeWidget>

class CATBaseUnknown;

namespace elmhost {
class PLMSession;
}

namespace elmgui {

/// The session's navigation tree as the client's tree window shows it: one
/// line per node, "instance (reference)" below the root, with the
/// reference's title and type. Selecting lines makes them the selection of
/// the tree window's editor (its CATCSO), which the commands read.
class NavigatorTree : public QTreeWidget {
public:
  NavigatorTree(elmhost::PLMSession& session, QWidget* parent);

  /// Shows the tree and the editor's selection as the session holds them
  /// now (commands rename, save and cut branches).
  void Refresh();
  /// The line of a tree node; null when none shows it.
  QTreeWidgetItem* ItemFor(const CATBaseUnknown* node) const;
  /// The tree node a line shows.
  static CATBaseUnknown* NodeOf(const QTreeWidgetItem* item);

private:
  void SelectionToEditor();

  elmhost::PLMSession& m_session;
  bool m_refreshing = false;
};

}  // namespace elmgui
