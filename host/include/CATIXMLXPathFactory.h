#pragma once

#include "CATIDOMNode.h"

/// The outcome of an XPath evaluation.
class ExportedByELMHost CATIXMLXPathResult : public virtual CATBaseUnknown {
  CATDeclareInterface(CATIXMLXPathResult)
public:
  /// Fails when the expression did not give a node set.
  virtual HRESULT GetNodeList(CATIDOMNodeList_var& nodes) const;
};
using CATIXMLXPathResult_var = CATVar<CATIXMLXPathResult>;

/// XPath 1.0 evaluation, offered by documents through QueryInterface.
class ExportedByELMHost CATIXMLXPathFactory : public virtual CATBaseUnknown {
  CATDeclareInterface(CATIXMLXPathFactory)
public:
  /// Evaluates expression with context (the document when null). An
  /// expression the evaluator rejects fails with E_FAIL.
  virtual HRESULT Evaluate(const CATUnicodeString& expression, const CATIDOMNode_var& context,
                           CATIXMLXPathResult_var& result);
};
using CATIXMLXPathFactory_var = CATVar<CATIXMLXPathFactory>;
