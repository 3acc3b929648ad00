#include "ELMRequestXml.h"

#include "ChildProcess.h"

#include "CATGetEnv.h"
#include "CATIDOMElement.h"
#include "CATIDOMNode.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string xmlOf(const ELMRequestXml& doc) {
  CATUnicodeString text;
  EXPECT_EQ(doc.GetXml(text), S_OK);
  return text.ConvertToChar();
}

// An attribute's value; a failing call gives its code and the value as it left it.
std::string attribute(const ELMRequestXml& doc, bool inResponse, const char* name) {
  CATUnicodeString value = "<unset>";
  const HRESULT rc = inResponse ? doc.GetResponseAttribute(name, value) : doc.GetRequestAttribute(name, value);
  return (rc == S_OK ? "" : rc == E_FAIL ? "E_FAIL:" : "other failure:") + std::string(value.ConvertToChar());
}

// A response object parsed from text, as the transport would leave it.
struct givenResponse {
  explicit givenResponse(const std::string& text) { rc = doc.ReadXmlString(text.c_str()); }
  ELMRequestXml doc;
  HRESULT rc;
};

std::string pidPrefix() { return std::to_string(CATGetProcessId()) + "_"; }

}  // namespace

TEST(ELMRequestXmlId, FirstRequestOfProcessIsPidZeroThenCounts) {
  auto r = elmtest::RunInChild({}, [] {
    ELMRequestXml a("GetPartnumber");
    ELMRequestXml b("Test");
    std::printf("%s|%s|%u", a.GetRequestId().ConvertToChar(), b.GetRequestId().ConvertToChar(), CATGetProcessId());
    return 0;
  });
  ASSERT_EQ(r.exitCode, 0);
  auto bar = r.out.rfind('|');
  std::string pid = r.out.substr(bar + 1);
  EXPECT_EQ(r.out.substr(0, bar), pid + "_0|" + pid + "_1");
}

TEST(ELMRequestXmlRequest, WritesRootRequestAndAttributesInOrder) {
  ELMRequestXml req("GetPartnumber");
  ASSERT_EQ(req.AddRequestAttribute("PartNumber", "PRJ-0001"), S_OK);
  ASSERT_EQ(req.AddRequestAttribute("Empty", ""), S_OK);
  std::string id = req.GetRequestId().ConvertToChar();
  EXPECT_EQ(id.rfind(pidPrefix(), 0), 0u) << id;
  EXPECT_EQ(xmlOf(req), "<?xml version=\"1.0\" encoding=\"UTF-8\"?><ELM><Request name=\"GetPartnumber\" id=\"" + id +
                            "\"><Attribute name=\"PartNumber\" value=\"PRJ-0001\"/>"
                            "<Attribute name=\"Empty\" value=\"\"/></Request></ELM>");
}

TEST(ELMRequestXmlRequest, EmptyNameIsRefusedAndAddsNothing) {
  ELMRequestXml req("Test");
  std::string before = xmlOf(req);
  EXPECT_EQ(req.AddRequestAttribute("", "x"), E_FAIL);
  EXPECT_EQ(xmlOf(req), before);
}

TEST(ELMRequestXmlRequest, ListsJoinWithSeparatorAndEmptyListGivesEmptyValue) {
  ELMRequestXml req("Test");
  ASSERT_EQ(req.AddRequestAttributeList("Two", CATListValCATUnicodeString{"a", "b"}), S_OK);
  ASSERT_EQ(req.AddRequestAttributeList("None", CATListValCATUnicodeString{}), S_OK);
  EXPECT_EQ(attribute(req, false, "Two"), "a@EOL@b");
  EXPECT_EQ(attribute(req, false, "None"), "");
}

TEST(ELMRequestXmlRequest, DuplicateNamesAreBothWrittenFirstIsRead) {
  ELMRequestXml req("Test");
  req.AddRequestAttribute("N", "first");
  req.AddRequestAttribute("N", "second");
  EXPECT_EQ(attribute(req, false, "N"), "first");
  EXPECT_NE(xmlOf(req).find("value=\"second\""), std::string::npos);
  EXPECT_EQ(attribute(req, false, "Other"), "E_FAIL:<unset>");
}

TEST(ELMRequestXmlResponse, ReadsAttributesAndIdFromAnyRoot) {
  givenResponse r(
      "<?xml version=\"1.0\"?><Answer><Response id=\"4711_3\"><Other/>"
      "<Item name=\"PartNumber\" value=\"PN-7\"/><Attribute name=\"PartNumber\" value=\"later\"/>"
      "<Attribute name=\"NoValue\"/></Response></Answer>");
  ASSERT_EQ(r.rc, S_OK);
  EXPECT_EQ(r.doc.GetResponseId(), "4711_3");
  // The element name is not checked; the first match wins.
  EXPECT_EQ(attribute(r.doc, true, "PartNumber"), "PN-7");
  EXPECT_EQ(attribute(r.doc, true, "NoValue"), "");
  EXPECT_EQ(attribute(r.doc, true, ""), "E_FAIL:<unset>");
}

TEST(ELMRequestXmlResponse, WellFormedAnswerWithoutResponseIsNotAParseFailure) {
  givenResponse r("<ELM><Error code=\"5\">down</Error><Response2/><a><Response/></a></ELM>");
  ASSERT_EQ(r.rc, S_OK);
  CATIDOMElement_var resp = CATIDOMElement_var();
  EXPECT_EQ(r.doc.GetResponse(resp), S_OK);
  EXPECT_TRUE(!resp);
  EXPECT_EQ(attribute(r.doc, true, "x"), "E_FAIL:<unset>");
  EXPECT_EQ(r.doc.GetResponseId(), "");
  EXPECT_TRUE(r.doc.GetDocument());
}

TEST(ELMRequestXmlResponse, MalformedTextFailsAndLeavesNoDocument) {
  // Beside what no parser takes, what a lenient one would: an HTML entity,
  // text or a second element outside the root, a reference to a character
  // XML does not have, a reference left open.
  for (const char* bad : {"", "<html><body><p>Proxy error<br></body></html>", "not xml at all", "<ELM><Response>",
                          "   ", "<html><body>Bad&nbsp;Gateway</body></html>", "<ELM/><Response/>", "<ELM/>trailing",
                          "leading<ELM/>", "<ELM>&#0;</ELM>", "<ELM>&#xD800;</ELM>", "<ELM a=\"&amp\"/>"}) {
    givenResponse r(bad);
    EXPECT_EQ(r.rc, E_FAIL) << bad;
    EXPECT_TRUE(!r.doc.GetDocument()) << bad;
    CATUnicodeString text;
    EXPECT_EQ(r.doc.GetXml(text), E_FAIL) << bad;
    CATIDOMNodeList_var nodes;
    EXPECT_EQ(r.doc.GetNodesForXPath("/*", nodes), E_FAIL) << bad;
  }
}

TEST(ELMRequestXmlResponse, WellFormedFormsAroundTheRootAndTheirAmpersandsAreTaken) {
  for (const char* good :
       {"\xEF\xBB\xBF \n<?xml version=\"1.0\"?>\n<!-- a & b --><ELM><Response/></ELM>\n<!-- end -->\n",
        "<ELM><Response><![CDATA[a & b]]><?note x & y?><!-- & --></Response></ELM>",
        "<ELM><Response a=\"&lt;&gt;&amp;&apos;&quot;&#65;&#x1F600;\"/></ELM>",
        "<!DOCTYPE ELM [<!ENTITY % p \"x\"><!ENTITY co \"Oak & Co\">]><ELM><Response a=\"&co;\"/></ELM>",
        "<!DOCTYPE ELM [<!ENTITY a \"]>\"><!-- see [1] --><!ENTITY e \"v\">]><ELM><Response a=\"&e;\"/></ELM>"}) {
    givenResponse r(good);
    EXPECT_EQ(r.rc, S_OK) << good;
    CATIDOMElement_var resp;
    EXPECT_EQ(r.doc.GetResponse(resp), S_OK) << good;
    EXPECT_TRUE(!!resp) << good;
  }
}

// An indented answer keeps whitespace-only text where it is an element's
// text (its first or only child, line ends as the parser writes them), not
// the indentation between siblings.
TEST(ELMRequestXmlResponse, IndentationIsKeptOnlyWhereItIsAnElementsText) {
  givenResponse r(
      "<?xml version=\"1.0\"?>\r\n<ELM>\r\n  <Response name=\"x\">\r\n    <Attribute name=\"a\" value=\"1\"/>\n"
      "    <Error code=\"2\">\n      <Detail/>\n    </Error>\n    <Message code=\"3\">  </Message>\n"
      "    <Note><!-- c -->\n    </Note>\n    <Plain>\r  <Inner/>\r</Plain>\n    <Data>\n <![CDATA[d]]></Data>\n"
      "    <Instruction>\n <?p q?></Instruction>\n  </Response>\n</ELM>\n");
  ASSERT_EQ(r.rc, S_OK);
  // Each node as name=value, depth first, the text nodes by their value.
  std::string seen;
  auto walk = [&](auto&& self, const CATIDOMNode_var& node) -> void {
    CATUnicodeString name, value;
    node->GetNodeName(name);
    node->GetNodeValue(value);
    seen += std::string(name.ConvertToChar()) + "=" + value.ConvertToChar() + ";";
    CATIDOMNode_var child;
    for (node->GetFirstChild(child); child;) {
      self(self, child);
      CATIDOMNode_var next;
      child->GetNextSibling(next);
      child = next;
    }
  };
  CATIDOMElement_var response;
  ASSERT_EQ(r.doc.GetResponse(response), S_OK);
  walk(walk, CATIDOMNode_var(response));
  EXPECT_EQ(seen,
            "Response=;#text=\n    ;Attribute=;Error=;#text=\n      ;Detail=;Message=;#text=  ;Note=;#comment= c ;"
            "Plain=;#text=\n  ;Inner=;Data=;#text=\n ;#cdata-section=d;Instruction=;#text=\n ;p=q;");
}

// A non-empty value splits on the separator, keeping inner empty items; else
// the child items are listed. The caller's list is replaced, even on failure.
TEST(ELMRequestXmlList, ValueSplitsOnSeparatorOrChildItemsAreListed) {
  struct Case {
    const char* attribute;  ///< inside the response
    const char* name;
    HRESULT rc;
    CATListValCATUnicodeString items;
  } cases[] = {
      {"<Attribute name=\"L\" value=\"a@EOL@@EOL@b\"/>", "L", S_OK, {"a", "", "b"}},
      {"<Attribute name=\"L\" value=\"@EOL@a\"/>", "L", S_OK, {"", "a"}},
      {"<Attribute name=\"L\" value=\"a@EOL@\"/>", "L", S_OK, {"a"}},
      {"<Attribute name=\"L\" value=\"single\"/>", "L", S_OK, {"single"}},
      {"<Attribute name=\"L\" value=\"x@EOL@y@EOL@z\"/>", "L", S_OK, {"x", "y", "z"}},
      {"<A name=\"L\" value=\"v1@EOL@v2\"><I value=\"child\"/></A>", "L", S_OK, {"v1", "v2"}},
      {"<A name=\"Empty\"/>", "Nope", E_FAIL, {}},
      {"<A name=\"Empty\"/>", "Empty", S_OK, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.attribute) + " " + c.name);
    givenResponse r(std::string("<ELM><Response>") + c.attribute + "</Response></ELM>");
    CATListValCATUnicodeString items{"stale"};
    EXPECT_EQ(r.doc.GetResponseAttributeList(c.name, items, nullptr), c.rc);
    EXPECT_EQ(items, c.items);
  }
}

TEST(ELMRequestXmlList, ChildItemsWithDefaultsSkippingEmptyValues) {
  givenResponse r(
      "<ELM><Response><Attribute name=\"OakNames\">\n  <I value=\"Alpha\" default=\"true\"/>"
      "<I value=\"\" default=\"true\"/><!-- c --><I value=\"Beta\"/><I value=\"Gamma\" default=\"false\"/>"
      "<I value=\"Delta\" default=\"TRUE\"/></Attribute></Response></ELM>");
  CATListValCATUnicodeString items;
  CATRawCollint defaults{9};
  ASSERT_EQ(r.doc.GetResponseAttributeList("OakNames", items, &defaults), S_OK);
  EXPECT_EQ(items, (CATListValCATUnicodeString{"Alpha", "Beta", "Gamma", "Delta"}));
  // The defaults list is appended to, never emptied.
  EXPECT_EQ(defaults, (CATRawCollint{9, 1, 0, 0, 1}));
}

TEST(ELMRequestXmlXPath, RejectedExpressionLeavesListNullAndResultsAreInDocumentOrder) {
  givenResponse r("<ELM><Response><PD n=\"1\"/><PD n=\"2\"/></Response></ELM>");
  CATIDOMNodeList_var nodes;
  EXPECT_EQ(r.doc.GetNodesForXPath("/*/Response/[", nodes), S_OK);
  EXPECT_TRUE(!nodes);
  ASSERT_EQ(r.doc.GetNodesForXPath("/*/Response/PD", nodes), S_OK);
  ASSERT_TRUE(nodes);
  ASSERT_EQ(nodes->GetLength(), 2u);
  CATIDOMNode_var second;
  ASSERT_EQ(nodes->Item(1, second), S_OK);
  CATUnicodeString n;
  CATIDOMElement_var(second)->GetAttribute("n", n);
  EXPECT_EQ(n, "2");
}

TEST(ELMRequestXmlResponse, AddResponseAttributeNeedsAResponseElement) {
  ELMRequestXml empty;
  EXPECT_EQ(empty.AddResponseAttribute("a", "b"), E_FAIL);
  givenResponse r("<ELM><Response id=\"1\"/></ELM>");
  ASSERT_EQ(r.doc.AddResponseAttribute("Server", "OK"), S_OK);
  EXPECT_EQ(attribute(r.doc, true, "Server"), "OK");
}

TEST(ELMRequestXmlDump, IndentsByTwoAndNamesEncodingOnlyWhenAsked) {
  auto run = [](unsigned char flag) {
    return elmtest::RunInChild({{"ELM_DEBUG", elmtest::kUnset}}, [flag] {
      ELMRequestXml req("Test");
      req.AddRequestAttribute("A", "1");
      return req.Dump(flag) == S_OK ? 0 : 1;
    });
  };
  auto withEncoding = run(0);
  ASSERT_EQ(withEncoding.exitCode, 0);
  EXPECT_EQ(withEncoding.out.substr(0, 40), "\n<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
  EXPECT_NE(withEncoding.out.find("\n  <Request name=\"Test\""), std::string::npos);
  EXPECT_NE(withEncoding.out.find("\n    <Attribute name=\"A\" value=\"1\""), std::string::npos);
  EXPECT_EQ(withEncoding.out.back(), '\n');
  auto without = run(1);
  EXPECT_EQ(without.out.find("encoding"), std::string::npos);
  EXPECT_EQ(without.out.rfind("\n<ELM>", 0), 0u);
}

TEST(ELMRequestXmlTrace, FailedConstructionLeavesAHarmlessObject) {
  // A document that never parsed must refuse every operation that needs it.
  ELMRequestXml r;
  CATUnicodeString text;
  EXPECT_EQ(r.GetXml(text), E_FAIL);
  EXPECT_EQ(r.GetRequestId(), "");
  EXPECT_EQ(r.AddRequestAttribute("a", "b"), E_FAIL);
  EXPECT_EQ(attribute(r, false, "a"), "E_FAIL:<unset>");
}
