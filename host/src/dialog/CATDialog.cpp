#include "CATDialog.h"

#include "CATDlgDialog.h"
#include "CATRscCatalog.h"

#include <map>
#include <string>

CATImplementInterface(CATDialog)

CATDialog::CATDialog(CATCommand* parent, const CATString& name, CATDlgStyle style)
    : CATCommand(parent, name), m_style(style) {}

CATDialog::~CATDialog() {
  // A widget owns its child widgets. Those already handed to delayed
  // destruction belong to the dispatch; releasing them here would free them twice.
  std::vector<CATCommand*> children = GetChildren();
  for (CATCommand* child : children) {
    auto* widget = dynamic_cast<CATDialog*>(child);
    if (widget && !widget->IsDestructionRequested()) widget->Release();
  }
}

void CATDialog::SetIconName(const CATString& normal, const CATString& selected, const CATString& focused,
                            const CATString& pressed, int type) {
  m_icons[0] = normal;
  m_icons[1] = selected;
  m_icons[2] = focused;
  m_icons[3] = pressed;
  m_iconType = type;
}

const CATString& CATDialog::GetIconName(int which) const {
  static const CATString none;
  return which >= 0 && which < 4 ? m_icons[which] : none;
}

void CATDialog::SetGridConstraints(const CATDlgGridConstraints& constraints) {
  m_grid = constraints;
  m_placed = true;
}

void CATDialog::SetGridConstraints(int row, int column, int width, int height, CATDlgJustification justification) {
  SetGridConstraints(CATDlgGridConstraints(row, column, width, height, justification));
}

void CATDialog::SetGridRowResizable(int row, int resizable) {
  if (resizable)
    m_resizableRows.insert(row);
  else
    m_resizableRows.erase(row);
}

void CATDialog::SetGridColumnResizable(int column, int resizable) {
  if (resizable)
    m_resizableColumns.insert(column);
  else
    m_resizableColumns.erase(column);
}

CATDialog* CATDialog::GetParentDialog() const { return dynamic_cast<CATDialog*>(GetFather()); }

std::vector<CATDialog*> CATDialog::GetChildWidgets() const {
  std::vector<CATDialog*> out;
  for (CATCommand* child : GetChildren())
    if (auto* widget = dynamic_cast<CATDialog*>(child)) out.push_back(widget);
  return out;
}

CATDlgDialog* CATDialog::GetDialogWindow() const {
  for (const CATDialog* w = this; w; w = w->GetParentDialog())
    if (auto* dialog = dynamic_cast<CATDlgDialog*>(const_cast<CATDialog*>(w))) return dialog;
  return nullptr;
}

void CATDialog::Raise(CATNotification* notification) { SendNotification(notification); }

CATNotification* CATDialog::Notification(const char* name) {
  // One object per kind, shared by every widget: callbacks are told apart by
  // the publisher, and the name says what happened.
  // Never destroyed: widgets may still hand them out while statics go away.
  static auto& shared = *new std::map<std::string, CATNotification*>();
  CATNotification*& n = shared[name];
  if (!n) {
    n = new CATNotification(name);
    n->MakeImmortal();
  }
  return n;
}

void CATDialog::ApplyResources() {
  CATDlgDialog* dialog = GetDialogWindow();
  if (!dialog || static_cast<CATDialog*>(dialog) == this) return;
  const std::string widget = GetName().Str();
  enum { kTitle, kHelp, kShortHelp, kLongHelp, kIcon };
  const char* const suffixes[] = {".Title", ".Help", ".ShortHelp", ".LongHelp", ".Icon"};
  // The chain is short (a dialog class and its bases); the bound only
  // guards against a file name function that never ends it.
  std::vector<std::string> files;
  for (int level = 0; level < 16; ++level) {
    const char* file = dialog->GetResourceFilename(level);
    if (!file) break;
    if (*file) files.emplace_back(file);
  }
  for (int attribute = kTitle; attribute <= kIcon; ++attribute) {
    const std::string key = widget + suffixes[attribute];
    for (const std::string& file : files) {
      CATString value;
      if (!CATRscCatalog::BuildResource(file.c_str(), key.c_str(), value)) continue;
      CATUnicodeString text(value.CastToCharPtr());
      switch (attribute) {
        case kTitle: SetTitle(text); break;
        case kHelp: SetHelp(text); break;
        case kShortHelp: SetShortHelp(text); break;
        case kLongHelp: SetLongHelp(text); break;
        default: SetIconName(value); break;
      }
      break;
    }
  }
}
