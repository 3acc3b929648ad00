#pragma once

#include "ELMCommandsExport.h"

#include "CATBaseUnknown.h"

class ELMRequestXml;

/// Carries one request document to the integration server by HTTP POST and
/// parses the answer. The server's URL comes from "ELM_SERVER_URL", else
/// "ELM_SERVERURL", else the "ServerUrl" setting of the "ELMOptions"
/// repository, read again for every request; the document goes to the URL's
/// path followed by "ELMRequest". The call blocks until the answer is read or
/// one of the time-outs ("ELM_SERVER_RESOLVE_TIMEOUT", "..._CONNECT_...",
/// "..._SEND_...", "..._RECEIVE_TIMEOUT", in seconds) has expired.
class ExportedByELMCommands HtmlRequest {
public:
  /// S_OK when an answer arrived and parsed as XML into response (a
  /// default-constructed object); the HTTP status is not examined, so the
  /// caller still checks the answer for "Response" and "Error" elements.
  static HRESULT DoRequest(const ELMRequestXml& request, ELMRequestXml& response);
  /// S_OK when the server answers the "Test" request with a non-empty
  /// "Server" response attribute.
  static HRESULT CheckServerConnection();

  /// The class has no state to copy.
  HtmlRequest& operator=(const HtmlRequest&);
};
