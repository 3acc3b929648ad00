#pragma once

#include "ELMCommandsExport.h"

#include "CATString.h"
#include "CATUnicodeString.h"

class CATCommand;
class CATDlgDialog;

/// The product module in force and the texts that depend on it. Every
/// user-visible text is looked up in the module's catalog, then in the common
/// "ELM" catalog, then falls back to a default.
class ExportedByELMCommands ELMGlobal {
public:
  enum ELMModule { ModuleNotRead = 0, ModuleOAK = 1, ModuleASH = 2, ModuleYEW = 3, ModuleNone = -1 };

  /// Settles the module from "ELM_MODULE" on the first call and keeps it for
  /// the process; never ModuleNotRead. Without a known module the user is
  /// warned once from here.
  static ELMModule GetELMModule();
  /// "OAK", "ASH", "YEW", or "" without a module.
  static const char* GetELMModulePrefix();
  /// The module code followed by name.
  static CATString AddPrefixToResorceName(CATString name);
  /// The message of key from the module's catalog over the common catalog
  /// "ELM"+catalog over defaultText; an empty defaultText becomes
  /// "<catalog> <key>", so the result is never empty. Does not settle the
  /// module: before it is settled, the bare catalog stands for the module's.
  static CATUnicodeString BuildMessage(CATString catalog, CATString key, const CATUnicodeString* parameters,
                                       int count, CATUnicodeString defaultText);
  /// The resource of key from the module's resource catalog, else from the
  /// unprefixed catalog.
  static CATString BuildResource(const CATString& catalog, const CATString& key, const CATString* parameters,
                                 int count, const char* defaultText);
  /// Sets the dialog's title and help texts from catalog (through BuildMessage).
  static void SetDialogStandardMessages(CATDlgDialog* dialog, const CATString& catalog);
  /// Shows the missing-module box and, until the user acknowledges it,
  /// shows it again a second later. A time-out callback: code is ignored.
  static void ShowModuleMissing(CATCommand* command, int code, void* data);
  /// 1 when the running application may show the plug-in's toolbar.
  static unsigned char ShowToolbar();

private:
  static ELMModule s_eModule;
};
