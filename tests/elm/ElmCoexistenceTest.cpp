#include "ElmFixture.h"

#include <gmock/gmock.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <regex>

using testing::HasSubstr;
using testing::Not;

namespace {

namespace fs = std::filesystem;

/// elm runs the coexistence command of the example session with the
/// example contexts and scripts; the batch program is found as elm finds it.
class ElmCoexistence : public elmtest::ElmFixture {
protected:
  void SetUp() override {
    ElmFixture::SetUp();
    UseSession(Example("sessions/coexistence.json"));
    // The example settings name the context file relative to the repository; here it is named whole.
    WriteFile("CoexSettingsRep.settings", "COEX_Ctx_XmlFile = \"" + Example("coexistence/contexts.xml") + "\";\n");
    fs::create_directories(m_dir / "tmp");
  }

  elmtest::ProcessResult Run(const std::string& script, std::map<std::string, std::string> env = {}) {
    env.emplace("TMPDIR", (m_dir / "tmp").string());
    env.emplace("DISPLAY", "");
    env.emplace("WAYLAND_DISPLAY", "");
    env.emplace("ELMHOST_BATCH_PROGRAM", "");
    return RunCommand("ELMCoexistenceAdminCmd", {"--script", script, "--events", EventsFile()}, std::move(env));
  }
};

TEST_F(ElmCoexistence, TheExampleRunDeletesTheMappingsInABatchAndPrintsWhereItsReportIs) {
  auto r = Run(Example("scripts/coexistence-run.json"));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  // The widgets themselves are the command test's table; here the contexts come from the example file.
  const std::string dialog =
      "[dialog] ELMCoexistenceAdminCmd opened\n"
      "  ELMCoexistenceAdminCmd: \"CoexistenceAdminCmd Title\" (style 0x40201)\n"
      "    buttons: OK\n"
      "    ContextFrame (CATDlgFrame) row 0, col 0, just 0x1e\n"
      "      ContextLabel (CATDlgLabel) row 0, col 0, span 3x1, just 0x1e\n"
      "      ContextCombo (CATDlgCombo) row 0, col 3, just 0x1e lines [\"COEXISTENCE\", \"SUPPLIER_EXCHANGE\", "
      "\"PLANT_LAYOUT\"] selected 0\n";
  EXPECT_EQ(r.out.rfind(dialog, 0), 0u) << r.out;
  const std::string tmp = fs::canonical(m_dir / "tmp").string();
  std::smatch m;
  const std::regex run(
      "\\[action\\] step 3: press the OK button of ELMCoexistenceAdminCmd\n"
      "\\[batch\\] CoexistenceAdministration ([0-9a-f]{32}): submitted \\(input " +
      tmp + "/BIRCoexAdmin.xml, output (" + tmp +
      "/CoexistenceAdministration_[0-9_-]+)\\.log\\)\n"
      "\\[batch\\] CoexistenceAdministration \\1: ended \\(return code 0\\)\n"
      "pNotifName CATBatchEndNotifCAA\n"
      "\\[open\\] \\2\\.htm: not opened \\(no display\\)\n"
      "\\[dialog\\] ELMCoexistenceAdminCmd closed\n$");
  ASSERT_TRUE(std::regex_search(r.out, m, run)) << r.out;
  const std::string report = m[2].str() + ".htm";

  const std::vector<nlohmann::json> events = EventLines();
  std::vector<std::string> kinds;
  for (const auto& e : events) kinds.push_back(e["event"].get<std::string>() + ":" + e.value("state", ""));
  EXPECT_EQ(kinds, (std::vector<std::string>{"dialog-open:", "dialog-action:", "dialog-action:", "dialog-action:",
                                             "batch:submitted", "batch:ended", "open:", "dialog-close:"}));
  EXPECT_EQ(events[6]["path"], report);
  EXPECT_EQ(events[6]["opened"], false);
  EXPECT_EQ(events[5]["returnCode"], 0);

  // The frame and the fork below it lost their mappings; the bicycle kept its own.
  for (const char* id : {"frame", "fork"}) EXPECT_EQ(SessionAttribute(id, "CoexMapping"), "") << id;
  EXPECT_EQ(SessionAttribute("bike", "CoexMapping"), "V5:/projects/bike/CityBike.CATProduct");
  std::string html = ReadFile(report);
  EXPECT_THAT(html, HasSubstr("Mapping to V5:/projects/bike/Frame.CATPart deleted."));
  EXPECT_THAT(html, HasSubstr("<td>fork</td><td>VPMReference</td><td>prd-fork</td><td>Fork</td><td>below frame</td>"));
  EXPECT_THAT(html, HasSubstr("2 objects, 2 changed. The changes were saved."));
}

TEST_F(ElmCoexistence, AKilledBatchEndsTheRunWithoutAReportAndNothingHangs) {
  const std::string ok = WriteFile("ok.json", R"([{"dialog": "ELMCoexistenceAdminCmd", "button": "OK"}])");
  const std::string killed = WriteFile("killed.sh", "#!/bin/sh\nkill -KILL $$\n");
  fs::permissions(killed, fs::perms::owner_all);
  auto r = Run(ok, {{"ELMHOST_BATCH_PROGRAM", killed}});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_THAT(r.out,
              testing::ContainsRegex(": ended by signal 9 \\(return code 137\\)\npNotifName CATBatchEndNotifCAA\n"
                                     "\\[dialog\\] ELMCoexistenceAdminCmd closed\n$"));
  EXPECT_THAT(r.out, Not(HasSubstr("[open]")));

  // Past the time limit the batch is stopped and the run goes on.
  const std::string slow = WriteFile("slow.sh", "#!/bin/sh\nsleep 30\n");
  fs::permissions(slow, fs::perms::owner_all);
  r = Run(ok, {{"ELMHOST_BATCH_PROGRAM", slow}, {"ELMHOST_BATCH_TIMEOUT", "0.5"}});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_THAT(r.out, HasSubstr(": stopped: it did not end within 0.5 s (return code 143)\n"));
  EXPECT_THAT(r.out, Not(HasSubstr("[open]")));
}

}  // namespace
