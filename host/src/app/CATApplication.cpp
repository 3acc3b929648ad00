#include "CATApplication.h"

#include "ELMHostDispatch.h"

CATImplementInterface(CATApplication)

namespace {
CATApplication* s_main = nullptr;
}

CATApplication::CATApplication(const CATString& name, const CATListValCATString& args)
    : CATCommand(name), m_args(args) {
  if (!s_main) s_main = this;
}

CATApplication::CATApplication(const CATString& name, int argc, const char* const* argv) : CATCommand(name) {
  for (int i = 0; argv && i < argc; ++i) m_args.Append(CATString(argv[i]));
  if (!s_main) s_main = this;
}

CATApplication::~CATApplication() {
  if (s_main == this) s_main = nullptr;
}

CATApplication* CATApplication::MainApplication() { return s_main; }

void CATApplication::GetArgs(CATListValCATString& args) const { args = m_args; }

void CATApplication::AddTimeOut(int milliseconds, CATCommand* client, void* data, TimeOutCallback callback) {
  if (auto* d = elmhost::Dispatch::Current()) d->AddTimeOut(milliseconds, client, data, callback);
}

void CATApplication::RemoveTimeOut(int milliseconds, CATCommand* client, TimeOutCallback callback) {
  if (auto* d = elmhost::Dispatch::Current()) d->RemoveTimeOut(milliseconds, client, callback);
}
