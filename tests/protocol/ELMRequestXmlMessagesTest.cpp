#include "ELMRequestXml.h"

#include "LoopbackServer.h"
#include "ChildProcess.h"

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

std::string join(const Collected& c) {
  std::string s;
  for (int i = 1; i <= c.codes.Size(); ++i) {
    s += std::to_string(c.codes[i]) + "=";
    if (i <= c.texts.Size()) s += c.texts[i].ConvertToChar();
    s += ";";
  }
  return s;
}

Collected errors(const ELMRequestXml& doc) {
  Collected c;
  c.rc = doc.GetErrors(c.hasErrors, &c.codes, &c.texts);
  return c;
}

Collected errorsNLS(const ELMRequestXml& doc) {
  Collected c;
  c.rc = doc.GetErrorsNLS(c.hasErrors, c.codes, c.texts);
  return c;
}

Collected messages(const ELMRequestXml& doc, bool nls) {
  Collected c;
  c.rc = nls ? doc.GetMessagesNLS(c.codes, c.texts) : doc.GetMessages(c.codes, c.texts);
  return c;
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
    unsigned char hasErrors;
    const char* plain;
    const char* translated = nullptr;
  } cases[] = {
      {"root-level errors hide the response's",
       "<ELM><Error code=\"3\">down</Error><Error code=\"4\">still down</Error>"
       "<Response><Error code=\"1004\">missing</Error></Response></ELM>",
       1, "3=down;4=still down;"},
      {"root-level errors need no response", "<ELM><Error code=\"9\">busy</Error></ELM>", 1, "9=busy;"},
      {"other roots are not root level", "<Answer><Error code=\"9\">busy</Error><Response/></Answer>", 0, ""},
      {"codes that do not read as numbers are zero and keep the server text",
       "<ELM><Response><Error code=\"abc\">odd code</Error><Error>no code</Error>"
       "<Error code=\"-5\">negative</Error></Response></ELM>",
       1, "0=odd code;0=no code;-5=negative;", "0=odd code;0=no code;-5=HtmlRequest Error_-5;"},
      {"whitespace before a child element is the text",
       "<ELM><Response><Error code=\"0\">\n  <Detail>inner</Detail></Error></Response></ELM>", 1, "0=\n  ;"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ELMRequestXml answer;
    ASSERT_EQ(answer.ReadXmlString(c.answer), S_OK);
    Collected plain = errors(answer);
    EXPECT_EQ(plain.rc, S_OK);
    EXPECT_EQ(plain.hasErrors, c.hasErrors);
    EXPECT_EQ(join(plain), c.plain);
    if (!c.translated) continue;
    Collected translated = errorsNLS(answer);
    EXPECT_EQ(translated.rc, S_OK);
    EXPECT_EQ(join(translated), c.translated);
  }
}

TEST_F(ResponseMessages, ErrorWithoutTextGivesACodeOnlyAndTheTranslationFails) {
  givenAnswer(
      "<ELM><Response><Error code=\"12\"/><Error code=\"13\"><Detail/>text after a child</Error>"
      "<Error code=\"15\"><!-- a comment is a node too -->text after a comment</Error>"
      "<Error code=\"14\">kept</Error></Response></ELM>");
  Collected plain = errors(doc);
  EXPECT_EQ(plain.rc, S_OK);
  EXPECT_EQ(plain.codes.Size(), 4);
  ASSERT_EQ(plain.texts.Size(), 1);
  EXPECT_EQ(plain.texts[1], "kept");

  Collected c = errorsNLS(doc);
  EXPECT_EQ(c.rc, E_FAIL);
  EXPECT_EQ(c.hasErrors, 1);
  ASSERT_EQ(c.texts.Size(), 1);
  EXPECT_EQ(c.texts[1], "kept");
}

TEST_F(ResponseMessages, TextsComeOnlyWithTheirCodes) {
  givenAnswer("<ELM><Response><Error code=\"1\">one</Error></Response></ELM>");
  unsigned char hasErrors = 0;
  CATListValCATUnicodeString texts;
  EXPECT_EQ(doc.GetErrors(hasErrors, nullptr, &texts), S_OK);
  EXPECT_EQ(hasErrors, 1);
  EXPECT_EQ(texts.Size(), 0);
  hasErrors = 0;
  EXPECT_EQ(doc.GetErrors(hasErrors, nullptr, nullptr), S_OK);
  EXPECT_EQ(hasErrors, 1);
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
  Collected c = errorsNLS(doc);
  EXPECT_EQ(c.rc, S_OK);
  // An empty text below 1000 falls back to the communication text; from 1000
  // on, the server's text is only the default of a look-up that still finds
  // the empty entry.
  EXPECT_EQ(join(c), "17=Teamcenter cannot be reached.;1005=A value is missing.;1006=Refused value.;1234=;");
}

TEST_F(ResponseMessages, MessagesKeepTheServerTextUnlessACatalogHasOne) {
  catalogs.Write("ELMHtmlRequest.nls", "Message_2001 = \"Catalog /P1 text\";\n");
  givenAnswer(
      "<ELM><Response><Message code=\"0\">plain</Message><Message code=\"2000\">Transfer 5 recorded.</Message>"
      "<Message code=\"2001\">server 2001</Message><Message>no code</Message></Response>"
      "<Message code=\"7\">outside the response</Message></ELM>");
  EXPECT_EQ(join(messages(doc, false)), "0=plain;2000=Transfer 5 recorded.;2001=server 2001;0=no code;");
  Collected c = messages(doc, true);
  EXPECT_EQ(c.rc, S_OK);
  EXPECT_EQ(join(c), "0=plain;2000=Transfer 5 recorded.;2001=Catalog /P1 text;0=no code;");
}

TEST_F(ResponseMessages, CallersListsAreAppendedToAndUnequalListsFailTheTranslation) {
  givenAnswer("<ELM><Response><Error code=\"1234\">server</Error><Message code=\"5\">m</Message></Response></ELM>");
  unsigned char hasErrors = 0;
  CATRawCollint codes{42};
  CATListValCATUnicodeString texts;
  EXPECT_EQ(doc.GetErrorsNLS(hasErrors, codes, texts), E_FAIL);
  EXPECT_EQ(codes.Size(), 2);
  ASSERT_EQ(texts.Size(), 1);
  EXPECT_EQ(texts[1], "server");

  CATRawCollint messageCodes{1};
  CATListValCATUnicodeString messageTexts{"earlier"};
  EXPECT_EQ(doc.GetMessagesNLS(messageCodes, messageTexts), S_OK);
  ASSERT_EQ(messageTexts.Size(), 2);
  EXPECT_EQ(messageTexts[1], "earlier");
  EXPECT_EQ(messageTexts[2], "m");
}

TEST_F(ResponseMessages, AnswerWithoutResponseFailsForErrorsButNotForMessages) {
  givenAnswer("<ELM><Other/></ELM>");
  EXPECT_EQ(errors(doc).rc, E_FAIL);
  Collected nls = errorsNLS(doc);
  EXPECT_EQ(nls.rc, E_FAIL);
  EXPECT_EQ(nls.hasErrors, 0);
  Collected m = messages(doc, true);
  EXPECT_EQ(m.rc, S_OK);
  EXPECT_EQ(m.codes.Size(), 0);
}

TEST_F(ResponseMessages, WithoutADocumentAllFourFail) {
  ELMRequestXml broken;
  EXPECT_EQ(broken.ReadXmlString("<html><body>502 Bad Gateway"), E_FAIL);
  ELMRequestXml empty;
  for (const ELMRequestXml* d : {&broken, &empty}) {
    EXPECT_EQ(errors(*d).rc, E_FAIL);
    EXPECT_EQ(errorsNLS(*d).rc, E_FAIL);
    EXPECT_EQ(messages(*d, false).rc, E_FAIL);
    EXPECT_EQ(messages(*d, true).rc, E_FAIL);
  }
}

TEST(ResponseMessagesTrace, MissingResponseIsNotedAndTheScopesMarkedFailed) {
  auto r = elmtest::RunInChild({{"ELM_DEBUG", "ON"}}, [] {
    ELMRequestXml doc;
    doc.ReadXmlString("<ELM/>");
    unsigned char hasErrors = 0;
    CATRawCollint codes;
    CATListValCATUnicodeString texts;
    doc.GetErrorsNLS(hasErrors, codes, texts);
    return 0;
  });
  // The note, then the failure line of the inner scope, which ends failed;
  // the outer scope then fails in turn.
  for (const char* piece : {"): Response missing\nELMDBX Function: ELMRequestXml::GetErrors (",
                            ") end  \nELMDBX Function: ELMRequestXml::GetErrorsNLS (",
                            ") end  \n ELM: ELMRequestXml::~ELMRequestXml("})
    EXPECT_NE(r.out.find(piece), std::string::npos) << piece << " in\n" << r.out;
}
