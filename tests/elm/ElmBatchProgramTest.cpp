#include "ElmFixture.h"

#include <gmock/gmock.h>

#include <filesystem>

using testing::HasSubstr;
using testing::Not;

namespace {

namespace fs = std::filesystem;

/// elm-batch run by hand on input files written as the README describes
/// them, against a copy of the coexistence test session.
class ElmBatchProgram : public elmtest::ElmFixture {
protected:
  void SetUp() override {
    ElmFixture::SetUp();
    UseSession(std::string(ELM_TEST_DATA_DIR) + "/sessions/coexistence.json");
  }
  /// An input file: the batch's name, its mapping values and options, the
  /// objects; the report goes to <test folder>/report.htm.
  std::string Input(const std::string& mapping, const std::string& applyTo, const std::string& mode,
                    const std::vector<std::string>& objects, const std::string& name = "CoexistenceAdministration",
                    const std::string& context = "COEXISTENCE") const {
    auto parameter = [](const std::string& name, const std::string& values) {
      return "    <Parameter name=\"CoexAdmin_" + name + "\">" + values + "</Parameter>\n";
    };
    auto value = [](const std::string& v) { return "<Value>" + v + "</Value>"; };
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<PLMBatch name=\"" + name + "\" format=\"1\">\n";
    xml += "  <Session file=\"" + m_session + "\"/>\n  <ApplicativeParameters>\n";
    xml += parameter("Context", value(context)) + parameter("Mapping", mapping) + parameter("Propagate", value("All"));
    xml += parameter("ApplyTo", value(applyTo)) + parameter("Mode", value(mode));
    xml += "    <Parameter name=\"CoexAdmin_Workspace\"/>\n  </ApplicativeParameters>\n  <SelectedObjects>\n";
    for (const std::string& id : objects) xml += "    <Object id=\"" + id + "\"/>\n";
    xml += "  </SelectedObjects>\n  <Report name=\"" + Report() + "\"/>\n</PLMBatch>\n";
    return WriteFile("input" + std::to_string(++m_inputs) + ".xml", xml);
  }
  std::string Report() const { return (m_dir / "report").string(); }
  elmtest::ProcessResult Batch(const std::string& input) const {
    return elmtest::RunProcess(ELM_BATCH_EXE, {"--id", "0123456789abcdef0123456789abcdef", input});
  }
  mutable int m_inputs = 0;
};

const std::string kDelete = "<Value>Delete</Value>";
const std::string kToV6 = "<Value>Ownership</Value><Value>V5V6Master</Value><Value>AllowRep</Value>";
const std::string kToV5 = "<Value>Ownership</Value><Value>V6V5Master</Value><Value>AllowRep</Value>";

TEST_F(ElmBatchProgram, WorksOnTheObjectsTheOptionsNameAndReportsEachOne) {
  struct Case {
    const char* what;
    std::string input;
    int returnCode;
    std::vector<std::pair<std::string, std::string>> after;  // object, CoexMaster|CoexMapping as saved
    std::vector<std::string> rows;                           // outcome cells the report holds
  } cases[] = {
      {"back to V5 for the assembly and all below it",
       Input(kToV5, "Selection", "Run", {"asm"}),
       0,
       {{"asm", "V5|V5:asm.CATProduct"},
        {"part", "V5|V5:part.CATPart"},
        {"bolt", "V5|V5:bolt.CATPart"},
        {"plant", "V5|V5:pump.CATPart"}},
       {"<td>asm</td>",
        "<td>bolt</td><td>VPMReference</td><td>prd-bolt</td><td>Bolt &lt;M8&gt; &amp; nut</td>"
        "<td>below asm</td><td>mapped to V5:bolt.CATPart, V6 master</td><td>changed</td>"
        "<td>Mastership moved from V6 to V5.</td>",
        "<td>plant</td><td>VPMReference</td><td>prd-plant</td><td>Pump</td><td>below asm</td>"
        "<td>not mapped in COEXISTENCE</td><td>skipped</td>"}},
      {"an object the session lacks fails, the others are done",
       Input(kToV6, "Selection", "Run", {"ghost", "part"}),
       1,
       {{"part", "V6|V5:part.CATPart"}},
       {"<td>ghost</td><td></td><td></td><td></td><td>selected</td><td></td><td>failed</td>"
        "<td>The object is not in the session.</td>"}},
      {"a preview saves nothing",
       Input(kDelete, "Selection", "Preview", {"part"}),
       0,
       {{"part", "V5|V5:part.CATPart"}, {"bolt", "V6|V5:bolt.CATPart"}},
       {"<td>would change</td><td>Mapping to V5:part.CATPart would be deleted.</td>", "Preview: nothing was changed."}},
  };
  const std::string original = ReadFile(m_session);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFile("session.json", original);
    auto r = Batch(c.input);
    EXPECT_EQ(r.exitCode, c.returnCode) << r.out << r.err;
    for (const auto& [id, state] : c.after)
      EXPECT_EQ(SessionAttribute(id, "CoexMaster") + "|" + SessionAttribute(id, "CoexMapping"), state) << id;
    std::string html = ReadFile(Report() + ".htm");
    for (const std::string& row : c.rows) EXPECT_THAT(html, HasSubstr(row));
    EXPECT_THAT(html, HasSubstr("<td>Return code</td><td>" + std::to_string(c.returnCode) + "</td>"));
    EXPECT_THAT(html, HasSubstr("<td>Identifier</td><td>0123456789abcdef0123456789abcdef</td>"));
    EXPECT_THAT(r.out, HasSubstr("elm-batch: return code " + std::to_string(c.returnCode) + "\n"));
  }
  WriteFile("session.json", original);
  Batch(cases[2].input);
  EXPECT_EQ(ReadFile(m_session), original);
}

TEST_F(ElmBatchProgram, InputsItCannotUseEndWithAReportThatSaysWhy) {
  struct Case {
    const char* what;
    std::string input;
    int returnCode;
    const char* said;  // in the report, or on the output when there is no report
    bool report;
  } cases[] = {
      {"not XML", WriteFile("bad.xml", "<PLMBatch"), 3, "elm-batch: nothing done: ", false},
      {"another batch", Input(kDelete, "All", "Run", {}, "Transfer"), 3,
       "Nothing was done: the batch &quot;Transfer&quot; is not one this program runs", true},
      {"an unknown mode", Input(kDelete, "All", "Sometimes", {}), 3,
       "Nothing was done: CoexAdmin_Mode must be Preview or Run, not &quot;Sometimes&quot;", true},
      {"no context", Input(kDelete, "All", "Run", {}, "CoexistenceAdministration", ""), 3,
       "Nothing was done: no coexistence context is given", true},
      {"an unknown mapping", Input("<Value>Swap</Value>", "All", "Run", {}), 3,
       "Nothing was done: CoexAdmin_Mapping must be Delete, or Ownership", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove(Report() + ".htm");
    auto r = Batch(c.input);
    EXPECT_EQ(r.exitCode, c.returnCode) << r.out << r.err;
    EXPECT_EQ(fs::exists(Report() + ".htm"), c.report);
    EXPECT_THAT(c.report ? ReadFile(Report() + ".htm") : r.out, HasSubstr(c.said));
  }

  // A session that cannot be saved: the report says so, and the batch failed.
  EditSession("options", {{"saveError", "The database refused the change."}});
  auto r = Batch(Input(kToV6, "Selection", "Run", {"part"}));
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_THAT(ReadFile(Report() + ".htm"),
              HasSubstr("The changes could not be saved: The database refused the change."));
  EXPECT_EQ(SessionAttribute("part", "CoexMaster"), "V5");

  // A report directory that cannot be written.
  std::string input = Input(kToV6, "Selection", "Preview", {"part"});
  std::string text = ReadFile(input);
  text.replace(text.find(Report()), Report().size(), (m_dir / "session.json" / "report").string());
  r = Batch(WriteFile("input.xml", text));
  EXPECT_EQ(r.exitCode, 4);
  EXPECT_THAT(r.out, HasSubstr("elm-batch: no report: "));

  EXPECT_EQ(elmtest::RunProcess(ELM_BATCH_EXE, {}).exitCode, 64);
  EXPECT_EQ(elmtest::RunProcess(ELM_BATCH_EXE, {"--help"}).exitCode, 0);
}

}  // namespace
