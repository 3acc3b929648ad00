// The store on its own: schema, durability across reopening, uniqueness,
// and seed files that load all or nothing.
#include "ServerTestSupport.h"

#include "SeedFile.h"

#include <sqlite3.h>

#include <gtest/gtest.h>

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

TEST(PdmStoreSchema, NewDatabaseIsInWalModeAndCarriesItsSchemaVersion) {
  elmtest::ScratchDir dir;
  PdmStore store(dir.File("a.db"));
  EXPECT_EQ(store.SchemaVersion(), PdmStore::kSchemaVersion);
  EXPECT_EQ(store.JournalMode(), "wal");
}

TEST(PdmStoreSchema, DatabaseOfANewerServerIsRefusedUntouched) {
  elmtest::ScratchDir dir;
  { PdmStore store(dir.File("a.db")); }
  Sql(dir.File("a.db"), "PRAGMA user_version = 7");
  try {
    PdmStore store(dir.File("a.db"));
    FAIL() << "a newer schema was opened";
  } catch (const StoreError& e) {
    EXPECT_EQ(std::string(e.what()),
              dir.File("a.db") + ": the database has schema version 7, newer than this server understands (1)");
  }
}

TEST(PdmStoreSchema, FileThatIsNoDatabaseIsReportedWithItsName) {
  elmtest::ScratchDir dir;
  FILE* f = std::fopen(dir.File("junk.db").c_str(), "w");
  std::fputs("this is not an SQLite database, not even a little bit; padding padding padding padding", f);
  std::fclose(f);
  try {
    PdmStore store(dir.File("junk.db"));
    FAIL() << "junk opened";
  } catch (const StoreError& e) {
    EXPECT_NE(std::string(e.what()).find("junk.db"), std::string::npos) << e.what();
  }
}

TEST(PdmStoreNumbers, NumberThatWouldRepeatAnEarlierOneIsRefusedAndLeavesNoGap) {
  elmtest::ScratchDir dir;
  PdmStore store(dir.File("a.db"));
  store.SetSetting("PartNumberPrefix", "X1");
  store.SetSetting("PartNumberDigits", "1");
  EXPECT_EQ(store.IssuePartNumber("a", "1").partNumber, "X11");
  store.SetSetting("PartNumberPrefix", "X");
  for (int i = 2; i <= 10; ++i) EXPECT_EQ(store.IssuePartNumber("a", "1").partNumber, "X" + std::to_string(i));
  try {
    store.IssuePartNumber("b", "2");
    FAIL() << "X11 was issued twice";
  } catch (const StoreConflict& e) {
    EXPECT_STREQ(e.what(), "part number X11 was issued before; change the part number prefix or width");
  }
  EXPECT_EQ(store.IssuedNumbers().size(), 10u);
  store.SetSetting("PartNumberPrefix", "Y");
  auto next = store.IssuePartNumber("c", "3");
  EXPECT_EQ(next.seq, 11);
  EXPECT_EQ(next.partNumber, "Y11");
}

TEST(PdmStoreSettings, KnownSettingsAreValidatedAndDefaultsListed) {
  elmtest::ScratchDir dir;
  PdmStore store(dir.File("a.db"));
  EXPECT_EQ(store.Setting("UseBookmark"), "false");
  EXPECT_EQ(store.Setting("NoSuchSetting"), "");
  struct Bad {
    const char* name;
    const char* value;
    const char* message;
  };
  const Bad bad[] = {
      {"UseBookmark", "yes", "UseBookmark must be true or false, not \"yes\""},
      {"Show3DXSendConfigurationEnabled", "True", "Show3DXSendConfigurationEnabled must be true or false, not \"True\""},
      {"PartNumberDigits", "0", "PartNumberDigits must be a number from 1 to 18, not \"0\""},
      {"PartNumberDigits", "19", "PartNumberDigits must be a number from 1 to 18, not \"19\""},
      {"NamesListForm", "list", "NamesListForm must be joined or elements, not \"list\""},
      {"PartNumberPrefix", "ELM\n-", "PartNumberPrefix must be at most 32 characters of UTF-8 text without control characters, not \"ELM\\n-\""},
      {"PartNumberPrefix", "\xC3(-", "PartNumberPrefix must be at most 32 characters of UTF-8 text without control characters, not \"\\xC3(-\""},
      {"PartNumberPrefix", "\xC2\x9B" "1m", "PartNumberPrefix must be at most 32 characters of UTF-8 text without control characters, not \"\\xC2\\x9B1m\""},
      {"PartNumberPrefix", "ABCDEFGHIJKLMNOPQRSTUVWXYZ-1234-X",
       "PartNumberPrefix must be at most 32 characters of UTF-8 text without control characters, not \"ABCDEFGHIJKLMNOPQRSTUVWXYZ-1234-X\""},
      {"Custom", "anything",
       "unknown setting \"Custom\"; the settings are Show3DXSendConfigurationEnabled, UseBookmark, PartNumberPrefix, "
       "PartNumberDigits, NamesListForm"},
  };
  for (const auto& b : bad) {
    try {
      store.SetSetting(b.name, b.value);
      ADD_FAILURE() << b.name << "=" << b.value << " accepted";
    } catch (const StoreConflict& e) {
      EXPECT_STREQ(e.what(), b.message);
    }
  }
  store.SetSetting("PartNumberDigits", "18");
  // Characters, not bytes, count against the prefix's length; it may be empty.
  const std::string umlauts = [] { std::string s; for (int i = 0; i < 32; ++i) s += "\xC3\xBC"; return s; }();
  store.SetSetting("PartNumberPrefix", umlauts);
  EXPECT_EQ(store.Setting("PartNumberPrefix"), umlauts);
  store.SetSetting("PartNumberPrefix", "");
  auto all = store.Settings();
  EXPECT_EQ(all.size(), 5u);
  EXPECT_EQ(store.Setting("PartNumberDigits"), "18");
  EXPECT_EQ(store.Setting("UseBookmark"), "false");
}

TEST(PdmStoreStructures, TreeComesBackInOrderAndReplacingKeepsOneDefault) {
  elmtest::ScratchDir dir;
  PdmStore store(dir.File("a.db"));
  using elmserver::NamedStructure;
  using elmserver::StructureNode;
  NamedStructure s{"P", "S1", true, {}};
  // P > A(A.1) > B(B.1) > C, B(B.2); P > D with an empty instance; a second top element Q.
  s.nodes = {{"P", "P", 0}, {"A", "A.1", 1}, {"B", "B.1", 2}, {"C", "C.1", 3}, {"B", "B.2", 2},
             {"D", "", 1},  {"Q", "Q", 0}};
  store.PutStructure(s);
  store.PutStructure({"P", "S2", true, {{"P", "P", 0}}});

  auto back = store.Structure("P", "S1");
  ASSERT_TRUE(back.has_value());
  ASSERT_EQ(back->nodes.size(), s.nodes.size());
  for (std::size_t i = 0; i < s.nodes.size(); ++i) {
    EXPECT_EQ(back->nodes[i].pn, s.nodes[i].pn) << i;
    EXPECT_EQ(back->nodes[i].in, s.nodes[i].in) << i;
    EXPECT_EQ(back->nodes[i].depth, s.nodes[i].depth) << i;
  }

  auto names = store.StructureNames("P");
  ASSERT_EQ(names.size(), 2u);
  EXPECT_FALSE(names[0].isDefault);
  EXPECT_TRUE(names[1].isDefault);

  store.PutStructure({"P", "S1", false, {{"P", "P", 0}, {"X", "X.1", 1}}});
  back = store.Structure("P", "S1");
  ASSERT_EQ(back->nodes.size(), 2u);
  EXPECT_EQ(back->nodes.at(1).pn, "X");
  // Elements that skip a level form no tree and are refused, leaving the stored one.
  EXPECT_THROW(store.PutStructure({"P", "S1", false, {{"P", "P", 0}, {"X", "X.1", 2}}}), elmserver::StoreConflict);
  EXPECT_THROW(store.PutStructure({"P", "S3", false, {{"P", "P", 1}}}), elmserver::StoreConflict);
  EXPECT_EQ(store.Structure("P", "S1")->nodes.size(), 2u);
  EXPECT_FALSE(store.Structure("p", "S1").has_value());
}

TEST(PdmStoreStructures, NamesTheJoinedListCannotCarryAreRefused) {
  elmtest::ScratchDir dir;
  PdmStore store(dir.File("a.db"));
  EXPECT_THROW(store.PutStructure({"P", "a@EOL@b", false, {{"P", "P", {}}}}), StoreConflict);
  EXPECT_THROW(store.PutStructure({"P", "", false, {{"P", "P", {}}}}), StoreConflict);
  EXPECT_THROW(store.PutStructure({"", "n", false, {{"P", "P", {}}}}), StoreConflict);
  EXPECT_TRUE(store.Structures().empty());
}

TEST(SeedFile, LoadsEveryKindAndReloadingReplacesStructures) {
  elmtest::ScratchDir dir;
  PdmStore store(dir.File("a.db"));
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
  EXPECT_EQ(s.settings, 2);
  EXPECT_EQ(s.structures, 1);
  EXPECT_EQ(s.processes, 1);
  EXPECT_EQ(store.Setting("UseBookmark"), "true");
  EXPECT_EQ(store.IssuePartNumber("x", "1").partNumber, "000001");
  ASSERT_TRUE(LoadSeed(store, seed, s, error)) << error;
  EXPECT_EQ(store.Structures().size(), 1u);
  EXPECT_EQ(store.Processes("u").size(), 2u);  // processes are history: they add up
}

TEST(SeedFile, AnyFaultLoadsNothingAndNamesTheElement) {
  elmtest::ScratchDir dir;
  PdmStore store(dir.File("a.db"));
  struct Case {
    std::string body;
    std::string error;
  };
  const std::string good = R"(<Setting name="UseBookmark" value="true"/><NamedStructure context="P" name="N"><O pn="P" in="P"/></NamedStructure>)";
  const Case cases[] = {
      {"<ElmServerSeed>" + good + R"(<Setting name="UseBookmark" value="maybe"/></ElmServerSeed>)",
       "<Setting> at byte 129: UseBookmark must be true or false, not \"maybe\""},
      {"<ElmServerSeed>" + good + R"(<NamedStructure context="P" name="M"><O in="x"/></NamedStructure></ElmServerSeed>)",
       "<O> at byte 166 needs the attribute \"pn\""},
      {"<ElmServerSeed>" + good + R"(<NamedStructure context="P" name="M"><O pn="P" in="P"><Part/></O></NamedStructure></ElmServerSeed>)",
       "<Part> at byte 183: only <O> elements may stand inside a structure"},
      {"<ElmServerSeed>" + good + R"(<NamedStructure context="P" name="M"/></ElmServerSeed>)",
       "<NamedStructure> at byte 129 holds no <O> element"},
      {"<ElmServerSeed>" + good + R"(<NamedStructure context="P" name="x@EOL@y"><O pn="P" in="P"/></NamedStructure></ElmServerSeed>)",
       "<NamedStructure> at byte 129: a structure name must not contain the list separator @EOL@"},
      {"<ElmServerSeed>" + good + R"(<Process User="u" Status="s"/></ElmServerSeed>)",
       "<Process> at byte 129 needs the attribute \"Activity\""},
      {"<ElmServerSeed>" + good + R"(<Widget/></ElmServerSeed>)",
       "<Widget> at byte 129 is not known; use <Setting>, <NamedStructure> or <Process>"},
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
