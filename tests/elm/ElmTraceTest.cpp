#include "ElmFixture.h"

#include <gmock/gmock.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <regex>

using testing::ElementsAreArray;

namespace {

const char* const kSource = ELM_SOURCE_DIR "/commands/partnumber/SetPartNumberFromExtPdmCmd.cpp";

/// The 1-based number of the first source line after line `after` that
/// contains needle; the trace carries source lines, so the test reads them
/// from the source instead of restating numbers that move with every edit.
int LineOf(const std::string& needle, int after = 0) {
  std::ifstream in(kSource);
  std::string line;
  for (int n = 1; std::getline(in, line); ++n)
    if (n > after && line.find(needle) != std::string::npos) return n;
  ADD_FAILURE() << "no line with " << needle << " after line " << after << " in " << kSource;
  return -1;
}

int ScopeLine(const std::string& method) { return LineOf("ELM_SCOPE(\"SetPartNumberFromExtPdmCmd::" + method + "\")"); }

std::string Scope(const std::string& method, const std::string& event) {
  return " ELM: SetPartNumberFromExtPdmCmd::" + method + "(" + std::to_string(ScopeLine(method)) + ") " + event;
}

/// Each method's scope started and ended OK, one after the other.
std::vector<std::string> Completed(std::initializer_list<const char*> methods) {
  std::vector<std::string> lines;
  for (const char* method : methods) {
    lines.push_back(Scope(method, "start"));
    lines.push_back(Scope(method, "end OK"));
  }
  return lines;
}

/// The command's own scopes of a run: constructed, activated around the
/// given lines, Activate ending as given, destroyed.
std::vector<std::string> CommandRun(const std::vector<std::string>& inActivate, const std::string& activateEnd) {
  std::vector<std::string> lines = Completed({"SetPartNumberFromExtPdmCmd"});
  lines.push_back(Scope("Activate", "start"));
  lines.insert(lines.end(), inActivate.begin(), inActivate.end());
  lines.push_back(Scope("Activate", activateEnd));
  for (const std::string& line : Completed({"~SetPartNumberFromExtPdmCmd"})) lines.push_back(line);
  return lines;
}

/// The trace lines written by the command itself: its scopes, its failure
/// lines and its notes (which all name it).
std::vector<std::string> CommandTrace(const std::string& out) {
  std::vector<std::string> mine;
  for (const std::string& l : elmtest::Lines(out)) {
    bool trace = l.rfind(" ELM: ", 0) == 0 || l.rfind("ELMDBX Function: ", 0) == 0 || l.rfind("  ELMDBX (", 0) == 0;
    if (trace && l.find("SetPartNumberFromExtPdmCmd") != std::string::npos) mine.push_back(l);
  }
  return mine;
}

/// Every scope line of the whole run has the exact form, and the scopes of
/// all classes nest: each end closes the latest open scope of the same name
/// and line.
void ExpectWellNestedScopes(const std::string& out) {
  static const std::regex scopeLine(R"(^ ELM: ([A-Za-z_~:]+)\((\d+)\) (start|end OK|end  )$)");
  std::vector<std::string> open;
  for (const std::string& l : elmtest::Lines(out)) {
    if (l.rfind(" ELM: ", 0) != 0) continue;
    std::smatch m;
    ASSERT_TRUE(std::regex_match(l, m, scopeLine)) << "malformed scope line: [" << l << "]";
    std::string key = m[1].str() + "(" + m[2].str() + ")";
    if (m[3] == "start") {
      open.push_back(key);
    } else {
      ASSERT_FALSE(open.empty()) << "end without start: " << l;
      EXPECT_EQ(open.back(), key) << "scopes do not nest at: " << l;
      open.pop_back();
    }
  }
  EXPECT_TRUE(open.empty()) << open.size() << " scopes never closed";
}

class ElmTrace : public elmtest::ElmFixture {
protected:
  elmtest::ProcessResult RunTraced(const std::string& url, std::map<std::string, std::string> env = {}) {
    env.insert({{"ELM_DEBUG", "ON"}, {"ELM_SERVER_URL", url}});
    return RunCommand("SetPartNumberFromExtPdmCmd", {}, env);
  }
};

}  // namespace

TEST_F(ElmTrace, SuccessfulRunTracesEveryStepOfTheCommandInOrder) {
  const std::string url = StartServer();
  ASSERT_FALSE(url.empty());
  auto r = RunTraced(url);
  ASSERT_EQ(r.exitCode, 0) << r.err;

  EXPECT_THAT(CommandTrace(r.out),
              ElementsAreArray(
                  CommandRun(Completed({"GetSelection", "Validate", "GetNewPartnumber", "SetPartNumber"}), "end OK")))
      << r.out;
  ExpectWellNestedScopes(r.out);
  EXPECT_EQ(r.out.find("ELMDBX Function: "), std::string::npos) << "a successful run has no failure point";
  // The request goes out between the command's steps, inside GetNewPartnumber.
  auto getNumber = r.out.find(Scope("GetNewPartnumber", "start"));
  auto request = r.out.find(" ELM: HtmlRequest::DoRequest(");
  auto setNumber = r.out.find(Scope("SetPartNumber", "start"));
  EXPECT_LT(getNumber, request);
  EXPECT_LT(request, setNumber);
}

TEST_F(ElmTrace, SelectionFailureWritesNoteFailureLinesAndFailedEnds) {
  EditSession("selection", {"n-part", "n-other"});
  auto r = RunTraced("http://127.0.0.1:1/");
  ASSERT_EQ(r.exitCode, 0) << r.err;

  int selection = ScopeLine("GetSelection");
  int note = LineOf("ELM_NOTE(text);", selection);
  int selectionFail = LineOf("ELM_FAIL_POINT();", note);
  int activateFail = LineOf("ELM_FAIL_POINT();", LineOf(": GetSelectionFromSearch(selected);"));
  EXPECT_THAT(CommandTrace(r.out),
              ElementsAreArray(CommandRun(
                  {Scope("GetSelection", "start"),
                   "  ELMDBX (" + std::to_string(note) + "): ELMSetPartNumberFromExtPdmCmd MsgWarnSelection",
                   "ELMDBX Function: SetPartNumberFromExtPdmCmd::GetSelection (" + std::to_string(selectionFail) + ")",
                   Scope("GetSelection", "end  "),
                   "ELMDBX Function: SetPartNumberFromExtPdmCmd::Activate (" + std::to_string(activateFail) + ")"},
                  "end  ")))
      << r.out;
  ExpectWellNestedScopes(r.out);
}

TEST_F(ElmTrace, RefusedPrefixWritesTheNoteWithIdentifierAndPrefix) {
  auto r = RunTraced("http://127.0.0.1:1/", {{"ELM_SETPN_PNPREFIX", "TC-"}});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  int validate = ScopeLine("Validate");
  int note = LineOf("ELM_NOTE(currentId + \" does not begin with configured prefix: \" + prefix);", validate);
  EXPECT_THAT(elmtest::Lines(r.out), testing::Contains("  ELMDBX (" + std::to_string(note) +
                                                       "): prd-part does not begin with configured prefix: TC-"));
  // A refusal is not a failure: Validate and Activate end OK.
  EXPECT_THAT(CommandTrace(r.out), testing::IsSupersetOf({Scope("Validate", "end OK"), Scope("Activate", "end OK")}));
  EXPECT_EQ(r.out.find("ELMDBX Function: "), std::string::npos);
}
