#include "CommandFixture.h"

#include "CATApplicationFrame.h"
#include "CATDlgCheckButton.h"
#include "CATDlgCombo.h"
#include "CATDlgDialog.h"
#include "ELMHostBatch.h"
#include "ELMHostDesktop.h"

#include <gmock/gmock.h>
#include <pugixml.hpp>

#include <sys/stat.h>

#include <fstream>

using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;

namespace {

namespace fs = std::filesystem;
using Parameters = std::vector<std::pair<std::string, std::vector<std::string>>>;

const char* const kDialog = "ELMCoexistenceAdminCmd";
const std::string kOK = elmtest::Step(kDialog, "button", "OK");

std::string Contexts(std::initializer_list<const char*> names) {
  std::string xml = "<?xml version=\"1.0\"?>\n<CoexistenceContexts>\n";
  for (const char* n : names) xml += n ? std::string("  <Context Name=\"") + n + "\"/>\n" : "  <Context/>\n";
  return xml + "</CoexistenceContexts>\n";
}

/// The coexistence command in the host, with the real batch program, a
/// temporary directory of the test's own, the settings repository naming a
/// context file, no display, and the host's batches and desktop opens recorded.
class Coexistence : public elmtest::CommandFixture {
protected:
  void SetUp() override {
    CommandFixture::SetUp();
    UseSession("coexistence.json");
    fs::create_directories(m_dir / "tmp");
    m_env.Set("TMPDIR", (m_dir / "tmp").string());
    m_env.Set("ELMHOST_BATCH_PROGRAM", ELM_BATCH_EXE);
    m_env.Unset("ELMHOST_BATCH_TIMEOUT");
    m_env.Unset("DISPLAY");
    m_env.Unset("WAYLAND_DISPLAY");
    WriteContexts(Contexts({"COEXISTENCE", "PLANT"}));
    m_previousBatch = elmhost::SetBatchObserver([this](const elmhost::BatchEvent& e) { m_batches.push_back(e); });
    m_previousDesktop = elmhost::SetDesktopObserver([this](const elmhost::DesktopOpen& o) { m_opened.push_back(o); });
  }
  void TearDown() override {
    elmhost::SetBatchObserver(std::move(m_previousBatch));
    elmhost::SetDesktopObserver(std::move(m_previousDesktop));
  }

  void WriteContexts(const std::string& xml) {
    std::ofstream(m_dir / "contexts.xml") << xml;
    std::ofstream(m_dir / "CoexSettingsRep.settings")
        << "COEX_Ctx_XmlFile = \"" << (m_dir / "contexts.xml").string() << "\";\n";
  }
  /// A batch program of the test's own: a shell script with this body.
  std::string Program(const std::string& name, const std::string& body) {
    fs::path p = m_dir / name;
    std::ofstream(p) << "#!/bin/sh\n" << body << "\n";
    fs::permissions(p, fs::perms::owner_all);
    return p.string();
  }

  CATDlgDialog* Dialog() const { return elmhost::FindDialog(kDialog); }
  template <class W>
  W* Widget(const char* name) const {
    return dynamic_cast<W*>(elmhost::FindWidget(Dialog(), name));
  }
  bool Checked(const char* name) const { return elmtest::IsChecked(Widget<CATDialog>(name)); }
  bool Sensitive(const char* name) const { return Widget<CATDialog>(name)->GetSensitivity() == CATDlgEnable; }

  fs::path InputFile() const { return m_dir / "tmp" / "BIRCoexAdmin.xml"; }
  Parameters InputParameters() const {
    Parameters out;
    pugi::xml_document doc;
    if (!doc.load_file(InputFile().c_str())) return out;
    for (pugi::xml_node p : doc.child("PLMBatch").child("ApplicativeParameters").children("Parameter")) {
      std::vector<std::string> values;
      for (pugi::xml_node v : p.children("Value")) values.emplace_back(v.text().get());
      out.emplace_back(p.attribute("name").value(), values);
    }
    return out;
  }
  std::vector<std::string> InputObjects() const {
    std::vector<std::string> out;
    pugi::xml_document doc;
    doc.load_file(InputFile().c_str());
    for (pugi::xml_node o : doc.child("PLMBatch").child("SelectedObjects").children("Object"))
      out.emplace_back(o.attribute("id").value());
    return out;
  }
  /// Runs the command with the script (by default: OK) and gives what it printed.
  std::string RunCapturing(const std::string& script = "[" + kOK + "]") {
    SetScript(script);
    testing::internal::CaptureStdout();
    Run("ELMCoexistenceAdminCmd");
    return testing::internal::GetCapturedStdout();
  }

  std::vector<elmhost::BatchEvent> m_batches;
  std::vector<elmhost::DesktopOpen> m_opened;
  elmhost::BatchObserver m_previousBatch;
  elmhost::DesktopObserver m_previousDesktop;
};

TEST_F(Coexistence, TheCommandIsItsDialogWithSixteenWidgets) {
  WriteCatalog("ELMCoexistenceAdminCmd.nls", "Title = \"Coexistence\";\n");
  WriteCatalog("ELMCoexistenceAdminCmd.rsc", "DeleteMappingRB.Title = \"Delete\";\nPreviewCB.Title = \"Preview\";\n");
  WriteCatalog("OAKCoexistenceAdminCmd.rsc", "PreviewCB.Title = \"Dry run\";\n");
  Run("ELMCoexistenceAdminCmd");
  EXPECT_THAT(OpenedDialogs(), ElementsAre(kDialog));
  CATDlgDialog* dialog = Dialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(static_cast<CATCommand*>(dialog), m_command);
  EXPECT_EQ(dialog->GetStyle(), 0x40201ul);
  EXPECT_EQ(dialog->GetFather(), CATApplicationFrame::GetFrame()->GetMainWindow());
  EXPECT_EQ(dialog->GetTitle(), "Coexistence");

  // Captions come along the resource chain: the module's file, then the
  // command's. With an object selected: transfer the mastership from V5,
  // run, show the report.
  const std::vector<elmtest::WidgetRow> widgets = {
      {"ContextFrame", "CATDlgFrame", kDialog, 0xc0001, 0, 0, 1, 1, 0x1e},
      {"ContextCombo", "CATDlgCombo", "ContextFrame", 0x40000, 0, 3, 1, 1, 0x1e},
      {"ContextLabel", "CATDlgLabel", "ContextFrame", 0x40000, 0, 0, 3, 1, 0x1e},
      {"ShowResultCB", "CATDlgCheckButton", kDialog, 0, 6, 0, 1, 1, 0x1e, nullptr, true},
      {"PreviewCB", "CATDlgCheckButton", kDialog, 0, 5, 0, 1, 1, 0x1e, "Dry run", false},
      {"MappingFrame", "CATDlgFrame", kDialog, 0xc0001, 2, 0, 1, 1, 0x1e},
      {"DeleteMappingRB", "CATDlgRadioButton", "MappingFrame", 0, 1, 0, 1, 1, 0xa, "Delete", false},
      {"TransferMasterRB", "CATDlgRadioButton", "MappingFrame", 0, 1, 2, 1, 1, 0xa, nullptr, true, true},
      {"DeleteAllCB", "CATDlgCheckButton", "MappingFrame", 0, 3, 0, 1, 1, 0xa, nullptr, false, false},
      {"DirectionFrame", "CATDlgFrame", "MappingFrame", 0xc0001, 3, 2, 1, 1, 0x1e, nullptr, {}, true},
      {"V5V6MasterRB", "CATDlgRadioButton", "DirectionFrame", 0, 0, 0, 1, 1, 0xa, nullptr, true},
      {"V6V5MasterRB", "CATDlgRadioButton", "DirectionFrame", 0, 1, 0, 1, 1, 0xa, nullptr, false},
      {"Separator1", "CATDlgSeparator", "MappingFrame", 0, 2, 0, 3, 1, 0xe},
      {"Separator3", "CATDlgSeparator", "MappingFrame", 0x80000, 3, 1, 1, 1, 0x1a},
      {"Separator2", "CATDlgSeparator", kDialog, 0, 1, 0, 1, 1, 0xe},
      {"Separator4", "CATDlgSeparator", kDialog, 0, 3, 0, 1, 1, 0xe},
  };
  elmtest::ExpectWidgets(dialog, widgets);
  EXPECT_THAT(m_batches, IsEmpty());

  // Choosing to delete offers every object of the context.
  ASSERT_TRUE(elmhost::Choose(dialog, "DeleteMappingRB").ok);
  EXPECT_TRUE(Sensitive("DeleteAllCB"));
  EXPECT_FALSE(Checked("DeleteAllCB"));
  EXPECT_FALSE(Sensitive("DirectionFrame"));
  ASSERT_TRUE(elmhost::Choose(dialog, "TransferMasterRB").ok);
  EXPECT_FALSE(Sensitive("DeleteAllCB"));
  EXPECT_TRUE(Sensitive("DirectionFrame"));
}

TEST_F(Coexistence, WithNothingSelectedOnlyDeletingEveryMappingOfTheContextIsOffered) {
  Select({});
  std::string out = RunCapturing();
  // The state a person met before pressing OK.
  ASSERT_FALSE(m_batches.empty());
  EXPECT_EQ(InputParameters(), (Parameters{{"CoexAdmin_Context", {"COEXISTENCE"}},
                                           {"CoexAdmin_Mapping", {"Delete"}},
                                           {"CoexAdmin_Propagate", {"All"}},
                                           {"CoexAdmin_ApplyTo", {"All"}},
                                           {"CoexAdmin_Mode", {"Run"}},
                                           {"CoexAdmin_Workspace", {}}}));
  EXPECT_THAT(InputObjects(), IsEmpty());
  // Every mapping of the context went; the other context's stayed.
  for (const char* id : {"asm", "part", "bolt", "noid"}) EXPECT_EQ(SavedAttribute(id, "CoexMapping"), "") << id;
  EXPECT_EQ(SavedAttribute("plant", "CoexMapping"), "V5:pump.CATPart");
  EXPECT_THAT(out, HasSubstr("pNotifName CATBatchEndNotifCAA\n"));

  ResetHost();
  Select({});
  SetScript("[]");
  Run("ELMCoexistenceAdminCmd");
  EXPECT_TRUE(Checked("DeleteMappingRB"));
  EXPECT_TRUE(Checked("DeleteAllCB"));
  EXPECT_FALSE(Sensitive("DeleteAllCB"));
  EXPECT_FALSE(Sensitive("TransferMasterRB"));
  EXPECT_FALSE(Checked("TransferMasterRB"));
  EXPECT_FALSE(Sensitive("DirectionFrame"));
}

TEST_F(Coexistence, TheOptionsBecomeTheBatchParametersInTheirOrder) {
  const std::string toV5 =
      elmtest::Step(kDialog, "choose", "V6V5MasterRB") + ", " + elmtest::Step(kDialog, "check", "PreviewCB") + ",";
  const std::string deleteInPlant = elmtest::Step(kDialog, "choose", "DeleteMappingRB") + ", " +
                                    R"({"dialog": "ELMCoexistenceAdminCmd", "pick": "ContextCombo", "line": 1},)";
  const std::string deleteAll =
      elmtest::Step(kDialog, "choose", "DeleteMappingRB") + ", " + elmtest::Step(kDialog, "check", "DeleteAllCB") + ",";
  struct Case {
    const char* what;
    std::string steps;
    std::vector<std::string> mapping;
    const char* context;
    const char* applyTo;
    const char* mode;
  } cases[] = {
      {"as the dialog opens", "", {"Ownership", "V5V6Master", "AllowRep"}, "COEXISTENCE", "Selection", "Run"},
      {"back to V5, preview", toV5, {"Ownership", "V6V5Master", "AllowRep"}, "COEXISTENCE", "Selection", "Preview"},
      {"delete the selection's mappings in another context", deleteInPlant, {"Delete"}, "PLANT", "Selection", "Run"},
      {"delete every mapping of the context", deleteAll, {"Delete"}, "COEXISTENCE", "All", "Run"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetHost();
    fs::remove(InputFile());
    RunCapturing("[" + c.steps + kOK + "]");
    EXPECT_EQ(InputParameters(), (Parameters{{"CoexAdmin_Context", {c.context}},
                                             {"CoexAdmin_Mapping", c.mapping},
                                             {"CoexAdmin_Propagate", {"All"}},
                                             {"CoexAdmin_ApplyTo", {c.applyTo}},
                                             {"CoexAdmin_Mode", {c.mode}},
                                             {"CoexAdmin_Workspace", {}}}));
    // The batch works on what the selected node shows: its reference.
    EXPECT_THAT(InputObjects(), ElementsAre("part"));
    EXPECT_THAT(elmhost::LiveDialogs(), IsEmpty());
  }
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_file(InputFile().c_str()));
  std::string tmp = fs::canonical(m_dir / "tmp").string();
  pugi::xml_node report = doc.child("PLMBatch").child("ReportParameters").child("Parameter");
  EXPECT_STREQ(report.attribute("name").value(), "PLMBATCH_Report_Directory");
  EXPECT_EQ(report.attribute("value").value(), tmp);
  EXPECT_EQ(std::string(doc.child("PLMBatch").child("Report").attribute("name").value()).rfind(tmp + "/", 0), 0u);
}

TEST_F(Coexistence, TheBatchRunsOnTheSelectionAndWhatItHoldsAndItsReportOpens) {
  std::string out = RunCapturing();
  ASSERT_EQ(m_batches.size(), 2u);
  EXPECT_EQ(m_batches[0].kind, elmhost::BatchEvent::Kind::Submitted);
  EXPECT_EQ(m_batches[1].kind, elmhost::BatchEvent::Kind::Ended);
  EXPECT_EQ(m_batches[1].returnCode, 0) << elmtest::ReadFile(m_batches[1].logFile);
  EXPECT_EQ(m_batches[0].name, "CoexistenceAdministration");
  EXPECT_EQ(m_batches[0].id.size(), 32u);
  EXPECT_EQ(out, "pNotifName CATBatchEndNotifCAA\n");
  // The selected part and the bolt below it are V6 master now; the bolt was already.
  EXPECT_EQ(SavedAttribute("part", "CoexMaster"), "V6");
  EXPECT_EQ(SavedAttribute("part", "CoexAllowRep"), "true");
  EXPECT_EQ(SavedAttribute("bolt", "CoexMaster"), "V6");
  EXPECT_EQ(SavedAttribute("asm", "CoexMaster"), "V5");

  ASSERT_EQ(m_opened.size(), 1u);
  EXPECT_EQ(m_opened[0].verb, "open");
  EXPECT_FALSE(m_opened[0].opened);
  EXPECT_EQ(m_opened[0].reason, "no display");
  std::string report = m_opened[0].path;
  EXPECT_EQ(report.rfind(fs::canonical(m_dir / "tmp").string() + "/CoexistenceAdministration_", 0), 0u) << report;
  EXPECT_EQ(report.substr(report.size() - 4), ".htm");
  EXPECT_THAT(elmtest::ReadFile(report), HasSubstr("<td>changed</td><td>Mastership moved from V5 to V6.</td>"));
  ExpectEnded();
}

// A batch past its time limit is the host's test and elm's: stopped, it ends the same way.
TEST_F(Coexistence, ABatchThatFailsCrashesOrIsKilledOpensNoReport) {
  struct Case {
    const char* what;
    std::string program;  // empty: the real batch program
    std::string uncheck;
    int returnCode;
  } cases[] = {
      {"a clean end without the report", "", "ShowResultCB", 0},
      {"return code 3", Program("three.sh", "exit 3"), "", 3},
      {"killed", Program("killed.sh", "kill -KILL $$"), "", 128 + 9},
      {"crashed", Program("crash.sh", "kill -SEGV $$"), "", 128 + 11},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetHost();
    m_batches.clear();
    m_opened.clear();
    m_env.Set("ELMHOST_BATCH_PROGRAM", c.program.empty() ? std::string(ELM_BATCH_EXE) : c.program);
    std::string uncheck =
        c.uncheck.empty() ? "" : R"({"dialog": "ELMCoexistenceAdminCmd", "uncheck": ")" + c.uncheck + "\"},";
    std::string out = RunCapturing("[" + uncheck + kOK + "]");
    ASSERT_EQ(m_batches.size(), 2u);
    EXPECT_EQ(m_batches[1].kind, elmhost::BatchEvent::Kind::Ended);
    EXPECT_EQ(m_batches[1].returnCode, c.returnCode);
    EXPECT_THAT(m_opened, IsEmpty());
    EXPECT_EQ(out, "pNotifName CATBatchEndNotifCAA\n");
    // Whatever became of the batch, the command has ended.
    ExpectEnded();
  }
}

TEST_F(Coexistence, WithoutABatchProgramTheCommandEndsWithoutRunningAnything) {
  m_env.Set("ELMHOST_BATCH_PROGRAM", (m_dir / "no-such-program").string());
  std::string out = RunCapturing();
  EXPECT_TRUE(fs::exists(InputFile()));
  EXPECT_THAT(m_batches, IsEmpty());
  EXPECT_THAT(m_opened, IsEmpty());
  EXPECT_EQ(out, "");
  EXPECT_THAT(elmhost::LiveDialogs(), IsEmpty());
}

TEST_F(Coexistence, AnUnwritableTemporaryDirectoryEndsTheCommandWithItsLine) {
  std::ofstream(m_dir / "a-file") << "not a directory";
  const std::string tmp = (m_dir / "a-file" / "tmp").string();
  m_env.Set("TMPDIR", tmp);
  std::string out = RunCapturing();
  EXPECT_EQ(out, "Cannot create batch input Xml File " + tmp + "/BIRCoexAdmin.xml\n");
  EXPECT_THAT(m_batches, IsEmpty());
  EXPECT_THAT(elmhost::LiveDialogs(), IsEmpty());
}

TEST_F(Coexistence, WithNoObjectAndNotEverythingToDeleteTheBatchIsRefused) {
  // The dialog never offers this; the command refuses it all the same.
  Select({});
  ASSERT_NO_FATAL_FAILURE(Prepare("ELMCoexistenceAdminCmd"));
  StartCommand();
  Widget<CATDlgCheckButton>("DeleteAllCB")->SetState(CATDlgUncheck, 0);
  ASSERT_TRUE(elmhost::PressButton(Dialog(), CATDlgWndOK).ok);
  EXPECT_THAT(BoxList(), ElementsAre("MsgBox|0x0|No selection"));
  EXPECT_THAT(BoxTitles(), ElementsAre("CoexistenceAdministration"));
  EXPECT_FALSE(fs::exists(InputFile()));
  EXPECT_THAT(m_batches, IsEmpty());
  EXPECT_THAT(elmhost::LiveDialogs(), IsEmpty());
}

TEST_F(Coexistence, TheContextListComesFromTheFileTheSettingsName) {
  auto writing = [this](std::string xml) { return [this, xml] { WriteContexts(xml); }; };
  auto removing = [this](const char* file) { return [this, file] { fs::remove(m_dir / file); }; };
  auto emptySetting = [this] { std::ofstream(m_dir / "CoexSettingsRep.settings") << "COEX_Ctx_XmlFile = \"\";\n"; };
  const std::string eight =
      "<Root><Context Name=\"1\"/><Group><Context Name=\"2\"><Context Name=\"3\"/></Context></Group>"
      "<Context Name=\"4\"/><Context Name=\"5\"/><Context Name=\"6\"/><Context Name=\"7\"/>"
      "<Context Name=\"8\"/><Other Name=\"not a context\"/></Root>";
  struct Case {
    const char* what;
    std::function<void()> arrange;
    std::vector<std::string> lines;
    int selected;
    int height;
  } cases[] = {
      {"three contexts", writing(Contexts({"A", "B", "C"})), {"A", "B", "C"}, 0, 5},
      {"eight contexts, anywhere in the document", writing(eight), {"1", "2", "3", "4", "5", "6", "7", "8"}, 0, 7},
      {"a context without a name", writing(Contexts({"A", nullptr})), {"A", ""}, 0, 4},
      {"no context in the file", writing("<Root/>"), {"COEXISTENCE"}, 0, 3},
      {"a file that does not parse", writing("<Root><Context Name=\"A\">"), {"COEXISTENCE"}, 0, 3},
      {"a missing file", removing("contexts.xml"), {"COEXISTENCE"}, 0, 3},
      {"an empty setting", emptySetting, {"COEXISTENCE"}, 0, 3},
      {"no settings repository", removing("CoexSettingsRep.settings"), {}, -1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetHost();
    WriteContexts(Contexts({"COEXISTENCE", "PLANT"}));
    c.arrange();
    SetScript("[]");
    Run("ELMCoexistenceAdminCmd");
    auto* combo = Widget<CATDlgCombo>("ContextCombo");
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(elmtest::ComboLines(*combo), c.lines);
    EXPECT_EQ(combo->GetSelect(), c.selected);
    EXPECT_EQ(combo->GetVisibleTextHeight(), c.height);
  }
}

TEST_F(Coexistence, ClosingTheDialogEndsTheCommandAndRunsNothing) {
  ExpectEveryWayOutEnds(kDialog, {elmtest::Step(kDialog, "close", "window"), elmtest::Step(kDialog, "close", "mdi")});
  EXPECT_FALSE(fs::exists(InputFile()));
  EXPECT_THAT(m_batches, IsEmpty());
}

TEST_F(Coexistence, ASearchResultGivesItsComponentsAndObjectsWithoutIdentityAreLeftOut) {
  Session()["workbench"] = "CATImmSearch";
  Session()["searchSelection"] = {"plant", "noid", "bolt"};
  Select({"n-noid"});
  RunCapturing();
  EXPECT_THAT(InputObjects(), ElementsAre("plant", "bolt"));
}

}  // namespace
