#pragma once

#include "CATBaseUnknown.h"
#include "ELMHostExport.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CATApplicationFrame;
class CATFrmEditor;
class CATFrmLayout;
class CATIPLMNavOccurrence;
class CATITypeDictionary;
class CATPathElement;

namespace elmhost {

class PLMObject;
class PLMOccurrence;

/// One save as the session saw it: which objects, and how it ended.
struct SaveRecord {
  std::vector<std::string> objectIds;
  bool ok = false;
  std::string error;  ///< the platform's error text of a failed save
};

/// Branches taken out of the navigation tree, as the session saw it.
struct TreeChange {
  /// Ids of the nodes that headed the removed branches, in tree order.
  std::vector<std::string> removedBranches;
  /// Nodes that left the tree with them, the heads included.
  std::size_t removedNodes = 0;
};

/// The PLM session the host shows: objects with their types and attributes,
/// the navigation tree of the current window, the window's selection, the
/// search selection, the workbench and the connected user. It is read from a
/// JSON file, and saving objects writes the file back (a temporary file
/// renamed over it, so an interrupted save never leaves half a session;
/// the file keeps its permissions, a read-only file is not replaced, and a
/// symbolic link is followed to the file it names).
///
/// The session made last is the current one: the platform's frame, layout,
/// editors and PLM services work on it. Destroying it makes the previous one
/// current again.
class ExportedByELMHost PLMSession {
public:
  ~PLMSession();
  PLMSession(const PLMSession&) = delete;
  PLMSession& operator=(const PLMSession&) = delete;

  /// Reads the session file path. On failure gives null and error, which
  /// names the file, the place in it (line and column, or the JSON path of
  /// the offending value) and what is wrong.
  static std::unique_ptr<PLMSession> Load(const std::string& path, std::string& error);
  /// Larger session files are refused before they are read.
  static constexpr std::size_t kMaxFileBytes = std::size_t{64} << 20;
  /// Values in a session file nest at most this deep: a tree of about half
  /// as many levels.
  static constexpr std::size_t kMaxNesting = 250000;
  /// As Load, from text; saving writes to path (empty: saving fails).
  static std::unique_ptr<PLMSession> FromText(const std::string& text, const std::string& path, std::string& error);
  static PLMSession* Current();

  CATApplicationFrame& Frame();
  CATFrmLayout& Layout();
  /// The editor of the tree window; null when the session has no tree.
  CATFrmEditor* WindowEditor();
  /// The top node of the tree window (the first, in a window with several
  /// roots), without an added reference; null when the session has no tree
  /// or a tree without roots. Presenters walk the tree from here.
  CATIPLMNavOccurrence* TreeRoot() const;
  /// Every top node of the tree window, in order, without added references.
  std::vector<CATIPLMNavOccurrence*> TreeRoots() const;

  /// Takes the branches headed by these nodes out of the navigation tree:
  /// what the host's remove-branch command does with the selected nodes.
  /// Nodes that are not (or no longer) in the tree, or that lie inside
  /// another removed branch, are skipped. The tree is a view: the objects
  /// stay in the session, and saving writes them and the tree as the file
  /// had them. The tree observer hears of every removal that took something.
  TreeChange RemoveBranches(const std::vector<CATBaseUnknown*>& nodes);
  /// One node of the tree as VisitTree hands it over.
  struct TreeLine {
    std::size_t depth;     ///< 0 for a root
    const std::string& id;  ///< the node's id in the session file
    std::string label;     ///< what the tree shows: the node's identifiers, blank-separated
    std::string instance;  ///< the "PLM_ExternalID" of its instance; empty on a root
  };
  /// Every node of the tree window, depth first in tree order, without
  /// recursion (trees may be far deeper than the stack).
  void VisitTree(const std::function<void(const TreeLine&)>& visitor) const;
  /// Whether branches were removed from the tree since the session was read.
  bool TreeChanged() const { return m_treeChanged; }
  void SetTreeObserver(std::function<void(const TreeChange&)> observer) { m_treeObserver = std::move(observer); }
  /// The selection path of a node of the tree (CATIBuildPath): from the top
  /// of its tree, or starting with context when given. Fails for a node no
  /// longer in the tree and for a context that does not lead to it.
  HRESULT PathOf(PLMOccurrence* node, CATPathElement* context, CATPathElement*& path);
  /// The editor holding the search selection.
  CATFrmEditor* SearchEditor();
  CATITypeDictionary* TypeDictionary();

  /// The object or tree node with this id, or null (no reference added).
  CATBaseUnknown* Find(const std::string& id) const;
  PLMObject* FindObject(const std::string& id) const;
  /// An attribute's current value in memory; empty when absent.
  std::string AttributeValue(const std::string& objectId, const std::string& attribute) const;

  struct User {
    std::string login, role, organization, project;
  };
  const User& ConnectedUser() const { return m_user; }
  const std::string& Path() const { return m_path; }

  // Records that tests and the host read.
  int MaturityQueries() const { return m_maturityQueries; }
  const std::vector<SaveRecord>& Saves() const { return m_saves; }
  /// Called after every save, successful or not.
  void SetSaveObserver(std::function<void(const SaveRecord&)> observer) { m_saveObserver = std::move(observer); }

  // Used by the platform services of the host.
  /// Whether the session is set to make the named platform service fail.
  bool ServiceFails(const std::string& service) const;
  void CountMaturityQuery() { ++m_maturityQueries; }
  /// Saves the objects: updates the file, or fails as the session is told to.
  /// On failure error holds the platform text (possibly empty).
  bool SaveObjects(const std::vector<PLMObject*>& objects, std::string& error);
  /// Every object of the version family of object, object included.
  std::vector<PLMObject*> VersionsOf(const PLMObject& object) const;
  /// The root node that shows object when the window is an explorer
  /// window; null otherwise.
  PLMOccurrence* ExplorerNodeOf(const PLMObject* object) const;
  /// The root node of the tree window that shows object; null when object
  /// is no root there (or its branch was removed).
  PLMOccurrence* RootNodeOf(const PLMObject* object) const;

private:
  struct Impl;
  PLMSession();
  std::unique_ptr<Impl> m_impl;
  std::string m_path;
  User m_user;
  int m_maturityQueries = 0;
  std::vector<SaveRecord> m_saves;
  std::function<void(const SaveRecord&)> m_saveObserver;
  std::function<void(const TreeChange&)> m_treeObserver;
  bool m_treeChanged = false;
  PLMSession* m_previous = nullptr;
};

}  // namespace elmhost
