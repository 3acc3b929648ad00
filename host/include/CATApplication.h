#pragma once

#include "CATCommand.h"
#include "CATListValCATString.h"

/// The host's application. The first one created while none exists becomes
/// the main application until it is destroyed.
class ExportedByELMHost CATApplication : public CATCommand {
  CATDeclareInterface(CATApplication)
public:
  /// A time-out callback: (client, code, data); code is always 0.
  using TimeOutCallback = void (*)(CATCommand*, int, void*);

  /// args: the command line, the program name first.
  CATApplication(const CATString& name, const CATListValCATString& args);
  CATApplication(const CATString& name, int argc, const char* const* argv);
  ~CATApplication() override;

  /// Null until the host has created its application.
  static CATApplication* MainApplication();

  /// Copies the argument list into args (emptied first).
  void GetArgs(CATListValCATString& args) const;

  /// Calls callback(client, 0, data) once, milliseconds from now, from the
  /// host's dispatch. Without a dispatch nothing would ever run it, so the
  /// request is dropped.
  void AddTimeOut(int milliseconds, CATCommand* client, void* data, TimeOutCallback callback);
  /// Removes the pending time-outs with this delay, client and callback.
  void RemoveTimeOut(int milliseconds, CATCommand* client, TimeOutCallback callback);

private:
  CATListValCATString m_args;
};
