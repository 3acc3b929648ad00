#include "ELMHostScript.h"

#include "LoopbackServer.h"

#include <gtest/gtest.h>

namespace {

using Action = elmhost::ScriptStep::Action;

std::string Refusal(const std::string& text) {
  std::vector<elmhost::ScriptStep> steps;
  std::string error;
  EXPECT_FALSE(elmhost::ParseScript(text, "s.json", steps, error)) << text;
  EXPECT_TRUE(steps.empty());
  return error;
}

TEST(Script, ReadsBoxAnswersAndEveryDialogAction) {
  std::vector<elmhost::ScriptStep> steps;
  std::string error;
  ASSERT_TRUE(elmhost::ParseScript(R"([
      "OK", "Cancel", "Close", 7, {"box": "OK", "comment": "the module box"},
      {"dialog": "d", "press": "Refresh"},
      {"dialog": "d", "button": "Apply"},
      {"dialog": "d", "check": "Force"}, {"dialog": "d", "uncheck": "Force"},
      {"dialog": "d", "choose": "RadioButtonSelect"},
      {"dialog": "d", "pick": "Names", "line": 2}, {"dialog": "d", "pick": "Names", "text": "Front axle"},
      {"dialog": "d", "select": "MultiList1", "lines": [0, 3]}, {"dialog": "d", "select": "MultiList1", "lines": []},
      {"dialog": "d", "type": "expandDepth", "text": "3"},
      {"dialog": "d", "close": "window"}, {"dialog": "d", "close": "mdi", "comment": "as a document"}
  ])",
                                   "s.json", steps, error))
      << error;
  ASSERT_EQ(steps.size(), 17u);
  std::vector<int> answers;
  for (int i = 0; i < 5; ++i) answers.push_back(steps[i].answer);
  EXPECT_EQ(answers, (std::vector<int>{1, 2, 0, 7, 1}));
  EXPECT_EQ(steps[5].action, Action::Press);
  EXPECT_EQ(steps[5].widget, "Refresh");
  EXPECT_EQ(steps[6].button, CATDlgWndAPPLY);
  EXPECT_EQ(steps[8].action, Action::Uncheck);
  EXPECT_EQ(steps[10].line, 2);
  EXPECT_TRUE(steps[11].byText);
  EXPECT_EQ(steps[11].text, "Front axle");
  EXPECT_EQ(steps[12].lines, (std::vector<int>{0, 3}));
  EXPECT_TRUE(steps[13].lines.empty());
  EXPECT_EQ(steps[14].text, "3");
  EXPECT_FALSE(steps[15].mdi);
  EXPECT_TRUE(steps[16].mdi);
  EXPECT_EQ(steps[16].index, 17);
  EXPECT_EQ(elmhost::DescribeStep(steps[12]), "select lines [0, 3] of MultiList1 in d");
}

TEST(Script, WhatIsNotAScriptIsRefusedWithThePlaceAndTheReason) {
  const std::string kActions = "a step names one of press, button, check, uncheck, choose, pick, select, type, close";
  struct Case {
    const char* text;
    std::string error;
  } cases[] = {
      {R"(["OK",)",
       "not a JSON script: parse error at line 1, column 7: syntax error while parsing value - unexpected end of "
       "input; expected '[', '{', or a literal"},
      {R"({"dialog": "d"})", "at the top level: expected an array of steps, found an object"},
      {R"(["Yes"])", R"(at /0: expected "OK", "Cancel", "Close" or a number, found "Yes")"},
      {"[true]", R"(at /0: expected "OK", "Cancel", "Close" or a number, found true or false)"},
      {"[1.5]", R"(at /0: expected "OK", "Cancel", "Close" or a number, found a fractional number)"},
      {"[4294967297]", "at /0: a box answer out of range: 4294967297"},
      {R"([{"box": "OK", "widget": "x"}])", "at /0/widget: unknown field for a box answer"},
      {R"([{"dialog": "d", "push": "Refresh"}])", R"(at /0/push: unknown action "push"; )" + kActions},
      {R"([{"dialog": "d"}])", "at /0: the step names no action; " + kActions},
      {R"([{"press": "Refresh"}])", R"(at /0: the step needs "dialog")"},
      {R"([{"dialog": 3, "press": "Refresh"}])", "at /0/dialog: expected a text, found a number"},
      {R"([{"dialog": "d", "press": "a", "check": "b"}])",
       R"(at /0: a step takes one action, found "press" and "check")"},
      {R"([{"dialog": "d", "press": "a", "line": 1}])", R"(at /0/line: unknown field for "press")"},
      {R"([{"dialog": "d", "button": "Yes"}])",
       R"(at /0/button: unknown button "Yes"; buttons are OK, Cancel, Close, Apply, Preview, Help)"},
      {R"([{"dialog": "d", "pick": "c"}])", R"(at /0: "pick" takes either "line" or "text")"},
      {R"([{"dialog": "d", "pick": "c", "line": -1}])", "at /0/line: a line number out of range: -1"},
      {R"([{"dialog": "d", "pick": "c", "line": "2"}])", "at /0/line: expected a line number, found a text"},
      {R"([{"dialog": "d", "pick": "c", "line": 1e3}])",
       "at /0/line: expected a line number, found a fractional number"},
      {R"([{"dialog": "d", "select": "l", "lines": [0, 2147483648]}])",
       "at /0/lines/1: a line number out of range: 2147483648"},
      {R"([{"dialog": "d", "select": "l", "lines": 0}])", "at /0/lines: expected an array, found a number"},
      {R"([{"dialog": "d", "type": "e"}])", R"(at /0: the step needs "text")"},
      {R"([{"dialog": "d", "close": "frame"}])", R"(at /0/close: expected "window" or "mdi", found "frame")"},
      {R"([{"dialog": "d", "press": "a", "comment": 1}])", "at /0/comment: expected a text, found a number"},
  };
  for (const Case& c : cases) EXPECT_EQ(Refusal(c.text), "s.json: " + c.error) << c.text;
}

TEST(Script, DeepOrLargeFilesAreRefusedBeforeTheyAreParsed) {
  std::string deep(100000, '[');
  EXPECT_EQ(Refusal(deep), "s.json: nested deeper than 8 levels, the most a script may have");
  // Brackets inside texts are text, not nesting.
  std::vector<elmhost::ScriptStep> steps;
  std::string error;
  EXPECT_TRUE(
      elmhost::ParseScript("[{\"dialog\": \"[[[[[[[[[[\", \"press\": \"\\\"[[[[[[[[[\"}]", "s.json", steps, error))
      << error;

  elmtest::ScratchDir dir;
  std::string path = dir.Write("big.json", "[" + std::string(elmhost::kScriptMaxBytes, ' ') + "]");
  EXPECT_FALSE(elmhost::ReadScriptFile(path, steps, error));
  EXPECT_EQ(error, path + ": larger than 1048576 bytes, the most a script may have");
  EXPECT_FALSE(elmhost::ReadScriptFile(dir.Path(), steps, error));
  EXPECT_EQ(error, dir.Path() + ": not a regular file");
  EXPECT_FALSE(elmhost::ReadScriptFile(dir.File("missing.json"), steps, error));
  EXPECT_EQ(error, dir.File("missing.json") + ": cannot be read: No such file or directory");
}

TEST(ScriptPlayer, BoxesTakeTheirStepsWhenNextAndOKOtherwise) {
  std::vector<elmhost::ScriptStep> steps;
  std::string error;
  ASSERT_TRUE(elmhost::ParseScript(R"(["Cancel", {"dialog": "gone", "press": "x"}, 5])", "s.json", steps, error));
  elmhost::ScriptPlayer player(steps);
  EXPECT_EQ(player.AnswerBox(), 2);
  // A dialog step is next: the box is acknowledged without using it.
  EXPECT_EQ(player.AnswerBox(), 1);
  EXPECT_EQ(player.PlayNext().error, "step 2 (press x in gone): the dialog \"gone\" is not open");
  EXPECT_EQ(player.AnswerBox(), 5);
  EXPECT_TRUE(player.Done());
  EXPECT_EQ(player.AnswerBox(), 1);
}

}  // namespace
