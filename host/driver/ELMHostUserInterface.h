#pragma once

#include "CATDlgInclude.h"
#include "CATString.h"
#include "CATUnicodeString.h"

#include <vector>

class CATDialog;
class CATDlgDialog;

namespace elmhost {

/// A message box as the user sees it.
struct BoxDescription {
  CATString name;
  CATDlgStyle style = 0;
  CATUnicodeString title;
  CATUnicodeString text;
};

/// The answer of a box acknowledged with OK.
constexpr int kBoxAcknowledged = 1;

/// Where the host shows what the user would see: elm prints and answers,
/// tests record and answer from a script.
class ExportedByELMHost UserInterface {
public:
  virtual ~UserInterface();
  /// A blocking message box; the answer becomes DisplayBlocked's result.
  virtual int ShowBox(const BoxDescription& box) = 0;
};

/// Installs ui (null: none) and returns the sink it replaces. The host does
/// not own the sink.
ExportedByELMHost UserInterface* SetUserInterface(UserInterface* ui);
ExportedByELMHost UserInterface* GetUserInterface();

// The driver's view of the open dialogs, for tests and elm.

/// Live dialog windows, oldest first.
ExportedByELMHost std::vector<CATDlgDialog*> OpenDialogs();
/// The most recently created live dialog window named name, or null.
ExportedByELMHost CATDlgDialog* FindDialog(const CATString& name);
/// The first widget named name under root (depth first, root excluded), or null.
ExportedByELMHost CATDialog* FindWidget(const CATDialog* root, const CATString& name);

}  // namespace elmhost
