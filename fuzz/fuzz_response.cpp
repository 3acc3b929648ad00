// Whatever a server or a proxy answers, reading it must not crash, hang or
// leak: parse, then run every reader a command would.
#include "ELMRequestXml.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ELMRequestXml response;
  CATUnicodeString text;
  text.BuildFromUTF8(reinterpret_cast<const char*>(data), size);
  if (FAILED(response.ReadXmlString(text))) return 0;
  CATUnicodeString value;
  response.GetResponseAttribute("PartNumber", value);
  response.GetResponseId();
  CATListValCATUnicodeString items;
  CATRawCollint defaults;
  response.GetResponseAttributeList("OakNames", items, &defaults);
  CATIDOMNodeList_var nodes;
  response.GetNodesForXPath("/*/Response/*/PD", nodes);
  response.AddResponseAttribute("Server", "OK");
  response.GetXml(value);
  return 0;
}
