// Links the sibling library and the installed plug-in the way a program of
// another team would, and checks that the exported classes work there.
#include "ELMSiblingRequest.h"
#include "ELMSiblingSelection.h"

#include <cstdio>
#include <cstring>

int main() {
  CATUnicodeString text = ELMSiblingRequest::PartNumberRequestText("PRJ-0001");
  if (!std::strstr(text.ConvertToChar(), "<Request name=\"GetPartnumber\"") ||
      !std::strstr(text.ConvertToChar(), "name=\"PartNumber\" value=\"PRJ-0001\"")) {
    std::printf("unexpected request text: %s\n", text.ConvertToChar());
    return 1;
  }
  CATUnicodeString number = ELMSiblingRequest::PartNumberFromAnswer(
      "<ELM><Response id=\"1_0\"><Attribute name=\"PartNumber\" value=\"PN-42\"/></Response></ELM>");
  if (!(number == "PN-42")) {
    std::printf("unexpected part number: %s\n", number.ConvertToChar());
    return 1;
  }
  // A program of its own shows no PLM session: the selection helpers must
  // say so with a failure, not crash or invent an answer.
  HRESULT rc = S_OK;
  CATUnicodeString type = ELMSiblingSelection::SelectedTypeName(rc);
  if (rc != E_FAIL || !type.IsNull()) {
    std::printf("selection without a session: rc %d, type \"%s\"\n", static_cast<int>(rc), type.ConvertToChar());
    return 1;
  }
  if (ELMSiblingSelection::IsProductReference("VPMReference") != -1) {
    std::printf("type test without a session did not fail\n");
    return 1;
  }
  std::printf("sibling library OK\n");
  return 0;
}
