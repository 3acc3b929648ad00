#include "ElmCommandLine.h"

namespace elmapp {

std::string UsageText() {
  return "Usage:\n"
         "  elm commands                      list the command classes the plug-in registers\n"
         "  elm run CLASS --session FILE [--script FILE | --answers FILE] [--events FILE]\n"
         "                                    run a command against the PLM session in FILE\n"
         "  elm gui --session FILE            the session's tree in a window; commands from the\n"
         "                                    toolbar, their dialogs and boxes as windows\n"
         "  elm snapshot CLASS --session FILE [--script FILE] --out DIR\n"
         "                                    run a command and write a picture of every dialog\n"
         "                                    and box as it opens (no display needed)\n"
         "  elm check-server                  check that the integration server answers\n"
         "  elm --help | --version\n"
         "\n"
         "Options of run:\n"
         "  --session FILE   the PLM session (JSON); saving objects writes it back\n"
         "  --script FILE    what the user does whenever the command waits: a JSON array of\n"
         "                   steps, each a box answer (\"OK\", \"Cancel\", \"Close\" or a number)\n"
         "                   or a dialog action such as {\"dialog\": \"oak_about\",\n"
         "                   \"press\": \"ELMCheckServerButton\"}; boxes without a step get OK\n"
         "  --answers FILE   the short form for boxes only: a JSON array of answers, in\n"
         "                   order; OK once they run out\n"
         "  --events FILE    write one JSON object per line for each box, dialog, dialog\n"
         "                   action, request and save\n"
         "  --out DIR        snapshot: the folder for the pictures (made when missing), one\n"
         "                   PNG per dialog and box, numbered in the order they open\n"
         "\n"
         "Environment:\n"
         "  ELM_PLUGIN       path of the plug-in library (default: next to elm, then ../lib,\n"
         "                   the installed library directory, then the build tree)\n"
         "  ELM_SERVER_URL   the integration server, e.g. http://127.0.0.1:8080/\n"
         "  ELM_DEBUG=ON     trace every operation of the plug-in on standard output\n"
         "\n"
         "Exit status: 0 when the command ran (whatever its outcome), 1 when the server\n"
         "check failed, 2 for a bad command line, 3 for an unusable session, script or\n"
         "answers file, 4 for an unknown command class, 5 when the plug-in cannot be loaded,\n"
         "6 when the events file or a picture cannot be written, 7 when a script step names a\n"
         "dialog or widget that is not open, or asks what a person could not do, 8 when gui\n"
         "or snapshot is asked of an elm built without its graphical presenter (Qt 6), or\n"
         "gui finds no display, 9 when another run holds the session file longer than\n"
         "ELM_SESSION_WAIT seconds (default 5).\n";
}

bool ParseCommandLine(const std::vector<std::string>& args, CommandLine& out, std::string& error) {
  out = CommandLine();
  if (args.empty()) {
    error = "no command given";
    return false;
  }
  const std::string& verb = args[0];
  if (verb == "--help" || verb == "-h" || verb == "help") {
    out.mode = Mode::Help;
    return true;
  }
  if (verb == "--version") {
    out.mode = Mode::Version;
    return true;
  }
  if (verb == "commands" || verb == "check-server") {
    if (args.size() > 1) {
      error = "\"" + verb + "\" takes no arguments, got \"" + args[1] + "\"";
      return false;
    }
    out.mode = verb == "commands" ? Mode::Commands : Mode::CheckServer;
    return true;
  }
  if (verb == "run")
    out.mode = Mode::Run;
  else if (verb == "gui")
    out.mode = Mode::Gui;
  else if (verb == "snapshot")
    out.mode = Mode::Snapshot;
  else {
    error = "unknown command \"" + verb + "\"";
    return false;
  }
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::string* target = nullptr;
    // Each verb takes the options that mean something to it.
    if (a == "--session") target = &out.sessionPath;
    if (a == "--answers" && out.mode == Mode::Run) target = &out.answersPath;
    if (a == "--events" && out.mode == Mode::Run) target = &out.eventsPath;
    if (a == "--script" && out.mode != Mode::Gui) target = &out.scriptPath;
    if (a == "--out" && out.mode == Mode::Snapshot) target = &out.outDir;
    if (target) {
      if (i + 1 >= args.size() || args[i + 1].empty()) {
        error = a + (target == &out.outDir ? " needs a folder name" : " needs a file name");
        return false;
      }
      if (!target->empty()) {
        error = a + " is given twice";
        return false;
      }
      *target = args[++i];
    } else if (!a.empty() && a[0] == '-') {
      error = "unknown option \"" + a + "\" for " + verb;
      return false;
    } else if (out.mode == Mode::Gui) {
      error = "gui takes no command class (its toolbar starts them), got \"" + a + "\"";
      return false;
    } else if (out.className.empty()) {
      out.className = a;
    } else {
      error = "only one command class can be run, got \"" + out.className + "\" and \"" + a + "\"";
      return false;
    }
  }
  if (out.className.empty() && out.mode != Mode::Gui) {
    error = verb + " needs the command class to run";
    return false;
  }
  if (out.sessionPath.empty()) {
    error = verb + " needs --session FILE";
    return false;
  }
  if (out.mode == Mode::Snapshot && out.outDir.empty()) {
    error = "snapshot needs --out DIR";
    return false;
  }
  if (!out.scriptPath.empty() && !out.answersPath.empty()) {
    error = "--script and --answers cannot be given together; a script answers boxes too";
    return false;
  }
  return true;
}

}  // namespace elmapp
