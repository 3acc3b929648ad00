#include "CATBaseUnknown.h"
#include "CATIDOMDocument.h"
#include "CATIXMLDOMDocumentBuilder.h"
#include "CATIXMLXPathFactory.h"
#include "CATListValCATUnicodeString.h"
#include "CATSysSettingRepository.h"
#include "CATUnicodeString.h"

#include "LoopbackServer.h"

#include <gtest/gtest.h>

namespace {

// The interface macros end without a semicolon, which clang-format cannot tell.
// clang-format off
class Counted : public virtual CATBaseUnknown {
public:
  CATDeclareInterface(Counted)
  explicit Counted(int* destroyed = nullptr) : m_destroyed(destroyed) {}
  ~Counted() override {
    if (m_destroyed) ++*m_destroyed;
  }
  virtual int Value() const { return 7; }

private:
  int* m_destroyed;
};
CATImplementInterface(Counted)

class Other : public virtual CATBaseUnknown {
public:
  CATDeclareInterface(Other)
  virtual int Value() const { return -1; }
};
CATImplementInterface(Other)
// clang-format on

}  // namespace

TEST(CATVarHandle, CopiesAddAndDestructionReleasesOnce) {
  int destroyed = 0;
  {
    CATVar<Counted> a = CATMakeVar<Counted>(&destroyed);
    EXPECT_EQ(a->GetRefCount(), 1u);
    {
      CATVar<Counted> b = a;
      EXPECT_EQ(a->GetRefCount(), 2u);
      CATVar<Counted> c = std::move(b);
      EXPECT_TRUE(!b);
      EXPECT_EQ(a->GetRefCount(), 2u);
    }
    EXPECT_EQ(a->GetRefCount(), 1u);
    CATBaseUnknown_var base(a);
    EXPECT_EQ(a->GetRefCount(), 2u);
    CATVar<Counted> back(base);  // through QueryInterface
    EXPECT_EQ(a->GetRefCount(), 3u);
    EXPECT_EQ(destroyed, 0);
  }
  EXPECT_EQ(destroyed, 1);
}

TEST(CATVarHandle, FailedQueryAndNullHandlesAreSafe) {
  CATVar<Counted> a = CATMakeVar<Counted>();
  CATVar<Other> o(a);
  EXPECT_TRUE(!o);
  EXPECT_EQ(a->GetRefCount(), 1u);
  // A call through a null handle reaches an inert object instead of crashing.
  EXPECT_EQ(o->Value(), -1);
  CATIDOMElement_var nullElement;
  CATUnicodeString v;
  EXPECT_EQ(nullElement->GetAttribute("x", v), E_FAIL);
  EXPECT_EQ(nullElement->SetAttribute("x", "y"), E_FAIL);
}

TEST(CATUnicodeStringText, SearchAndSubStringCountCharactersNotBytes) {
  CATUnicodeString s("\xC3\xA9t\xC3\xA9/plm");  // "été/plm"
  EXPECT_EQ(s.GetLengthInChar(), 7);
  EXPECT_EQ(s.GetLengthInByte(), 9);
  EXPECT_EQ(s.SearchSubString("/"), 3);
  EXPECT_EQ(s.SubString(4, 3), "plm");
  EXPECT_EQ(s.SubString(0, 1), "\xC3\xA9");
  EXPECT_EQ(s.SubString(5, 100), "lm");
  EXPECT_EQ(s.SearchSubString("x"), -1);
  CATUnicodeString u("HTTP://Host");
  u.ToLower();
  EXPECT_EQ(u, "http://host");
}

TEST(CATUnicodeStringText, InvalidUtf8BecomesReplacementCharacters) {
  // Each escape ends where its literal does.
  // clang-format off
  CATUnicodeString s("a\xFF" "b\xC3");
  EXPECT_EQ(s, "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
  // clang-format on
  // One character in three bytes.
  EXPECT_EQ(CATUnicodeString::FromUTF8("\xE2\x82\xAC").GetLengthInChar(), 1);
}

TEST(CATUnicodeStringText, CompareAndNumbers) {
  EXPECT_EQ(CATUnicodeString("true").Compare("true"), 1);
  EXPECT_EQ(CATUnicodeString("TRUE").Compare("true"), 2);
  EXPECT_EQ(CATUnicodeString("truex").Compare("true"), 0);
  int v = 99;
  EXPECT_EQ(CATUnicodeString("abc").ConvertToNum(&v), 0);
  EXPECT_EQ(v, 99);
  EXPECT_EQ(CATUnicodeString("8080/x").ConvertToNum(&v), 1);
  EXPECT_EQ(v, 8080);
  CATUnicodeString n;
  n.BuildFromNum(-12);
  EXPECT_EQ(n, "-12");
}

TEST(CATListValLists, AreOneBased) {
  CATListValCATUnicodeString l{"a", "b"};
  l.Append("c");
  EXPECT_EQ(l.Size(), 3);
  EXPECT_EQ(l[1], "a");
  EXPECT_EQ(l[3], "c");
  EXPECT_EQ(l.Locate("b"), 2);
  l.RemovePosition(1);
  EXPECT_EQ(l[1], "b");
  l.RemoveAll();
  EXPECT_EQ(l.Size(), 0);
}

TEST(CATSysSettingRepositoryFile, ReadsQuotedValuesAndSkipsBadLines) {
  elmtest::ScratchDir dir;
  dir.Write("ELMOptions.settings",
            "// site settings\n"
            "ServerUrl = \"http://pdm:8080/plm\";\n"
            "Broken line\n"
            "Quoted = \"a \\\"b\\\" c\"; // trailing\n");
  elmtest::EnvChanges path("ELMHOST_SETTINGS_PATH", dir.Path());
  CATSysSettingRepository* repo = CATSysSettingRepository::GetRepository("ELMOptions");
  ASSERT_NE(repo, nullptr);
  CATUnicodeString v;
  EXPECT_EQ(repo->ReadAttr("ServerUrl", v), S_OK);
  EXPECT_EQ(v, "http://pdm:8080/plm");
  EXPECT_EQ(repo->ReadAttr("Quoted", v), S_OK);
  EXPECT_EQ(v, "a \"b\" c");
  EXPECT_EQ(repo->ReadAttr("Missing", v), E_FAIL);
  repo->Release();
  EXPECT_EQ(CATSysSettingRepository::GetRepository("NoSuchRepository"), nullptr);
}

TEST(XmlDomBuilder, CreatedElementsNotAppendedAreDiscarded) {
  CATIXMLDOMDocumentBuilder_var builder;
  ASSERT_EQ(CreateCATIXMLDOMDocumentBuilder(builder), S_OK);
  CATIDOMImplementation_var impl;
  ASSERT_EQ(builder->GetDOMImplementation(impl), S_OK);
  CATIDOMDocument_var doc;
  ASSERT_EQ(impl->CreateDocument("", "ELM", CATIDOMDocumentType_var(), doc), S_OK);
  {
    CATIDOMElement_var lost;
    ASSERT_EQ(doc->CreateElement("Lost", lost), S_OK);
  }
  CATIDOMElement_var root, kept;
  ASSERT_EQ(doc->GetDocumentElement(root), S_OK);
  ASSERT_EQ(doc->CreateElement("Kept", kept), S_OK);
  CATIDOMElement_var pending;
  ASSERT_EQ(doc->CreateElement("Pending", pending), S_OK);
  CATIDOMNode_var appended;
  ASSERT_EQ(root->AppendChild(CATIDOMNode_var(kept), appended), S_OK);
  CATUnicodeString text;
  ASSERT_EQ(builder->WriteToString(CATIDOMNode_var(doc), text, {}, {}), S_OK);
  EXPECT_EQ(text, "<ELM><Kept/></ELM>");
  CATIXMLXPathFactory_var xpath(doc);
  ASSERT_TRUE(xpath);
  CATIXMLXPathResult_var result;
  ASSERT_EQ(xpath->Evaluate("/*", CATIDOMNode_var(), result), S_OK);
  CATIDOMNodeList_var nodes;
  ASSERT_EQ(result->GetNodeList(nodes), S_OK);
  EXPECT_EQ(nodes->GetLength(), 1u);
  // An element cannot be appended under itself.
  EXPECT_EQ(kept->AppendChild(CATIDOMNode_var(root), appended), E_FAIL);
}

TEST(XmlDomBuilder, ElementAndTextViewsFollowTheNodeKind) {
  CATIXMLDOMDocumentBuilder_var builder;
  CreateCATIXMLDOMDocumentBuilder(builder);
  CATISAXFactory_var sax;
  ASSERT_EQ(CreateCATISAXFactory(sax), S_OK);
  CATISAXInputSource_var source;
  ASSERT_EQ(sax->CreateInputSourceFromString("<a> <b/>t</a>", "ELM", source), S_OK);
  CATIDOMDocument_var doc;
  ASSERT_EQ(builder->Parse(source, doc, {}, {}, CATISAXEntityResolver_var(), CATISAXErrorHandler_var()), S_OK);
  // The source is consumed by the parse.
  CATIDOMDocument_var again;
  EXPECT_EQ(builder->Parse(source, again, {}, {}, CATISAXEntityResolver_var(), CATISAXErrorHandler_var()), E_FAIL);
  CATIDOMElement_var root;
  ASSERT_EQ(doc->GetDocumentElement(root), S_OK);
  CATIDOMNode_var first;
  ASSERT_EQ(root->GetFirstChild(first), S_OK);
  EXPECT_EQ(first->GetNodeType(), CATIDOMNode::TEXT_NODE);
  EXPECT_TRUE(!CATIDOMElement_var(first));
  CATIDOMText_var text(first);
  ASSERT_TRUE(text);
  CATUnicodeString data;
  text->GetData(data);
  EXPECT_EQ(data, " ");
  CATIDOMNode_var b;
  first->GetNextSibling(b);
  EXPECT_TRUE(CATIDOMElement_var(b));
  EXPECT_TRUE(!CATIDOMDocument_var(b));
}

// A handle let go of is kept by its document for the next one asked for:
// each reused handle answers for its own node only, a handle kept alive is
// never handed out again, and the last handle out keeps the document.
TEST(XmlDomBuilder, HandlesLetGoAreReusedOnlyForTheirNextNode) {
  CATIXMLDOMDocumentBuilder_var builder;
  CreateCATIXMLDOMDocumentBuilder(builder);
  CATISAXFactory_var sax;
  ASSERT_EQ(CreateCATISAXFactory(sax), S_OK);
  CATISAXInputSource_var source;
  ASSERT_EQ(sax->CreateInputSourceFromString(R"(<a><b x="1"/><c x="2"/>t<d x="3"/></a>)", "ELM", source), S_OK);
  CATIDOMDocument_var doc;
  ASSERT_EQ(builder->Parse(source, doc, {}, {}, CATISAXEntityResolver_var(), CATISAXErrorHandler_var()), S_OK);
  CATIDOMElement_var root;
  ASSERT_EQ(doc->GetDocumentElement(root), S_OK);
  CATIDOMNode_var kept;
  root->GetFirstChild(kept);
  for (int pass = 0; pass < 3; ++pass) {
    std::string seen;
    CATIDOMNode_var node;
    root->GetFirstChild(node);
    while (node) {
      EXPECT_FALSE(node.get() == kept.get()) << "a live handle was handed out again";
      CATUnicodeString name, x;
      node->GetNodeName(name);
      if (CATIDOMElement_var element{node}) element->GetAttribute("x", x);
      seen += name.Utf8() + "=" + x.Utf8() + " ";
      CATIDOMNode_var next;
      node->GetNextSibling(next);
      node = next;
    }
    EXPECT_EQ(seen, "b=1 c=2 #text= d=3 ");
  }
  // Only handles hold the document now: c, then the text after it, then d.
  CATIDOMNode_var c, text, d;
  kept->GetNextSibling(c);
  doc = nullptr;
  root = nullptr;
  kept = nullptr;
  c->GetNextSibling(text);
  c = nullptr;
  ASSERT_TRUE(text);
  text->GetNextSibling(d);
  text = nullptr;
  CATUnicodeString x;
  ASSERT_TRUE(CATIDOMElement_var(d));
  CATIDOMElement_var(d)->GetAttribute("x", x);
  EXPECT_EQ(x, "3");
}
