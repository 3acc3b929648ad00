#include "NavigatorTree.h"

#include "ElmSession.h"

#include "CATCSO.h"
#include "CATFrmEditor.h"
#include "CATIPLMComponent.h"
#include "CATIPLMNavInstance.h"
#include "CATIPLMNavOccurrence.h"
#include "CATIPLMNavReference.h"
#include "CATPathElement.h"
#include "ELMHostPLMSession.h"

#include <QHeaderView>

#include <functional>
#include <set>

namespace elmgui {

namespace {

QString Attribute(const CATIPLMNavEntity* entity, const char* name) {
  CATListValCATUnicodeString values;
  if (!entity || FAILED(entity->GetAttributeValue(name, values)) || values.Size() == 0) return QString();
  return QString::fromStdString(values[1].Utf8());
}

/// The texts of a node's line: tree text, title, type.
QStringList Line(CATIPLMNavOccurrence& node) {
  CATIPLMNavReference* reference = nullptr;
  CATIPLMNavInstance* instance = nullptr;
  node.GetRelatedReference(reference);
  node.GetRelatedInstance(instance);
  const QString referenceId = Attribute(reference, "PLM_ExternalID");
  QString text = referenceId;
  if (instance) text = Attribute(instance, "PLM_ExternalID") + " (" + referenceId + ")";
  QString type;
  if (CATIPLMComponent_var component(reference); component) {
    CATUnicodeString name;
    if (SUCCEEDED(component->GetPLMTypeName(name))) type = QString::fromStdString(name.Utf8());
  }
  QStringList line{text, Attribute(reference, "V_Name"), type};
  if (reference) reference->Release();
  if (instance) instance->Release();
  return line;
}

CATBaseUnknown* Identity(CATIPLMNavOccurrence* node) { return static_cast<CATBaseUnknown*>(node); }

}  // namespace

NavigatorTree::NavigatorTree(elmhost::PLMSession& session, QWidget* parent) : QTreeWidget(parent), m_session(session) {
  setObjectName("navigator");
  setHeaderLabels({"Tree", "Title", "Type"});
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setUniformRowHeights(true);
  connect(this, &QTreeWidget::itemSelectionChanged, this, [this] {
    if (!m_refreshing) SelectionToEditor();
  });
  Refresh();
  for (int c = 1; c < columnCount(); ++c) resizeColumnToContents(c);
}

CATBaseUnknown* NavigatorTree::NodeOf(const QTreeWidgetItem* item) {
  return item ? reinterpret_cast<CATBaseUnknown*>(item->data(0, Qt::UserRole).value<quintptr>()) : nullptr;
}

QTreeWidgetItem* NavigatorTree::ItemFor(const CATBaseUnknown* node) const {
  for (QTreeWidgetItemIterator it(const_cast<NavigatorTree*>(this)); *it; ++it)
    if (NodeOf(*it) == node) return *it;
  return nullptr;
}

void NavigatorTree::Refresh() {
  m_refreshing = true;
  std::set<CATBaseUnknown*> collapsed;
  for (QTreeWidgetItemIterator it(this); *it; ++it)
    if (!(*it)->isExpanded() && (*it)->childCount() > 0) collapsed.insert(NodeOf(*it));
  clear();
  std::function<void(CATIPLMNavOccurrence*, QTreeWidgetItem*)> add = [&](CATIPLMNavOccurrence* node,
                                                                          QTreeWidgetItem* parent) {
    auto* item = parent ? new QTreeWidgetItem(parent, Line(*node)) : new QTreeWidgetItem(this, Line(*node));
    item->setData(0, Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(Identity(node))));
    CATListValCATBaseUnknown_var children;
    node->ListChildren(children);
    for (int i = 1; i <= children.Size(); ++i) {
      CATIPLMNavOccurrence_var child(children[i].get());
      if (child) add(child.get(), item);
    }
    item->setExpanded(!collapsed.count(NodeOf(item)));
  };
  if (CATIPLMNavOccurrence* root = m_session.TreeRoot()) add(root, nullptr);
  // Names change when commands give objects their numbers.
  resizeColumnToContents(0);

  if (CATFrmEditor* editor = m_session.WindowEditor()) {
    CATCSO* cso = editor->GetCSO();
    cso->InitElementList();
    while (CATPathElement* path = cso->NextElement())
      if (QTreeWidgetItem* item = ItemFor(path->FindLastElement())) item->setSelected(true);
  }
  m_refreshing = false;
}

void NavigatorTree::SelectionToEditor() {
  CATFrmEditor* editor = m_session.WindowEditor();
  if (!editor) return;
  CATCSO* cso = editor->GetCSO();
  cso->Empty();
  QStringList names;
  for (QTreeWidgetItem* item : selectedItems()) {
    // A selection path runs from the top of the tree down to the node.
    std::vector<CATBaseUnknown*> chain;
    for (QTreeWidgetItem* i = item; i; i = i->parent()) chain.insert(chain.begin(), NodeOf(i));
    CATPathElement_var path = CATMakeVar<CATPathElement>();
    for (CATBaseUnknown* node : chain) path->AddChildElement(node);
    cso->AddElement(path.get());
    names << item->text(0);
  }
  elmapp::Print("[select] " + (names.isEmpty() ? std::string("nothing") : names.join(", ").toStdString()) + "\n");
}

}  // namespace elmgui
