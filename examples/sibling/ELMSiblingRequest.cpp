#include "ELMSiblingRequest.h"

#include "ELMDebug.h"
#include "ELMRequestXml.h"

CATUnicodeString ELMSiblingRequest::PartNumberRequestText(const CATUnicodeString& currentId) {
  ELMDebug scope("ELMSiblingRequest::PartNumberRequestText", __LINE__);
  ELMRequestXml request("GetPartnumber");
  CATUnicodeString text;
  if (FAILED(request.AddRequestAttribute("PartNumber", currentId)) || FAILED(request.GetXml(text))) {
    scope.SetFailed();
    return CATUnicodeString();
  }
  return text;
}

CATUnicodeString ELMSiblingRequest::PartNumberFromAnswer(const CATUnicodeString& answer) {
  ELMDebug scope("ELMSiblingRequest::PartNumberFromAnswer", __LINE__);
  ELMRequestXml response;
  CATUnicodeString number;
  if (FAILED(response.ReadXmlString(answer)) || FAILED(response.GetResponseAttribute("PartNumber", number)))
    scope.SetFailed();
  return number;
}
