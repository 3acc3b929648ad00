#include "CATIDOMDocument.h"
#include "CATIDOMElement.h"
#include "CATIDOMNode.h"
#include "CATIDOMText.h"
#include "CATISAXInputSource.h"
#include "CATIXMLDOMDocumentBuilder.h"
#include "CATIXMLXPathFactory.h"
#include "XmlWellFormed.h"
#include "XmlWhitespace.h"

#include <pugixml.hpp>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define ELM_HANDLE_SPARE(p, n) ASAN_POISON_MEMORY_REGION(p, n)
#define ELM_HANDLE_TAKEN(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
#else
#define ELM_HANDLE_SPARE(p, n) ((void)(p), (void)(n))
#define ELM_HANDLE_TAKEN(p, n) ((void)(p), (void)(n))
#endif

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <new>
#include <set>
#include <string>
#include <utility>
#include <vector>

CATImplementInterface(CATIDOMNode)
CATImplementInterface(CATIDOMNodeList)
CATImplementInterface(CATIDOMElement)
CATImplementInterface(CATIDOMText)
CATImplementInterface(CATIDOMDocument)
CATImplementInterface(CATIDOMDocumentType)
CATImplementInterface(CATIDOMImplementation)
CATImplementInterface(CATISAXInputSource)
CATImplementInterface(CATISAXEntityResolver)
CATImplementInterface(CATISAXErrorHandler)
CATImplementInterface(CATISAXFactory)
CATImplementInterface(CATIXMLDOMDocumentBuilder)
CATImplementInterface(CATIXMLXPathResult)
CATImplementInterface(CATIXMLXPathFactory)

// What an inert handle answers: every operation fails.
HRESULT CATIDOMNode::GetNodeName(CATUnicodeString&) const { return E_FAIL; }
HRESULT CATIDOMNode::GetNodeValue(CATUnicodeString&) const { return E_FAIL; }
HRESULT CATIDOMNode::GetChildNodes(CATIDOMNodeList_var&) const { return E_FAIL; }
HRESULT CATIDOMNode::GetFirstChild(CATIDOMNode_var&) const { return E_FAIL; }
HRESULT CATIDOMNode::GetNextSibling(CATIDOMNode_var&) const { return E_FAIL; }
HRESULT CATIDOMNode::GetParentNode(CATIDOMNode_var&) const { return E_FAIL; }
HRESULT CATIDOMNode::GetOwnerDocument(CATIDOMDocument_var&) const { return E_FAIL; }
HRESULT CATIDOMNode::AppendChild(const CATIDOMNode_var&, CATIDOMNode_var&) { return E_FAIL; }
HRESULT CATIDOMNode::RemoveChild(const CATIDOMNode_var&) { return E_FAIL; }
bool CATIDOMNode::IsSameNode(const CATIDOMNode_var&) const { return false; }
HRESULT CATIDOMNodeList::Item(unsigned int, CATIDOMNode_var&) const { return E_FAIL; }
HRESULT CATIDOMElement::GetTagName(CATUnicodeString&) const { return E_FAIL; }
HRESULT CATIDOMElement::GetAttribute(const CATUnicodeString&, CATUnicodeString&) const { return E_FAIL; }
bool CATIDOMElement::HasAttribute(const CATUnicodeString&) const { return false; }
HRESULT CATIDOMElement::SetAttribute(const CATUnicodeString&, const CATUnicodeString&) { return E_FAIL; }
HRESULT CATIDOMElement::RemoveAttribute(const CATUnicodeString&) { return E_FAIL; }
HRESULT CATIDOMText::GetData(CATUnicodeString&) const { return E_FAIL; }
HRESULT CATIDOMDocument::GetDocumentElement(CATIDOMElement_var&) const { return E_FAIL; }
HRESULT CATIDOMDocument::CreateElement(const CATUnicodeString&, CATIDOMElement_var&) { return E_FAIL; }
HRESULT CATIDOMDocument::CreateTextNode(const CATUnicodeString&, CATIDOMText_var&) { return E_FAIL; }
HRESULT CATIDOMImplementation::CreateDocument(const CATUnicodeString&, const CATUnicodeString&,
                                              const CATIDOMDocumentType_var&, CATIDOMDocument_var&) {
  return E_FAIL;
}
HRESULT CATISAXInputSource::GetSystemId(CATUnicodeString&) const { return E_FAIL; }
HRESULT CATISAXFactory::CreateInputSourceFromString(CATUnicodeString, const CATUnicodeString&,
                                                    CATISAXInputSource_var&) {
  return E_FAIL;
}
HRESULT CATIXMLDOMDocumentBuilder::GetDOMImplementation(CATIDOMImplementation_var&) { return E_FAIL; }
HRESULT CATIXMLDOMDocumentBuilder::Parse(const CATISAXInputSource_var&, CATIDOMDocument_var&,
                                         const CATListValCATUnicodeString&, const CATListValCATUnicodeString&,
                                         const CATISAXEntityResolver_var&, const CATISAXErrorHandler_var&) {
  return E_FAIL;
}
HRESULT CATIXMLDOMDocumentBuilder::Parse(const CATUnicodeString&, CATIDOMDocument_var&,
                                         const CATListValCATUnicodeString&, const CATListValCATUnicodeString&,
                                         const CATISAXEntityResolver_var&, const CATISAXErrorHandler_var&) {
  return E_FAIL;
}
HRESULT CATIXMLDOMDocumentBuilder::WriteToString(const CATIDOMNode_var&, CATUnicodeString&,
                                                 const CATListValCATUnicodeString&,
                                                 const CATListValCATUnicodeString&) {
  return E_FAIL;
}
HRESULT CATIXMLXPathResult::GetNodeList(CATIDOMNodeList_var&) const { return E_FAIL; }
HRESULT CATIXMLXPathFactory::Evaluate(const CATUnicodeString&, const CATIDOMNode_var&, CATIXMLXPathResult_var&) {
  return E_FAIL;
}

namespace elmhost::xml {
namespace {

class DomNode;

struct DocData {
  pugi::xml_document doc;
  // The parsed text: pugixml parses in place and points into it.
  std::string buffer;
  // Elements created but not yet placed in the tree; they wait as extra
  // children of the document node, which the writer and the root skip.
  std::set<pugi::xml_node_struct*> orphans;
  // Handles, lists and results holding the document.
  std::size_t holders = 0;
  // Node handles let go of, kept whole for the next ones: a walk over a
  // large document makes and drops a handle at every node it passes. They
  // hold nothing, the document least of all; they go with it.
  std::vector<DomNode*> spare;
  ~DocData();
};

/// A document's holders count it without atomic steps: like the handles'
/// own reference counts, a document is used by one thread at a time, and
/// a walk over a large one takes and drops a holder at every step.
class DocPtr {
public:
  DocPtr() = default;
  explicit DocPtr(DocData* doc) : m_p(doc) {
    if (m_p) ++m_p->holders;
  }
  DocPtr(const DocPtr& other) : m_p(other.m_p) {
    if (m_p) ++m_p->holders;
  }
  DocPtr(DocPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
  DocPtr& operator=(DocPtr other) noexcept {
    std::swap(m_p, other.m_p);
    return *this;
  }
  ~DocPtr() {
    if (m_p && --m_p->holders == 0) delete m_p;
  }
  DocData* operator->() const { return m_p; }
  DocData& operator*() const { return *m_p; }
  explicit operator bool() const { return m_p != nullptr; }
  friend bool operator==(const DocPtr& a, const DocPtr& b) { return a.m_p == b.m_p; }

private:
  DocData* m_p = nullptr;
};

DocPtr MakeDoc() { return DocPtr(new DocData); }

CATUnicodeString text(const char* s) { return CATUnicodeString(s); }

class DomNode final : public CATIDOMElement, public CATIDOMText, public CATIDOMDocument, public CATIXMLXPathFactory {
public:
  DomNode(DocPtr doc, pugi::xml_node node, pugi::xml_attribute attr = {})
      : m_doc(std::move(doc)), m_node(node), m_attr(attr) {}
  ~DomNode() override {
    // An element created and never appended goes with its creator's handle.
    if (m_orphan && m_doc->orphans.erase(m_node.internal_object())) m_doc->doc.remove_child(m_node);
  }

  static constexpr std::size_t kSpare = 64;

  /// A spare handle is out of bounds under the address sanitizer, as a
  /// freed one would be: a use after the last release is still reported.
  /// Static, so that unpoisoning a handle is not a call on the object,
  /// which the undefined-behaviour sanitizer's type check would read first.
  static void Spare(DomNode* handle) { ELM_HANDLE_SPARE(handle, sizeof(DomNode)); }
  static void Unspare(DomNode* handle) { ELM_HANDLE_TAKEN(handle, sizeof(DomNode)); }

  static CATIDOMNode_var Wrap(const DocPtr& doc, pugi::xml_node node, pugi::xml_attribute attr = {}) {
    CATIDOMNode_var v;
    if (!node && !attr) return v;
    if (!doc->spare.empty()) {
      DomNode* handle = doc->spare.back();
      doc->spare.pop_back();
      Unspare(handle);
      handle->m_doc = doc;
      handle->m_node = node;
      handle->m_attr = attr;
      handle->AddRef();
      v.Attach(handle);
    } else {
      v.Attach(new (std::nothrow) DomNode(doc, node, attr));
    }
    return v;
  }

  HRESULT QueryInterface(const CATIID& iid, void** ppv) override {
    if (!ppv) return E_INVALIDARG;
    *ppv = nullptr;
    bool ok = true;
    if (&iid == &CATIDOMElement::ClassId())
      ok = !m_attr && m_node.type() == pugi::node_element;
    else if (&iid == &CATIDOMText::ClassId())
      ok = !m_attr && (m_node.type() == pugi::node_pcdata || m_node.type() == pugi::node_cdata);
    else if (&iid == &CATIDOMDocument::ClassId() || &iid == &CATIXMLXPathFactory::ClassId())
      ok = !m_attr && m_node.type() == pugi::node_document;
    if (!ok) return E_NOINTERFACE;
    // Walks of large documents view every element as one; the general
    // cross-cast would cost more than the rest of the step.
    CATIDOMElement* element = this;
    if (&iid == &CATIDOMElement::ClassId())
      *ppv = element;
    else if (&iid == &CATIDOMNode::ClassId())
      *ppv = static_cast<CATIDOMNode*>(element);
    if (*ppv) {
      AddRef();
      return S_OK;
    }
    return CATBaseUnknown::QueryInterface(iid, ppv);
  }

  unsigned short GetNodeType() const override {
    if (m_attr) return ATTRIBUTE_NODE;
    switch (m_node.type()) {
      case pugi::node_element: return ELEMENT_NODE;
      case pugi::node_pcdata: return TEXT_NODE;
      case pugi::node_cdata: return CDATA_SECTION_NODE;
      case pugi::node_comment: return COMMENT_NODE;
      case pugi::node_pi: return PROCESSING_INSTRUCTION_NODE;
      case pugi::node_document: return DOCUMENT_NODE;
      case pugi::node_doctype: return DOCUMENT_TYPE_NODE;
      default: return 0;
    }
  }
  HRESULT GetNodeName(CATUnicodeString& name) const override {
    switch (GetNodeType()) {
      case ATTRIBUTE_NODE: name = text(m_attr.name()); break;
      case TEXT_NODE: name = "#text"; break;
      case CDATA_SECTION_NODE: name = "#cdata-section"; break;
      case COMMENT_NODE: name = "#comment"; break;
      case DOCUMENT_NODE: name = "#document"; break;
      default: {
        // Element and instruction names: straight into the caller's string,
        // every element of a walk asks for its name.
        const char* n = m_node.name();
        name.BuildFromUTF8(n, std::strlen(n));
      }
    }
    return S_OK;
  }
  HRESULT GetNodeValue(CATUnicodeString& value) const override {
    if (m_attr)
      value = text(m_attr.value());
    else if (m_node.type() == pugi::node_element || m_node.type() == pugi::node_document)
      value = CATUnicodeString();
    else
      value = text(m_node.value());
    return S_OK;
  }
  HRESULT GetChildNodes(CATIDOMNodeList_var& children) const override;
  HRESULT GetFirstChild(CATIDOMNode_var& child) const override {
    child = nullptr;
    if (m_attr) return S_OK;
    pugi::xml_node c = m_node.first_child();
    while (c && isOrphan(c)) c = c.next_sibling();
    child = Wrap(m_doc, c);
    return S_OK;
  }
  HRESULT GetNextSibling(CATIDOMNode_var& sibling) const override {
    sibling = nullptr;
    if (m_attr) return S_OK;
    pugi::xml_node c = m_node.next_sibling();
    while (c && isOrphan(c)) c = c.next_sibling();
    sibling = Wrap(m_doc, c);
    return S_OK;
  }
  HRESULT GetParentNode(CATIDOMNode_var& parent) const override {
    parent = (m_attr || m_orphan) ? CATIDOMNode_var() : Wrap(m_doc, m_node.parent());
    return S_OK;
  }
  HRESULT GetOwnerDocument(CATIDOMDocument_var& document) const override {
    document = CATIDOMDocument_var(Wrap(m_doc, m_doc->doc));
    return document ? S_OK : E_FAIL;
  }
  bool HasChildNodes() const override {
    if (m_attr) return false;
    for (pugi::xml_node c = m_node.first_child(); c; c = c.next_sibling())
      if (!isOrphan(c)) return true;
    return false;
  }
  HRESULT AppendChild(const CATIDOMNode_var& child, CATIDOMNode_var& appended) override {
    auto* c = dynamic_cast<DomNode*>(child.get());
    if (!c || c->m_doc != m_doc || c->m_attr || m_attr) return E_FAIL;
    if (m_node.type() != pugi::node_element && m_node.type() != pugi::node_document) return E_FAIL;
    // A node cannot become its own descendant.
    for (pugi::xml_node a = m_node; a; a = a.parent())
      if (a == c->m_node) return E_FAIL;
    if (!m_node.append_move(c->m_node)) return E_FAIL;
    m_doc->orphans.erase(c->m_node.internal_object());
    c->m_orphan = false;
    appended = child;
    return S_OK;
  }
  HRESULT RemoveChild(const CATIDOMNode_var& child) override {
    auto* c = dynamic_cast<DomNode*>(child.get());
    if (!c || c->m_doc != m_doc || c->m_node.parent() != m_node) return E_FAIL;
    return m_node.remove_child(c->m_node) ? S_OK : E_FAIL;
  }
  bool IsSameNode(const CATIDOMNode_var& other) const override {
    auto* o = dynamic_cast<DomNode*>(other.get());
    return o && o->m_doc == m_doc && o->m_node == m_node && o->m_attr == m_attr;
  }

  HRESULT GetTagName(CATUnicodeString& name) const override { return GetNodeName(name); }
  HRESULT GetAttribute(const CATUnicodeString& name, CATUnicodeString& value) const override {
    const char* v = m_node.attribute(name.ConvertToChar()).value();
    value.BuildFromUTF8(v, std::strlen(v));
    return S_OK;
  }
  bool HasAttribute(const CATUnicodeString& name) const override {
    return static_cast<bool>(m_node.attribute(name.ConvertToChar()));
  }
  HRESULT SetAttribute(const CATUnicodeString& name, const CATUnicodeString& value) override {
    if (name.IsNull()) return E_FAIL;
    pugi::xml_attribute a = m_node.attribute(name.ConvertToChar());
    if (!a) a = m_node.append_attribute(name.ConvertToChar());
    return a && a.set_value(value.ConvertToChar()) ? S_OK : E_FAIL;
  }
  HRESULT RemoveAttribute(const CATUnicodeString& name) override {
    m_node.remove_attribute(name.ConvertToChar());
    return S_OK;
  }

  HRESULT GetData(CATUnicodeString& data) const override { return GetNodeValue(data); }

  HRESULT GetDocumentElement(CATIDOMElement_var& root) const override {
    root = nullptr;
    for (pugi::xml_node c = m_doc->doc.first_child(); c; c = c.next_sibling())
      if (c.type() == pugi::node_element && !isOrphan(c)) {
        root = CATIDOMElement_var(Wrap(m_doc, c));
        break;
      }
    return root ? S_OK : E_FAIL;
  }
  HRESULT CreateElement(const CATUnicodeString& tagName, CATIDOMElement_var& element) override {
    element = nullptr;
    if (tagName.IsNull()) return E_FAIL;
    pugi::xml_node n = m_doc->doc.append_child(tagName.ConvertToChar());
    if (!n) return E_FAIL;
    m_doc->orphans.insert(n.internal_object());
    auto* w = new (std::nothrow) DomNode(m_doc, n);
    if (!w) {
      m_doc->orphans.erase(n.internal_object());
      m_doc->doc.remove_child(n);
      return E_OUTOFMEMORY;
    }
    w->m_orphan = true;
    element.Attach(w);
    return S_OK;
  }
  HRESULT CreateTextNode(const CATUnicodeString& data, CATIDOMText_var& textNode) override {
    textNode = nullptr;
    pugi::xml_node n = m_doc->doc.append_child(pugi::node_pcdata);
    if (!n) return E_FAIL;
    n.set_value(data.ConvertToChar());
    m_doc->orphans.insert(n.internal_object());
    auto* w = new (std::nothrow) DomNode(m_doc, n);
    if (!w) {
      m_doc->orphans.erase(n.internal_object());
      m_doc->doc.remove_child(n);
      return E_OUTOFMEMORY;
    }
    w->m_orphan = true;
    textNode.Attach(w);
    return S_OK;
  }

  HRESULT Evaluate(const CATUnicodeString& expression, const CATIDOMNode_var& context,
                   CATIXMLXPathResult_var& result) override;

  const DocPtr& Doc() const { return m_doc; }
  pugi::xml_node Node() const { return m_node; }
  bool isOrphan(pugi::xml_node n) const {
    return !m_doc->orphans.empty() && m_doc->orphans.count(n.internal_object()) != 0;
  }

protected:
  void OnLastRelease() override {
    DocData* doc = m_doc ? &*m_doc : nullptr;
    if (m_orphan || !doc || doc->spare.size() >= kSpare) {
      delete this;
      return;
    }
    m_node = pugi::xml_node();
    m_attr = pugi::xml_attribute();
    // When this handle was the document's last holder, the document goes
    // at the end, with its spare handles, this one too: nothing after that.
    DocPtr release = std::move(m_doc);
    try {
      doc->spare.push_back(this);
    } catch (...) {
      delete this;
      return;
    }
    Spare(this);
  }

private:
  DocPtr m_doc;
  pugi::xml_node m_node;
  pugi::xml_attribute m_attr;
  bool m_orphan = false;
};

DocData::~DocData() {
  for (DomNode* handle : spare) {
    DomNode::Unspare(handle);
    delete handle;
  }
}

class NodeList final : public CATIDOMNodeList {
public:
  NodeList(DocPtr doc, std::vector<pugi::xpath_node> nodes) : m_doc(std::move(doc)), m_nodes(std::move(nodes)) {}
  unsigned int GetLength() const override { return static_cast<unsigned int>(m_nodes.size()); }
  HRESULT Item(unsigned int index, CATIDOMNode_var& node) const override {
    node = nullptr;
    if (index >= m_nodes.size()) return E_FAIL;
    const pugi::xpath_node& n = m_nodes[index];
    node = DomNode::Wrap(m_doc, n.attribute() ? n.parent() : n.node(), n.attribute());
    return node ? S_OK : E_OUTOFMEMORY;
  }

private:
  DocPtr m_doc;
  std::vector<pugi::xpath_node> m_nodes;
};

HRESULT DomNode::GetChildNodes(CATIDOMNodeList_var& children) const {
  children = nullptr;
  std::vector<pugi::xpath_node> nodes;
  if (!m_attr)
    for (pugi::xml_node c = m_node.first_child(); c; c = c.next_sibling())
      if (!isOrphan(c)) nodes.emplace_back(c);
  children.Attach(new (std::nothrow) NodeList(m_doc, std::move(nodes)));
  return children ? S_OK : E_OUTOFMEMORY;
}

class XPathResult final : public CATIXMLXPathResult {
public:
  XPathResult(DocPtr doc, bool isNodeSet, std::vector<pugi::xpath_node> nodes)
      : m_doc(std::move(doc)), m_isNodeSet(isNodeSet), m_nodes(std::move(nodes)) {}
  HRESULT GetNodeList(CATIDOMNodeList_var& nodes) const override {
    nodes = nullptr;
    if (!m_isNodeSet) return E_FAIL;
    nodes.Attach(new (std::nothrow) NodeList(m_doc, m_nodes));
    return nodes ? S_OK : E_OUTOFMEMORY;
  }

private:
  DocPtr m_doc;
  bool m_isNodeSet;
  std::vector<pugi::xpath_node> m_nodes;
};

HRESULT DomNode::Evaluate(const CATUnicodeString& expression, const CATIDOMNode_var& context,
                          CATIXMLXPathResult_var& result) {
  result = nullptr;
  pugi::xml_node ctx = m_doc->doc;
  if (context) {
    auto* c = dynamic_cast<DomNode*>(context.get());
    if (!c || c->m_doc != m_doc) return E_FAIL;
    ctx = c->m_node;
  }
  // pugixml reports a rejected expression or exhausted memory by throwing;
  // nothing may leave the host layer that way.
  try {
    pugi::xpath_query query(expression.ConvertToChar());
    std::vector<pugi::xpath_node> nodes;
    bool isNodeSet = query.return_type() == pugi::xpath_type_node_set;
    if (isNodeSet) {
      pugi::xpath_node_set set = query.evaluate_node_set(ctx);
      set.sort();
      nodes.reserve(set.size());
      for (const pugi::xpath_node& n : set)
        if (n.attribute() || !isOrphan(n.node())) nodes.push_back(n);
    }
    result.Attach(new XPathResult(m_doc, isNodeSet, std::move(nodes)));
    return S_OK;
  } catch (...) {
    return E_FAIL;
  }
}

class DomImplementation final : public CATIDOMImplementation {
public:
  HRESULT CreateDocument(const CATUnicodeString& namespaceURI, const CATUnicodeString& qualifiedName,
                         const CATIDOMDocumentType_var&, CATIDOMDocument_var& document) override {
    document = nullptr;
    if (qualifiedName.IsNull()) return E_FAIL;
    DocPtr doc;
    try {
      doc = MakeDoc();
    } catch (...) {
      return E_OUTOFMEMORY;
    }
    pugi::xml_node root = doc->doc.append_child(qualifiedName.ConvertToChar());
    if (!root) return E_FAIL;
    if (!namespaceURI.IsNull()) root.append_attribute("xmlns").set_value(namespaceURI.ConvertToChar());
    document = CATIDOMDocument_var(DomNode::Wrap(doc, doc->doc));
    return document ? S_OK : E_FAIL;
  }
};

class InputSource final : public CATISAXInputSource {
public:
  InputSource(CATUnicodeString text, CATUnicodeString id) : m_text(std::move(text)), m_id(std::move(id)) {}
  HRESULT GetSystemId(CATUnicodeString& id) const override {
    id = m_id;
    return S_OK;
  }
  /// The text, handed over once: the parser works in place on it.
  bool Take(std::string& out) {
    if (m_taken) return false;
    m_taken = true;
    out = std::move(m_text).TakeUtf8();
    return true;
  }

private:
  CATUnicodeString m_text;
  CATUnicodeString m_id;
  bool m_taken = false;
};

class SAXFactory final : public CATISAXFactory {
public:
  HRESULT CreateInputSourceFromString(CATUnicodeString textIn, const CATUnicodeString& systemId,
                                      CATISAXInputSource_var& source) override {
    source = nullptr;
    source.Attach(new (std::nothrow) InputSource(std::move(textIn), systemId));
    return source ? S_OK : E_OUTOFMEMORY;
  }
};

struct StringWriter : pugi::xml_writer {
  std::string out;
  void write(const void* data, std::size_t size) override { out.append(static_cast<const char*>(data), size); }
};

class DocumentBuilder final : public CATIXMLDOMDocumentBuilder {
public:
  HRESULT GetDOMImplementation(CATIDOMImplementation_var& implementation) override {
    implementation = nullptr;
    implementation.Attach(new (std::nothrow) DomImplementation());
    return implementation ? S_OK : E_OUTOFMEMORY;
  }

  HRESULT Parse(const CATISAXInputSource_var& source, CATIDOMDocument_var& document,
                const CATListValCATUnicodeString&, const CATListValCATUnicodeString&,
                const CATISAXEntityResolver_var&, const CATISAXErrorHandler_var&) override {
    document = nullptr;
    auto* in = dynamic_cast<InputSource*>(source.get());
    if (!in) return E_FAIL;
    try {
      auto doc = MakeDoc();
      if (!in->Take(doc->buffer)) return E_FAIL;
      // Whitespace-only text is an element's text where it is its first or
      // only child, and is kept there (see XmlWhitespace.h); comments and
      // processing instructions are nodes, as in any DOM, so that text
      // after a comment is not taken for an element's first child. The
      // document type declaration is skipped unread: no external entity is
      // ever fetched and no entity expands (a reference to one it declares
      // stays as written, to any other fails the parse), so a hostile answer
      // can neither read local files nor blow up memory.
      constexpr unsigned int flags =
          pugi::parse_default | pugi::parse_ws_pcdata_single | pugi::parse_comments | pugi::parse_pi;
      char* text = doc->buffer.data();
      const std::size_t size = doc->buffer.size();
      if (!TextIsWellFormed(text, size)) return E_FAIL;
      const bool indented = HasWhitespaceAfterTags(text, size);
      pugi::xml_parse_result r = doc->doc.load_buffer_inplace(text, size, flags, pugi::encoding_utf8);
      if (!r || !doc->doc.document_element() || !TreeIsWellFormed(doc->doc)) return E_FAIL;
      if (indented) RestoreLeadingWhitespace(doc->doc, text, text + size);
      document = CATIDOMDocument_var(DomNode::Wrap(doc, doc->doc));
      return document ? S_OK : E_FAIL;
    } catch (...) {
      return E_OUTOFMEMORY;
    }
  }

  HRESULT Parse(const CATUnicodeString& path, CATIDOMDocument_var& document, const CATListValCATUnicodeString& names,
                const CATListValCATUnicodeString& values, const CATISAXEntityResolver_var& resolver,
                const CATISAXErrorHandler_var& handler) override {
    document = nullptr;
    constexpr std::uintmax_t kMaxFileBytes = std::uintmax_t{64} << 20;
    std::error_code ec;
    std::uintmax_t size = std::filesystem::file_size(path.Utf8(), ec);
    if (ec || size > kMaxFileBytes) return E_FAIL;
    std::ifstream in(path.Utf8(), std::ios::binary);
    if (!in) return E_FAIL;
    std::string bytes;
    try {
      bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    } catch (...) {
      return E_OUTOFMEMORY;
    }
    if (in.bad()) return E_FAIL;
    CATISAXInputSource_var source;
    source.Attach(new (std::nothrow) InputSource(CATUnicodeString::FromUTF8(std::move(bytes)), path));
    if (!source) return E_OUTOFMEMORY;
    return Parse(source, document, names, values, resolver, handler);
  }

  HRESULT WriteToString(const CATIDOMNode_var& node, CATUnicodeString& textOut,
                        const CATListValCATUnicodeString& names,
                        const CATListValCATUnicodeString& values) override {
    auto* n = dynamic_cast<DomNode*>(node.get());
    if (!n) return E_FAIL;
    bool declaration = false;
    std::string encoding = "UTF-8";
    int indent = -1;
    for (int i = 1; i <= names.Size(); ++i) {
      const CATUnicodeString& v = i <= values.Size() ? values[i] : CATUnicodeString();
      if (names[i] == "CATEncoding") {
        declaration = true;
        if (!v.IsNull()) encoding = v.Utf8();
      } else if (names[i] == "CATIndentation") {
        int k = 0;
        if (v.ConvertToNum(&k) && k >= 0) indent = k;
      }
    }
    unsigned int flags = pugi::format_no_declaration;
    std::string indentText;
    if (indent >= 0) {
      flags |= pugi::format_indent;
      indentText.assign(static_cast<std::size_t>(indent), ' ');
    } else {
      flags |= pugi::format_raw;
    }
    try {
      StringWriter w;
      if (declaration) {
        w.out = "<?xml version=\"1.0\" encoding=\"" + encoding + "\"?>";
        if (indent >= 0) w.out += '\n';
      }
      pugi::xml_node target = n->Node();
      if (target.type() == pugi::node_document) {
        for (pugi::xml_node c = target.first_child(); c; c = c.next_sibling())
          if (!n->isOrphan(c)) c.print(w, indentText.c_str(), flags, pugi::encoding_utf8);
      } else {
        target.print(w, indentText.c_str(), flags, pugi::encoding_utf8);
      }
      textOut = CATUnicodeString::FromUTF8(std::move(w.out));
      return S_OK;
    } catch (...) {
      return E_OUTOFMEMORY;
    }
  }
};

}  // namespace
}  // namespace elmhost::xml

HRESULT CreateCATIXMLDOMDocumentBuilder(CATIXMLDOMDocumentBuilder_var& builder) {
  builder = nullptr;
  builder.Attach(new (std::nothrow) elmhost::xml::DocumentBuilder());
  return builder ? S_OK : E_OUTOFMEMORY;
}

HRESULT CreateCATISAXFactory(CATISAXFactory_var& factory) {
  factory = nullptr;
  factory.Attach(new (std::nothrow) elmhost::xml::SAXFactory());
  return factory ? S_OK : E_OUTOFMEMORY;
}
