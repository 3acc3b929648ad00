// Values from clients on their way into answers, logs and listings: what is
// kept, what is replaced or escaped, byte by byte.
#include "SafeText.h"

#include <gtest/gtest.h>

#include <string>

using elmserver::IsPrintableUtf8;
using elmserver::IsXmlSafe;
using elmserver::Printable;
using elmserver::XmlSafe;

namespace {

const std::string kFffd = "\xEF\xBF\xBD";

TEST(SafeText, EachMalformedOrForbiddenSequenceIsCaughtWhereverItStands) {
  struct Case {
    const char* what;
    std::string text;
    std::string xml;        ///< XmlSafe
    std::string printable;  ///< Printable
  };
  const Case cases[] = {
      {"plain text with XML specials", "a<b>&\"c'", "a<b>&\"c'", "a<b>&\"c'"},
      {"two-, three- and four-byte characters", "\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80", "\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80",
       "\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80"},
      {"tab, line feed, carriage return", "a\tb\nc\rd", "a\tb\nc\rd", "a\\tb\\nc\\rd"},
      {"backslash", "C:\\x", "C:\\x", "C:\\\\x"},
      {"NUL inside", std::string("a\0b", 3), "a" + kFffd + "b", "a\\x00b"},
      {"escape and DEL", "\x1B[2J\x7F", kFffd + "[2J\x7F", "\\x1B[2J\\x7F"},
      {"C1 control (CSI)", "\xC2\x9B" "1m", "\xC2\x9B" "1m", "\\xC2\\x9B1m"},
      {"overlong slash", "\xC0\xAF", kFffd + kFffd, "\\xC0\\xAF"},
      {"encoded surrogate", "\xED\xA0\x80", kFffd + kFffd + kFffd, "\\xED\\xA0\\x80"},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", kFffd + kFffd + kFffd + kFffd, "\\xF4\\x90\\x80\\x80"},
      {"sequence cut at the end", "ab\xE2\x82", "ab" + kFffd + kFffd, "ab\\xE2\\x82"},
      {"lead byte before ASCII", "\xC3(", kFffd + "(", "\\xC3("},
      {"non-characters U+FFFE, U+FFFF", "\xEF\xBF\xBE\xEF\xBF\xBF", kFffd + kFffd, "\xEF\xBF\xBE\xEF\xBF\xBF"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(XmlSafe(c.text), c.xml) << c.what;
    EXPECT_EQ(IsXmlSafe(c.text), c.xml == c.text) << c.what;
    EXPECT_EQ(Printable(c.text), c.printable) << c.what;
  }
}

TEST(SafeText, PrintableUtf8AdmitsTextOnly) {
  EXPECT_TRUE(IsPrintableUtf8(""));
  EXPECT_TRUE(IsPrintableUtf8("ELM-"));
  EXPECT_TRUE(IsPrintableUtf8("Bügel \xE2\x82\xAC"));
  for (const std::string bad : {"a\tb", "a\nb", "\x7F", "\xC2\x85", "\xFF", "\xEF\xBF\xBF"})
    EXPECT_FALSE(IsPrintableUtf8(bad)) << Printable(bad);
}

}  // namespace
