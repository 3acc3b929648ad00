// Links the sibling library and the installed plug-in the way a program of
// another team would, and checks that the exported classes work there.
#include "ELMSiblingRequest.h"

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
  std::printf("sibling library OK\n");
  return 0;
}
