#pragma once

#include "ELMCommandsExport.h"

#include "CATIDOMDocument.h"
#include "CATIDOMElement.h"
#include "CATIDOMNode.h"
#include "CATListValCATUnicodeString.h"
#include "CATRawCollint.h"
#include "CATUnicodeString.h"

/// The request and response document exchanged with the integration server.
///
/// A request is built by the naming constructor: root "ELM", one "Request"
/// element carrying the server function's name and a process-unique id, and
/// one "Attribute" element (name, value) per request attribute. A response is
/// a default-constructed object filled once by ReadXmlString; its "Response"
/// element is the one child of the root that "/*/Response" selects.
/// No operation throws; failures are E_FAIL.
class ExportedByELMCommands ELMRequestXml {
public:
  /// Builds a request for the server function name.
  ELMRequestXml(const char* name);
  /// An empty object, to receive a response.
  ELMRequestXml();
  virtual ~ELMRequestXml();

  HRESULT AddRequestAttribute(const CATUnicodeString& name, const CATUnicodeString& value);
  /// One attribute whose value is the items joined with "@EOL@".
  HRESULT AddRequestAttributeList(const CATUnicodeString& name, const CATListValCATUnicodeString& values);
  HRESULT AddResponseAttribute(const CATUnicodeString& name, const CATUnicodeString& value);

  /// The "value" of the first child element whose "name" matches; the out
  /// string is left alone when there is none.
  HRESULT GetRequestAttribute(const CATUnicodeString& name, CATUnicodeString& value) const;
  HRESULT GetResponseAttribute(const CATUnicodeString& name, CATUnicodeString& value) const;
  /// Reads a list given either as one "@EOL@"-joined value or as child
  /// elements with "value" (and optionally default="true") attributes.
  HRESULT GetResponseAttributeList(const CATUnicodeString& name, CATListValCATUnicodeString& values,
                                   CATRawCollint* defaults) const;

  CATUnicodeString GetRequestId() const;
  CATUnicodeString GetResponseId() const;
  HRESULT GetResponse(CATIDOMElement_var& response) const;
  const CATIDOMDocument_var& GetDocument() const;
  /// Evaluates an XPath expression on the whole document. A rejected or
  /// empty evaluation gives S_OK and leaves nodes untouched.
  HRESULT GetNodesForXPath(const CATUnicodeString& xpath, CATIDOMNodeList_var& nodes) const;

  HRESULT GetXml(CATUnicodeString& text) const;
  /// Writes the document, indented, to the standard output; with
  /// withoutEncoding 0 the XML declaration names UTF-8.
  HRESULT Dump(unsigned char withoutEncoding) const;
  /// Parses an answer into this (default-constructed) object.
  HRESULT ReadXmlString(CATUnicodeString text);

  /// Server errors: those directly under a root "ELM" if any, else those of
  /// "Response". hasErrors is only ever set to 1. Texts are collected only
  /// when codes are asked for too.
  HRESULT GetErrors(unsigned char& hasErrors, CATRawCollint* codes, CATListValCATUnicodeString* texts) const;
  /// As GetErrors, with texts replaced from the "HtmlRequest" catalogs.
  HRESULT GetErrorsNLS(unsigned char& hasErrors, CATRawCollint& codes, CATListValCATUnicodeString& texts) const;
  HRESULT GetMessages(CATRawCollint& codes, CATListValCATUnicodeString& texts) const;
  HRESULT GetMessagesNLS(CATRawCollint& codes, CATListValCATUnicodeString& texts) const;

protected:
  /// Sequence number of the next request id; shared by the whole process.
  static int s_iNr;

private:
  HRESULT GetResponseAttributeListFromChild(const CATUnicodeString& name, CATListValCATUnicodeString& values,
                                            CATRawCollint* defaults) const;

  CATIDOMDocument_var m_spDocument;
  CATIDOMElement_var m_spRequest;
  CATIDOMElement_var m_spResponse;
};
