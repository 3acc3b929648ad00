#include "ELMHostScript.h"

#include "CATDlgDialog.h"
#include "ELMHostDispatch.h"
#include "ELMHostUserInterface.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace elmhost {

namespace {

using Json = nlohmann::ordered_json;

struct ScriptError {
  std::string where;
  std::string what;
};

std::string At(std::size_t index) { return "/" + std::to_string(index); }

/// A value as JSON text for a message; bytes that are not UTF-8 are shown replaced.
std::string Shown(const Json& v) { return v.dump(-1, ' ', false, Json::error_handler_t::replace); }

const char* KindName(const Json& v) {
  switch (v.type()) {
    case Json::value_t::null: return "null";
    case Json::value_t::object: return "an object";
    case Json::value_t::array: return "an array";
    case Json::value_t::string: return "a text";
    case Json::value_t::boolean: return "true or false";
    case Json::value_t::number_float: return "a fractional number";
    default: return "a number";
  }
}

/// The deepest nesting of arrays and objects in text, outside strings; stops
/// counting once past limit. The parser is never handed a document deeper
/// than the reader accepts.
int NestingDepth(const std::string& text, int limit) {
  int depth = 0;
  int deepest = 0;
  bool inString = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (inString) {
      if (c == '\\')
        ++i;
      else if (c == '"')
        inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > deepest) deepest = depth;
      if (deepest > limit) return deepest;
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return deepest;
}

/// An integer of JSON that stands for an int: refused when it has a
/// fraction or lies outside [low, high], never wrapped.
int IntegerIn(const Json& v, long long low, long long high, const std::string& where, const char* what) {
  if (!v.is_number_integer())
    throw ScriptError{where, std::string("expected ") + what + ", found " + KindName(v)};
  long long n = 0;
  if (v.is_number_unsigned()) {
    auto u = v.get<unsigned long long>();
    if (u > static_cast<unsigned long long>(high))
      throw ScriptError{where, std::string(what) + " out of range: " + Shown(v)};
    n = static_cast<long long>(u);
  } else {
    n = v.get<long long>();
  }
  if (n < low || n > high) throw ScriptError{where, std::string(what) + " out of range: " + Shown(v)};
  return static_cast<int>(n);
}

int BoxAnswer(const Json& v, const std::string& where) {
  if (v.is_string()) {
    const std::string& word = v.get_ref<const std::string&>();
    if (word == "OK") return 1;
    if (word == "Cancel") return 2;
    if (word == "Close") return 0;
    throw ScriptError{where, "expected \"OK\", \"Cancel\", \"Close\" or a number, found " + Shown(v)};
  }
  if (v.is_number_integer()) return IntegerIn(v, INT_MIN, INT_MAX, where, "a box answer");
  throw ScriptError{where, std::string("expected \"OK\", \"Cancel\", \"Close\" or a number, found ") + KindName(v)};
}

std::string Text(const Json& obj, const char* key, const std::string& where) {
  auto it = obj.find(key);
  if (it == obj.end()) throw ScriptError{where, std::string("the step needs \"") + key + "\""};
  if (!it->is_string())
    throw ScriptError{where + "/" + key, std::string("expected a text, found ") + KindName(*it)};
  return it->get<std::string>();
}

struct ActionKey {
  const char* key;
  ScriptStep::Action action;
  std::vector<const char*> extra;  // further fields the action takes
};

const ActionKey kActions[] = {
    {"press", ScriptStep::Action::Press, {}},     {"button", ScriptStep::Action::Button, {}},
    {"check", ScriptStep::Action::Check, {}},     {"uncheck", ScriptStep::Action::Uncheck, {}},
    {"choose", ScriptStep::Action::Choose, {}},   {"pick", ScriptStep::Action::Pick, {"line", "text"}},
    {"select", ScriptStep::Action::Select, {"lines"}}, {"type", ScriptStep::Action::Type, {"text"}},
    {"close", ScriptStep::Action::Close, {}},
};

std::string ActionList() {
  std::string s;
  for (const ActionKey& a : kActions) s += std::string(s.empty() ? "" : ", ") + a.key;
  return s;
}

ScriptStep ReadDialogStep(const Json& o, const std::string& where) {
  ScriptStep step;
  const ActionKey* found = nullptr;
  for (auto it = o.begin(); it != o.end(); ++it) {
    const std::string& key = it.key();
    if (key == "dialog" || key == "comment") continue;
    const ActionKey* action = nullptr;
    for (const ActionKey& a : kActions)
      if (key == a.key) action = &a;
    if (action) {
      if (found)
        throw ScriptError{where, std::string("a step takes one action, found \"") + found->key + "\" and \"" + key +
                                     "\""};
      found = action;
    }
  }
  if (!found) {
    // Say which field is unknown rather than only that no action was found.
    for (auto it = o.begin(); it != o.end(); ++it)
      if (it.key() != "dialog" && it.key() != "comment")
        throw ScriptError{where + "/" + it.key(), "unknown action \"" + it.key() + "\"; a step names one of " +
                                                      ActionList()};
    throw ScriptError{where, "the step names no action; a step names one of " + ActionList()};
  }
  for (auto it = o.begin(); it != o.end(); ++it) {
    const std::string& key = it.key();
    bool known = key == "dialog" || key == "comment" || key == found->key;
    for (const char* extra : found->extra) known = known || key == extra;
    if (!known) throw ScriptError{where + "/" + key, std::string("unknown field for \"") + found->key + "\""};
  }
  if (auto c = o.find("comment"); c != o.end() && !c->is_string())
    throw ScriptError{where + "/comment", std::string("expected a text, found ") + KindName(*c)};
  step.action = found->action;
  step.dialog = Text(o, "dialog", where);
  const std::string actionWhere = where + "/" + found->key;
  switch (step.action) {
    case ScriptStep::Action::Button: {
      std::string name = Text(o, "button", where);
      step.button = StandardButtonFromName(name);
      if (!step.button)
        throw ScriptError{actionWhere, "unknown button \"" + name + "\"; buttons are OK, Cancel, Close, Apply, Preview, Help"};
      break;
    }
    case ScriptStep::Action::Close: {
      std::string how = Text(o, "close", where);
      if (how != "window" && how != "mdi")
        throw ScriptError{actionWhere, "expected \"window\" or \"mdi\", found \"" + how + "\""};
      step.mdi = how == "mdi";
      break;
    }
    default:
      step.widget = Text(o, found->key, where);
      break;
  }
  if (step.action == ScriptStep::Action::Pick) {
    bool hasLine = o.contains("line");
    bool hasText = o.contains("text");
    if (hasLine == hasText) throw ScriptError{where, "\"pick\" takes either \"line\" or \"text\""};
    if (hasLine) {
      step.line = IntegerIn(o["line"], 0, INT_MAX, where + "/line", "a line number");
    } else {
      step.byText = true;
      step.text = Text(o, "text", where);
    }
  }
  if (step.action == ScriptStep::Action::Type) step.text = Text(o, "text", where);
  if (step.action == ScriptStep::Action::Select) {
    auto it = o.find("lines");
    if (it == o.end()) throw ScriptError{where, "\"select\" needs \"lines\""};
    if (!it->is_array()) throw ScriptError{where + "/lines", std::string("expected an array, found ") + KindName(*it)};
    for (std::size_t i = 0; i < it->size(); ++i)
      step.lines.push_back(IntegerIn((*it)[i], 0, INT_MAX, where + "/lines" + At(i), "a line number"));
  }
  return step;
}

}  // namespace

std::string AnswerWord(int answer) {
  switch (answer) {
    case 1: return "OK";
    case 2: return "Cancel";
    case 0: return "Close";
    default: return std::to_string(answer);
  }
}

bool ParseScript(const std::string& text, const std::string& name, std::vector<ScriptStep>& steps,
                 std::string& error) {
  steps.clear();
  if (text.size() > kScriptMaxBytes) {
    error = name + ": larger than " + std::to_string(kScriptMaxBytes) + " bytes, the most a script may have";
    return false;
  }
  if (NestingDepth(text, kScriptMaxDepth) > kScriptMaxDepth) {
    error = name + ": nested deeper than " + std::to_string(kScriptMaxDepth) + " levels, the most a script may have";
    return false;
  }
  Json doc;
  try {
    doc = Json::parse(text);
  } catch (const Json::exception& e) {
    // The library's message starts with its own tag; the user wants the place and the reason.
    std::string what = e.what();
    if (auto p = what.find("] "); p != std::string::npos) what = what.substr(p + 2);
    error = name + ": not a JSON script: " + what;
    return false;
  }
  try {
    if (!doc.is_array()) throw ScriptError{"", std::string("expected an array of steps, found ") + KindName(doc)};
    for (std::size_t i = 0; i < doc.size(); ++i) {
      const Json& s = doc[i];
      const std::string where = At(i);
      ScriptStep step;
      if (s.is_object() && !s.contains("box")) {
        step = ReadDialogStep(s, where);
      } else if (s.is_object()) {
        for (auto it = s.begin(); it != s.end(); ++it)
          if (it.key() != "box" && it.key() != "comment")
            throw ScriptError{where + "/" + it.key(), "unknown field for a box answer"};
        step.answer = BoxAnswer(s["box"], where + "/box");
      } else {
        step.answer = BoxAnswer(s, where);
      }
      step.index = static_cast<int>(i) + 1;
      steps.push_back(std::move(step));
    }
  } catch (const ScriptError& e) {
    error = name + ": at " + (e.where.empty() ? std::string("the top level") : e.where) + ": " + e.what;
    steps.clear();
    return false;
  } catch (const Json::exception& e) {
    error = name + ": " + e.what();
    steps.clear();
    return false;
  }
  return true;
}

bool ReadScriptFile(const std::string& path, std::vector<ScriptStep>& steps, std::string& error) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) {
    error = path + ": cannot be read: " + std::strerror(errno);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    error = path + ": not a regular file";
    return false;
  }
  if (static_cast<unsigned long long>(st.st_size) > kScriptMaxBytes) {
    error = path + ": larger than " + std::to_string(kScriptMaxBytes) + " bytes, the most a script may have";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = path + ": cannot be read: " + std::strerror(errno);
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  return ParseScript(text.str(), path, steps, error);
}

std::string DescribeStep(const ScriptStep& s) {
  const std::string in = " in " + s.dialog;
  switch (s.action) {
    case ScriptStep::Action::Box: return "answer " + AnswerWord(s.answer);
    case ScriptStep::Action::Press: return "press " + s.widget + in;
    case ScriptStep::Action::Button: return std::string("press the ") + StandardButtonName(s.button) + " button of " + s.dialog;
    case ScriptStep::Action::Check: return "check " + s.widget + in;
    case ScriptStep::Action::Uncheck: return "uncheck " + s.widget + in;
    case ScriptStep::Action::Choose: return "choose " + s.widget + in;
    case ScriptStep::Action::Pick:
      return "pick " + (s.byText ? "\"" + s.text + "\"" : "line " + std::to_string(s.line)) + " of " + s.widget + in;
    case ScriptStep::Action::Select: {
      std::string lines;
      for (int l : s.lines) lines += (lines.empty() ? "" : ", ") + std::to_string(l);
      return "select lines [" + lines + "] of " + s.widget + in;
    }
    case ScriptStep::Action::Type: return "type \"" + s.text + "\" into " + s.widget + in;
    case ScriptStep::Action::Close: return std::string("close ") + s.dialog + (s.mdi ? " as a document" : "");
  }
  return std::string();
}

int ScriptPlayer::AnswerBox() {
  const ScriptStep* next = Next();
  if (!next || next->action != ScriptStep::Action::Box) return kBoxAcknowledged;
  ++m_next;
  return next->answer;
}

ActionResult ScriptPlayer::PlayNext(const ActionTaken& taken) {
  const ScriptStep* next = Next();
  if (!next) return ActionResult::Refused("the script has no more steps");
  const ScriptStep s = *next;
  ++m_next;
  const std::string label = "step " + std::to_string(s.index) + " (" + DescribeStep(s) + ")";
  if (s.action == ScriptStep::Action::Box) return ActionResult::Refused(label + ": no message box is open");
  CATDlgDialog* dialog = FindDialog(s.dialog);
  if (!dialog) return ActionResult::Refused(label + ": the dialog \"" + s.dialog + "\" is not open");
  ActionResult r;
  switch (s.action) {
    case ScriptStep::Action::Press: r = Press(dialog, s.widget, taken); break;
    case ScriptStep::Action::Button: r = PressButton(dialog, s.button, taken); break;
    case ScriptStep::Action::Check: r = SetChecked(dialog, s.widget, true, taken); break;
    case ScriptStep::Action::Uncheck: r = SetChecked(dialog, s.widget, false, taken); break;
    case ScriptStep::Action::Choose: r = Choose(dialog, s.widget, taken); break;
    case ScriptStep::Action::Pick:
      r = s.byText ? PickText(dialog, s.widget, CATUnicodeString(s.text.c_str()), taken)
                   : Pick(dialog, s.widget, s.line, taken);
      break;
    case ScriptStep::Action::Select: r = Select(dialog, s.widget, s.lines, taken); break;
    case ScriptStep::Action::Type: r = Type(dialog, s.widget, CATUnicodeString(s.text.c_str()), taken); break;
    case ScriptStep::Action::Close: r = CloseWindow(dialog, s.mdi, taken); break;
    case ScriptStep::Action::Box: break;
  }
  if (!r) r.error = label + ": " + r.error;
  return r;
}

ActionResult ScriptPlayer::PlayAll(const std::function<void()>& idle,
                                   const std::function<void(const ScriptStep&)>& taken) {
  for (;;) {
    if (Dispatch* d = Dispatch::Current()) d->RunUntilIdle();
    if (idle) idle();
    const ScriptStep* next = Next();
    if (!next) return {};
    const ScriptStep step = *next;
    ActionResult r = PlayNext([&] {
      if (taken) taken(step);
    });
    if (!r) return r;
  }
}

}  // namespace elmhost
