#include "ElmFixture.h"

#include <gmock/gmock.h>

#include <sstream>

using testing::HasSubstr;

namespace {

/// The real road of a transfer: elm with the sample session and the sample
/// scripts, elm-server with its database, and elm-server's own listing of
/// what it recorded.
class ElmTransfer : public elmtest::ElmFixture {
protected:
  void SetUp() override {
    ElmFixture::SetUp();
    UseSession(Example("sessions/bicycle.json"));
    m_url = StartServer();
    ASSERT_FALSE(m_url.empty());
  }
  elmtest::ProcessResult ServerCli(const std::vector<std::string>& args) const {
    std::vector<std::string> all{args[0], "--db", (m_dir / "pdm.db").string()};
    all.insert(all.end(), args.begin() + 1, args.end());
    return elmtest::RunProcess(ELM_SERVER_EXECUTABLE, all);
  }
  elmtest::ProcessResult Send(const std::string& selected, const std::string& script) const {
    EditSession("selection", {selected});
    return RunCommand("ELMTransferStructureCmd", {"--script", Example("scripts/" + script)},
                      {{"ELM_SERVER_URL", m_url}});
  }
  /// The rows of `elm-server list transfers` without the time of receipt.
  std::vector<std::string> Transfers() const {
    auto r = ServerCli({"list", "transfers"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::string> rows;
    std::istringstream in(r.out);
    std::string line;
    std::getline(in, line);  // heading
    while (std::getline(in, line)) rows.push_back(line.substr(0, line.rfind('\t')));
    return rows;
  }
  std::string m_url;
};

TEST_F(ElmTransfer, EachKindOfObjectReachesTheServerThroughItsDialog) {
  // Texts with markup and non-ASCII characters are stored exactly.
  auto doc = nlohmann::ordered_json::parse(ReadFile(m_session));
  for (auto& o : doc["objects"])
    if (o["id"] == "frame") o["attributes"]["PLM_ExternalID"] = "Rahmen <\"&'> Größe 😀";
  doc["user"] = {{"login", "o'neil & co"}};
  WriteFile("session.json", doc.dump(2));
  auto product = Send("node-frame", "transfer-product.json");
  ASSERT_EQ(product.exitCode, 0) << product.out << product.err;
  EXPECT_THAT(product.out, HasSubstr("[dialog] oak_send_to_pdm_dialog opened\n"));
  EXPECT_THAT(product.out, HasSubstr("[box] ELMError (information, OK)\n"));
  // Saved before it was sent.
  EXPECT_THAT(product.out, HasSubstr("[save] frame: saved\n[request] POST"));

  // The folder dialog is the one for folders while bookmarks are off.
  auto folder = Send("folder-bikes", "transfer-folder.json");
  ASSERT_EQ(folder.exitCode, 0) << folder.out << folder.err;
  EXPECT_THAT(folder.out, HasSubstr("[dialog] oak_send_folder_to_pdm_dialog opened\n"));

  // The switch is read again at each start: no restart of the server.
  auto set = ServerCli({"set", "UseBookmark", "true"});
  ASSERT_EQ(set.exitCode, 0) << set.err;
  auto bookmark = Send("bookmark-city", "transfer-bookmark.json");
  ASSERT_EQ(bookmark.exitCode, 0) << bookmark.out << bookmark.err;
  EXPECT_THAT(bookmark.out, HasSubstr("[dialog] oak_send_bookmark_to_pdm_dialog opened\n"));

  EXPECT_EQ(Transfers(), (std::vector<std::string>{
                             "1\to'neil & co\tVPMReference\tVPMReference\tRahmen <\"&'> Größe 😀\tA\t2"
                             "\tfalse\ttrue\tfalse\tfalse\tfalse",
                             "2\to'neil & co\tFolder\tENOFLD_FolderRootReference\tfld-bicycles\tA\t-1"
                             "\ttrue\ttrue\tfalse\tfalse\tfalse",
                             "3\to'neil & co\tBookmark\tWorkspace\tCity bikes\t1\t-1\tfalse\ttrue\tfalse\ttrue\tfalse",
                         }));
}

}  // namespace
