#include "CATMsgCatalog.h"
#include "CATRscCatalog.h"

#include "LoopbackServer.h"
#include "ChildProcess.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include <string>

namespace {


CATUnicodeString message(const char* catalog, const char* key, const CATUnicodeString& def = CATUnicodeString()) {
  return CATMsgCatalog::BuildMessage(catalog, key, nullptr, 0, def);
}

}  // namespace

TEST(CATMsgCatalogParameters, ReplacesEachPlaceholderOnceAndLeavesUnfilledOnesVisible) {
  elmtest::ScratchDir dir;
  dir.Write("Sample.nls",
            "Two = \"/P2 before /P1, /P1 again\";\n"
            "Short = \"got /P1, missing /P3\";\n"
            "Ten = \"/P10\";\n");
  elmtest::EnvChanges path("ELMHOST_CATALOG_PATH", dir.Path());

  // The first parameter's text holds a placeholder: it must come out as written.
  CATUnicodeString params[] = {"a/P2", "b"};
  EXPECT_EQ(CATMsgCatalog::BuildMessage("Sample", "Two", params, 2), "b before a/P2, a/P2 again");
  EXPECT_EQ(CATMsgCatalog::BuildMessage("Sample", "Short", params, 1), "got a/P2, missing /P3");
  EXPECT_EQ(CATMsgCatalog::BuildMessage("Sample", "Ten", params, 2), "a/P20");
  // A count of 0 ignores the array: nothing is replaced.
  EXPECT_EQ(CATMsgCatalog::BuildMessage("Sample", "Short", params, 0), "got /P1, missing /P3");
}

TEST(CATMsgCatalogDefaults, MissingCatalogOrKeyGivesTheDefaultAsGiven) {
  elmtest::ScratchDir dir;
  dir.Write("Sample.nls", "Known = \"known\";\n");
  std::filesystem::create_directory(dir.Path() + "/sub");
  dir.Write("sub/Sample.nls", "Known = \"known\";\n");
  elmtest::EnvChanges path("ELMHOST_CATALOG_PATH", dir.Path() + "/sub");

  CATUnicodeString params[] = {"x"};
  EXPECT_EQ(CATMsgCatalog::BuildMessage("Sample", "Unknown", params, 1, "default /P1"), "default /P1");
  EXPECT_EQ(CATMsgCatalog::BuildMessage("NoSuchCatalog", "Known", params, 1, "fallback"), "fallback");
  EXPECT_EQ(message("NoSuchCatalog", "Known"), "");
  // A catalog name must not lead out of the catalog directories.
  EXPECT_EQ(message("../Sample", "Known", "outside"), "outside");
  EXPECT_EQ(message("Sample", "Known", "unused"), "known");
}

TEST(CATMsgCatalogFiles, EscapesCommentsAndEmptyTextsAreRead) {
  elmtest::ScratchDir dir;
  dir.Write("Sample.nls",
            "\xEF\xBB\xBF// a file saved with a byte order mark\n"
            "  Quoted = \"say \\\"hi\\\"\\nnext line\";   // trailing comment\n"
            "Empty = \"\";\n");
  elmtest::EnvChanges path("ELMHOST_CATALOG_PATH", dir.Path());

  EXPECT_EQ(message("Sample", "Quoted"), "say \"hi\"\nnext line");
  // An empty text is a text: the default is not used.
  EXPECT_EQ(message("Sample", "Empty", "default"), "");
}

TEST(CATMsgCatalogPath, DirectoriesAreSearchedInOrderKeyByKey) {
  elmtest::ScratchDir site, shipped;
  site.Write("Sample.nls", "Changed = \"site text\";\n");
  shipped.Write("Sample.nls", "Changed = \"shipped text\";\nKept = \"shipped only\";\n");
  elmtest::EnvChanges path("ELMHOST_CATALOG_PATH", site.Path() + "::" + shipped.Path());

  EXPECT_EQ(message("Sample", "Changed"), "site text");
  EXPECT_EQ(message("Sample", "Kept"), "shipped only");
}

TEST(CATMsgCatalogPath, ANewPathOrAChangedFileIsSeenAtOnce) {
  elmtest::ScratchDir first, second;
  first.Write("Sample.nls", "Key = \"first\";\n");
  second.Write("Sample.nls", "Key = \"second\";\n");
  {
    elmtest::EnvChanges path("ELMHOST_CATALOG_PATH", first.Path());
    EXPECT_EQ(message("Sample", "Key"), "first");
    first.Write("Sample.nls", "Key = \"first, rewritten\";\n");
    EXPECT_EQ(message("Sample", "Key"), "first, rewritten");
  }
  elmtest::EnvChanges path("ELMHOST_CATALOG_PATH", second.Path());
  EXPECT_EQ(message("Sample", "Key"), "second");
}

TEST(CATMsgCatalogPath, WithoutThePathTheShippedCatalogsAreFound) {
  elmtest::EnvChanges path;
  path.Unset("ELMHOST_CATALOG_PATH");
  CATUnicodeString title = message("ELMGlobal", "MsgTitle");
  EXPECT_FALSE(title.IsNull());
  EXPECT_NE(title, "ELMGlobal MsgTitle");
}

TEST(CATMsgCatalogFiles, MalformedLinesAreReportedOnceWithFileAndLineAndSkipped) {
  elmtest::ScratchDir dir;
  dir.Write("Broken.nls",
            "Before = \"before\";\n"
            "NoQuotes = text;\n"
            "Unterminated = \"open;\n"
            "After = \"after\";\n");
  elmtest::EnvChanges path("ELMHOST_CATALOG_PATH", dir.Path());
  std::string file = dir.Path() + "/Broken.nls";

  auto r = elmtest::RunInChild({}, [] {
    dup2(STDOUT_FILENO, STDERR_FILENO);
    for (int i = 0; i < 3; ++i) {
      std::printf("[%s|%s|%s]\n", message("Broken", "Before").ConvertToChar(),
                  message("Broken", "After").ConvertToChar(), message("Broken", "NoQuotes", "none").ConvertToChar());
      std::fflush(stdout);
    }
    return 0;
  });
  ASSERT_EQ(r.exitCode, 0);
  auto count = [&](const std::string& what) {
    std::size_t n = 0;
    for (std::size_t p = r.out.find(what); p != std::string::npos; p = r.out.find(what, p + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count(file + ":2:"), 1u) << r.out;
  EXPECT_EQ(count(file + ":3:"), 1u) << r.out;
  EXPECT_EQ(count(file + ":"), 2u) << r.out;
  EXPECT_EQ(count("[before|after|none]\n"), 3u) << r.out;
}

TEST(CATRscCatalog, GivesTheValueWithParametersOrReportsTheDefault) {
  elmtest::ScratchDir dir;
  dir.Write("Sample.rsc", "Icon = \"I_/P1.png\";\nEmpty = \"\";\n");
  dir.Write("Sample.nls", "OnlyMessage = \"message\";\n");
  elmtest::EnvChanges path("ELMHOST_CATALOG_PATH", dir.Path());

  CATString result = "stale";
  CATString params[] = {"Part"};
  EXPECT_EQ(CATRscCatalog::BuildResource("Sample", "Icon", result, params, 1, "default"), 1);
  EXPECT_EQ(result, "I_Part.png");
  EXPECT_EQ(CATRscCatalog::BuildResource("Sample", "Empty", result, nullptr, 0, "default"), 1);
  EXPECT_EQ(result, "");
  // Messages and resources are separate files.
  EXPECT_EQ(CATRscCatalog::BuildResource("Sample", "OnlyMessage", result, nullptr, 0, "default"), 0);
  EXPECT_EQ(result, "default");
  result = "stale";
  EXPECT_EQ(CATRscCatalog::BuildResource("Missing", "Icon", result), 0);
  EXPECT_EQ(result, "");
}
