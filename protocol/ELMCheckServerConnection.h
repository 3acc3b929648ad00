#pragma once

// A plain C entry of the plug-in, for a host that loads it with dlopen and
// finds what it calls by name: the server connection check, together with
// the server URL that the plug-in's own lookup found, so that the host can
// say which server it checked without knowing where the URL comes from.

#include "ELMCommandsExport.h"

#include "CATBaseUnknown.h"

extern "C" {

/// Told the server URL found, as UTF-8; "" when none is configured.
typedef void (*ELMServerUrlReceiver)(const char* url, void* context);

/// Finds the server URL, hands it to receiver (when not null) with context,
/// then runs HtmlRequest::CheckServerConnection and returns its result.
ExportedByELMCommands HRESULT ELMCheckServerConnection(ELMServerUrlReceiver receiver, void* context);

}
