#include "ElmFixture.h"

#include <gmock/gmock.h>

#include <filesystem>

using testing::HasSubstr;
using testing::IsEmpty;

namespace {

class ElmTool : public elmtest::ElmFixture {};

}  // namespace

TEST_F(ElmTool, HelpAndVersionSucceedAndUnknownUseIsAUsageError) {
  auto help = Elm({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_THAT(help.out, HasSubstr("elm run CLASS --session FILE"));
  auto version = Elm({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_THAT(version.out, testing::StartsWith("elm 1."));

  auto unknown = Elm({"frobnicate"});
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_THAT(unknown.err, HasSubstr("elm: unknown command \"frobnicate\""));
  auto noSession = Elm({"run", "SetPartNumberFromExtPdmCmd"});
  EXPECT_EQ(noSession.exitCode, 2);
  EXPECT_THAT(noSession.err, HasSubstr("run needs --session FILE"));
}

TEST_F(ElmTool, CommandsListsTheClassesThePluginRegisters) {
  auto r = Elm({"commands"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_THAT(r.out, HasSubstr("SetPartNumberFromExtPdmCmd\n"));
}

TEST_F(ElmTool, MissingPluginIsReportedWithWhereItWasLookedFor) {
  auto r = Elm({"run", "SetPartNumberFromExtPdmCmd", "--session", m_session}, {{"ELM_PLUGIN", "/nonexistent/libELMCommands.so"}});
  EXPECT_EQ(r.exitCode, 5);
  EXPECT_THAT(r.err, HasSubstr("/nonexistent/libELMCommands.so"));
  EXPECT_THAT(r.out, IsEmpty());
}

TEST_F(ElmTool, UnknownClassNamesTheRegisteredOnes) {
  auto r = Elm({"run", "NoSuchCmd", "--session", m_session});
  EXPECT_EQ(r.exitCode, 4);
  EXPECT_THAT(r.err, HasSubstr("unknown command class \"NoSuchCmd\""));
  EXPECT_THAT(r.err, HasSubstr("SetPartNumberFromExtPdmCmd"));
}

struct BadSession {
  const char* what;
  const char* text;
  const char* expected;  ///< what elm must say after the file name
};

void PrintTo(const BadSession& c, std::ostream* os) { *os << c.what; }

// Each reason is the session reader's own test; here elm's part: the file, the place, and nothing runs.
class ElmBadSession : public elmtest::ElmFixture, public testing::WithParamInterface<BadSession> {};

TEST_P(ElmBadSession, ExitsWithFilePlaceAndReasonAndWritesNothing) {
  const BadSession& c = GetParam();
  std::string session = WriteFile("bad.json", c.text);
  std::string events = (m_dir / "events.jsonl").string();
  auto r = Elm({"run", "SetPartNumberFromExtPdmCmd", "--session", session, "--events", events},
               {{"ELM_SERVER_URL", "http://127.0.0.1:9/"}});
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_THAT(r.err, HasSubstr("elm: " + session + ": " + c.expected));
  EXPECT_THAT(r.out, IsEmpty());
  EXPECT_FALSE(std::filesystem::exists(events));
  EXPECT_EQ(ReadFile(session), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ElmBadSession,
    testing::Values(
        BadSession{"NotJson", "{ \"objects\": [ }", "not a JSON session file: parse error at line 1, column 16: syntax error while parsing value"},
        BadSession{"NotJsonPlace", "{\n  \"objects\": [],\n  oops\n}", "not a JSON session file: parse error at line 3, column 3"},
        BadSession{"MissingObjects", "{ \"workbench\": \"CATImmNav\" }",
                   "at the top level: the required field \"objects\" is missing"},
        BadSession{"MissingType", "{ \"objects\": [ { \"id\": \"a\" } ] }",
                   "at /objects/0: the required field \"type\" is missing"},
        BadSession{"WrongKind", "{ \"objects\": [ { \"id\": \"a\", \"type\": \"VPMReference\", \"saved\": \"no\" } ] }",
                   "at /objects/0/saved: expected true or false, found a text"},
        BadSession{"UnknownType", "{ \"objects\": [ { \"id\": \"a\", \"type\": \"Gizmo\" } ] }",
                   "at /objects/0/type: unknown type \"Gizmo\""},
        BadSession{"UnknownTreeObject",
                   "{ \"objects\": [ { \"id\": \"a\", \"type\": \"VPMReference\" } ],"
                   "  \"tree\": { \"id\": \"n\", \"reference\": \"a\", \"children\": [ { \"id\": \"m\", \"reference\": \"b\" } ] } }",
                   "at /tree/children/0/reference: unknown object \"b\""},
        BadSession{"UnknownSelected",
                   "{ \"objects\": [ { \"id\": \"a\", \"type\": \"VPMReference\" } ],"
                   "  \"tree\": { \"id\": \"n\", \"reference\": \"a\" }, \"selection\": [ \"nope\" ] }",
                   "at /selection/0: unknown object or tree node \"nope\""},
        BadSession{"DuplicateId",
                   "{ \"objects\": [ { \"id\": \"a\", \"type\": \"VPMReference\" }, { \"id\": \"a\", \"type\": \"VPMReference\" } ] }",
                   "at /objects/1/id: the id \"a\" is used twice"},
        BadSession{"UnknownField", "{ \"objects\": [], \"selected\": [] }", "at /selected: unknown field"},
        BadSession{"DateThatDoesNotParse",
                   "{ \"objects\": [ { \"id\": \"a\", \"type\": \"VPMReference\", \"attributes\": "
                   "{ \"Made\": { \"type\": \"Date\", \"value\": \"yesterday\" } } } ] }",
                   "at /objects/0/attributes/Made/value: \"yesterday\" is not a date"}),
    [](const testing::TestParamInfo<BadSession>& info) { return std::string(info.param.what); });

TEST_F(ElmTool, UnreadableSessionFileIsNamed) {
  std::string missing = (m_dir / "missing.json").string();
  auto r = Elm({"run", "SetPartNumberFromExtPdmCmd", "--session", missing});
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_THAT(r.err, HasSubstr(missing + ": cannot be read"));
}

TEST_F(ElmTool, BadAnswersFileIsRefusedBeforeAnythingRuns) {
  std::string answers = WriteFile("answers.json", "[\"OK\", \"Maybe\"]");
  auto r = Elm({"run", "SetPartNumberFromExtPdmCmd", "--session", m_session, "--answers", answers});
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_THAT(r.err, HasSubstr(answers + ": at /1: expected \"OK\", \"Cancel\", \"Close\" or a number"));
}
