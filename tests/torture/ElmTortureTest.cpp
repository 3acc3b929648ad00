// elm used carelessly or against a hostile server: the session file is never
// lost, no input grows without bound, and no server holds a command longer
// than its time-outs promise. Every case runs the real elm (and, where a
// server is needed, the real elm-server) on loopback.

#include "ElementDenseAnswer.h"
#include "TortureSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <regex>

namespace {

namespace fs = std::filesystem;

/// This process's resident set, in KB, as the kernel counts it.
long OwnResidentKb() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return 0;
}

/// A fake server's behaviour: answers every request with these bytes.
elmtest::RawServer::Behaviour Replying(const std::string& bytes) {
  return [bytes](const elmtest::RawServer::Connection& c, const std::string&) { c.Send(bytes); };
}

/// A 200 answer carrying body as XML; its Content-Length says announced
/// bytes when given, else the body's own size.
std::string Ok(const std::string& body, std::size_t announced = 0) {
  return "HTTP/1.1 200 OK\r\nContent-Type: application/xml\r\nContent-Length: " +
         std::to_string(announced ? announced : body.size()) + "\r\n\r\n" + body;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kUnderAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kUnderAddressSanitizer = true;
#else
constexpr bool kUnderAddressSanitizer = false;
#endif
#else
constexpr bool kUnderAddressSanitizer = false;
#endif

class ElmTorture : public testing::Test {
protected:
  void SetUp() override {
    m_session = m_dir.File("session.json");
    fs::copy_file(std::string(ELM_TEST_DATA_DIR) + "/sessions/partnumber.json", m_session);
  }
  std::map<std::string, std::string> Env(std::map<std::string, std::string> extra = {}) const {
    std::map<std::string, std::string> env = {{"ELM_PLUGIN", ELM_PLUGIN_PATH},
                                              {"ELMHOST_CATALOG_PATH", m_dir.Path()},
                                              {"ELMHOST_SETTINGS_PATH", m_dir.Path()},
                                              {"ELM_MODULE", "OAK"},
                                              {"ELM_SERVER_URL", ""},
                                              {"ELM_SERVERURL", ""},
                                              {"ELM_DEBUG", ""},
                                              {"ELM_SESSION_WAIT", ""}};
    for (auto& [k, v] : extra) env[k] = v;
    return env;
  }
  elmtest::ProcessResult Elm(std::vector<std::string> args, std::map<std::string, std::string> env = {},
                             std::function<void()> beforeExec = {}) const {
    return elmtest::RunProcess(ELM_EXE, args,
                               {.env = Env(std::move(env)), .timeoutSeconds = 60, .beforeExec = std::move(beforeExec)});
  }
  elmtest::ProcessResult PartNumber(const std::string& url, std::vector<std::string> extra = {},
                                    std::map<std::string, std::string> env = {},
                                    std::function<void()> beforeExec = {}) const {
    std::vector<std::string> args{"run", "SetPartNumberFromExtPdmCmd", "--session", m_session};
    args.insert(args.end(), extra.begin(), extra.end());
    env["ELM_SERVER_URL"] = url;
    return Elm(args, env, std::move(beforeExec));
  }
  std::string ExternalId() const {
    auto doc = nlohmann::json::parse(elmtest::ReadFile(m_session));
    for (const auto& o : doc["objects"])
      if (o["id"] == "part") return o["attributes"]["PLM_ExternalID"];
    return "";
  }

  elmtest::ScratchDir m_dir;
  std::string m_session;
};

TEST_F(ElmTorture, AnOutputNamingTheSessionUnderAnyPathIsRefusedBeforeAnythingRuns) {
  const std::string before = elmtest::ReadFile(m_session);
  fs::create_symlink(m_session, m_dir.File("link.json"));
  fs::create_hard_link(m_session, m_dir.File("hard.json"));
  fs::create_directory(m_dir.File("sub"));
  for (const std::string& events :
       {m_session, m_dir.File("link.json"), m_dir.File("hard.json"), m_dir.File("sub/../session.json")}) {
    auto r = Elm({"run", "SetPartNumberFromExtPdmCmd", "--session", m_dir.File("link.json"), "--events", events});
    EXPECT_EQ(r.exitCode, 2) << events;
    EXPECT_NE(r.err.find("is the session file"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(elmtest::ReadFile(m_session), before);
  EXPECT_TRUE(fs::is_symlink(m_dir.File("link.json")));
}

TEST_F(ElmTorture, OverlappingRunsOnOneSessionNeverLoseANumber) {
  torture::ServerUnderTest server;
  ASSERT_GT(server.Port(), 0);
  // Four runs at once, through different paths to the same file.
  fs::create_symlink(m_session, m_dir.File("link.json"));
  std::vector<std::future<elmtest::ProcessResult>> runs;
  for (int i = 0; i < 4; ++i)
    runs.push_back(std::async(std::launch::async, [&, i] {
      return Elm({"run", "SetPartNumberFromExtPdmCmd", "--session", i % 2 ? m_dir.File("link.json") : m_session},
                 {{"ELM_SERVER_URL", server.Url()}, {"ELM_SESSION_WAIT", "30"}});
    }));
  for (auto& run : runs) {
    auto r = run.get();
    EXPECT_EQ(r.exitCode, 0) << r.err;
  }
  // Each run asked with the number the previous one saved: a chain of four.
  auto listed = server.Admin({"list", "numbers"});
  ASSERT_EQ(listed.exitCode, 0) << listed.err;
  std::vector<std::pair<std::string, std::string>> issued;  // (asked with, issued)
  std::regex line(R"((\S+)\t(\S+)\t(\S+)\t.*)");
  for (const std::string& l : elmtest::Lines(listed.out)) {
    std::smatch m;
    if (std::regex_match(l, m, line)) issued.emplace_back(m[3], m[2]);
  }
  ASSERT_EQ(issued.size(), 4u) << listed.out;
  std::string expectedAsked = "prd-part";
  for (const auto& [asked, number] : issued) {
    EXPECT_EQ(asked, expectedAsked) << listed.out;
    expectedAsked = number;
  }
  EXPECT_EQ(ExternalId(), expectedAsked);
  EXPECT_TRUE(fs::is_symlink(m_dir.File("link.json")));
}

TEST_F(ElmTorture, ARunThatCannotWaitLongerRefusesAndNamesTheHolder) {
  // Another run holds the session: its lock file says who it is.
  int fd = open((m_session + ".lock").c_str(), O_RDWR | O_CREAT, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(flock(fd, LOCK_EX), 0);
  std::string holder = "elm (process 4711, run ELMAboutCmd) since 2026-12-06T10:00:00Z\n";
  ASSERT_EQ(write(fd, holder.data(), holder.size()), static_cast<ssize_t>(holder.size()));
  const std::string before = elmtest::ReadFile(m_session);
  auto r = PartNumber("http://127.0.0.1:1/", {}, {{"ELM_SESSION_WAIT", "0"}});
  EXPECT_EQ(r.exitCode, 9);
  EXPECT_EQ(r.err, "elm: " + m_session +
                       ": in use by elm (process 4711, run ELMAboutCmd) since "
                       "2026-12-06T10:00:00Z; waited 0 s (ELM_SESSION_WAIT)\n");
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(elmtest::ReadFile(m_session), before);
  close(fd);
  // Once it has let go, the next run goes ahead.
  r = PartNumber("http://127.0.0.1:1/", {}, {{"ELM_SESSION_WAIT", "0"}});
  EXPECT_EQ(r.exitCode, 0) << r.err;
}

TEST_F(ElmTorture, SavingKeepsWhatTheUserSetOnTheFileAndAFullDiskLosesNothing) {
  torture::ServerUnderTest server;
  ASSERT_GT(server.Port(), 0);
  // Its own mode stays, also one that is not the default.
  ASSERT_EQ(chmod(m_session.c_str(), 0600), 0);
  auto r = PartNumber(server.Url());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("[save] part: saved"), std::string::npos) << r.out;
  EXPECT_EQ(fs::status(m_session).permissions(), fs::perms(0600));
  const std::string numbered = elmtest::ReadFile(m_session);

  // A file the user made read-only is not replaced.
  ASSERT_EQ(chmod(m_session.c_str(), 0444), 0);
  r = PartNumber(server.Url());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("[save] part: failed: "), std::string::npos) << r.out;
  EXPECT_EQ(elmtest::ReadFile(m_session), numbered);
  EXPECT_EQ(fs::status(m_session).permissions(), fs::perms(0444));
  ASSERT_EQ(chmod(m_session.c_str(), 0644), 0);

  // No room to write the new session: the save fails, the old one stays.
  r = PartNumber(server.Url(), {}, {}, [] {
    rlimit limit{512, 512};
    setrlimit(RLIMIT_FSIZE, &limit);
    signal(SIGXFSZ, SIG_IGN);
  });
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("[save] part: failed: "), std::string::npos) << r.out;
  EXPECT_EQ(elmtest::ReadFile(m_session), numbered);
  for (const auto& entry : fs::directory_iterator(m_dir.Path())) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(name.rfind("session.json.", 0) != 0 || name == "session.json.lock")
        << "a temporary file stayed behind: " << entry.path();
  }
}

TEST_F(ElmTorture, InputFilesTooDeepOrTooLargeAreRefusedWithTheirStatus) {
  struct Case {
    const char* what;
    std::string option;
    std::string content;
    const char* error;
  } cases[] = {
      {"deep script", "--script", std::string(200000, '['), "nested deeper than 8 levels"},
      {"deep answers", "--answers", std::string(200000, '['), "nested deeper than 8 levels"},
      {"large script", "--script", "[" + std::string(2u << 20, ' ') + "]", "larger than 1048576 bytes"},
      {"answer beyond a 32-bit number", "--answers", "[1099511627776]", "a box answer out of range"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto r = Elm({"run", "ELMAboutCmd", "--session", m_session, c.option, m_dir.Write("input.json", c.content)});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_NE(r.err.find(c.error), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  }
  // A session nested past the reader's limit, and one larger than it reads.
  std::string deep = R"({"objects": [], "x": )" + std::string(300000, '[') + std::string(300000, ']') + "}";
  auto r = Elm({"run", "ELMAboutCmd", "--session", m_dir.Write("deep.json", deep)});
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_NE(r.err.find("deep.json"), std::string::npos) << r.err;
}

TEST_F(ElmTorture, HostileServersCannotHoldTheCommandOrForgeItsOutcome) {
  const char* failed = "ELMSetPartNumberFromExtPdmCmd MsgConnectFailed\nELMSetPartNumberFromExtPdmCmd MsgFailed\n";
  struct Case {
    const char* what;
    elmtest::RawServer::Behaviour behaviour;
    const char* boxes;  // the boxes' texts, one per line
  } cases[] = {
      {"an HTML error page", Replying(Ok("<html><b>Proxy error</b><br></html>")), failed},
      {"a body cut off", Replying(Ok("<ELM><Response><Attribute name=", 500)), failed},
      {"a document type with entities",
       Replying(Ok("<!DOCTYPE ELM [<!ENTITY x \"ELM-666\">]><ELM><Response>"
                   "<Attribute name=\"PartNumber\" value=\"&x;\"/></Response></ELM>")),
       "ELMSetPartNumberFromExtPdmCmd MsgFinishedOK\n"},
      {"a byte a second, forever",
       [](const elmtest::RawServer::Connection& c, const std::string&) {
         c.Send(std::string("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n"));
         for (int i = 0; i < 60 && c.Send("<"); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(500));
       },
       failed},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    elmtest::RawServer server(c.behaviour);
    auto started = std::chrono::steady_clock::now();
    auto r = PartNumber(
        server.Url("/"), {},
        {{"ELM_SERVER_CONNECT_TIMEOUT", "1"}, {"ELM_SERVER_SEND_TIMEOUT", "1"}, {"ELM_SERVER_RECEIVE_TIMEOUT", "1"}});
    auto took = std::chrono::steady_clock::now() - started;
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::string texts;
    for (const std::string& l : elmtest::Lines(r.out))
      if (l.rfind("  text:   ", 0) == 0) texts += l.substr(10) + "\n";
    EXPECT_EQ(texts, c.boxes) << r.out;
    // The time-outs add up to 3 s: nothing may hold the command much longer.
    EXPECT_LT(took, std::chrono::seconds(15));
  }
  // No entity was expanded: the number saved is the text as it came.
  EXPECT_NE(ExternalId(), "ELM-666");
}

// A large answer costs about four times its size at most: the received
// bytes become the parser's text without a copy and the document is built
// over it. The figure is elm's peak resident set beyond that of the same
// run with a small answer. The answer is element-dense as answers get:
// indented attributes, list attributes of four items, now and then a message.
TEST_F(ElmTorture, ALargeAnswerCostsAboutFourTimesItsSizeAtMost) {
  if (kUnderAddressSanitizer) GTEST_SKIP() << "memory is measured without the sanitizers' shadow memory";
  auto answerOf = [](std::size_t count) {
    std::string body =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ELM>\n<Response name=\"GetPartnumber\" id=\"1_0\">\n"
        "  <Attribute name=\"PartNumber\" value=\"ELM-777\"/>\n";
    for (std::size_t i = 0; i < count; ++i) elmtest::AppendElementDenseGroup(body, i);
    return body + "</Response>\n</ELM>\n";
  };
  long peakKb[2] = {0, 0};
  std::size_t bytes[2] = {0, 0};
  const std::size_t lists[2] = {10, 120000};  // about 4 KB and 40 MB
  for (int run = 0; run < 2; ++run) {
    const std::string body = answerOf(lists[run]);
    bytes[run] = body.size();
    elmtest::RawServer server(Replying(Ok(body)));
    auto r = PartNumber(server.Url("/"));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ExternalId(), "ELM-777") << r.out;
    // A child's peak counts the pages it shared with this process when it
    // was forked: it says something of elm only above this process's own.
    ASSERT_GT(r.maxResidentKb, OwnResidentKb()) << "the peak measured would be the test's own";
    peakKb[run] = r.maxResidentKb;
  }
  const double ratio = static_cast<double>(peakKb[1] - peakKb[0]) * 1024.0 / static_cast<double>(bytes[1]);
  RecordProperty("peak_over_answer", std::to_string(ratio));
  EXPECT_LE(ratio, 4.25) << "peak " << peakKb[1] << " KB with " << bytes[1] << " bytes of answer, " << peakKb[0]
                         << " KB with a small one";
}

#ifdef ELM_GEN_EXE
// A product nested deep costs memory and a saved file in proportion to its
// nodes: 10,000 levels once took 3.3 GB, and 20,000 aborted. Three depths,
// each twice the one before, give increments of memory that grow as the
// depth does (four times as fast would be quadratic); each run saves a new
// part number deep down, into a file no more than about twice the loaded one.
TEST_F(ElmTorture, ADeepProductCostsMemoryAndFileInProportionToItsNodes) {
  if (kUnderAddressSanitizer) GTEST_SKIP() << "memory is measured without the sanitizers' shadow memory";
  elmtest::RawServer server(
      Replying(Ok("<ELM><Response name=\"GetPartnumber\" id=\"1_0\"><Attribute name=\"PartNumber\" value=\"ELM-555\"/>"
                  "</Response></ELM>")));
  const int depths[3] = {5000, 10000, 20000};
  long peakKb[3] = {0, 0, 0};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(depths[i]);
    const std::string session = m_dir.File("deep" + std::to_string(depths[i]) + ".json");
    auto gen = elmtest::RunProcess(ELM_GEN_EXE, {"--shape", "deep", "--nodes", std::to_string(depths[i]), "--session",
                                                 session, "--seed", m_dir.File("seed.xml")});
    ASSERT_EQ(gen.exitCode, 0) << gen.err;
    // The deepest node is the selected one.
    std::string text = elmtest::ReadFile(session);
    const std::size_t close = text.rfind('}');
    ASSERT_NE(close, std::string::npos);
    text.insert(close, ",\n  \"selection\": [\"n" + std::to_string(depths[i] - 1) + "\"]\n");
    std::ofstream(session, std::ios::binary | std::ios::trunc) << text;
    const auto loaded = fs::file_size(session);

    auto r = Elm({"run", "SetPartNumberFromExtPdmCmd", "--session", session}, {{"ELM_SERVER_URL", server.Url("/")}});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("[save] "), std::string::npos) << r.out;
    EXPECT_NE(elmtest::ReadFile(session).find("\"ELM-555\""), std::string::npos);
    EXPECT_LE(fs::file_size(session), 2 * loaded);
    peakKb[i] = r.maxResidentKb;
  }
  const long first = peakKb[1] - peakKb[0], second = peakKb[2] - peakKb[1];
  EXPECT_GT(first, 0);
  RecordProperty("peaks_kb",
                 std::to_string(peakKb[0]) + " " + std::to_string(peakKb[1]) + " " + std::to_string(peakKb[2]));
  EXPECT_LE(second, 3 * first) << peakKb[0] << " / " << peakKb[1] << " / " << peakKb[2] << " KB";
}
#endif

}  // namespace
