#include "ElmFixture.h"

#include <gmock/gmock.h>

#include <filesystem>

using testing::HasSubstr;
using testing::IsEmpty;

using ElmTool = elmtest::ElmFixture;

// Every answer of elm to how it was called: the status, and what it prints on which stream.
TEST_F(ElmTool, EachUseGetsItsStatusAndTellsWhatIsWrong) {
  using testing::_;
  using testing::AllOf;
  using testing::Matcher;
  const std::string missing = (m_dir / "missing.json").string();
  const std::string answers = WriteFile("answers.json", "[\"OK\", \"Maybe\"]");
  const std::string pn = "SetPartNumberFromExtPdmCmd", plugin = "/nonexistent/libELMCommands.so";
  const std::string unknownClass = "unknown command class \"NoSuchCmd\"";
  const std::string badAnswer = answers + ": at /1: expected \"OK\", \"Cancel\", \"Close\" or a number";
  const std::string badText = "{\n  \"objects\": [],\n  oops\n}", badSession = WriteFile("bad.json", badText);
  const std::string badSessionError =
      "elm: " + badSession + ": not a JSON session file: parse error at line 3, column 3";
  struct Case {
    std::vector<std::string> args;
    std::map<std::string, std::string> env;
    int exitCode;
    Matcher<const std::string&> out, err;
  } cases[] = {
      {{"--help"}, {}, 0, HasSubstr("elm run CLASS --session FILE"), _},
      {{"--version"}, {}, 0, testing::StartsWith("elm 1."), _},
      {{"commands"}, {}, 0, HasSubstr(pn + "\n"), _},
      {{"frobnicate"}, {}, 2, _, HasSubstr("elm: unknown command \"frobnicate\"")},
      {{"run", pn}, {}, 2, _, HasSubstr("run needs --session FILE")},
      // The plug-in is named with where it was looked for.
      {{"run", pn, "--session", m_session}, {{"ELM_PLUGIN", plugin}}, 5, IsEmpty(), HasSubstr(plugin)},
      // An unknown class is told with the registered ones.
      {{"run", "NoSuchCmd", "--session", m_session}, {}, 4, _, AllOf(HasSubstr(unknownClass), HasSubstr(pn))},
      {{"run", pn, "--session", missing}, {}, 3, _, HasSubstr(missing + ": cannot be read")},
      // A bad answers file is refused before anything runs.
      {{"run", pn, "--session", m_session, "--answers", answers}, {}, 3, _, HasSubstr(badAnswer)},
      // Why a session file is refused is the session reader's test; here elm's part: the file and the reason, the
      // status, and nothing run or written.
      {{"run", pn, "--session", badSession, "--events", EventsFile()},
       {{"ELM_SERVER_URL", "http://127.0.0.1:9/"}},
       3,
       IsEmpty(),
       HasSubstr(badSessionError)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    auto r = Elm(c.args, c.env);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
    EXPECT_THAT(r.out, c.out);
    EXPECT_THAT(r.err, c.err);
  }
  EXPECT_FALSE(std::filesystem::exists(EventsFile()));
  EXPECT_EQ(ReadFile(badSession), badText);
}
