#pragma once

#include "CATBaseUnknown.h"
#include "CATString.h"

/// A notification sent by a command (a widget, a dialog, the host) to the
/// callbacks registered for it. Identified by its name, such as "DiaOK".
class ExportedByELMHost CATNotification : public virtual CATBaseUnknown {
  CATDeclareInterface(CATNotification)
public:
  explicit CATNotification(const CATString& name = "") : m_name(name) {}
  const CATString& GetName() const { return m_name; }

private:
  CATString m_name;
};
using CATNotification_var = CATVar<CATNotification>;
