// Reading the numbered "Error" and "Message" elements of a server answer.

#include "ELMRequestXml.h"

#include "ELMGlobal.h"
#include "ELMTrace.h"

#include "CATIDOMText.h"
#include "CATIXMLXPathFactory.h"

namespace {

// The node list an expression selects. Null with S_OK when the evaluation
// itself gives nothing, which the readers treat as "no such elements".
HRESULT selectNodes(const CATIDOMDocument_var& document, const char* expression, bool& evaluated,
                    CATIDOMNodeList_var& nodes) {
  evaluated = false;
  CATIXMLXPathFactory_var xpath(document);
  CATIXMLXPathResult_var result;
  if (FAILED(xpath->Evaluate(expression, CATIDOMNode_var(), result)) || !result) return S_OK;
  evaluated = true;
  if (FAILED(result->GetNodeList(nodes)) || !nodes) return E_FAIL;
  return S_OK;
}

// An absent code, or one that does not read as a decimal number, is 0.
int readCode(const CATIDOMElement_var& element) {
  CATUnicodeString text;
  int code = 0;
  if (FAILED(element->GetAttribute("code", text)) || text.ConvertToNum(&code, "%d") != 1) return 0;
  return code;
}

// Only a text node in first position is the element's text; whitespace
// before a child element counts, as the server writes it.
bool readText(const CATIDOMElement_var& element, CATUnicodeString& text) {
  CATIDOMNode_var first;
  if (FAILED(element->GetFirstChild(first)) || !first) return false;
  CATIDOMText_var textNode(first);
  return textNode && SUCCEEDED(textNode->GetData(text));
}

void collectErrors(const CATIDOMNodeList_var& nodes, unsigned char& hasErrors, CATRawCollint* codes,
                   CATListValCATUnicodeString* texts) {
  unsigned int n = nodes->GetLength();
  for (unsigned int i = 0; i < n; ++i) {
    CATIDOMNode_var node;
    nodes->Item(i, node);
    hasErrors = 1;
    CATIDOMElement_var element(node);
    if (!codes || !element) continue;
    codes->Append(readCode(element));
    CATUnicodeString text;
    if (texts && readText(element, text)) texts->Append(text);
  }
}

CATUnicodeString codeKey(const char* prefix, int code) {
  CATUnicodeString number;
  number.BuildFromNum(code, "%d");
  return CATUnicodeString(prefix) + number;
}

}  // namespace

HRESULT ELMRequestXml::GetErrors(unsigned char& hasErrors, CATRawCollint* codes,
                                 CATListValCATUnicodeString* texts) const {
  ELM_SCOPE("ELMRequestXml::GetErrors");
  if (!m_spDocument || !CATIXMLXPathFactory_var(m_spDocument)) {
    ELM_FAIL_POINT();
    return E_FAIL;
  }
  // Texts without their codes could not be told apart, so they come only together.
  CATListValCATUnicodeString* wantedTexts = codes ? texts : nullptr;
  bool evaluated = false;
  CATIDOMNodeList_var rootErrors;
  if (FAILED(selectNodes(m_spDocument, "/ELM/Error", evaluated, rootErrors))) {
    ELM_FAIL_POINT();
    return E_FAIL;
  }
  if (evaluated) {
    collectErrors(rootErrors, hasErrors, codes, wantedTexts);
    // Errors raised outside any response make the response's own errors moot.
    if (hasErrors == 1) return S_OK;
  }
  if (!m_spResponse) {
    ELM_NOTE("Response missing");
    ELM_FAIL_POINT();
    return E_FAIL;
  }
  CATIDOMNodeList_var responseErrors;
  if (FAILED(selectNodes(m_spDocument, "/*/Response/Error", evaluated, responseErrors))) {
    ELM_FAIL_POINT();
    return E_FAIL;
  }
  if (evaluated) collectErrors(responseErrors, hasErrors, codes, wantedTexts);
  return S_OK;
}

HRESULT ELMRequestXml::GetMessages(CATRawCollint& codes, CATListValCATUnicodeString& texts) const {
  ELM_SCOPE("ELMRequestXml::GetMessages");
  if (!m_spDocument || !CATIXMLXPathFactory_var(m_spDocument)) {
    ELM_FAIL_POINT();
    return E_FAIL;
  }
  bool evaluated = false;
  CATIDOMNodeList_var nodes;
  if (FAILED(selectNodes(m_spDocument, "/*/Response/Message", evaluated, nodes))) {
    ELM_FAIL_POINT();
    return E_FAIL;
  }
  if (!evaluated) return S_OK;
  unsigned int n = nodes->GetLength();
  for (unsigned int i = 0; i < n; ++i) {
    CATIDOMNode_var node;
    nodes->Item(i, node);
    CATIDOMElement_var element(node);
    if (!element) continue;
    codes.Append(readCode(element));
    CATUnicodeString text;
    if (readText(element, text)) texts.Append(text);
  }
  return S_OK;
}

HRESULT ELMRequestXml::GetErrorsNLS(unsigned char& hasErrors, CATRawCollint& codes,
                                    CATListValCATUnicodeString& texts) const {
  ELM_SCOPE("ELMRequestXml::GetErrorsNLS");
  if (FAILED(GetErrors(hasErrors, &codes, &texts))) {
    ELM_FAIL_POINT();
    return E_FAIL;
  }
  // Unequal lists cannot be matched position by position: the texts stay the server's.
  if (codes.Size() != texts.Size()) {
    ELM_FAIL_POINT();
    return E_FAIL;
  }
  for (int i = codes.Size(); i >= 1; --i) {
    int code = codes[i];
    if (code == 0) continue;
    CATUnicodeString key = codeKey("Error_", code);
    CATString catalogKey(key.ConvertToChar());
    CATUnicodeString text = ELMGlobal::BuildMessage("HtmlRequest", catalogKey, nullptr, 0, CATUnicodeString());
    if (text.IsNull() && code < 1000)
      text = ELMGlobal::BuildMessage("HtmlRequest", "ErrorCommunication", nullptr, 0,
                                     "ELMHtmlRequest ErrorCommunication");
    if (text.IsNull() && code >= 1000) text = ELMGlobal::BuildMessage("HtmlRequest", catalogKey, nullptr, 0, texts[i]);
    texts[i] = text;
  }
  return S_OK;
}

HRESULT ELMRequestXml::GetMessagesNLS(CATRawCollint& codes, CATListValCATUnicodeString& texts) const {
  ELM_SCOPE("ELMRequestXml::GetMessagesNLS");
  if (FAILED(GetMessages(codes, texts))) {
    ELM_FAIL_POINT();
    return E_FAIL;
  }
  if (codes.Size() != texts.Size()) {
    ELM_FAIL_POINT();
    return E_FAIL;
  }
  for (int i = codes.Size(); i >= 1; --i) {
    if (codes[i] == 0) continue;
    CATString key(codeKey("Message_", codes[i]).ConvertToChar());
    texts[i] = ELMGlobal::BuildMessage("HtmlRequest", key, nullptr, 0, texts[i]);
  }
  return S_OK;
}
