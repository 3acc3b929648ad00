#pragma once

#include "CATDlgInclude.h"
#include "CATUnicodeString.h"
#include "ELMHostExport.h"

#include <functional>
#include <string>
#include <vector>

class CATDialog;
class CATDlgDialog;

namespace elmhost {

// The driver: how elm, the tests and any presenter find the plug-in's
// dialogs and act on them as a person would. Every action checks first that
// a person could take it (the dialog is open, the widget exists, is of the
// right kind, is shown and sensitive, the line exists); when not, it changes
// nothing and says why. An action that is taken changes the widget's state,
// sends the notifications a person's action sends, and runs the host's
// dispatch until it is idle again, so that the plug-in's callbacks have run
// when it returns.

/// What became of an action: ok, or the reason a person could not take it.
struct ActionResult {
  bool ok = true;
  std::string error;
  explicit operator bool() const { return ok; }
  static ActionResult Refused(std::string why) { return {false, std::move(why)}; }
};

/// Called once an action has passed its checks, before it changes anything:
/// lets a presenter report the action ahead of what it causes.
using ActionTaken = std::function<void()>;

/// Every live dialog window, shown or not, oldest first.
ExportedByELMHost std::vector<CATDlgDialog*> LiveDialogs();
/// The dialog windows a person sees (live and shown), oldest first.
ExportedByELMHost std::vector<CATDlgDialog*> OpenDialogs();
/// The most recently made open dialog named name, or null.
ExportedByELMHost CATDlgDialog* FindDialog(const std::string& name);
/// The first widget named name under root, depth first in creation order
/// (frames nest; root itself excluded), or null.
ExportedByELMHost CATDialog* FindWidget(const CATDialog* root, const std::string& name);
/// Whether a person sees the widget: it and every widget above it up to its
/// dialog window are shown.
ExportedByELMHost bool IsShown(const CATDialog* widget);
/// Whether a person can act on the widget: it and every widget above it are sensitive.
ExportedByELMHost bool IsSensitive(const CATDialog* widget);

/// Standard buttons by name: "OK", "Cancel", "Close", "Apply", "Preview",
/// "Help" (CATDlgWndOK, ...); 0 for another name.
ExportedByELMHost CATULong StandardButtonFromName(const std::string& name);
ExportedByELMHost const char* StandardButtonName(CATULong button);

/// Presses a push button.
ExportedByELMHost ActionResult Press(CATDlgDialog* dialog, const std::string& widget,
                                         const ActionTaken& taken = {});
/// Presses a standard button of the dialog (CATDlgWndOK, ...).
ExportedByELMHost ActionResult PressButton(CATDlgDialog* dialog, CATULong button,
                                         const ActionTaken& taken = {});
/// Checks or unchecks a check button.
ExportedByELMHost ActionResult SetChecked(CATDlgDialog* dialog, const std::string& widget, bool checked,
                                         const ActionTaken& taken = {});
/// Chooses a radio button (a person cannot unchoose one).
ExportedByELMHost ActionResult Choose(CATDlgDialog* dialog, const std::string& widget,
                                         const ActionTaken& taken = {});
/// Picks the line of a combo (from 0).
ExportedByELMHost ActionResult Pick(CATDlgDialog* dialog, const std::string& widget, int line,
                                         const ActionTaken& taken = {});
/// Picks the first line of a combo that reads text.
ExportedByELMHost ActionResult PickText(CATDlgDialog* dialog, const std::string& widget, const CATUnicodeString& text,
                                         const ActionTaken& taken = {});
/// Selects exactly these lines of a multi-list (none: clears the selection).
ExportedByELMHost ActionResult Select(CATDlgDialog* dialog, const std::string& widget, const std::vector<int>& lines,
                                         const ActionTaken& taken = {});
/// Replaces the text of an editor.
ExportedByELMHost ActionResult Type(CATDlgDialog* dialog, const std::string& widget, const CATUnicodeString& text,
                                         const ActionTaken& taken = {});
/// Closes the dialog from its window frame; with mdi, as a document window
/// of the application frame.
ExportedByELMHost ActionResult CloseWindow(CATDlgDialog* dialog, bool mdi = false, const ActionTaken& taken = {});

/// The dialog as a person reads it: its title and style, its standard
/// buttons, then every widget with name, class, grid cell, caption and
/// state, children indented under their frame, in grid order (row, then
/// column). Ends with a line feed.
ExportedByELMHost std::string DialogText(const CATDlgDialog* dialog);
/// The dialog as a JSON object, for tools: name, title, style value,
/// standard buttons, resizable grid rows and columns, and "widgets": every
/// widget (depth first, in creation order) with name, kind, parent, style
/// value, grid cell, title, help texts, sensitivity, visibility and state.
ExportedByELMHost std::string DialogJson(const CATDlgDialog* dialog);

/// Tells which dialogs opened and closed since it last looked. A dialog
/// opens when it is first seen shown, and closes when it is hidden or goes.
class ExportedByELMHost DialogWatcher {
public:
  struct Change {
    bool opened;              ///< false: closed
    CATDlgDialog* dialog;     ///< null for a dialog that has gone
    unsigned long serial;
    std::string name;
    std::string title;
  };
  std::vector<Change> Poll();
  /// The dialogs seen open at the last poll.
  std::vector<CATDlgDialog*> Open() const;

private:
  struct Seen {
    unsigned long serial;
    std::string name;
    std::string title;
  };
  std::vector<Seen> m_open;
};

}  // namespace elmhost
