#pragma once

#include "CATBaseUnknown.h"
#include "CATNotification.h"
#include "CATString.h"

#include <vector>

enum CATCommandMode { CATCommandModeExclusive = 0, CATCommandModeShared = 1, CATCommandModeUndefined = 2 };

/// What Activate, Desactivate and Cancel answer; 0 is the completed status.
using CATStatusChangeRC = int;
constexpr CATStatusChangeRC CATStatusChangeRCCompleted = 0;
constexpr CATStatusChangeRC CATStatusChangeRCAborted = 1;

/// Messages of RequestStatusChange.
enum CATCommandMsg { CATCommandMsgRequestExclusiveMode = 1, CATCommandMsgRequestSharedMode = 2,
                     CATCommandMsgRequestUndefinedMode = 3 };

using CATCommandClientData = void*;
class CATCommand;
/// A member operation receiving a notification: (publisher, notification, client data).
using CATCommandMethod = void (CATCommand::*)(CATCommand*, CATNotification*, CATCommandClientData);

/// A host command. Created by the host (or a factory), driven through
/// Activate / Desactivate / Cancel, and destroyed only by the host's dispatch
/// after RequestDelayedDestruction.
class ExportedByELMHost CATCommand : public virtual CATBaseUnknown {
  CATDeclareInterface(CATCommand)
public:
  explicit CATCommand(const CATString& name = "", CATCommandMode mode = CATCommandModeExclusive);
  CATCommand(CATCommand* parent, const CATString& name);
  ~CATCommand() override;
  CATCommand(const CATCommand&) = delete;
  CATCommand& operator=(const CATCommand&) = delete;

  virtual CATStatusChangeRC Activate(CATCommand* from, CATNotification* notification);
  virtual CATStatusChangeRC Desactivate(CATCommand* from, CATNotification* notification);
  virtual CATStatusChangeRC Cancel(CATCommand* from, CATNotification* notification);

  /// Hands the command to the host's dispatch, which releases it after the
  /// current callback has returned. Asking twice has no further effect.
  void RequestDelayedDestruction();
  bool IsDestructionRequested() const { return m_destructionRequested; }

  /// Asks the host to change the command's status; for the activation
  /// message (CATCommandMsgRequestExclusiveMode) the host's dispatch
  /// activates the command once the current callback has returned.
  void RequestStatusChange(CATCommandMsg message, CATCommand* requestor = nullptr);

  /// Routes the notification named notificationName, sent by publisher, to
  /// method on this command. Returns a callback id.
  int AddAnalyseNotificationCB(CATCommand* publisher, const CATString& notificationName, CATCommandMethod method,
                               CATCommandClientData data);
  /// As above, for the notification a widget names (GetDiaOKNotification(), ...).
  int AddAnalyseNotificationCB(CATCommand* publisher, CATNotification* notification, CATCommandMethod method,
                               CATCommandClientData data);
  void RemoveAnalyseNotificationCB(int callbackId);

  /// Sends a notification from this command: every callback registered for
  /// it (on any command) runs, in registration order, on this thread, from
  /// the host's dispatch once the current callback has returned (at once
  /// when the host runs no dispatch).
  void SendNotification(const CATString& notificationName);
  void SendNotification(CATNotification* notification);

  const CATString& GetName() const { return m_name; }
  CATCommand* GetFather() const { return m_father; }
  CATCommandMode GetMode() const { return m_mode; }
  const std::vector<CATCommand*>& GetChildren() const { return m_children; }

private:
  CATString m_name;
  CATCommandMode m_mode = CATCommandModeExclusive;
  CATCommand* m_father = nullptr;
  std::vector<CATCommand*> m_children;
  bool m_destructionRequested = false;
};
