#pragma once

#include "CATBaseUnknown.h"
#include "CATUnicodeString.h"

class CATIDOMNode;
class CATIDOMNodeList;
class CATIDOMDocument;
using CATIDOMNode_var = CATVar<CATIDOMNode>;
using CATIDOMNodeList_var = CATVar<CATIDOMNodeList>;
using CATIDOMDocument_var = CATVar<CATIDOMDocument>;

/// A node of the host's XML DOM. Every operation of an inert (null) handle fails.
class ExportedByELMHost CATIDOMNode : public virtual CATBaseUnknown {
  CATDeclareInterface(CATIDOMNode)
public:
  enum NodeType : unsigned short {
    ELEMENT_NODE = 1,
    ATTRIBUTE_NODE = 2,
    TEXT_NODE = 3,
    CDATA_SECTION_NODE = 4,
    PROCESSING_INSTRUCTION_NODE = 7,
    COMMENT_NODE = 8,
    DOCUMENT_NODE = 9,
    DOCUMENT_TYPE_NODE = 10
  };

  /// 0 for an inert node.
  virtual unsigned short GetNodeType() const { return 0; }
  virtual HRESULT GetNodeName(CATUnicodeString& name) const;
  /// Text of text, CDATA, comment and attribute nodes; empty for the others.
  virtual HRESULT GetNodeValue(CATUnicodeString& value) const;
  virtual HRESULT GetChildNodes(CATIDOMNodeList_var& children) const;
  virtual HRESULT GetFirstChild(CATIDOMNode_var& child) const;
  virtual HRESULT GetNextSibling(CATIDOMNode_var& sibling) const;
  virtual HRESULT GetParentNode(CATIDOMNode_var& parent) const;
  virtual HRESULT GetOwnerDocument(CATIDOMDocument_var& document) const;
  virtual bool HasChildNodes() const { return false; }
  /// Appends child (created by the same document) as the last child.
  virtual HRESULT AppendChild(const CATIDOMNode_var& child, CATIDOMNode_var& appended);
  virtual HRESULT RemoveChild(const CATIDOMNode_var& child);
  /// Whether both handles stand for the same node.
  virtual bool IsSameNode(const CATIDOMNode_var& other) const;
};

/// A snapshot list of nodes, positions from 0.
class ExportedByELMHost CATIDOMNodeList : public virtual CATBaseUnknown {
  CATDeclareInterface(CATIDOMNodeList)
public:
  virtual unsigned int GetLength() const { return 0; }
  virtual HRESULT Item(unsigned int index, CATIDOMNode_var& node) const;
};
