// The store on its own: schema, durability across reopening, uniqueness,
// and seed files that load all or nothing.
#include "ServerTestSupport.h"

#include "SeedFile.h"

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <tuple>

using namespace servertest;
using elmserver::LoadSeed;
using elmserver::PdmStore;
using elmserver::SeedSummary;
using elmserver::StoreConflict;
using elmserver::StoreError;

namespace {

void Sql(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  char* err = nullptr;
  int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err);
  std::string why = err ? err : "";
  sqlite3_free(err);
  sqlite3_close(db);
  ASSERT_EQ(rc, SQLITE_OK) << why;
}

/// The text of the exception of type E that body throws; "<nothing thrown>"
/// when it returns.
template <typename E, typename Body>
std::string Refusal(Body body) {
  try {
    body();
  } catch (const E& e) {
    return e.what();
  }
  return "<nothing thrown>";
}

/// A structure's elements as one text: "pn in depth|" each.
std::string Nodes(const std::vector<elmserver::StructureNode>& nodes) {
  std::string text;
  for (const auto& n : nodes) text += n.pn + " " + n.in + " " + std::to_string(n.depth) + "|";
  return text;
}

/// A store in a scratch directory of its own.
class Store : public ::testing::Test {
protected:
  elmtest::ScratchDir dir;
  PdmStore store{dir.File("a.db")};
};
using PdmStoreSchema = Store;
using PdmStoreNumbers = Store;
using PdmStoreSettings = Store;
using PdmStoreStructures = Store;
using SeedFile = Store;

TEST_F(PdmStoreSchema, NewDatabaseIsInWalModeAndCarriesItsSchemaVersion) {
  EXPECT_EQ(store.SchemaVersion(), PdmStore::kSchemaVersion);
  EXPECT_EQ(store.JournalMode(), "wal");
}

TEST_F(PdmStoreSchema, DatabaseOfANewerServerIsRefusedUntouched) {
  { PdmStore other(dir.File("b.db")); }
  Sql(dir.File("b.db"), "PRAGMA user_version = 7");
  EXPECT_EQ(Refusal<StoreError>([&] { PdmStore other(dir.File("b.db")); }),
            dir.File("b.db") + ": the database has schema version 7, newer than this server understands (1)");
}

TEST_F(PdmStoreSchema, FileThatIsNoDatabaseIsReportedWithItsName) {
  const std::string junk =
      dir.Write("junk.db", "this is not an SQLite database, not even a little bit; padding padding padding padding");
  const std::string refusal = Refusal<StoreError>([&] { PdmStore other(junk); });
  EXPECT_NE(refusal.find("junk.db"), std::string::npos) << refusal;
}

TEST_F(PdmStoreNumbers, NumberThatWouldRepeatAnEarlierOneIsRefusedAndLeavesNoGap) {
  store.SetSetting("PartNumberPrefix", "X1");
  store.SetSetting("PartNumberDigits", "1");
  EXPECT_EQ(store.IssuePartNumber("a", "1").partNumber, "X11");
  store.SetSetting("PartNumberPrefix", "X");
  for (int i = 2; i <= 10; ++i) EXPECT_EQ(store.IssuePartNumber("a", "1").partNumber, "X" + std::to_string(i));
  EXPECT_EQ(Refusal<StoreConflict>([&] { store.IssuePartNumber("b", "2"); }),
            "part number X11 was issued before; change the part number prefix or width");
  EXPECT_EQ(store.IssuedNumbers().size(), 10u);
  store.SetSetting("PartNumberPrefix", "Y");
  auto next = store.IssuePartNumber("c", "3");
  EXPECT_EQ(std::tie(next.seq, next.partNumber), std::make_tuple(11, "Y11"));
}

TEST_F(PdmStoreSettings, KnownSettingsAreValidatedAndDefaultsListed) {
  EXPECT_EQ(store.Setting("UseBookmark"), "false");
  EXPECT_EQ(store.Setting("NoSuchSetting"), "");
  struct Bad {
    const char* name;
    std::string value;
    std::string message;
  };
  const std::string prefixRule =
      "PartNumberPrefix must be at most 32 characters of UTF-8 text without control characters, not ";
  const Bad bad[] = {
      {"UseBookmark", "yes", "UseBookmark must be true or false, not \"yes\""},
      {"Show3DXSendConfigurationEnabled", "True",
       "Show3DXSendConfigurationEnabled must be true or false, not \"True\""},
      {"PartNumberDigits", "0", "PartNumberDigits must be a number from 1 to 18, not \"0\""},
      {"PartNumberDigits", "19", "PartNumberDigits must be a number from 1 to 18, not \"19\""},
      {"NamesListForm", "list", "NamesListForm must be joined or elements, not \"list\""},
      {"PartNumberPrefix", "ELM\n-", prefixRule + "\"ELM\\n-\""},
      {"PartNumberPrefix", "\xC3(-", prefixRule + "\"\\xC3(-\""},
      {"PartNumberPrefix", std::string("\xC2\x9B") + "1m", prefixRule + "\"\\xC2\\x9B1m\""},
      {"PartNumberPrefix", "ABCDEFGHIJKLMNOPQRSTUVWXYZ-1234-X", prefixRule + "\"ABCDEFGHIJKLMNOPQRSTUVWXYZ-1234-X\""},
      {"Custom", "anything",
       "unknown setting \"Custom\"; the settings are Show3DXSendConfigurationEnabled, UseBookmark, PartNumberPrefix, "
       "PartNumberDigits, NamesListForm"},
  };
  for (const auto& b : bad)
    EXPECT_EQ(Refusal<StoreConflict>([&] { store.SetSetting(b.name, b.value); }), b.message)
        << b.name << "=" << b.value;
  store.SetSetting("PartNumberDigits", "18");
  // Characters, not bytes, count against the prefix's length; it may be empty.
  std::string umlauts;
  for (int i = 0; i < 32; ++i) umlauts += "\xC3\xBC";
  store.SetSetting("PartNumberPrefix", umlauts);
  EXPECT_EQ(store.Setting("PartNumberPrefix"), umlauts);
  store.SetSetting("PartNumberPrefix", "");
  EXPECT_EQ(store.Settings().size(), 5u);
  EXPECT_EQ(store.Setting("PartNumberDigits"), "18");
  EXPECT_EQ(store.Setting("UseBookmark"), "false");
}

TEST_F(PdmStoreStructures, TreeComesBackInOrderAndReplacingKeepsOneDefault) {
  using elmserver::NamedStructure;
  using elmserver::StructureNode;
  NamedStructure s{"P", "S1", true, {}};
  // P > A(A.1) > B(B.1) > C, B(B.2); P > D with an empty instance; a second top element Q.
  s.nodes = {{"P", "P", 0},   {"A", "A.1", 1}, {"B", "B.1", 2}, {"C", "C.1", 3},
             {"B", "B.2", 2}, {"D", "", 1},    {"Q", "Q", 0}};
  store.PutStructure(s);
  store.PutStructure({"P", "S2", true, {{"P", "P", 0}}});

  auto back = store.Structure("P", "S1");
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(Nodes(back->nodes), Nodes(s.nodes));

  std::vector<std::pair<std::string, bool>> names;
  for (const auto& n : store.StructureNames("P")) names.emplace_back(n.name, n.isDefault);
  EXPECT_EQ(names, (decltype(names){{"S1", false}, {"S2", true}}));

  store.PutStructure({"P", "S1", false, {{"P", "P", 0}, {"X", "X.1", 1}}});
  EXPECT_EQ(Nodes(store.Structure("P", "S1")->nodes), "P P 0|X X.1 1|");
  // Elements that skip a level form no tree and are refused, leaving the stored one.
  EXPECT_THROW(store.PutStructure({"P", "S1", false, {{"P", "P", 0}, {"X", "X.1", 2}}}), elmserver::StoreConflict);
  EXPECT_THROW(store.PutStructure({"P", "S3", false, {{"P", "P", 1}}}), elmserver::StoreConflict);
  EXPECT_EQ(Nodes(store.Structure("P", "S1")->nodes), "P P 0|X X.1 1|");
  EXPECT_FALSE(store.Structure("p", "S1").has_value());
}

TEST_F(PdmStoreStructures, NamesTheJoinedListCannotCarryAreRefused) {
  EXPECT_THROW(store.PutStructure({"P", "a@EOL@b", false, {{"P", "P", {}}}}), StoreConflict);
  EXPECT_THROW(store.PutStructure({"P", "", false, {{"P", "P", {}}}}), StoreConflict);
  EXPECT_THROW(store.PutStructure({"", "n", false, {{"P", "P", {}}}}), StoreConflict);
  EXPECT_TRUE(store.Structures().empty());
}

TEST_F(SeedFile, LoadsEveryKindAndReloadingReplacesStructures) {
  const std::string seed = R"(<?xml version="1.0" encoding="UTF-8"?>
<ElmServerSeed>
  <!-- comments are fine -->
  <Setting name="UseBookmark" value="true"/>
  <Setting name="PartNumberPrefix" value=""/>
  <NamedStructure context="P-1" name="Main" default="true"><O pn="P-1" in="P-1"><O pn="C" in="C.1"/></O></NamedStructure>
  <Process User="u" Activity="Transfer" Status="Finished"/>
</ElmServerSeed>)";
  SeedSummary s;
  std::string error;
  ASSERT_TRUE(LoadSeed(store, seed, s, error)) << error;
  EXPECT_EQ(std::tie(s.settings, s.structures, s.processes), std::make_tuple(2, 1, 1));
  EXPECT_EQ(store.Setting("UseBookmark"), "true");
  EXPECT_EQ(store.IssuePartNumber("x", "1").partNumber, "000001");
  ASSERT_TRUE(LoadSeed(store, seed, s, error)) << error;
  EXPECT_EQ(store.Structures().size(), 1u);
  EXPECT_EQ(store.Processes("u").size(), 2u);  // processes are history: they add up
}

TEST_F(SeedFile, AnyFaultLoadsNothingAndNamesTheElement) {
  struct Case {
    std::string body;
    std::string error;
  };
  // Each fault follows elements that alone would load.
  auto afterGood = [](const std::string& fault) {
    return R"(<ElmServerSeed><Setting name="UseBookmark" value="true"/><NamedStructure context="P" name="N">)"
           R"(<O pn="P" in="P"/></NamedStructure>)" +
           fault + "</ElmServerSeed>";
  };
  const Case cases[] = {
      {afterGood(R"(<Setting name="UseBookmark" value="maybe"/>)"),
       "<Setting> at byte 129: UseBookmark must be true or false, not \"maybe\""},
      {afterGood(R"(<NamedStructure context="P" name="M"><O in="x"/></NamedStructure>)"),
       "<O> at byte 166 needs the attribute \"pn\""},
      {afterGood(R"(<NamedStructure context="P" name="M"><O pn="P" in="P"><Part/></O></NamedStructure>)"),
       "<Part> at byte 183: only <O> elements may stand inside a structure"},
      {afterGood(R"(<NamedStructure context="P" name="M"/>)"), "<NamedStructure> at byte 129 holds no <O> element"},
      {afterGood(R"(<NamedStructure context="P" name="x@EOL@y"><O pn="P" in="P"/></NamedStructure>)"),
       "<NamedStructure> at byte 129: a structure name must not contain the list separator @EOL@"},
      {afterGood(R"(<Process User="u" Status="s"/>)"), "<Process> at byte 129 needs the attribute \"Activity\""},
      {afterGood("<Widget/>"), "<Widget> at byte 129 is not known; use <Setting>, <NamedStructure> or <Process>"},
      {"<Seed/>", "the root element must be <ElmServerSeed>, not <Seed>"},
      {"<ElmServerSeed>", "not well-formed XML: Start-end tags mismatch at byte 14"},
  };
  for (const auto& c : cases) {
    SeedSummary s;
    std::string error;
    EXPECT_FALSE(LoadSeed(store, c.body, s, error)) << c.body;
    EXPECT_EQ(error, c.error);
  }
  EXPECT_EQ(store.Setting("UseBookmark"), "false");
  EXPECT_TRUE(store.Structures().empty());
  EXPECT_TRUE(store.AllProcesses().empty());
}

}  // namespace
