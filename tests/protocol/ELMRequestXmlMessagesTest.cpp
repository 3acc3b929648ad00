#include "ELMRequestXml.h"

#include "ChildProcess.h"
#include "LoopbackServer.h"

#include <gtest/gtest.h>

#include <string>

// The module stays unsettled in these tests (nothing here asks for it), so
// the catalog look-ups go to "ELMHtmlRequest" and then to the bare
// "HtmlRequest" of the directory each test names.

namespace {

struct Collected {
  HRESULT rc = S_OK;
  unsigned char hasErrors = 0;
  CATRawCollint codes;
  CATListValCATUnicodeString texts;
};

enum Reading { kErrors, kErrorsNLS, kMessages, kMessagesNLS };

// One of the four readings, into lists that start as the caller's c has them.
Collected reading(const ELMRequestXml& doc, Reading how, Collected c = {}) {
  c.rc = how == kErrors      ? doc.GetErrors(c.hasErrors, &c.codes, &c.texts)
         : how == kErrorsNLS ? doc.GetErrorsNLS(c.hasErrors, c.codes, c.texts)
         : how == kMessages  ? doc.GetMessages(c.codes, c.texts)
                             : doc.GetMessagesNLS(c.codes, c.texts);
  return c;
}

// A reading in one line: its result, the error flag when set, then the codes
// and the texts as two lists, so that unequal lists show.
std::string summary(const Collected& c) {
  std::string s = c.rc == S_OK ? "S_OK" : c.rc == E_FAIL ? "E_FAIL" : "other result";
  if (c.hasErrors) s += c.hasErrors == 1 ? " errors" : " error flag " + std::to_string(c.hasErrors);
  s += " codes";
  for (int i = 1; i <= c.codes.Size(); ++i) s += " " + std::to_string(c.codes[i]);
  s += " texts";
  for (int i = 1; i <= c.texts.Size(); ++i) s += std::string(" [") + c.texts[i].ConvertToChar() + "]";
  return s;
}

class ResponseMessages : public ::testing::Test {
protected:
  void givenAnswer(const char* text) { ASSERT_EQ(doc.ReadXmlString(text), S_OK); }

  elmtest::ScratchDir catalogs;
  elmtest::EnvChanges path{"ELMHOST_CATALOG_PATH", catalogs.Path()};
  ELMRequestXml doc;
};

}  // namespace

// The plain reading of an answer's errors, and the translating one where a
// row gives what it must read.
TEST_F(ResponseMessages, ErrorsAreReadAtTheRootOrInTheResponseWithTheirCodesAndTexts) {
  struct Case {
    const char* what;
    const char* answer;
    const char* plain;
    const char* translated = nullptr;
  } cases[] = {
      {"root-level errors hide the response's",
       "<ELM><Error code=\"3\">down</Error><Error code=\"4\">still down</Error>"
       "<Response><Error code=\"1004\">missing</Error></Response></ELM>",
       "S_OK errors codes 3 4 texts [down] [still down]"},
      {"root-level errors need no response", "<ELM><Error code=\"9\">busy</Error></ELM>",
       "S_OK errors codes 9 texts [busy]"},
      {"other roots are not root level", "<Answer><Error code=\"9\">busy</Error><Response/></Answer>",
       "S_OK codes texts"},
      {"codes that do not read as numbers are zero and keep the server text",
       "<ELM><Response><Error code=\"abc\">odd code</Error><Error>no code</Error>"
       "<Error code=\"-5\">negative</Error></Response></ELM>",
       "S_OK errors codes 0 0 -5 texts [odd code] [no code] [negative]",
       "S_OK errors codes 0 0 -5 texts [odd code] [no code] [HtmlRequest Error_-5]"},
      {"whitespace before a child element is the text",
       "<ELM><Response><Error code=\"0\">\n  <Detail>inner</Detail></Error></Response></ELM>",
       "S_OK errors codes 0 texts [\n  ]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ELMRequestXml answer;
    ASSERT_EQ(answer.ReadXmlString(c.answer), S_OK);
    EXPECT_EQ(summary(reading(answer, kErrors)), c.plain);
    if (!c.translated) continue;
    EXPECT_EQ(summary(reading(answer, kErrorsNLS)), c.translated);
  }
}

TEST_F(ResponseMessages, ErrorWithoutTextGivesACodeOnlyAndTheTranslationFails) {
  givenAnswer(
      "<ELM><Response><Error code=\"12\"/><Error code=\"13\"><Detail/>text after a child</Error>"
      "<Error code=\"15\"><!-- a comment is a node too -->text after a comment</Error>"
      "<Error code=\"14\">kept</Error></Response></ELM>");
  EXPECT_EQ(summary(reading(doc, kErrors)), "S_OK errors codes 12 13 15 14 texts [kept]");
  EXPECT_EQ(summary(reading(doc, kErrorsNLS)), "E_FAIL errors codes 12 13 15 14 texts [kept]");
}

TEST_F(ResponseMessages, TextsComeOnlyWithTheirCodes) {
  givenAnswer("<ELM><Response><Error code=\"1\">one</Error></Response></ELM>");
  Collected withoutCodes;
  withoutCodes.rc = doc.GetErrors(withoutCodes.hasErrors, nullptr, &withoutCodes.texts);
  EXPECT_EQ(summary(withoutCodes), "S_OK errors codes texts");
  Collected flagOnly;
  flagOnly.rc = doc.GetErrors(flagOnly.hasErrors, nullptr, nullptr);
  EXPECT_EQ(summary(flagOnly), "S_OK errors codes texts");
}

TEST_F(ResponseMessages, CataloguedCodesAreTranslatedAndEmptyTextsFallBack) {
  catalogs.Write("ELMHtmlRequest.nls",
                 "Error_17 = \"\";\n"
                 "Error_1234 = \"\";\n"
                 "Error_1005 = \"A value is missing.\";\n"
                 "ErrorCommunication = \"Teamcenter cannot be reached.\";\n");
  catalogs.Write("HtmlRequest.nls", "Error_1006 = \"Refused value.\";\n");
  givenAnswer(
      "<ELM><Response><Error code=\"17\">server 17</Error><Error code=\"1005\">server 1005</Error>"
      "<Error code=\"1006\">server 1006</Error><Error code=\"1234\">server 1234</Error></Response></ELM>");
  // An empty text below 1000 falls back to the communication text; from 1000
  // on, the server's text is only the default of a look-up that still finds
  // the empty entry.
  EXPECT_EQ(summary(reading(doc, kErrorsNLS)),
            "S_OK errors codes 17 1005 1006 1234 texts [Teamcenter cannot be reached.] [A value is missing.] "
            "[Refused value.] []");
}

TEST_F(ResponseMessages, MessagesKeepTheServerTextUnlessACatalogHasOne) {
  catalogs.Write("ELMHtmlRequest.nls", "Message_2001 = \"Catalog /P1 text\";\n");
  givenAnswer(
      "<ELM><Response><Message code=\"0\">plain</Message><Message code=\"2000\">Transfer 5 recorded.</Message>"
      "<Message code=\"2001\">server 2001</Message><Message>no code</Message></Response>"
      "<Message code=\"7\">outside the response</Message></ELM>");
  EXPECT_EQ(summary(reading(doc, kMessages)),
            "S_OK codes 0 2000 2001 0 texts [plain] [Transfer 5 recorded.] [server 2001] [no code]");
  EXPECT_EQ(summary(reading(doc, kMessagesNLS)),
            "S_OK codes 0 2000 2001 0 texts [plain] [Transfer 5 recorded.] [Catalog /P1 text] [no code]");
}

TEST_F(ResponseMessages, CallersListsAreAppendedToAndUnequalListsFailTheTranslation) {
  givenAnswer("<ELM><Response><Error code=\"1234\">server</Error><Message code=\"5\">m</Message></Response></ELM>");
  Collected earlier;
  earlier.codes = {42};
  EXPECT_EQ(summary(reading(doc, kErrorsNLS, earlier)), "E_FAIL errors codes 42 1234 texts [server]");
  earlier = Collected{S_OK, 0, {1}, {"earlier"}};
  EXPECT_EQ(summary(reading(doc, kMessagesNLS, earlier)), "S_OK codes 1 5 texts [earlier] [m]");
}

TEST_F(ResponseMessages, AnswerWithoutResponseFailsForErrorsButNotForMessages) {
  givenAnswer("<ELM><Other/></ELM>");
  EXPECT_EQ(reading(doc, kErrors).rc, E_FAIL);
  EXPECT_EQ(summary(reading(doc, kErrorsNLS)), "E_FAIL codes texts");
  EXPECT_EQ(summary(reading(doc, kMessagesNLS)), "S_OK codes texts");
}

TEST_F(ResponseMessages, WithoutADocumentAllFourFail) {
  ELMRequestXml broken;
  EXPECT_EQ(broken.ReadXmlString("<html><body>502 Bad Gateway"), E_FAIL);
  ELMRequestXml empty;
  for (const ELMRequestXml* d : {&broken, &empty})
    for (Reading how : {kErrors, kErrorsNLS, kMessages, kMessagesNLS}) EXPECT_EQ(reading(*d, how).rc, E_FAIL) << how;
}

TEST(ResponseMessagesTrace, MissingResponseIsNotedAndTheScopesMarkedFailed) {
  auto r = elmtest::RunInChild({{"ELM_DEBUG", "ON"}}, [] {
    ELMRequestXml doc;
    doc.ReadXmlString("<ELM/>");
    reading(doc, kErrorsNLS);
    return 0;
  });
  // The note, then the failure line of the inner scope, which ends failed;
  // the outer scope then fails in turn.
  for (const char* piece :
       {"): Response missing\nELMDBX Function: ELMRequestXml::GetErrors (",
        ") end  \nELMDBX Function: ELMRequestXml::GetErrorsNLS (", ") end  \n ELM: ELMRequestXml::~ELMRequestXml("})
    EXPECT_NE(r.out.find(piece), std::string::npos) << piece << " in\n" << r.out;
}
