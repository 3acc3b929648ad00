#include "ELMGlobal.h"

#include "ELMTrace.h"

#include "CATApplication.h"
#include "CATDlgDialog.h"
#include "CATDlgNotify.h"
#include "CATGetEnv.h"
#include "CATListValCATString.h"
#include "CATMsgCatalog.h"
#include "CATRscCatalog.h"

ELMGlobal::ELMModule ELMGlobal::s_eModule = ELMGlobal::ModuleNotRead;

namespace {

const char* moduleCode(ELMGlobal::ELMModule module) {
  switch (module) {
    case ELMGlobal::ModuleOAK: return "OAK";
    case ELMGlobal::ModuleASH: return "ASH";
    case ELMGlobal::ModuleYEW: return "YEW";
    default: return "";
  }
}

bool isKnownModule(ELMGlobal::ELMModule module) {
  return module == ELMGlobal::ModuleOAK || module == ELMGlobal::ModuleASH || module == ELMGlobal::ModuleYEW;
}

CATString envValue(const char* name) {
  const char* value = CATGetEnv(name);
  return CATString(value ? value : "");
}

}  // namespace

ELMGlobal::ELMModule ELMGlobal::GetELMModule() {
  if (s_eModule != ModuleNotRead) return s_eModule;
  ELM_SCOPE("ELMGlobal::GetELMModule");
  CATString code = envValue("ELM_MODULE");
  if (code == "OAK") {
    s_eModule = ModuleOAK;
  } else if (code == "ASH") {
    s_eModule = ModuleASH;
  } else if (code == "YEW") {
    s_eModule = ModuleYEW;
  } else {
    ELM_FAIL_POINT();
    // Settled before the box is shown: its texts must not bring us back here.
    s_eModule = ModuleNone;
    if (CATApplication* app = CATApplication::MainApplication()) ShowModuleMissing(app, 0, nullptr);
  }
  return s_eModule;
}

const char* ELMGlobal::GetELMModulePrefix() {
  ELM_SCOPE("ELMGlobal::GetELMModulePrefix");
  return moduleCode(GetELMModule());
}

CATString ELMGlobal::AddPrefixToResorceName(CATString name) {
  ELM_SCOPE("ELMGlobal::AddPrefixToResorceName");
  return CATString(moduleCode(GetELMModule())) + name;
}

CATUnicodeString ELMGlobal::BuildMessage(CATString catalog, CATString key, const CATUnicodeString* parameters,
                                         int count, CATUnicodeString defaultText) {
  ELM_SCOPE("ELMGlobal::BuildMessage");
  if (defaultText.IsNull()) {
    defaultText = CATUnicodeString(catalog);
    defaultText.Append(" ");
    defaultText.Append(CATUnicodeString(key));
  }
  CATUnicodeString commonText =
      CATMsgCatalog::BuildMessage(CATString("ELM") + catalog, key, parameters, count, defaultText);
  // Read without settling: messages may be built before anything asked for
  // the module, and that must not raise the missing-module box.
  CATString finalCatalog = isKnownModule(s_eModule) ? CATString(moduleCode(s_eModule)) + catalog : catalog;
  return CATMsgCatalog::BuildMessage(finalCatalog, key, parameters, count, commonText);
}

CATString ELMGlobal::BuildResource(const CATString& catalog, const CATString& key, const CATString* parameters,
                                   int count, const char* defaultText) {
  ELM_SCOPE("ELMGlobal::BuildResource");
  CATString result;
  if (isKnownModule(s_eModule)) {
    CATString moduleCatalog = CATString(moduleCode(s_eModule)) + catalog;
    if (CATRscCatalog::BuildResource(moduleCatalog, key, result, parameters, count, defaultText) != 0 &&
        !result.IsNull())
      return result;
  }
  CATRscCatalog::BuildResource(catalog, key, result, parameters, count, defaultText);
  return result;
}

void ELMGlobal::SetDialogStandardMessages(CATDlgDialog* dialog, const CATString& catalog) {
  ELM_SCOPE("ELMGlobal::SetDialogStandardMessages");
  if (!dialog || catalog.IsNull()) {
    ELM_FAIL_POINT();
    return;
  }
  using Setter = void (CATDlgDialog::*)(const CATUnicodeString&);
  struct Entry {
    const char* key;
    Setter set;
  };
  static const Entry entries[] = {{"Title", &CATDlgDialog::SetTitle},
                                  {"Help", &CATDlgDialog::SetHelp},
                                  {"ShortHelp", &CATDlgDialog::SetShortHelp},
                                  {"LongHelp", &CATDlgDialog::SetLongHelp}};
  for (const Entry& e : entries) {
    CATUnicodeString text = BuildMessage(catalog, e.key, nullptr, 0, CATUnicodeString());
    if (!text.IsNull()) (dialog->*e.set)(text);
  }
}

void ELMGlobal::ShowModuleMissing(CATCommand* command, int /*code*/, void* data) {
  ELM_SCOPE("ELMGlobal::ShowModuleMissing");
  CATApplication* app = CATApplication::MainApplication();
  CATUnicodeString title = BuildMessage("Global", "MsgTitle", nullptr, 0, "ELMGlobal MsgTitle");
  CATUnicodeString text = BuildMessage("Global", "ModuleMissing", nullptr, 0, "ELMGlobal ModuleMissing");
  auto* box = new CATDlgNotify(app, "ELMWarning", CATDlgNfyError | CATDlgNfyOK);
  int answer = box->DisplayBlocked(text, title);
  box->RequestDelayedDestruction();
  if (!app) return;
  if (answer == 1)
    app->RemoveTimeOut(1000, command, &ELMGlobal::ShowModuleMissing);
  else
    app->AddTimeOut(1000, command, data, &ELMGlobal::ShowModuleMissing);
}

unsigned char ELMGlobal::ShowToolbar() {
  ELM_SCOPE("ELMGlobal::ShowToolbar");
  if (CATApplication* app = CATApplication::MainApplication()) {
    CATString additional = envValue("ELM_ADDITIONAL_APPLICATION");
    CATListValCATString args;
    app->GetArgs(args);
    CATString first = args.Size() > 0 ? args[1] : CATString();
    bool accepted = args.Size() > 0 && (first == "cnext" || first == "3DEXPERIENCE" || first == additional);
    if (!accepted) {
      ELM_NOTE(CATUnicodeString("No ELM in Appication:  ") + CATUnicodeString(first));
      return 0;
    }
  }
  if (GetELMModule() == ModuleNone) {
    ELM_FAIL_POINT();
    return 0;
  }
  return 1;
}
