#include "ElmFixture.h"

#include <gmock/gmock.h>
#include <nlohmann/json.hpp>

using testing::HasSubstr;

namespace {

using ElmProcessStatus = elmtest::ElmFixture;

/// The example script on the example session, against elm-server seeded
/// with the demonstration data and a few processes of the test's own.
TEST_F(ElmProcessStatus, TheExampleScriptReadsTheUsersProcessesFromElmServer) {
  UseSession(Example("sessions/bicycle.json"));
  std::string extra = WriteFile("extra.xml", R"(<ElmServerSeed>
    <Process User="demo" Activity="Sync" Status="Queued"/>
    <Process User="someone else" Activity="Hidden" Status="Finished"/>
    <Process User="demo" Activity="Übertragung" Status="Fehler" Description="Käfig &lt;B&gt;" ErrorMsg="Zeile 1&#10;Zeile 2"/>
  </ElmServerSeed>)");
  std::string url = StartServer({Example("server/demo-seed.xml"), extra});
  ASSERT_FALSE(url.empty());
  auto r =
      RunCommand("ELMProcessStatusCmd", {"--script", Example("scripts/process-status.json"), "--events", EventsFile()},
                 {{"ELM_SERVER_URL", url}});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::string request = "[request] POST " + url + "ELMRequest: status 200\n";
  EXPECT_EQ(
      r.out.rfind(request + "[dialog] process_status opened\n"
                            "  process_status: \"\" (style 0x4001)\n"
                            "    buttons: none\n"
                            "    MultiList1 (CATDlgMultiList) row 0, col 0, just 0x1e\n"
                            "      columns: Activity | Status | Description | Start | End | User | ErrorMsg (hidden)\n"
                            "      line 0: Transfer to Teamcenter | Finished | VPMReference PRD-1000 A (VPMReference), "
                            "expand level -1 | 2026-11-30T08:12:04Z | 2026-11-30T08:14:51Z | demo | \n"
                            "      line 1: Transfer to Teamcenter | Failed | VPMReference PRD-2000 B (VPMReference), "
                            "expand level 1 | 2026-12-01T14:02:40Z | 2026-12-01T14:02:47Z | demo | Teamcenter refused "
                            "PRD-2100: the item revision is checked out by another user.\n",
                  0),
      0u)
      << r.out;
  EXPECT_THAT(r.out, HasSubstr("      line 3: Sync | Queued |  |  |  | demo | \n"));
  EXPECT_THAT(r.out, HasSubstr("      line 4: Übertragung | Fehler | Käfig <B> |  |  | demo | Zeile 1"));
  EXPECT_THAT(r.out, testing::Not(HasSubstr("Hidden")));
  EXPECT_THAT(r.out, HasSubstr("[action] step 2: press RefreshButton in process_status\n" + request +
                               "[action] step 3: press CloseButton in process_status\n"
                               "[dialog] process_status closed\n"));
  std::vector<nlohmann::json> lines = EventLines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0]["event"], "request");
  EXPECT_THAT(lines[0]["request"].get<std::string>(), HasSubstr("<Request name=\"GetProcessInfoForUser\""))
      << lines[0]["request"];
  EXPECT_THAT(lines[0]["request"].get<std::string>(), HasSubstr("<Attribute name=\"USER\" value=\"demo\""));
  const nlohmann::json& open = lines[1];
  EXPECT_EQ(open["event"], "dialog-open");
  const nlohmann::json& list = open["widgets"][0];
  EXPECT_EQ(list["name"], "MultiList1");
  EXPECT_EQ(list["state"]["lines"].size(), 5u);
  EXPECT_EQ(list["state"]["lines"][4][6], "Zeile 1\nZeile 2");
}

}  // namespace
