#include "CommandFixture.h"

#include "ChildProcess.h"

#include "CATApplicationFrame.h"
#include "CATDlgDialog.h"
#include "CATDlgEditor.h"
#include "CATDlgMultiList.h"

#include <gmock/gmock.h>

using testing::ElementsAre;
using testing::IsEmpty;

namespace {

using Lines = std::vector<std::vector<std::string>>;

/// One "PD" element; a null value leaves the attribute out.
std::string Process(std::initializer_list<const char*> values) {
  static const char* const names[] = {"Activity", "Status", "Description", "Start", "End", "User", "ErrorMsg"};
  std::string pd = "<PD";
  int i = 0;
  for (const char* v : values) {
    if (v) pd += std::string(" ") + names[i] + "=\"" + v + "\"";
    ++i;
  }
  return pd + "/>";
}

std::string Answer(const std::string& inside) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><ELM><Response name=\"GetProcessInfoForUser\" id=\"1_0\">" +
         inside + "</Response></ELM>";
}

const std::string kTransfer = Process(
    {"Transfer", "Finished", "VPMReference PRD-1 A", "2026-12-01T08:00:00Z", "2026-12-01T08:02:00Z", "tester", ""});
const std::string kFailed = Process({"Transfer", "Failed", "Käfig “B”", "2026-12-02T09:00:00Z", "2026-12-02T09:00:07Z",
                                     "tester", "Teamcenter refused PRD-2: checked out."});

const std::string kErrorTitle = "ELMProcessStatusCmd MsgTitle";
const std::string kCommunicationFailed = "ELMError|0x10100000|ELMProcessStatusCmd MsgCommunicationFailed";
const std::string kFailedBox = "ELMError|0x10100000|ELMProcessStatusCmd MsgFailed";

/// The request for the processes of this user, sent count times.
elmtest::ReceivedRequests Asked(const std::string& user, std::size_t count) {
  return elmtest::ReceivedRequests(count, {"GetProcessInfoForUser", {{"USER", user}}});
}

class ProcessStatus : public elmtest::CommandFixture {
protected:
  void SetUp() override {
    CommandFixture::SetUp();
    SetAnswer(Answer("<Processes>" + kTransfer + kFailed + "</Processes>"));
  }
  CATDlgDialog* Dialog() const { return elmhost::FindDialog("process_status"); }
  CATDlgMultiList* List() const { return dynamic_cast<CATDlgMultiList*>(elmhost::FindWidget(Dialog(), "MultiList1")); }
  std::string ErrorField() const {
    auto* editor = dynamic_cast<CATDlgEditor*>(elmhost::FindWidget(Dialog(), "ErrorMsgEditor"));
    return editor ? editor->GetText().Utf8() : "<no editor>";
  }
  Lines ListLines() const {
    Lines out;
    CATDlgMultiList* list = List();
    for (int line = 0; list && line < list->GetLineCount(); ++line) {
      std::vector<std::string> cells;
      for (int c = 0; c < 7; ++c) {
        CATUnicodeString cell;
        list->GetColumnItem(c, cell, line);
        cells.push_back(cell.Utf8());
      }
      out.push_back(cells);
    }
    return out;
  }
};

TEST_F(ProcessStatus, TheDialogListsTheUsersProcessesInItsWidgets) {
  WriteCatalog("ELMProcessStatusDialog.nls", "Title = \"Processes\";\n");
  WriteCatalog("ELMProcessStatusDialog.rsc", "RefreshButton.Title = \"Refresh\";\nCloseButton.Title = \"Close\";\n");
  WriteCatalog("OAKProcessStatusDialog.rsc", "RefreshButton.Title = \"Again\";\n");
  Run("ELMProcessStatusCmd");
  EXPECT_EQ(Requests(), Asked("tester", 1));
  EXPECT_THAT(OpenedDialogs(), ElementsAre("process_status"));
  EXPECT_THAT(BoxList(), IsEmpty());

  CATDlgDialog* dialog = Dialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->GetStyle(), 0x4001ul);
  EXPECT_EQ(dialog->GetFather(), CATApplicationFrame::GetFrame()->GetApplicationDocument());
  EXPECT_EQ(dialog->GetTitle(), "Processes");
  EXPECT_EQ(dialog->GetResizableRows(), std::set<int>{0});
  EXPECT_EQ(dialog->GetResizableColumns(), std::set<int>{0});
  EXPECT_EQ(dialog->GetDefaultButton(), 0ul);
  for (CATULong b : {CATDlgWndAPPLY, CATDlgWndCANCEL, CATDlgWndCLOSE, CATDlgWndHELP, CATDlgWndOK, CATDlgWndPREVIEW})
    EXPECT_EQ(dialog->GetButtonSensitivity(b), CATDlgDisable) << elmhost::StandardButtonName(b);
  EXPECT_THAT(dialog->GetStandardButtons(), IsEmpty());
  // Captions along the resource chain: the module's file first, then the dialog's.

  elmtest::ExpectWidgets(dialog, {
                                     {"MultiList1", "CATDlgMultiList", "process_status", 0x80000, 0, 0, 1, 1, 0x1e},
                                     {"Frame1", "CATDlgFrame", "process_status", 0xc0001, 1, 0, 1, 1, 0x1e},
                                     {"RefreshButton", "CATDlgPushButton", "Frame1", 0, 0, 1, 1, 1, 0x0c, "Again"},
                                     {"CloseButton", "CATDlgPushButton", "Frame1", 0, 1, 1, 1, 1, 0x14, "Close"},
                                     {"ErrorMsgEditor", "CATDlgEditor", "Frame1", 0xc180000, 0, 0, 1, 2, 0x1e, ""},
                                 });
  CATDialog* frame = elmhost::FindWidget(dialog, "Frame1");
  EXPECT_EQ(frame->GetResizableRows(), std::set<int>{0});
  EXPECT_EQ(frame->GetResizableColumns(), std::set<int>{0});

  CATDlgMultiList* list = List();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->GetVisibleTextWidth(), 70);
  ASSERT_EQ(list->GetColumnCount(), 7);
  std::vector<std::string> titles;
  for (int c = 0; c < 7; ++c) titles.push_back(list->GetColumnTitle(c).Utf8());
  EXPECT_THAT(titles, ElementsAre("Activity", "Status", "Description", "Start", "End", "User", "ErrorMsg"));
  for (int c = 0; c < 7; ++c) EXPECT_EQ(list->GetColumnVisibility(c), c == 6 ? CATDlgHide : CATDlgShow) << c;
  EXPECT_EQ(ListLines(), (Lines{
                             {"Transfer", "Finished", "VPMReference PRD-1 A", "2026-12-01T08:00:00Z",
                              "2026-12-01T08:02:00Z", "tester", ""},
                             {"Transfer", "Failed", "Käfig “B”", "2026-12-02T09:00:00Z", "2026-12-02T09:00:07Z",
                              "tester", "Teamcenter refused PRD-2: checked out."},
                         }));
  auto* editor = dynamic_cast<CATDlgEditor*>(elmhost::FindWidget(dialog, "ErrorMsgEditor"));
  EXPECT_EQ(editor->GetVisibleTextHeight(), 2);
  EXPECT_EQ(editor->GetText(), "");
  // The command has ended; the dialog lives on by itself.
  EXPECT_EQ(m_dispatch->PendingDestructions(), 0u);
  EXPECT_EQ(elmhost::LiveDialogs().size(), 1u);
}

TEST_F(ProcessStatus, ProcessesAreReadWhereverTheAnswerHoldsThemAndShowExactly) {
  struct Case {
    const char* what;
    std::string inside;
    Lines lines;
  } cases[] = {
      {"no process: an empty list", "<Processes/>", {}},
      {"no element at all under the response", "", {}},
      {"missing attributes read as empty texts",
       "<P>" + Process({"Sync", nullptr, nullptr, "s", nullptr, "u", nullptr}) + "</P>",
       {{"Sync", "", "", "s", "", "u", ""}}},
      {"a PD right under the response is not a process; every list element counts, in order",
       Process({"direct"}) + "<A>" + Process({"first"}) + "</A><B>" + Process({"second"}) + Process({"third"}) + "</B>",
       {{"first", "", "", "", "", "", ""}, {"second", "", "", "", "", "", ""}, {"third", "", "", "", "", "", ""}}},
      {"markup characters and non-ASCII text stay as they were",
       "<P>" +
           Process({"&lt;b&gt;bold&lt;/b&gt; &amp; co", "日本語", "  two  blanks ", nullptr, nullptr, nullptr,
                    "line 1&#10;line 2"}) +
           "</P>",
       {{"<b>bold</b> & co", "日本語", "  two  blanks ", "", "", "", "line 1\nline 2"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetHost();
    SetAnswer(Answer(c.inside));
    Run("ELMProcessStatusCmd");
    EXPECT_THAT(BoxList(), IsEmpty());
    ASSERT_NE(Dialog(), nullptr);
    EXPECT_EQ(ListLines(), c.lines);
  }
}

TEST_F(ProcessStatus, SelectingALineShowsItsErrorMessageAndNoSelectionEmptiesTheField) {
  SetScript(R"([{"dialog": "process_status", "select": "MultiList1", "lines": [1]}])");
  Run("ELMProcessStatusCmd");
  EXPECT_EQ(ErrorField(), "Teamcenter refused PRD-2: checked out.");
  ASSERT_TRUE(elmhost::Select(Dialog(), "MultiList1", {0}).ok);
  EXPECT_EQ(ErrorField(), "");
  ASSERT_TRUE(elmhost::Select(Dialog(), "MultiList1", {1}).ok);
  ASSERT_TRUE(elmhost::Select(Dialog(), "MultiList1", {}).ok);
  EXPECT_EQ(ErrorField(), "");
}

TEST_F(ProcessStatus, RefreshReplacesTheLinesByThoseOfTheNewAnswer) {
  const std::string answers[] = {
      Answer("<Processes>" + kFailed + "</Processes>"),
      Answer("<Processes>" + kTransfer + "</Processes>"),
      // Errors are not told on a refresh: the answer's processes, none here, replace the lines.
      Answer("<Error code=\"1005\">USER is empty</Error>"),
      "502 Bad gateway",
  };
  std::size_t served = 0;
  SetAnswerer([&](const std::string&) { return answers[std::min(served++, std::size(answers) - 1)]; });
  SetScript(R"([{"dialog": "process_status", "select": "MultiList1", "lines": [0]},
                {"dialog": "process_status", "press": "RefreshButton"}])");
  Run("ELMProcessStatusCmd");
  EXPECT_EQ(ErrorField(), "");
  ASSERT_EQ(ListLines().size(), 1u);
  EXPECT_EQ(ListLines()[0][1], "Finished");
  EXPECT_EQ(Requests(), Asked("tester", 2));

  ASSERT_TRUE(elmhost::Press(Dialog(), "RefreshButton").ok);
  EXPECT_THAT(ListLines(), IsEmpty());
  EXPECT_THAT(BoxList(), IsEmpty());

  // A refresh that gets no answer keeps the lines and says so.
  served = 1;
  ASSERT_TRUE(elmhost::Press(Dialog(), "RefreshButton").ok);
  ASSERT_EQ(ListLines().size(), 1u);
  served = 3;
  ASSERT_TRUE(elmhost::Press(Dialog(), "RefreshButton").ok);
  EXPECT_EQ(ListLines().size(), 1u);
  EXPECT_THAT(BoxList(), ElementsAre(kCommunicationFailed));
  EXPECT_THAT(BoxTitles(), ElementsAre(kErrorTitle));
}

TEST_F(ProcessStatus, AnAnswerThatCannotBeShownGivesItsBoxAndNoDialog) {
  elmtest::RefusingPort closed;
  struct Case {
    const char* what;
    std::string answer;
    std::string box;
  } cases[] = {
      {"no server", "", kCommunicationFailed},
      {"not XML", "<html><body>Bad gateway", kCommunicationFailed},
      {"two server errors, one line each", Answer("<Error code=\"3\">three</Error><Error code=\"7\">seven</Error>"),
       "ELMWarning|0x8100000|3: HtmlRequest Error_3\n7: HtmlRequest Error_7"},
      {"errors that cannot be read", Answer("<Error code=\"1004\"/>"), kFailedBox},
      {"no response", "<ELM><Other/></ELM>", kFailedBox},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetHost();
    SetAnswer(c.answer);
    ASSERT_NO_FATAL_FAILURE(Prepare("ELMProcessStatusCmd"));
    if (c.answer.empty()) m_env.Set("ELM_SERVER_URL", "http://127.0.0.1:" + std::to_string(closed.Port()) + "/");
    StartCommand();
    EXPECT_THAT(BoxList(), ElementsAre(c.box));
    EXPECT_THAT(BoxTitles(), ElementsAre(kErrorTitle));
    ExpectEnded();
  }
}

TEST_F(ProcessStatus, WithoutTheUsersLoginTheServerIsAskedForAnEmptyUser) {
  Session()["options"] = {{"failingServices", nlohmann::ordered_json::array({"GetSecurityParameters"})}};
  Run("ELMProcessStatusCmd");
  EXPECT_EQ(Requests(), Asked("", 1));
  ASSERT_NE(Dialog(), nullptr);
  // Refreshes ask for the same user.
  ASSERT_TRUE(elmhost::Press(Dialog(), "RefreshButton").ok);
  EXPECT_EQ(Requests(), Asked("", 2));
}

TEST_F(ProcessStatus, TheCloseButtonAndTheWindowEndTheDialog) {
  ExpectEveryWayOutEnds("ELMProcessStatusCmd", {R"({"dialog": "process_status", "press": "CloseButton"})",
                                                R"({"dialog": "process_status", "close": "window"})"});
}

TEST_F(ProcessStatus, WithoutAnApplicationDocumentNothingIsAskedNorShown) {
  ASSERT_NO_FATAL_FAILURE(Prepare("ELMProcessStatusCmd"));
  CATApplicationFrame::GetFrame()->CloseApplicationDocument();
  StartCommand();
  EXPECT_THAT(Requests(), IsEmpty());
  EXPECT_THAT(BoxList(), IsEmpty());
  ExpectEnded();
}

TEST_F(ProcessStatus, AFailedRequestIsTracedWithTheBoxText) {
  elmtest::RefusingPort closed;
  // The trace level is settled once per process: the child settles it first.
  auto r = elmtest::RunInChild({{"ELM_DEBUG", "ON"}}, [&] {
    Prepare("ELMProcessStatusCmd");
    m_env.Set("ELM_SERVER_URL", "http://127.0.0.1:" + std::to_string(closed.Port()) + "/");
    StartCommand();
    return 0;
  });
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_THAT(r.out, testing::ContainsRegex(" ELM: ELMProcessStatusCmd::Activate\\(([0-9]+)\\) start\n"));
  EXPECT_THAT(r.out, testing::ContainsRegex("\nELMDBX Function: ELMProcessStatusCmd::Activate \\([0-9]+\\)\n"));
  EXPECT_THAT(r.out,
              testing::ContainsRegex("\n  ELMDBX \\([0-9]+\\): ELMProcessStatusCmd MsgCommunicationFailed\n"
                                     "( ELM: [^\n]*\n)* ELM: ELMProcessStatusCmd::Activate\\([0-9]+\\) end  \n"));
}

}  // namespace
