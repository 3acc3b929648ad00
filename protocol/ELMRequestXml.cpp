#include "ELMRequestXml.h"

#include "ELMTrace.h"

#include "CATGetEnv.h"
#include "CATISAXInputSource.h"
#include "CATIXMLDOMDocumentBuilder.h"
#include "CATIXMLXPathFactory.h"

#include <cstdio>

int ELMRequestXml::s_iNr = 0;

namespace {

// The list separator lives from library load to unload.
const CATUnicodeString s_ListSeparator("@EOL@");

// Element children of parent in document order; null on failure.
CATIDOMNodeList_var childNodes(const CATIDOMElement_var& parent) {
  CATIDOMNodeList_var children;
  if (!parent || FAILED(parent->GetChildNodes(children))) return CATIDOMNodeList_var();
  return children;
}

// The first element child whose "name" attribute equals name.
CATIDOMElement_var findNamedChild(const CATIDOMNodeList_var& children, const CATUnicodeString& name) {
  unsigned int n = children->GetLength();
  for (unsigned int i = 0; i < n; ++i) {
    CATIDOMNode_var node;
    if (FAILED(children->Item(i, node))) continue;
    CATIDOMElement_var element(node);
    if (!element) continue;
    CATUnicodeString childName;
    if (SUCCEEDED(element->GetAttribute("name", childName)) && childName == name) return element;
  }
  return CATIDOMElement_var();
}

HRESULT readNamedAttribute(ELMDebug& elmScope, const CATIDOMElement_var& parent, const CATUnicodeString& name,
                           CATUnicodeString& value) {
  if (!parent || name.IsNull()) {
    ELM_FAIL_POINT();
    return E_FAIL;
  }
  CATIDOMNodeList_var children = childNodes(parent);
  if (!children) {
    ELM_FAIL_POINT();
    return E_FAIL;
  }
  CATIDOMElement_var match = findNamedChild(children, name);
  if (!match) {
    ELM_FAIL_POINT();
    return E_FAIL;
  }
  CATUnicodeString found;
  match->GetAttribute("value", found);
  value = found;
  return S_OK;
}

HRESULT addNamedAttribute(ELMDebug& elmScope, const CATIDOMDocument_var& document, const CATIDOMElement_var& target,
                          const CATUnicodeString& name, const CATUnicodeString& value) {
  if (!document || !target || name.IsNull()) {
    ELM_FAIL_POINT();
    return E_FAIL;
  }
  // An element that is created but never appended is discarded with its handle.
  CATIDOMElement_var attribute;
  CATIDOMNode_var appended;
  if (FAILED(document->CreateElement("Attribute", attribute)) || !attribute ||
      FAILED(attribute->SetAttribute("name", name)) || FAILED(attribute->SetAttribute("value", value)) ||
      FAILED(target->AppendChild(CATIDOMNode_var(attribute), appended))) {
    ELM_FAIL_POINT();
    return E_FAIL;
  }
  return S_OK;
}

HRESULT evaluate(const CATIDOMDocument_var& document, const char* expression, CATIXMLXPathResult_var& result) {
  CATIXMLXPathFactory_var xpath(document);
  if (!xpath) return E_FAIL;
  return xpath->Evaluate(expression, CATIDOMNode_var(), result);
}

}  // namespace

ELMRequestXml::ELMRequestXml(const char* name) {
  ELM_SCOPE("ELMRequestXml::ELMRequestXml");
  CATIXMLDOMDocumentBuilder_var builder;
  CATIDOMImplementation_var implementation;
  CATIDOMElement_var root;
  CATIDOMNode_var appended;
  if (FAILED(CreateCATIXMLDOMDocumentBuilder(builder)) || !builder ||
      FAILED(builder->GetDOMImplementation(implementation)) || !implementation ||
      FAILED(implementation->CreateDocument("", "ELM", CATIDOMDocumentType_var(), m_spDocument)) ||
      !m_spDocument || FAILED(m_spDocument->GetDocumentElement(root)) || !root ||
      FAILED(m_spDocument->CreateElement("Request", m_spRequest)) || !m_spRequest ||
      FAILED(root->AppendChild(CATIDOMNode_var(m_spRequest), appended)) ||
      FAILED(m_spRequest->SetAttribute("name", name ? name : ""))) {
    ELM_FAIL_POINT();
    m_spDocument = nullptr;
    m_spRequest = nullptr;
    return;
  }
  char id[48];
  std::snprintf(id, sizeof id, "%u_%d", CATGetProcessId(), s_iNr);
  ++s_iNr;
  if (FAILED(m_spRequest->SetAttribute("id", id))) {
    ELM_FAIL_POINT();
    m_spDocument = nullptr;
    m_spRequest = nullptr;
  }
}

ELMRequestXml::ELMRequestXml() { ELM_SCOPE("ELMRequestXml::ELMRequestXml"); }

ELMRequestXml::~ELMRequestXml() {
  ELM_SCOPE("ELMRequestXml::~ELMRequestXml");
  m_spDocument = nullptr;
  m_spRequest = nullptr;
  m_spResponse = nullptr;
}

HRESULT ELMRequestXml::AddRequestAttribute(const CATUnicodeString& name, const CATUnicodeString& value) {
  ELM_SCOPE("ELMRequestXml::AddRequestAttribute");
  return addNamedAttribute(elmScope, m_spDocument, m_spRequest, name, value);
}

HRESULT ELMRequestXml::AddRequestAttributeList(const CATUnicodeString& name,
                                               const CATListValCATUnicodeString& values) {
  ELM_SCOPE("ELMRequestXml::AddRequestAttributeList");
  CATUnicodeString joined;
  for (int i = 1; i <= values.Size(); ++i) {
    if (i > 1) joined.Append(s_ListSeparator);
    joined.Append(values[i]);
  }
  return AddRequestAttribute(name, joined);
}

HRESULT ELMRequestXml::AddResponseAttribute(const CATUnicodeString& name, const CATUnicodeString& value) {
  ELM_SCOPE("ELMRequestXml::AddResponseAttribute");
  return addNamedAttribute(elmScope, m_spDocument, m_spResponse, name, value);
}

HRESULT ELMRequestXml::GetRequestAttribute(const CATUnicodeString& name, CATUnicodeString& value) const {
  ELM_SCOPE("ELMRequestXml::GetRequestAttribute");
  return readNamedAttribute(elmScope, m_spRequest, name, value);
}

HRESULT ELMRequestXml::GetResponseAttribute(const CATUnicodeString& name, CATUnicodeString& value) const {
  ELM_SCOPE("ELMRequestXml::GetResponseAttribute");
  return readNamedAttribute(elmScope, m_spResponse, name, value);
}

HRESULT ELMRequestXml::GetResponseAttributeList(const CATUnicodeString& name, CATListValCATUnicodeString& values,
                                                CATRawCollint* defaults) const {
  ELM_SCOPE("ELMRequestXml::GetResponseAttributeList");
  values.RemoveAll();
  CATUnicodeString joined;
  if (SUCCEEDED(GetResponseAttribute(name, joined)) && !joined.IsNull()) {
    // Inner empty items are kept; a trailing separator adds no empty item.
    const std::string& s = joined.Utf8();
    const std::string& sep = s_ListSeparator.Utf8();
    std::size_t start = 0;
    std::size_t p;
    while ((p = s.find(sep, start)) != std::string::npos) {
      values.Append(CATUnicodeString(s.data() + start, p - start));
      start = p + sep.size();
    }
    if (start < s.size()) values.Append(CATUnicodeString(s.data() + start, s.size() - start));
    return S_OK;
  }
  if (FAILED(GetResponseAttributeListFromChild(name, values, defaults))) {
    ELM_FAIL_POINT();
    return E_FAIL;
  }
  return S_OK;
}

HRESULT ELMRequestXml::GetResponseAttributeListFromChild(const CATUnicodeString& name,
                                                         CATListValCATUnicodeString& values,
                                                         CATRawCollint* defaults) const {
  ELM_SCOPE("ELMRequestXml::GetResponseAttributeListFromChild");
  if (!m_spResponse || name.IsNull()) {
    ELM_FAIL_POINT();
    return E_FAIL;
  }
  CATIDOMNodeList_var children = childNodes(m_spResponse);
  if (!children) {
    ELM_FAIL_POINT();
    return E_FAIL;
  }
  CATIDOMElement_var list = findNamedChild(children, name);
  if (!list) {
    ELM_FAIL_POINT();
    return E_FAIL;
  }
  CATIDOMNodeList_var items = childNodes(list);
  if (!items) {
    ELM_FAIL_POINT();
    return E_FAIL;
  }
  const CATUnicodeString trueText("true");
  unsigned int n = items->GetLength();
  for (unsigned int i = 0; i < n; ++i) {
    CATIDOMNode_var node;
    if (FAILED(items->Item(i, node))) continue;
    CATIDOMElement_var item(node);
    if (!item) continue;
    CATUnicodeString value;
    item->GetAttribute("value", value);
    if (value.IsNull()) continue;
    values.Append(value);
    if (defaults) {
      CATUnicodeString isDefault;
      item->GetAttribute("default", isDefault);
      defaults->Append(isDefault.Compare(trueText) >= 1 ? 1 : 0);
    }
  }
  return S_OK;
}

CATUnicodeString ELMRequestXml::GetRequestId() const {
  ELM_SCOPE("ELMRequestXml::GetRequestId");
  CATUnicodeString id;
  if (!m_spRequest || FAILED(m_spRequest->GetAttribute("id", id))) {
    ELM_FAIL_POINT();
    return CATUnicodeString();
  }
  return id;
}

CATUnicodeString ELMRequestXml::GetResponseId() const {
  ELM_SCOPE("ELMRequestXml::GetResponseId");
  CATUnicodeString id;
  if (!m_spResponse || FAILED(m_spResponse->GetAttribute("id", id))) {
    ELM_FAIL_POINT();
    return CATUnicodeString();
  }
  return id;
}

HRESULT ELMRequestXml::GetResponse(CATIDOMElement_var& response) const {
  ELM_SCOPE("ELMRequestXml::GetResponse");
  response = m_spResponse;
  return S_OK;
}

const CATIDOMDocument_var& ELMRequestXml::GetDocument() const {
  ELM_SCOPE("ELMRequestXml::GetDocument");
  return m_spDocument;
}

HRESULT ELMRequestXml::GetNodesForXPath(const CATUnicodeString& xpath, CATIDOMNodeList_var& nodes) const {
  ELM_SCOPE("ELMRequestXml::GetNodesForXPath");
  CATIXMLXPathFactory_var factory(m_spDocument);
  if (!m_spDocument || !factory) {
    ELM_FAIL_POINT();
    return E_FAIL;
  }
  CATIXMLXPathResult_var result;
  if (FAILED(factory->Evaluate(xpath, CATIDOMNode_var(), result)) || !result) return S_OK;
  CATIDOMNodeList_var list;
  if (FAILED(result->GetNodeList(list)) || !list) {
    ELM_FAIL_POINT();
    return E_FAIL;
  }
  nodes = list;
  return S_OK;
}

HRESULT ELMRequestXml::GetXml(CATUnicodeString& text) const {
  ELM_SCOPE("ELMRequestXml::GetXml");
  CATIXMLDOMDocumentBuilder_var builder;
  if (!m_spDocument || FAILED(CreateCATIXMLDOMDocumentBuilder(builder)) || !builder) {
    ELM_FAIL_POINT();
    return E_FAIL;
  }
  CATListValCATUnicodeString names{"CATEncoding"};
  CATListValCATUnicodeString values{"UTF-8"};
  if (FAILED(builder->WriteToString(CATIDOMNode_var(m_spDocument), text, names, values))) {
    ELM_FAIL_POINT();
    return E_FAIL;
  }
  return S_OK;
}

HRESULT ELMRequestXml::Dump(unsigned char withoutEncoding) const {
  ELM_SCOPE("ELMRequestXml::Dump");
  CATIXMLDOMDocumentBuilder_var builder;
  HRESULT rc = CreateCATIXMLDOMDocumentBuilder(builder);
  CATUnicodeString text;
  if (SUCCEEDED(rc)) {
    CATListValCATUnicodeString names{"CATIndentation"};
    CATListValCATUnicodeString values{"2"};
    if (withoutEncoding == 0) {
      names.Append("CATEncoding");
      values.Append("UTF-8");
    }
    rc = builder->WriteToString(CATIDOMNode_var(m_spDocument), text, names, values);
  }
  std::fputc('\n', stdout);
  std::fputs(text.ConvertToChar(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
  return rc;
}

HRESULT ELMRequestXml::ReadXmlString(CATUnicodeString text) {
  ELM_SCOPE("ELMRequestXml::ReadXmlString");
  m_spResponse = nullptr;
  CATISAXFactory_var factory;
  CATISAXInputSource_var source;
  CATIXMLDOMDocumentBuilder_var builder;
  if (FAILED(CreateCATISAXFactory(factory)) || !factory ||
      FAILED(factory->CreateInputSourceFromString(std::move(text), "ELM", source)) || !source ||
      FAILED(CreateCATIXMLDOMDocumentBuilder(builder)) || !builder) {
    ELM_FAIL_POINT();
    m_spDocument = nullptr;
    return E_FAIL;
  }
  CATListValCATUnicodeString noOptions;
  if (FAILED(builder->Parse(source, m_spDocument, noOptions, noOptions, CATISAXEntityResolver_var(),
                            CATISAXErrorHandler_var())) ||
      !m_spDocument) {
    ELM_FAIL_POINT();
    m_spDocument = nullptr;
    return E_FAIL;
  }
  CATIXMLXPathFactory_var xpath(m_spDocument);
  if (!xpath) {
    ELM_FAIL_POINT();
    m_spDocument = nullptr;
    return E_FAIL;
  }
  CATIXMLXPathResult_var result;
  CATIDOMNodeList_var nodes;
  CATIDOMNode_var first;
  if (SUCCEEDED(evaluate(m_spDocument, "/*/Response", result)) && result &&
      SUCCEEDED(result->GetNodeList(nodes)) && nodes && nodes->GetLength() > 0 &&
      SUCCEEDED(nodes->Item(0, first)))
    m_spResponse = CATIDOMElement_var(first);
  if (!m_spResponse) ELM_NOTE("no response found");
  return S_OK;
}
