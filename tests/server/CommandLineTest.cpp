// The command line as a user types it, and the executable's life cycle.
#include "ServerTestSupport.h"

#include "CommandLine.h"

#include <gtest/gtest.h>

#include <csignal>
#include <tuple>

using namespace servertest;
using elmserver::CommandLine;
using elmserver::Mode;
using elmserver::ParseCommandLine;

namespace {

std::string ParseError(const std::vector<std::string>& args) {
  CommandLine cmd;
  std::string error;
  EXPECT_FALSE(ParseCommandLine(args, cmd, error)) << "accepted";
  return error;
}

/// The command line parsed from args, which must be accepted.
CommandLine Parsed(const std::vector<std::string>& args) {
  CommandLine cmd;
  std::string error;
  EXPECT_TRUE(ParseCommandLine(args, cmd, error)) << error;
  return cmd;
}

/// A run's exit status, standard output and standard error, to compare at once.
auto Outcome(const RunResult& r) { return std::tie(r.exitCode, r.out, r.err); }

/// Where and how a parsed command line serves: host, port, base path.
auto Listening(const CommandLine& cmd) { return std::tie(cmd.server.host, cmd.server.port, cmd.server.basePath); }

TEST(CommandLineParsing, ServeOptionsAreReadAndNormalised) {
  CommandLine cmd = Parsed({"--db", "x.db", "--listen", "0.0.0.0:0", "--allow-remote", "--base-path", "plm//api",
                            "--max-body", "2048", "--threads", "3", "--quiet"});
  EXPECT_EQ(cmd.mode, Mode::Serve);
  EXPECT_EQ(Listening(cmd), std::make_tuple("0.0.0.0", 0, "/plm/api/"));
  EXPECT_EQ(std::tie(cmd.db, cmd.server.maxBodyBytes, cmd.server.threads, cmd.server.allowRemote, cmd.quiet),
            std::make_tuple("x.db", 2048u, 3, true, true));

  // Parsing again into the same command line starts from the defaults.
  std::string error;
  ASSERT_TRUE(ParseCommandLine({}, cmd, error));
  EXPECT_EQ(Listening(cmd), std::make_tuple("127.0.0.1", 8080, "/"));
  EXPECT_TRUE(cmd.db.empty());

  ASSERT_TRUE(ParseCommandLine({"serve", "--listen", "[::1]:9000", "--base-path", "/"}, cmd, error));
  EXPECT_EQ(Listening(cmd), std::make_tuple("::1", 9000, "/"));
}

TEST(CommandLineParsing, AdminCommandsTakeTheirOperands) {
  CommandLine seed = Parsed({"seed", "--db", "x.db", "a.xml", "b.xml"});
  EXPECT_EQ(seed.mode, Mode::Seed);
  EXPECT_EQ(seed.operands, (std::vector<std::string>{"a.xml", "b.xml"}));
  EXPECT_EQ(Parsed({"set", "UseBookmark", "true"}).mode, Mode::Set);
  EXPECT_EQ(Parsed({"list", "numbers"}).mode, Mode::List);
  EXPECT_EQ(Parsed({"list", "--version"}).mode, Mode::Version);
}

TEST(CommandLineParsing, BadArgumentsSayWhatIsWrong) {
  EXPECT_EQ(ParseError({"--listen", "8080"}), "--listen needs HOST:PORT, for example 127.0.0.1:8080; got \"8080\"");
  EXPECT_EQ(ParseError({"--listen", "127.0.0.1:65536"}),
            "--listen: the port of \"127.0.0.1:65536\" must be a number from 0 to 65535");
  EXPECT_EQ(ParseError({"--listen", "127.0.0.1:-1"}),
            "--listen: the port of \"127.0.0.1:-1\" must be a number from 0 to 65535");
  EXPECT_EQ(ParseError({"--listen"}), "--listen needs a value");
  EXPECT_EQ(ParseError({"--max-body", "12k"}), "--max-body must be a byte count from 1024 to 4294967296, not \"12k\"");
  EXPECT_EQ(ParseError({"--verbose"}), "unknown option --verbose");
  EXPECT_EQ(ParseError({"start"}), "unknown command \"start\"; commands are serve, seed, list and set");
  EXPECT_EQ(ParseError({"list", "users"}), "list needs one of numbers, transfers, processes, structures, settings");
  EXPECT_EQ(ParseError({"seed", "--listen", "127.0.0.1:1", "a.xml"}), "--listen applies only when serving");
  // Addresses beyond loopback and unknown settings: their texts are the torture run's, from the executable.
  EXPECT_EQ(ParseError({"--listen", "plm.example.com:80"}).substr(0, 45),
            "--listen plm.example.com:80 is not a loopback");
  EXPECT_EQ(ParseError({"set", "--allow-remote", "UseBookmark", "true"}), "--allow-remote applies only when serving");
  // Every spelling of loopback is accepted.
  for (const char* loopback : {"127.0.0.1:0", "127.8.9.10:0", "localhost:0", "[::1]:0", "[::ffff:127.0.0.1]:0"})
    EXPECT_EQ(Parsed({"--listen", loopback}).server.port, 0) << loopback;
}

TEST(ServerExecutable, HelpVersionAndUsageErrors) {
  RunResult help = RunServerExecutable({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("elm-server seed [--db FILE] SEEDFILE..."), std::string::npos) << help.out;
  EXPECT_EQ(Outcome(RunServerExecutable({"--version"})), std::make_tuple(0, "elm-server 1.0.0\n", ""));
  EXPECT_EQ(Outcome(RunServerExecutable({"--listen", "nowhere"})),
            std::make_tuple(2, "",
                            "elm-server: --listen needs HOST:PORT, for example 127.0.0.1:8080; got \"nowhere\"\n"
                            "Try 'elm-server --help'.\n"));
}

TEST(ServerExecutable, UnopenableDatabaseOrPortInUseEndsTheServerWithItsReason) {
  InProcessServer busy;
  elmtest::ScratchDir dir;
  const std::string missing = dir.File("missing/dir/pdm.db"), taken = "127.0.0.1:" + std::to_string(busy.Port());
  for (auto [args, reason] : {std::pair{std::vector<std::string>{"--db", missing, "--listen", "127.0.0.1:0"},
                                        "cannot create database " + missing + ": No such file or directory"},
                              std::pair{std::vector<std::string>{"--db", dir.File("pdm.db"), "--listen", taken},
                                        "cannot listen on " + taken + ": Address already in use"}}) {
    RunResult r = RunServerExecutable(args);
    EXPECT_EQ(r.exitCode, 1) << reason;
    EXPECT_NE(r.err.find(reason), std::string::npos) << r.err;
  }
}

TEST(ServerExecutable, WithoutDbItCreatesTheDatabaseInTheUsersDataDirectory) {
  elmtest::ScratchDir dir;
  setenv("XDG_DATA_HOME", dir.Path().c_str(), 1);
  RunResult r = RunServerExecutable({"set", "UseBookmark", "true"});
  unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(elmserver::PdmStore(dir.File("elm-server/elm-server.db")).Setting("UseBookmark"), "true");
}

TEST(ServerExecutable, LogsEachRequestAndStopsCleanlyOnSigterm) {
  elmtest::ScratchDir dir;
  ServerProcess server({"--db", dir.File("pdm.db"), "--listen", "127.0.0.1:0", "--base-path", "elm"},
                       dir.File("server.log"));
  std::string url = server.WaitForUrl();
  ASSERT_EQ(url.rfind("http://127.0.0.1:", 0), 0u) << url;
  ASSERT_EQ(url.substr(url.size() - 5), "/elm/");
  setenv("ELM_SERVER_URL", url.c_str(), 1);
  EXPECT_EQ(HtmlRequest::CheckServerConnection(), S_OK);
  std::string id;
  ELMRequestXml response = Answer("GetPartnumber", {}, &id);
  EXPECT_EQ(server.Signal(SIGTERM), 0);

  std::vector<std::string> lines = elmtest::Lines(elmtest::ReadFile(dir.File("server.log")));
  ASSERT_EQ(lines.size(), 3u);
  // time, request name, id, outcome, duration
  EXPECT_EQ(lines[0].size() > 25 ? lines[0].substr(23, 2) : "", "Z ") << lines[0];
  EXPECT_NE(lines[0].find(" Test id="), std::string::npos) << lines[0];
  EXPECT_NE(lines[0].find(" ok "), std::string::npos) << lines[0];
  EXPECT_NE(lines[1].find(" GetPartnumber id=" + id + " error 1004 "), std::string::npos) << lines[1];
  EXPECT_EQ(lines[1].substr(lines[1].size() - 3), " ms");
  EXPECT_EQ(lines[2], "elm-server: SIGTERM received, stopping");
}

TEST(ServerExecutable, SeedListAndSetAdministerTheStore) {
  elmtest::ScratchDir dir;
  const std::string db = dir.File("pdm.db");
  RunResult seed = RunServerExecutable({"seed", "--db", db, std::string(ELM_SERVER_EXAMPLES_DIR) + "/demo-seed.xml"});
  ASSERT_EQ(seed.exitCode, 0) << seed.err;
  EXPECT_NE(seed.out.find("named structures"), std::string::npos);

  RunResult set = RunServerExecutable({"set", "--db", db, "PartNumberPrefix", "TC-"});
  EXPECT_EQ(set.exitCode, 0) << set.err;
  EXPECT_EQ(Outcome(RunServerExecutable({"set", "--db", db, "PartNumberDigits", "many"})),
            std::make_tuple(1, "", "elm-server: PartNumberDigits must be a number from 1 to 18, not \"many\"\n"));

  {
    elmserver::PdmStore store(db);
    store.IssuePartNumber("PRD-1", "9_0");
    EXPECT_FALSE(store.Structures().empty());
  }
  RunResult numbers = RunServerExecutable({"list", "--db", db, "numbers"});
  EXPECT_EQ(numbers.exitCode, 0);
  EXPECT_NE(numbers.out.find("1\tTC-000001\tPRD-1\t9_0\t"), std::string::npos) << numbers.out;
  RunResult settings = RunServerExecutable({"list", "--db", db, "settings"});
  EXPECT_NE(settings.out.find("PartNumberPrefix = TC-\n"), std::string::npos) << settings.out;

  elmtest::ScratchDir other;
  other.Write("broken.xml", "<ElmServerSeed><Setting name=\"UseBookmark\"/></ElmServerSeed>");
  EXPECT_EQ(Outcome(RunServerExecutable({"seed", "--db", db, other.File("broken.xml")})),
            std::make_tuple(1, "",
                            "elm-server: " + other.File("broken.xml") +
                                ": <Setting> at byte 15 needs the attribute \"value\"; nothing of it was loaded\n"));
}

}  // namespace
