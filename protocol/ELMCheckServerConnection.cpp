#include "ELMCheckServerConnection.h"

#include "ELMServerSettings.h"
#include "HtmlRequest.h"

HRESULT ELMCheckServerConnection(ELMServerUrlReceiver receiver, void* context) {
  // Nothing may be thrown across a C entry.
  try {
    if (receiver) receiver(ELMServerSettings::FindUrl().ConvertToChar(), context);
    return HtmlRequest::CheckServerConnection();
  } catch (...) {
    return E_FAIL;
  }
}
