// elm-server as hostile and careless clients meet it: bodies too large in
// every framing, clients that trickle, stall or never read, values made to
// forge output, a database it may not write, settings it does not know.
// Whatever happens, the numbers it issued stay contiguous and unique.
#include "TortureSupport.h"

#include "CATIDOMElement.h"
#include "CATIDOMNode.h"
#include "ELMRequestXml.h"
#include "HtmlRequest.h"
#include "PdmStore.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <tuple>

using namespace torture;

namespace {

constexpr std::size_t kLimit = 4096;
const std::string kEndpoint = "/ELMRequest";
const std::string kKnownSettings =
    "Show3DXSendConfigurationEnabled, UseBookmark, PartNumberPrefix, PartNumberDigits, NamesListForm";

/// A part-number request; padded with a trailing comment to exactly size
/// bytes when size is given. Run by the server, it issues a number.
std::string PartNumberRequest(const std::string& requestedBy, std::size_t size = 0) {
  std::string doc = R"(<?xml version="1.0" encoding="UTF-8"?><ELM><Request name="GetPartnumber" id="7_1">)"
                    R"(<Attribute name="PartNumber" value=")" +
                    requestedBy + R"("/></Request></ELM>)";
  if (size > doc.size() + 7) doc += "<!--" + std::string(size - doc.size() - 7, 'x') + "-->";
  return doc;
}

std::string Request(const std::string& name, const std::string& attributes, const std::string& id = "7_1") {
  return "<ELM><Request name=\"" + name + "\" id=\"" + id + "\">" + attributes + "</Request></ELM>";
}

std::string Attribute(const std::string& name, const std::string& value) {
  return "<Attribute name=\"" + name + "\" value=\"" + value + "\"/>";
}

std::string Expected(long long seq) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "ELM-%06lld", seq);
  return buf;
}

/// The store holds exactly the numbers that were answered: 1..N without a
/// hole, each once.
void ExpectIssuedExactly(const std::string& db, const std::vector<std::string>& answered) {
  std::set<std::string> distinct(answered.begin(), answered.end());
  EXPECT_EQ(distinct.size(), answered.size()) << "a number was answered twice";
  auto issued = elmserver::PdmStore(db).IssuedNumbers();
  ASSERT_EQ(issued.size(), answered.size());
  for (std::size_t i = 0; i < issued.size(); ++i) {
    EXPECT_EQ(issued[i].seq, static_cast<long long>(i + 1));
    EXPECT_EQ(issued[i].partNumber, Expected(issued[i].seq));
    EXPECT_TRUE(distinct.count(issued[i].partNumber)) << issued[i].partNumber << " was issued but never answered";
  }
}

/// One part number through the plug-in's own transport, as a user's
/// command asks for it; empty when none came.
std::string NumberThroughThePlugin(const std::string& requestedBy) {
  ELMRequestXml request("GetPartnumber");
  request.AddRequestAttribute("PartNumber", requestedBy.c_str());
  ELMRequestXml response;
  CATUnicodeString pn;
  if (FAILED(HtmlRequest::DoRequest(request, response)) || FAILED(response.GetResponseAttribute("PartNumber", pn)))
    return {};
  return pn.ConvertToChar();
}

/// The "value" of the one element an XPath expression selects; "<none>"
/// unless exactly one is selected, as the transfer command reads a switch.
std::string SwitchValue(const ELMRequestXml& response, const char* xpath) {
  CATIDOMNodeList_var nodes;
  if (FAILED(response.GetNodesForXPath(xpath, nodes)) || !nodes || nodes->GetLength() != 1) return "<none>";
  CATIDOMNode_var node;
  nodes->Item(0, node);
  CATIDOMElement_var element(node);
  CATUnicodeString value;
  if (!!element) element->GetAttribute("value", value);
  return value.ConvertToChar();
}

std::string AttributeValue(const std::string& answer, const std::string& name) {
  std::string key = "name=\"" + name + "\" value=\"";
  auto at = answer.find(key);
  if (at == std::string::npos) return {};
  at += key.size();
  return answer.substr(at, answer.find('"', at) - at);
}

/// elm-server run to its end, bounded so that a hang fails the test.
elmtest::ProcessResult RunBounded(const std::string& exe, const std::vector<std::string>& args,
                                  std::function<void()> beforeExec = {}) {
  return elmtest::RunProcess(exe, args, {.env = {}, .timeoutSeconds = 30, .beforeExec = beforeExec});
}

/// An elm-server command line refused before it does anything: the exit
/// status and how standard error begins; nothing goes to standard output.
struct Refusal {
  std::vector<std::string> args;
  int exitCode;
  std::string err;
};

void ExpectRefused(const Refusal& c) {
  elmtest::ProcessResult r = RunBounded(ELM_SERVER_EXECUTABLE, c.args);
  EXPECT_EQ(r.exitCode, c.exitCode) << c.args[3];
  EXPECT_EQ(r.err.substr(0, c.err.size()), c.err) << c.args[3];
  EXPECT_EQ(r.out, "") << c.args[3];
}

/// The plug-in's transport pointed at one server, with time-outs short
/// enough that a server that holds it fails the test instead of hanging it.
class PluginClient {
public:
  explicit PluginClient(const ServerUnderTest& server) {
    elmtest::IsolateTransport(m_env);
    m_env.Set("ELM_SERVER_URL", server.Url());
    m_env.Set("ELM_SERVER_CONNECT_TIMEOUT", "5");
    m_env.Set("ELM_SERVER_SEND_TIMEOUT", "5");
    m_env.Set("ELM_SERVER_RECEIVE_TIMEOUT", "10");
  }

private:
  elmtest::EnvChanges m_env;
};

TEST(ServerTortureBodies, OversizedBodiesAreRefusedInEveryFramingAndNoneReachesTheStore) {
  ServerUnderTest server({"--max-body", std::to_string(kLimit), "--quiet"});
  ASSERT_GT(server.Port(), 0) << server.Log();
  struct Case {
    const char* what;
    std::string bytes;
    int status;
    std::string error;  ///< code and text of the refusal
  };
  const std::string tooLarge =
      "<Error code=\"1008\">The request body is larger than this server accepts (4096 bytes).</Error>";
  const Case cases[] = {
      {"Content-Length one byte over", PostWithLength(kEndpoint, PartNumberRequest("len", kLimit + 1)), 413, tooLarge},
      {"Content-Length of 4 GB, client waiting for 100-continue",
       "POST /ELMRequest HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 4294967296\r\nExpect: 100-continue\r\n\r\n",
       413, tooLarge},
      {"chunked, 512-byte chunks", PostChunked(kEndpoint, PartNumberRequest("chunked", kLimit + 1), 512), 413,
       tooLarge},
      {"chunked, one-byte chunks", PostChunked(kEndpoint, PartNumberRequest("bytes", 2 * kLimit), 1), 413, tooLarge},
      {"chunked with a false Content-Length beside it",
       PostChunked(kEndpoint, PartNumberRequest("both", kLimit + 100), 1000, "Content-Length: 10\r\n"), 413, tooLarge},
      {"gzip-compressed (as labelled)",
       PostWithLength(kEndpoint, PartNumberRequest("gzip"), "Content-Encoding: gzip\r\n"), 415,
       "<Error code=\"1000\">The request body is encoded (Content-Encoding: gzip); this server reads only plain "
       "XML.</Error>"},
      {"deflate inside chunked",
       PostChunked(kEndpoint, PartNumberRequest("deflate"), 64, "Content-Encoding: deflate\r\n"), 415,
       "<Error code=\"1000\">The request body is encoded (Content-Encoding: deflate)"},
      {"unknown transfer coding", PostWithLength(kEndpoint, PartNumberRequest("coded"), "Transfer-Encoding: gzip\r\n"),
       501, "<Error code=\"1000\">The request's Transfer-Encoding \"gzip\" is not supported"},
      {"chunked, then a second coding in a field of its own",
       PostChunked(kEndpoint, PartNumberRequest("smuggled"), 64, "Transfer-Encoding: gzip\r\n"), 501,
       "<Error code=\"1000\">The request's Transfer-Encoding \"chunked, gzip\" is not supported"},
  };
  for (const auto& c : cases) {
    HttpReply reply = RawExchange(server.Port(), c.bytes);
    EXPECT_EQ(reply.status, c.status) << c.what << ": " << reply.head;
    EXPECT_NE(reply.body.find(c.error), std::string::npos) << c.what << ": " << reply.body;
    EXPECT_EQ(XmlError(reply.body), "") << c.what << ": " << reply.body;
  }
  EXPECT_TRUE(elmserver::PdmStore(server.Db()).IssuedNumbers().empty()) << "a refused body was run";

  // Up to the limit itself, every framing is served.
  std::vector<std::string> answered;
  for (const std::string& bytes : {PostWithLength(kEndpoint, PartNumberRequest("exact", kLimit)),
                                   PostChunked(kEndpoint, PartNumberRequest("exact-chunked", kLimit), 1000)}) {
    HttpReply reply = RawExchange(server.Port(), bytes);
    EXPECT_EQ(reply.status, 200) << reply.head << reply.body;
    answered.push_back(AttributeValue(reply.body, "PartNumber"));
  }
  EXPECT_EQ(answered, (std::vector<std::string>{Expected(1), Expected(2)}));
  EXPECT_EQ(server.Signal(SIGTERM), 0);
  ExpectIssuedExactly(server.Db(), answered);
}

TEST(ServerTortureBodies, BodyThatNeverEndsIsCutOffAndTheServerGoesOn) {
  ServerUnderTest server({"--max-body", std::to_string(kLimit)});
  ASSERT_GT(server.Port(), 0) << server.Log();
  // More than the server reads of a refused body before it hangs up: a
  // client that never stops sending must not keep it reading for ever.
  std::string endless = PostChunked(kEndpoint, std::string(20u << 20, '<'), 1u << 20);
  HttpReply cut = RawExchange(server.Port(), endless, 60000);
  EXPECT_TRUE(cut.closed);
  EXPECT_EQ(cut.status, 0) << cut.head;

  PluginClient client(server);
  EXPECT_EQ(NumberThroughThePlugin("after"), Expected(1));
  EXPECT_EQ(server.Signal(SIGTERM), 0);
  EXPECT_NE(server.Log().find("POST /ELMRequest id=- dropped (body went on past "), std::string::npos) << server.Log();
  ExpectIssuedExactly(server.Db(), {Expected(1)});
}

TEST(ServerTortureSlowClients, HundredTricklingClientsHoldNoneOfTwoThreads) {
  ServerUnderTest server({"--threads", "2", "--quiet"});
  ASSERT_GT(server.Port(), 0) << server.Log();
  // One byte a second each, never finishing: in the request line, in the
  // headers, and in the body of a request whose head announced it.
  const std::vector<std::string> openings = {
      "", "POST /ELMRequest HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ",
      "POST /ELMRequest HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 1000000\r\n\r\n<ELM>"};
  Tricklers slow(server.Port(), 100, openings, 'a', std::chrono::milliseconds(1000), std::chrono::seconds(60));
  ASSERT_EQ(slow.Connected(), 100);

  PluginClient client(server);
  std::vector<std::string> answered;
  for (int i = 0; i < 20; ++i) {
    std::string pn = NumberThroughThePlugin("client-" + std::to_string(i));
    ASSERT_EQ(pn, Expected(i + 1)) << "request " << i << " went unanswered beside the slow clients";
    answered.push_back(pn);
  }
  EXPECT_EQ(slow.Open(), 100) << "slow clients were dropped to make room";

  // They are still trickling; SIGTERM ends the server all the same.
  EXPECT_EQ(server.Signal(SIGTERM), 0) << server.Log();
  ExpectIssuedExactly(server.Db(), answered);
}

TEST(ServerTortureSlowClients, ClientThatNeverReadsItsAnswerHoldsNeitherOthersNorTheStop) {
  ServerUnderTest server({"--threads", "1", "--max-body", std::to_string(16u << 20)});
  ASSERT_GT(server.Port(), 0) << server.Log();
  // A 12 MB answer that no one reads: more than the socket buffers on the
  // way hold for a reader that never reads, so the server is left with an
  // answer it cannot finish.
  int deaf = elmtest::ConnectToLoopback(server.Port());
  ASSERT_GE(deaf, 0);
  std::string big = PostWithLength(kEndpoint, Request("Test", Attribute("Server", std::string(12u << 20, 'x'))));
  ASSERT_EQ(send(deaf, big.data(), big.size(), MSG_NOSIGNAL), static_cast<ssize_t>(big.size()));

  PluginClient client(server);
  std::vector<std::string> answered;
  for (int i = 0; i < 5; ++i) answered.push_back(NumberThroughThePlugin("beside-the-deaf"));
  EXPECT_EQ(answered, (std::vector<std::string>{Expected(1), Expected(2), Expected(3), Expected(4), Expected(5)}));

  EXPECT_EQ(server.Signal(SIGTERM), 0) << server.Log();
  close(deaf);
  ExpectIssuedExactly(server.Db(), answered);
}

TEST(ServerTortureValues, ClientValuesNeverForgeAnswersLogLinesOrListings) {
  ServerUnderTest server;
  ASSERT_GT(server.Port(), 0) << server.Log();
  const std::string forgedLine = "&#10;2026-01-01T00:00:00.000Z GetPartnumber id=forged ok 0.1 ms";
  // Character references reach the server's values as the raw characters;
  // the invalid UTF-8 bytes arrive as they are.
  const std::string hostile = "a&#9;b&#13;&#10;c&#27;[2J&#1;\xFF\xFE&#x7F;&#x9B;z";
  const std::vector<std::string> requests = {
      Request("Test", Attribute("Server", hostile) + Attribute("Other" + forgedLine, "&#xFFFE;&#xFFFF;")),
      Request("Test" + forgedLine, Attribute("Server", "x"), "id" + forgedLine),
      Request("GetPartnumber", Attribute("PartNumber", hostile)),
      Request("SendEnoviaObjectToTC", Attribute("3DEXP", "true") + Attribute("user", hostile) +
                                          Attribute("type", "VPMReference") + Attribute("name", "PRD" + forgedLine) +
                                          Attribute("revision", "\xC3(") + Attribute("transfer_type", "VPMReference") +
                                          Attribute("expand_level", "0") + Attribute("force", "false") +
                                          Attribute("remove_existing", "false") +
                                          Attribute("send_configuration", "false") + Attribute("folder_only", "false") +
                                          Attribute("TRANSFER_SUBSTRUCTURES_PARALLEL", "false")),
      Request("GetProcessInfoForUser", Attribute("USER", hostile)),
      Request("GetStructureForName", Attribute("ContextPartNumber", hostile) + Attribute("OakName", hostile)),
  };
  std::vector<std::string> answered;
  for (const auto& body : requests) {
    HttpReply reply = RawExchange(server.Port(), PostWithLength(kEndpoint, body));
    EXPECT_EQ(reply.status, 200) << body;
    EXPECT_EQ(XmlError(reply.body), "") << body << "\n" << reply.body;
    if (auto pn = AttributeValue(reply.body, "PartNumber"); !pn.empty()) answered.push_back(pn);
  }
  ASSERT_EQ(answered, std::vector<std::string>{Expected(1)});
  // The store keeps what the client sent, byte for byte; only its outputs escape.
  const std::string decoded = "a\tb\r\nc\x1b[2J\x01\xFF\xFE\x7F\xC2\x9Bz";
  auto transfers = elmserver::PdmStore(server.Db()).Transfers();
  ASSERT_EQ(transfers.size(), 1u);
  EXPECT_EQ(transfers[0].request.user, decoded);
  EXPECT_EQ(elmserver::PdmStore(server.Db()).IssuedNumbers().at(0).requestedBy, decoded);

  // Listings: one line per record, every line with its header's columns,
  // and no control character but the tabs and line ends of the format.
  for (const char* what : {"numbers", "transfers", "processes"}) {
    elmtest::ProcessResult list = server.Admin({"list", what});
    ASSERT_EQ(list.exitCode, 0) << list.err;
    auto lines = elmtest::Lines(list.out);
    ASSERT_EQ(lines.size(), 2u) << what << ":\n" << list.out;
    auto columns = [](const std::string& line) { return std::count(line.begin(), line.end(), '\t'); };
    EXPECT_EQ(columns(lines[1]), columns(lines[0])) << what << ": " << lines[1];
    for (char c : list.out)
      EXPECT_TRUE(static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n')
          << what << " carries byte " << int(c);
  }
  EXPECT_NE(server.Admin({"list", "transfers"}).out.find("\ta\\tb\\r\\nc\\x1B[2J\\x01\\xFF\\xFE\\x7F\\xC2\\x9Bz\t"),
            std::string::npos);

  // The log: exactly one line per request, each beginning with its time.
  EXPECT_EQ(server.Signal(SIGTERM), 0);
  auto log = elmtest::Lines(server.Log());
  ASSERT_EQ(log.size(), requests.size() + 1) << server.Log();
  for (std::size_t i = 0; i < requests.size(); ++i) {
    EXPECT_EQ(log[i].substr(0, 2), "20") << log[i];
    EXPECT_EQ(log[i].substr(23, 2), "Z ") << log[i];
    for (char c : log[i]) EXPECT_GE(static_cast<unsigned char>(c), 0x20) << log[i];
  }
  EXPECT_NE(log[1].find(" Test\\n2026-01-01T00:00:00.000Z GetPartnumber id=forged ok 0.1 ms id=id\\n2026"),
            std::string::npos)
      << log[1];
  ExpectIssuedExactly(server.Db(), answered);
}

TEST(ServerTortureCommandLine, UnfitSettingsAndAddressesBeyondLoopbackAreRefusedSayingWhy) {
  ServerUnderTest busy({"--quiet"});
  ASSERT_GT(busy.Port(), 0) << busy.Log();
  const std::string fresh = busy.Dir().File("never-created.db"), db = busy.Db(), other = busy.Dir().File("other.db");
  const std::string taken = "127.0.0.1:" + std::to_string(busy.Port());
  const std::string unknown = "elm-server: unknown setting ";
  const std::string prefixRule =
      "elm-server: PartNumberPrefix must be at most 32 characters of UTF-8 text without control characters, not ";
  const Refusal cases[] = {
      {{"set", "--db", fresh, "usebookmark", "true"},
       2,
       unknown + "\"usebookmark\"; the settings are " + kKnownSettings + "\nTry 'elm-server --help'.\n"},
      {{"set", "--db", fresh, "", "x"}, 2, unknown + "\"\"; the settings are " + kKnownSettings + "\n"},
      {{"set", "--db", fresh, "Use\nBookmark", "true"}, 2, unknown + "\"Use\\nBookmark\"; the settings"},
      {{"set", "--db", db, "PartNumberPrefix", "ELM\x1b[31m-"}, 1, prefixRule + "\"ELM\\x1B[31m-\"\n"},
      {{"set", "--db", db, "PartNumberPrefix", "PRD-\xE9-"}, 1, prefixRule + "\"PRD-\\xE9-\"\n"},
      {{"set", "--db", db, "PartNumberPrefix", std::string(33, 'P')},
       1,
       prefixRule + "\"" + std::string(33, 'P') + "\"\n"},
      {{"set", "--db", db, "UseBookmark", "TRUE"}, 1, "elm-server: UseBookmark must be true or false, not \"TRUE\"\n"},
      {{"--db", other, "--listen", "0.0.0.0:0"},
       2,
       "elm-server: --listen 0.0.0.0:0 is not a loopback address; elm-server has no authentication, so listening where "
       "other machines reach it needs --allow-remote\nTry 'elm-server --help'.\n"},
      {{"--db", other, "--listen", "[::]:0"}, 2, "elm-server: --listen [::]:0 is not a loopback address"},
      // TEST-NET-1: no machine has this address, so the bind fails with the
      // system's reason, and the warning has been given before it.
      {{"--db", other, "--listen", "192.0.2.1:0", "--allow-remote"},
       1,
       "elm-server: warning: --allow-remote: 192.0.2.1:0 may be reached from other machines, and elm-server has no "
       "authentication: whoever reaches it can take part numbers and record transfers\n"
       "elm-server: cannot listen on 192.0.2.1:0: Cannot assign requested address\n"},
      {{"--db", other, "--listen", taken}, 1, "elm-server: cannot listen on " + taken + ": Address already in use\n"},
  };
  for (const auto& c : cases) ExpectRefused(c);
  EXPECT_FALSE(std::filesystem::exists(fresh)) << "a refused set created the database";
  EXPECT_EQ(busy.Signal(SIGTERM), 0);
}

TEST(ServerTortureSettings, SeedsWithUnknownSettingsOrTooLargeAreRefusedAndKnownSettingsApplyAtOnce) {
  ServerUnderTest server({"--quiet"});
  ASSERT_GT(server.Port(), 0) << server.Log();
  std::string seed = server.Dir().Write("seed.xml",
                                        "<ElmServerSeed><Setting name=\"UseBookmark\" value=\"true\"/>"
                                        "<Setting name=\"Bogus\" value=\"1\"/></ElmServerSeed>");
  elmtest::ProcessResult seeded = server.Admin({"seed", seed});
  EXPECT_EQ(seeded.exitCode, 1);
  EXPECT_NE(seeded.err.find("<Setting> at byte 57: unknown setting \"Bogus\""), std::string::npos) << seeded.err;
  // A seed file too large is refused on its size, before a byte of it is read
  // (the file is sparse: reading it would show as time and memory).
  std::string huge = server.Dir().Write("huge.xml", "<ElmServerSeed/>");
  ASSERT_EQ(truncate(huge.c_str(), static_cast<off_t>((64 << 20) + 1)), 0);
  elmtest::ProcessResult oversized = server.Admin({"seed", huge});
  EXPECT_EQ(oversized.exitCode, 1);
  EXPECT_NE(oversized.err.find(huge + ": the file has 67108865 bytes; a seed file may have at most 67108864 bytes "
                                      "(64 MiB); nothing of it was loaded"),
            std::string::npos)
      << oversized.err;

  // The switches the dialogs depend on, changed under the running server,
  // show in its very next answer.
  PluginClient client(server);
  auto settings = [] {
    ELMRequestXml request("GetSettingsInfo");
    ELMRequestXml response;
    EXPECT_EQ(HtmlRequest::DoRequest(request, response), S_OK);
    return SwitchValue(response, "//Show3DXSendConfigurationEnabled") + " " + SwitchValue(response, "//UseBookmark");
  };
  EXPECT_EQ(settings(), "false false");
  for (auto [name, value, shown] : {std::tuple{"UseBookmark", "true", "false true"},
                                    std::tuple{"Show3DXSendConfigurationEnabled", "true", "true true"},
                                    std::tuple{"UseBookmark", "false", "true false"}}) {
    elmtest::ProcessResult set = server.Admin({"set", name, value});
    ASSERT_EQ(set.exitCode, 0) << set.err;
    EXPECT_EQ(settings(), shown) << name << " = " << value;
  }
  ASSERT_EQ(server.Admin({"set", "PartNumberPrefix", "TC-"}).exitCode, 0);
  EXPECT_EQ(NumberThroughThePlugin("after-set"), "TC-000001");
  EXPECT_EQ(server.Signal(SIGTERM), 0);
}

/// A database directory the way a user leaves it, in which the server,
/// run as an ordinary user even when the tests run as root, may not write.
class ServerTortureUnwritable : public ::testing::Test {
protected:
  void SetUp() override {
    // Others must reach the scratch directory to find the database at all,
    // and a copy of the server there, since the build tree may lie where
    // they cannot (under root's home, for one). It needs only system
    // libraries, so the copy runs as the original does.
    chmod(m_dir.Path().c_str(), 0755);
    mkdir(Dir().c_str(), 0777);
    std::filesystem::copy_file(ELM_SERVER_EXECUTABLE, m_server);
    chmod(m_server.c_str(), 0755);
  }
  void TearDown() override { chmod(Dir().c_str(), 0755); }
  std::string Dir() const { return m_dir.File("data"); }
  std::string Db() const { return Dir() + "/pdm.db"; }
  void givenDatabase() {
    elmtest::ProcessResult made =
        elmtest::RunProcess(ELM_SERVER_EXECUTABLE, {"set", "--db", Db(), "UseBookmark", "true"});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    // Without its log files, as a server that stopped cleanly leaves it.
    ASSERT_FALSE(std::ifstream(Db() + "-wal")) << "the write-ahead log outlived its last user";
  }
  /// Run as an ordinary user, the server refuses to start, saying why.
  void expectRefusedToServe(const std::string& err) {
    auto r = RunBounded(m_server, {"--db", Db(), "--listen", "127.0.0.1:0"}, elmtest::DropRootPrivileges);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, err);
    EXPECT_EQ(r.out, "") << "it announced a server it cannot be";
  }

private:
  elmtest::ScratchDir m_dir;
  const std::string m_server = m_dir.File("elm-server");
};

TEST_F(ServerTortureUnwritable, ADatabaseFileOrDirectoryItCannotWriteIsRefusedBeforeServing) {
  givenDatabase();
  chmod(Db().c_str(), 0444);
  expectRefusedToServe("elm-server: cannot write database " + Db() + ": Permission denied\n");

  // A writable file in a directory it cannot write.
  chmod(Db().c_str(), 0666);
  chmod(Dir().c_str(), 0555);
  expectRefusedToServe("elm-server: cannot write database " + Db() + ": its directory " + Dir() +
                       " cannot be written (Permission denied), and SQLite keeps its write-ahead log there\n");

  chmod(Dir().c_str(), 0755);
  std::remove(Db().c_str());
  chmod(Dir().c_str(), 0555);
  expectRefusedToServe("elm-server: cannot create database " + Db() + ": Permission denied\n");
}

}  // namespace
