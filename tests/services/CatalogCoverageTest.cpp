#include "CATMsgCatalog.h"
#include "CATRscCatalog.h"

#include "ChildProcess.h"
#include "LoopbackServer.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <set>
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

bool isIdentifierChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// The command kit's catalogs: `ELMCatalog name{"Catalog", ...}` declares one,
// and `name.Message("Key"` looks a key up in it, which ELMGlobal::BuildMessage
// sends to the common catalog "ELM" + Catalog.
void scanKitCatalogs(const std::string& s, const std::string& where, std::set<LookUp>& found) {
  static const std::string type = "ELMCatalog ";
  for (std::size_t p = s.find(type); p != std::string::npos; p = s.find(type, p + 1)) {
    std::size_t i = p + type.size();
    skipSpace(s, i);
    std::size_t nameStart = i;
    while (i < s.size() && isIdentifierChar(s[i])) ++i;
    std::string variable = s.substr(nameStart, i - nameStart);
    std::string catalog;
    skipSpace(s, i);
    if (variable.empty() || i >= s.size() || (s[i] != '{' && s[i] != '(')) continue;
    ++i;
    if (!readLiteral(s, i, catalog)) continue;
    const std::string call = variable + ".Message";
    for (std::size_t c = s.find(call); c != std::string::npos; c = s.find(call, c + 1)) {
      if (c > 0 && isIdentifierChar(s[c - 1])) continue;
      std::size_t j = c + call.size();
      std::string key;
      if (expect(s, j, '(') && readLiteral(s, j, key)) found.insert({"ELM" + catalog, key, where});
    }
  }
}

// BuildMessage("Catalog", "Key", ...) of ELMGlobal goes to the common catalog
// "ELM" + Catalog; CATMsgCatalog::BuildMessage names the file itself. A
// dialog's ApplyStandardTexts("Catalog") looks up at least its Title.
void scanText(const std::string& s, const std::string& where, std::set<LookUp>& found) {
  scanKitCatalogs(s, where, found);
  static const std::string dialog = "ApplyStandardTexts";
  for (std::size_t p = s.find(dialog); p != std::string::npos; p = s.find(dialog, p + 1)) {
    std::size_t i = p + dialog.size();
    std::string catalog;
    if (expect(s, i, '(') && readLiteral(s, i, catalog)) found.insert({catalog, "Title", where});
  }
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
  ASSERT_TRUE(lookUps.count({"ELMSetPartNumberFromExtPdmCmd", "MsgWarnSelection", ""})) << "kit look-ups not seen";
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

// The look-ups of the first test include each dialog's Title.
TEST(ShippedCatalogs, EveryDialogHasATitleInTheCatalogOfItsStandardTexts) {
  const std::set<LookUp> lookUps = scanSources();
  EXPECT_TRUE(lookUps.count({"ELMAboutDialog", "Title", ""})) << "scan found " << lookUps.size();
  EXPECT_TRUE(lookUps.count({"ELMCoexistenceAdminCmd", "Title", ""}));
}

TEST(ShippedCatalogs, HaveNoMalformedLines) {
  const std::string shippedResources = kSourceDir + "/resources/rsc";
  auto r = elmtest::RunInChild({{"ELMHOST_CATALOG_PATH", kShippedMessages + ":" + shippedResources}}, [&] {
    dup2(STDOUT_FILENO, STDERR_FILENO);
    int files = 0;
    for (const std::string& dir : {kShippedMessages, shippedResources}) {
      for (const auto& entry : fs::directory_iterator(dir)) {
        std::string ext = entry.path().extension().string();
        if (ext == ".nls") shippedText(entry.path().stem().string(), "AnyKey");
        if (ext == ".rsc") {
          CATString value;
          CATRscCatalog::BuildResource(entry.path().stem().string().c_str(), "AnyKey", value);
        }
        files += ext == ".nls" || ext == ".rsc";
      }
    }
    std::printf("files %d\n", files);
    return 0;
  });
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out.find(".nls:"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find(".rsc:"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("files "), std::string::npos);
  EXPECT_EQ(r.out.find("files 0"), std::string::npos);
}
