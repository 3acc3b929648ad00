#pragma once

#include "CATDlgInclude.h"
#include "CATString.h"
#include "CATUnicodeString.h"

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

}  // namespace elmhost
