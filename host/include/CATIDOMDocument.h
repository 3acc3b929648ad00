#pragma once

#include "CATIDOMElement.h"
#include "CATIDOMNode.h"
#include "CATIDOMText.h"

class ExportedByELMHost CATIDOMDocumentType : public virtual CATIDOMNode {
  CATDeclareInterface(CATIDOMDocumentType)
};
using CATIDOMDocumentType_var = CATVar<CATIDOMDocumentType>;

class ExportedByELMHost CATIDOMDocument : public virtual CATIDOMNode {
  CATDeclareInterface(CATIDOMDocument)
public:
  virtual HRESULT GetDocumentElement(CATIDOMElement_var& root) const;
  /// Creates an element of this document that is not yet in the tree; it is
  /// discarded when its last handle goes unless it was appended.
  virtual HRESULT CreateElement(const CATUnicodeString& tagName, CATIDOMElement_var& element);
  virtual HRESULT CreateTextNode(const CATUnicodeString& data, CATIDOMText_var& text);
};

class ExportedByELMHost CATIDOMImplementation : public virtual CATBaseUnknown {
  CATDeclareInterface(CATIDOMImplementation)
public:
  /// A new document whose root element is qualifiedName.
  virtual HRESULT CreateDocument(const CATUnicodeString& namespaceURI, const CATUnicodeString& qualifiedName,
                                 const CATIDOMDocumentType_var& doctype, CATIDOMDocument_var& document);
};
using CATIDOMImplementation_var = CATVar<CATIDOMImplementation>;
