#include "ELMHostDriver.h"

#include "CATDlgCheckButton.h"
#include "CATDlgCombo.h"
#include "CATDlgDialog.h"
#include "CATDlgEditor.h"
#include "CATDlgFrame.h"
#include "CATDlgLabel.h"
#include "CATDlgMultiList.h"
#include "CATDlgPushButton.h"
#include "CATDlgRadioButton.h"
#include "CATDlgSeparator.h"
#include "ELMHostDispatch.h"
#include "IntegerText.h"
#include "OpenDialogs.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace elmhost {

namespace {

using Json = nlohmann::ordered_json;

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

std::string Hex(unsigned long v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "0x%lx", v);
  return buf;
}

/// Text on one line: line breaks and tabs shown as escapes, so a widget's
/// state never spills over the lines that follow.
std::string OneLine(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\n')
      out += "\\n";
    else if (c == '\t')
      out += "\\t";
    else if (c == '\r')
      out += "\\r";
    else
      out += c;
  }
  return out;
}

bool IsLive(const CATDlgDialog* dialog) {
  const auto& live = OpenDialogRegistry();
  return dialog && std::find(live.begin(), live.end(), dialog) != live.end();
}

/// The widget a person could act on, or the reason there is none.
template <class Widget>
ActionResult Reach(CATDlgDialog* dialog, const std::string& name, const char* kind, Widget*& out) {
  out = nullptr;
  if (!IsLive(dialog) || dialog->GetVisibility() != CATDlgShow)
    return ActionResult::Refused("no such dialog is open");
  const std::string where = "the dialog \"" + dialog->GetName().Str() + "\"";
  CATDialog* widget = FindWidget(dialog, name);
  if (!widget) return ActionResult::Refused(where + " has no widget \"" + name + "\"");
  out = dynamic_cast<Widget*>(widget);
  if (!out)
    return ActionResult::Refused("\"" + name + "\" of " + where + " is a " + widget->GetWidgetClass() + ", not a " +
                                 kind);
  if (!IsShown(widget)) return ActionResult::Refused("\"" + name + "\" of " + where + " is hidden");
  if (!IsSensitive(widget)) return ActionResult::Refused("\"" + name + "\" of " + where + " is insensitive");
  return {};
}

/// Lets the plug-in's callbacks run, as the host does after every action.
ActionResult Settle() {
  if (Dispatch* d = Dispatch::Current()) d->RunUntilIdle();
  return {};
}

const std::pair<CATULong, const char*> kButtonNames[] = {
    {CATDlgWndOK, "OK"},           {CATDlgWndCANCEL, "Cancel"}, {CATDlgWndCLOSE, "Close"},
    {CATDlgWndAPPLY, "Apply"},     {CATDlgWndPREVIEW, "Preview"}, {CATDlgWndHELP, "Help"},
};

CATNotification* ButtonNotification(const CATDlgDialog& dialog, CATULong button) {
  switch (button) {
    case CATDlgWndOK: return dialog.GetDiaOKNotification();
    case CATDlgWndCANCEL: return dialog.GetDiaCANCELNotification();
    case CATDlgWndCLOSE: return dialog.GetDiaCLOSENotification();
    case CATDlgWndAPPLY: return dialog.GetDiaAPPLYNotification();
    case CATDlgWndPREVIEW: return dialog.GetDiaPREVIEWNotification();
    case CATDlgWndHELP: return dialog.GetDiaHELPNotification();
    default: return nullptr;
  }
}

/// Children in the order a person reads a grid: row, then column; widgets
/// never placed come last, in creation order.
std::vector<CATDialog*> InGridOrder(const CATDialog* parent) {
  std::vector<CATDialog*> children = parent->GetChildWidgets();
  std::stable_sort(children.begin(), children.end(), [](const CATDialog* a, const CATDialog* b) {
    if (a->HasGridConstraints() != b->HasGridConstraints()) return a->HasGridConstraints();
    const CATDlgGridConstraints& ga = a->GetGridConstraints();
    const CATDlgGridConstraints& gb = b->GetGridConstraints();
    return ga.Row != gb.Row ? ga.Row < gb.Row : ga.Column < gb.Column;
  });
  return children;
}

std::string Cell(const CATDialog& w) {
  if (!w.HasGridConstraints()) return "not placed";
  const CATDlgGridConstraints& g = w.GetGridConstraints();
  std::string s = "row " + std::to_string(g.Row) + ", col " + std::to_string(g.Column);
  if (g.W != 1 || g.H != 1) s += ", span " + std::to_string(g.W) + "x" + std::to_string(g.H);
  return s + ", just " + Hex(g.Justification);
}

std::string StateText(const CATDialog& w) {
  std::string s;
  if (auto* c = dynamic_cast<const CATDlgCheckButton*>(&w)) s += c->GetState() == CATDlgCheck ? " checked" : " unchecked";
  if (auto* r = dynamic_cast<const CATDlgRadioButton*>(&w)) s += r->GetState() == CATDlgCheck ? " checked" : " unchecked";
  if (auto* e = dynamic_cast<const CATDlgEditor*>(&w)) {
    s += " text " + Quoted(OneLine(e->GetText().Utf8()));
    if (e->IsReadOnly()) s += " read-only";
  }
  if (auto* c = dynamic_cast<const CATDlgCombo*>(&w)) {
    s += " lines [";
    for (int i = 0; i < c->GetLineCount(); ++i) {
      CATUnicodeString line;
      c->GetLine(line, i);
      s += (i ? ", " : "") + Quoted(OneLine(line.Utf8()));
    }
    s += "] selected " + std::to_string(c->GetSelect());
  }
  if (auto* l = dynamic_cast<const CATDlgLabel*>(&w); l && !l->GetIconName().IsNull())
    s += " icon " + l->GetIconName().Str();
  if (w.GetVisibility() != CATDlgShow) s += " hidden";
  if (w.GetSensitivity() != CATDlgEnable) s += " insensitive";
  return s;
}

void AppendListLines(const CATDlgMultiList& list, const std::string& indent, std::string& out) {
  std::string columns;
  for (int c = 0; c < list.GetColumnCount(); ++c) {
    columns += (c ? " | " : "") + list.GetColumnTitle(c).Utf8();
    if (list.GetColumnVisibility(c) != CATDlgShow) columns += " (hidden)";
  }
  out += indent + "columns: " + columns + "\n";
  std::vector<int> selected(static_cast<std::size_t>(list.GetSelectCount()));
  list.GetSelect(selected.data(), static_cast<int>(selected.size()));
  for (int l = 0; l < list.GetLineCount(); ++l) {
    std::string cells;
    for (int c = 0; c < list.GetColumnCount(); ++c) {
      CATUnicodeString cell;
      list.GetColumnItem(c, cell, l);
      cells += (c ? " | " : "") + OneLine(cell.Utf8());
    }
    bool isSelected = std::find(selected.begin(), selected.end(), l) != selected.end();
    out += indent + "line " + std::to_string(l) + (isSelected ? " (selected)" : "") + ": " + cells + "\n";
  }
}

void AppendWidgetText(const CATDialog& w, int depth, std::string& out) {
  const std::string indent(static_cast<std::size_t>(2 * depth), ' ');
  out += indent + w.GetName().Str() + " (" + w.GetWidgetClass() + ") " + Cell(w);
  if (!w.GetTitle().IsNull()) out += ": " + Quoted(OneLine(w.GetTitle().Utf8()));
  out += StateText(w) + "\n";
  if (auto* list = dynamic_cast<const CATDlgMultiList*>(&w)) AppendListLines(*list, indent + "  ", out);
  for (const CATDialog* child : InGridOrder(&w)) AppendWidgetText(*child, depth + 1, out);
}

Json WidgetJson(const CATDialog& w) {
  Json j;
  j["name"] = w.GetName().Str();
  j["kind"] = w.GetWidgetClass();
  const CATDialog* parent = w.GetParentDialog();
  j["parent"] = parent && !dynamic_cast<const CATDlgDialog*>(&w) ? parent->GetName().Str() : "";
  j["style"] = w.GetStyle();
  if (w.HasGridConstraints()) {
    const CATDlgGridConstraints& g = w.GetGridConstraints();
    j["grid"] = {{"row", g.Row}, {"column", g.Column}, {"columnSpan", g.W}, {"rowSpan", g.H},
                 {"justification", g.Justification}};
  } else {
    j["grid"] = nullptr;
  }
  j["title"] = w.GetTitle().Utf8();
  j["help"] = w.GetHelp().Utf8();
  j["shortHelp"] = w.GetShortHelp().Utf8();
  j["longHelp"] = w.GetLongHelp().Utf8();
  j["sensitivity"] = w.GetSensitivity();
  j["visibility"] = w.GetVisibility();
  if (!w.GetResizableRows().empty() || !w.GetResizableColumns().empty()) {
    j["resizableRows"] = w.GetResizableRows();
    j["resizableColumns"] = w.GetResizableColumns();
  }
  Json state = Json::object();
  if (auto* c = dynamic_cast<const CATDlgCheckButton*>(&w)) state["state"] = c->GetState();
  if (auto* r = dynamic_cast<const CATDlgRadioButton*>(&w)) state["state"] = r->GetState();
  if (auto* e = dynamic_cast<const CATDlgEditor*>(&w)) {
    state["text"] = e->GetText().Utf8();
    if (e->IsInteger()) state["integer"] = e->GetIntegerValue();
    state["visibleTextWidth"] = e->GetVisibleTextWidth();
    state["visibleTextHeight"] = e->GetVisibleTextHeight();
    if (e->GetColor() >= 0) state["color"] = e->GetColor();
  }
  if (auto* c = dynamic_cast<const CATDlgCombo*>(&w)) {
    Json lines = Json::array();
    for (int i = 0; i < c->GetLineCount(); ++i) {
      CATUnicodeString line;
      c->GetLine(line, i);
      lines.push_back(line.Utf8());
    }
    state["lines"] = lines;
    state["selected"] = c->GetSelect();
    state["visibleTextWidth"] = c->GetVisibleTextWidth();
    state["visibleTextHeight"] = c->GetVisibleTextHeight();
  }
  if (auto* list = dynamic_cast<const CATDlgMultiList*>(&w)) {
    Json columns = Json::array();
    for (int c = 0; c < list->GetColumnCount(); ++c)
      columns.push_back({{"title", list->GetColumnTitle(c).Utf8()}, {"visibility", list->GetColumnVisibility(c)}});
    Json lines = Json::array();
    for (int l = 0; l < list->GetLineCount(); ++l) {
      Json cells = Json::array();
      for (int c = 0; c < list->GetColumnCount(); ++c) {
        CATUnicodeString cell;
        list->GetColumnItem(c, cell, l);
        cells.push_back(cell.Utf8());
      }
      lines.push_back(cells);
    }
    std::vector<int> selected(static_cast<std::size_t>(list->GetSelectCount()));
    list->GetSelect(selected.data(), static_cast<int>(selected.size()));
    state["columns"] = columns;
    state["lines"] = lines;
    state["selected"] = selected;
    state["visibleTextWidth"] = list->GetVisibleTextWidth();
  }
  if (!w.GetIconName().IsNull()) state["icon"] = w.GetIconName().Str();
  j["state"] = state;
  return j;
}

void CollectWidgets(const CATDialog& parent, Json& out) {
  for (const CATDialog* child : parent.GetChildWidgets()) {
    // Message boxes made under a dialog are windows of their own, not widgets of it.
    if (dynamic_cast<const CATDlgWindow*>(child)) continue;
    out.push_back(WidgetJson(*child));
    CollectWidgets(*child, out);
  }
}

}  // namespace

std::vector<CATDlgDialog*> LiveDialogs() { return OpenDialogRegistry(); }

std::vector<CATDlgDialog*> OpenDialogs() {
  std::vector<CATDlgDialog*> out;
  for (CATDlgDialog* d : OpenDialogRegistry())
    if (d->GetVisibility() == CATDlgShow) out.push_back(d);
  return out;
}

CATDlgDialog* FindDialog(const std::string& name) {
  std::vector<CATDlgDialog*> open = OpenDialogs();
  auto it = std::find_if(open.rbegin(), open.rend(), [&](CATDlgDialog* d) { return d->GetName().Str() == name; });
  return it == open.rend() ? nullptr : *it;
}

CATDialog* FindWidget(const CATDialog* root, const std::string& name) {
  if (!root) return nullptr;
  for (CATDialog* widget : root->GetChildWidgets()) {
    if (dynamic_cast<CATDlgWindow*>(widget)) continue;
    if (widget->GetName().Str() == name) return widget;
    if (CATDialog* found = FindWidget(widget, name)) return found;
  }
  return nullptr;
}

bool IsShown(const CATDialog* widget) {
  for (const CATDialog* w = widget; w; w = w->GetParentDialog()) {
    if (w->GetVisibility() != CATDlgShow) return false;
    if (dynamic_cast<const CATDlgWindow*>(w)) return true;
  }
  return widget != nullptr;
}

bool IsSensitive(const CATDialog* widget) {
  for (const CATDialog* w = widget; w; w = w->GetParentDialog()) {
    if (w->GetSensitivity() != CATDlgEnable) return false;
    if (dynamic_cast<const CATDlgWindow*>(w)) return true;
  }
  return widget != nullptr;
}

CATULong StandardButtonFromName(const std::string& name) {
  for (const auto& [button, text] : kButtonNames)
    if (name == text) return button;
  return 0;
}

const char* StandardButtonName(CATULong button) {
  for (const auto& [b, text] : kButtonNames)
    if (b == button) return text;
  return "";
}

ActionResult Press(CATDlgDialog* dialog, const std::string& widget, const ActionTaken& taken) {
  CATDlgPushButton* button = nullptr;
  if (ActionResult r = Reach(dialog, widget, "push button", button); !r) return r;
  if (taken) taken();
  button->Push();
  return Settle();
}

ActionResult PressButton(CATDlgDialog* dialog, CATULong button, const ActionTaken& taken) {
  if (!IsLive(dialog) || dialog->GetVisibility() != CATDlgShow) return ActionResult::Refused("no such dialog is open");
  const std::string where = "the dialog \"" + dialog->GetName().Str() + "\"";
  const char* name = StandardButtonName(button);
  std::vector<CATULong> buttons = dialog->GetStandardButtons();
  if (!*name || std::find(buttons.begin(), buttons.end(), button) == buttons.end())
    return ActionResult::Refused(where + " has no " + (*name ? name : "such") + " button");
  if (dialog->GetButtonSensitivity(button) != CATDlgEnable || dialog->GetSensitivity() != CATDlgEnable)
    return ActionResult::Refused("the " + std::string(name) + " button of " + where + " is insensitive");
  if (taken) taken();
  dialog->SendNotification(ButtonNotification(*dialog, button));
  return Settle();
}

ActionResult SetChecked(CATDlgDialog* dialog, const std::string& widget, bool checked, const ActionTaken& taken) {
  CATDlgCheckButton* button = nullptr;
  if (ActionResult r = Reach(dialog, widget, "check button", button); !r) return r;
  if (taken) taken();
  button->SetState(checked ? CATDlgCheck : CATDlgUncheck, 1);
  return Settle();
}

ActionResult Choose(CATDlgDialog* dialog, const std::string& widget, const ActionTaken& taken) {
  CATDlgRadioButton* button = nullptr;
  if (ActionResult r = Reach(dialog, widget, "radio button", button); !r) return r;
  if (taken) taken();
  button->SetState(CATDlgCheck, 1);
  return Settle();
}

ActionResult Pick(CATDlgDialog* dialog, const std::string& widget, int line, const ActionTaken& taken) {
  CATDlgCombo* combo = nullptr;
  if (ActionResult r = Reach(dialog, widget, "combo", combo); !r) return r;
  if (line < 0 || line >= combo->GetLineCount())
    return ActionResult::Refused("\"" + widget + "\" has " + std::to_string(combo->GetLineCount()) +
                                 " lines; there is no line " + std::to_string(line));
  if (taken) taken();
  combo->SetSelect(line, 1);
  return Settle();
}

ActionResult PickText(CATDlgDialog* dialog, const std::string& widget, const CATUnicodeString& text, const ActionTaken& taken) {
  CATDlgCombo* combo = nullptr;
  if (ActionResult r = Reach(dialog, widget, "combo", combo); !r) return r;
  for (int i = 0; i < combo->GetLineCount(); ++i) {
    CATUnicodeString line;
    combo->GetLine(line, i);
    if (line == text) return Pick(dialog, widget, i, taken);
  }
  return ActionResult::Refused("\"" + widget + "\" has no line " + Quoted(text.Utf8()));
}

ActionResult Select(CATDlgDialog* dialog, const std::string& widget, const std::vector<int>& lines, const ActionTaken& taken) {
  CATDlgMultiList* list = nullptr;
  if (ActionResult r = Reach(dialog, widget, "multi-list", list); !r) return r;
  for (int line : lines)
    if (line < 0 || line >= list->GetLineCount())
      return ActionResult::Refused("\"" + widget + "\" has " + std::to_string(list->GetLineCount()) +
                                   " lines; there is no line " + std::to_string(line));
  if (taken) taken();
  list->SetSelect(lines.data(), static_cast<int>(lines.size()), 1);
  return Settle();
}

ActionResult Type(CATDlgDialog* dialog, const std::string& widget, const CATUnicodeString& text, const ActionTaken& taken) {
  CATDlgEditor* editor = nullptr;
  if (ActionResult r = Reach(dialog, widget, "editor", editor); !r) return r;
  if (editor->IsReadOnly()) return ActionResult::Refused("\"" + widget + "\" is read-only");
  if (!editor->IsMultiline() && text.Utf8().find('\n') != std::string::npos)
    return ActionResult::Refused("\"" + widget + "\" takes one line only");
  int ignored = 0;
  if (editor->IsInteger() && !ReadIntegerText(text.Utf8(), ignored))
    return ActionResult::Refused("\"" + widget + "\" takes an integer, not " + Quoted(text.Utf8()));
  if (taken) taken();
  editor->Type(text);
  return Settle();
}

ActionResult CloseWindow(CATDlgDialog* dialog, bool mdi, const ActionTaken& taken) {
  if (!IsLive(dialog) || dialog->GetVisibility() != CATDlgShow) return ActionResult::Refused("no such dialog is open");
  CATNotification* n = mdi ? dialog->GetMDICloseNotification() : dialog->GetWindCloseNotification();
  if (taken) taken();
  // A window that does not listen is closed by the frame itself; one that
  // listens decides what closing means.
  if (HasCallbacks(dialog, n->GetName()))
    dialog->SendNotification(n);
  else
    dialog->SetVisibility(CATDlgHide);
  return Settle();
}

std::string DialogText(const CATDlgDialog* dialog) {
  if (!dialog) return std::string();
  std::string out = dialog->GetName().Str() + ": " + Quoted(OneLine(dialog->GetTitle().Utf8())) + " (style " +
                    Hex(dialog->GetStyle()) + ")\n";
  std::string buttons;
  for (CATULong b : dialog->GetStandardButtons()) {
    buttons += std::string(buttons.empty() ? "" : ", ") + StandardButtonName(b);
    if (dialog->GetDefaultButton() == b) buttons += " (default)";
    if (dialog->GetButtonSensitivity(b) != CATDlgEnable) buttons += " (insensitive)";
  }
  out += "  buttons: " + (buttons.empty() ? std::string("none") : buttons) + "\n";
  for (const CATDialog* child : InGridOrder(dialog))
    if (!dynamic_cast<const CATDlgWindow*>(child)) AppendWidgetText(*child, 1, out);
  return out;
}

std::string DialogJson(const CATDlgDialog* dialog) {
  if (!dialog) return "null";
  Json j;
  j["name"] = dialog->GetName().Str();
  j["title"] = dialog->GetTitle().Utf8();
  j["style"] = dialog->GetStyle();
  Json buttons = Json::array();
  for (CATULong b : dialog->GetStandardButtons())
    buttons.push_back({{"button", StandardButtonName(b)},
                       {"value", b},
                       {"sensitivity", dialog->GetButtonSensitivity(b)},
                       {"default", dialog->GetDefaultButton() == b}});
  j["buttons"] = buttons;
  j["resizableRows"] = dialog->GetResizableRows();
  j["resizableColumns"] = dialog->GetResizableColumns();
  j["help"] = dialog->GetHelp().Utf8();
  j["shortHelp"] = dialog->GetShortHelp().Utf8();
  j["longHelp"] = dialog->GetLongHelp().Utf8();
  Json widgets = Json::array();
  CollectWidgets(*dialog, widgets);
  j["widgets"] = widgets;
  return j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::vector<DialogWatcher::Change> DialogWatcher::Poll() {
  std::vector<Change> changes;
  std::vector<CATDlgDialog*> open = OpenDialogs();
  auto isOpen = [&](unsigned long serial) {
    return std::find_if(open.begin(), open.end(), [&](CATDlgDialog* d) { return d->GetSerial() == serial; });
  };
  for (const Seen& s : m_open) {
    if (isOpen(s.serial) != open.end()) continue;
    CATDlgDialog* live = nullptr;
    for (CATDlgDialog* d : LiveDialogs())
      if (d->GetSerial() == s.serial) live = d;
    changes.push_back({false, live, s.serial, s.name, s.title});
  }
  std::vector<Seen> now;
  for (CATDlgDialog* d : open) {
    bool known = std::any_of(m_open.begin(), m_open.end(), [&](const Seen& s) { return s.serial == d->GetSerial(); });
    if (!known) changes.push_back({true, d, d->GetSerial(), d->GetName().Str(), d->GetTitle().Utf8()});
    now.push_back({d->GetSerial(), d->GetName().Str(), d->GetTitle().Utf8()});
  }
  m_open = std::move(now);
  return changes;
}

std::vector<CATDlgDialog*> DialogWatcher::Open() const {
  std::vector<CATDlgDialog*> out;
  for (CATDlgDialog* d : OpenDialogs())
    if (std::any_of(m_open.begin(), m_open.end(), [&](const Seen& s) { return s.serial == d->GetSerial(); }))
      out.push_back(d);
  return out;
}

}  // namespace elmhost
