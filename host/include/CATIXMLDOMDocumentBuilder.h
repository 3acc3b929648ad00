#pragma once

#include "CATIDOMDocument.h"
#include "CATISAXInputSource.h"
#include "CATListValCATUnicodeString.h"

/// Creates, parses and writes documents. Parsing keeps whitespace-only text
/// nodes and never processes a document type declaration or an entity other
/// than the five predefined ones and character references.
/// Writer options: "CATEncoding" (an XML declaration with that encoding is
/// written; the text is always UTF-8) and "CATIndentation" (spaces per level).
class ExportedByELMHost CATIXMLDOMDocumentBuilder : public virtual CATBaseUnknown {
  CATDeclareInterface(CATIXMLDOMDocumentBuilder)
public:
  virtual HRESULT GetDOMImplementation(CATIDOMImplementation_var& implementation);
  virtual HRESULT Parse(const CATISAXInputSource_var& source, CATIDOMDocument_var& document,
                        const CATListValCATUnicodeString& optionNames,
                        const CATListValCATUnicodeString& optionValues,
                        const CATISAXEntityResolver_var& resolver, const CATISAXErrorHandler_var& handler);
  /// Parses the file at path as the other Parse parses text. Documents are
  /// never validated ("CATDoValidation" has nothing to switch on); files
  /// larger than 64 MiB are refused.
  virtual HRESULT Parse(const CATUnicodeString& path, CATIDOMDocument_var& document,
                        const CATListValCATUnicodeString& optionNames,
                        const CATListValCATUnicodeString& optionValues,
                        const CATISAXEntityResolver_var& resolver, const CATISAXErrorHandler_var& handler);
  virtual HRESULT WriteToString(const CATIDOMNode_var& node, CATUnicodeString& text,
                                const CATListValCATUnicodeString& optionNames,
                                const CATListValCATUnicodeString& optionValues);
};
using CATIXMLDOMDocumentBuilder_var = CATVar<CATIXMLDOMDocumentBuilder>;

ExportedByELMHost HRESULT CreateCATIXMLDOMDocumentBuilder(CATIXMLDOMDocumentBuilder_var& builder);
