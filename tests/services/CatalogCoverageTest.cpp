#include "CATMsgCatalog.h"

#include "LoopbackServer.h"
#include "ChildProcess.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>

// Every text the plug-in looks up by a literal catalog and key must have an
// English text in the shipped catalogs; otherwise the user would see the
// generated "<catalog> <key>" default instead of a sentence.

namespace {

namespace fs = std::filesystem;

const std::string kSourceDir = ELM_SOURCE_DIR;
const std::string kShippedMessages = kSourceDir + "/resources/msg";

struct LookUp {
  std::string file;  // catalog file looked up, without ".nls"
  std::string key;
  std::string where;
  bool operator<(const LookUp& o) const { return std::tie(file, key) < std::tie(o.file, o.key); }
};

void skipSpace(const std::string& s, std::size_t& i) {
  while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
}

// A string literal without escapes at i; false when there is none.
bool readLiteral(const std::string& s, std::size_t& i, std::string& out) {
  skipSpace(s, i);
  if (i >= s.size() || s[i] != '"') return false;
  std::size_t end = s.find('"', i + 1);
  if (end == std::string::npos) return false;
  out = s.substr(i + 1, end - i - 1);
  i = end + 1;
  return out.find('\\') == std::string::npos;
}

bool expect(const std::string& s, std::size_t& i, char c) {
  skipSpace(s, i);
  if (i >= s.size() || s[i] != c) return false;
  ++i;
  return true;
}

// BuildMessage("Catalog", "Key", ...) of ELMGlobal goes to the common catalog
// "ELM" + Catalog; CATMsgCatalog::BuildMessage names the file itself.
void scanText(const std::string& s, const std::string& where, std::set<LookUp>& found) {
  static const std::string name = "BuildMessage";
  static const std::string direct = "CATMsgCatalog::";
  for (std::size_t p = s.find(name); p != std::string::npos; p = s.find(name, p + 1)) {
    std::size_t i = p + name.size();
    std::string catalog, key;
    if (!expect(s, i, '(') || !readLiteral(s, i, catalog) || !expect(s, i, ',') || !readLiteral(s, i, key)) continue;
    bool isDirect = p >= direct.size() && s.compare(p - direct.size(), direct.size(), direct) == 0;
    found.insert({isDirect ? catalog : "ELM" + catalog, key, where});
  }
}

std::set<LookUp> scanSources() {
  std::set<LookUp> found;
  for (const char* dir : {"protocol", "services", "commands"}) {
    fs::path root = fs::path(kSourceDir) / dir;
    if (!fs::exists(root)) continue;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
      std::string ext = entry.path().extension().string();
      if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h")) continue;
      scanText(elmtest::ReadFile(entry.path().string()), entry.path().lexically_relative(kSourceDir).string(), found);
    }
  }
  return found;
}

std::string shippedText(const std::string& file, const std::string& key) {
  return CATMsgCatalog::BuildMessage(file.c_str(), key.c_str(), nullptr, 0, "\x01missing").ConvertToChar();
}

}  // namespace

TEST(ShippedCatalogs, EveryLiteralLookUpInTheSourcesHasAnEnglishText) {
  elmtest::EnvChanges path("ELMHOST_CATALOG_PATH", kShippedMessages);
  std::set<LookUp> lookUps = scanSources();
  // The scan must see the look-ups we know of, or it would pass on nothing.
  ASSERT_TRUE(lookUps.count({"ELMGlobal", "ModuleMissing", ""})) << "scan found " << lookUps.size();
  ASSERT_TRUE(lookUps.count({"ELMHtmlRequest", "ErrorCommunication", ""}));
  for (const LookUp& l : lookUps) {
    std::string text = shippedText(l.file, l.key);
    EXPECT_NE(text, "\x01missing") << l.file << ".nls lacks " << l.key << " (looked up in " << l.where << ")";
    EXPECT_FALSE(text.empty()) << l.file << ".nls has an empty " << l.key;
  }
}

TEST(ShippedCatalogs, ThePartNumberCommandHasEveryTextWithItsParameters) {
  elmtest::EnvChanges path("ELMHOST_CATALOG_PATH", kShippedMessages);
  const std::pair<const char*, int> keys[] = {
      {"MsgTitle", 0},           {"MsgWarnSelection", 0},    {"MsgWronPNPrefix", 2},
      {"MsgSelectedUnsaved", 0}, {"MsgMultipleVersions", 0}, {"MsgWrongMaturity", 2},
      {"MsgConnectFailed", 0},   {"MsgFinishedOK", 2},       {"MsgFailed", 0},
  };
  for (auto [key, params] : keys) {
    std::string text = shippedText("ELMSetPartNumberFromExtPdmCmd", key);
    ASSERT_NE(text, "\x01missing") << key;
    EXPECT_FALSE(text.empty()) << key;
    for (int p = 1; p <= 9; ++p) {
      bool present = text.find("/P" + std::to_string(p)) != std::string::npos;
      EXPECT_EQ(present, p <= params) << key << " and /P" << p << ": " << text;
    }
  }
}

TEST(ShippedCatalogs, EachModuleOverridesAGlobalText) {
  elmtest::EnvChanges path("ELMHOST_CATALOG_PATH", kShippedMessages);
  std::set<std::string> globalKeys;
  for (const LookUp& l : scanSources())
    if (l.file == "ELMGlobal") globalKeys.insert(l.key);
  ASSERT_FALSE(globalKeys.empty());
  for (const char* module : {"OAK", "ASH", "YEW"}) {
    int overridden = 0;
    for (const std::string& key : globalKeys) {
      std::string text = shippedText(std::string(module) + "Global", key);
      if (text != "\x01missing" && !text.empty() && text != shippedText("ELMGlobal", key)) ++overridden;
    }
    EXPECT_GE(overridden, 1) << module << "Global overrides no text of ELMGlobal";
  }
}

TEST(ShippedCatalogs, HaveNoMalformedLines) {
  auto r = elmtest::RunInChild({{"ELMHOST_CATALOG_PATH", kShippedMessages}}, [] {
    dup2(STDOUT_FILENO, STDERR_FILENO);
    int files = 0;
    for (const auto& entry : fs::directory_iterator(kShippedMessages)) {
      if (entry.path().extension() != ".nls") continue;
      ++files;
      shippedText(entry.path().stem().string(), "AnyKey");
    }
    std::printf("files %d\n", files);
    return 0;
  });
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out.find(".nls:"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("files "), std::string::npos);
  EXPECT_EQ(r.out.find("files 0"), std::string::npos);
}
