#include "ELMCommandKit.h"

#include "ELMGlobal.h"

#include "CATApplication.h"
#include "CATDlgNotify.h"

namespace {

CATUnicodeString Number(int value) {
  CATUnicodeString s;
  s.BuildFromNum(value);
  return s;
}

}  // namespace

CATUnicodeString ELMCatalog::Message(const char* key, const CATUnicodeString* parameters, int count,
                                     const char* defaultText) const {
  CATUnicodeString fallback =
      defaultText ? CATUnicodeString(defaultText) : CATUnicodeString(m_prefix) + " " + key;
  return ELMGlobal::BuildMessage(m_name, key, parameters, count, fallback);
}

int ELMShowBox(const char* name, CATDlgStyle style, const CATUnicodeString& text, const CATUnicodeString& title,
               CATCommand* parent) {
  auto* box = new CATDlgNotify(parent ? parent : CATApplication::MainApplication(), name, style);
  int answer = box->DisplayBlocked(text, title);
  box->RequestDelayedDestruction();
  return answer;
}

CATListValCATUnicodeString ELMErrorLines(const CATRawCollint& codes, const CATListValCATUnicodeString& texts) {
  CATListValCATUnicodeString lines;
  for (int i = 1; i <= codes.Size() && i <= texts.Size(); ++i) lines.Append(Number(codes[i]) + ": " + texts[i]);
  return lines;
}

CATUnicodeString ELMFailureReport(const CATRawCollint& errorCodes, const CATListValCATUnicodeString& errorTexts,
                                  const CATRawCollint& messageCodes, const CATListValCATUnicodeString& messageTexts,
                                  const CATUnicodeString& closing) {
  CATUnicodeString report;
  for (int i = 1; i <= errorCodes.Size(); ++i) {
    report += Number(errorCodes[i]) + ": ";
    if (i <= errorTexts.Size()) report += errorTexts[i];
    report += "\n";
  }
  if (errorCodes.Size() > 0) report += "\n";
  for (int i = 1; i <= messageTexts.Size(); ++i) {
    int code = i <= messageCodes.Size() ? messageCodes[i] : 0;
    if (code != 0) report += Number(code) + ": ";
    report += messageTexts[i];
    report += "\n";
  }
  if (messageTexts.Size() > 0) report += "\n";
  report += closing;
  return report;
}
