#include "ElmCommandLine.h"

namespace elmapp {

std::string UsageText() {
  return "Usage:\n"
         "  elm commands                      list the command classes the plug-in registers\n"
         "  elm run CLASS --session FILE [--script FILE | --answers FILE] [--events FILE]\n"
         "                                    run a command against the PLM session in FILE\n"
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
         "\n"
         "Environment:\n"
         "  ELM_PLUGIN       path of the plug-in library (default: next to elm, then the\n"
         "                   installed library directory)\n"
         "  ELM_SERVER_URL   the integration server, e.g. http://127.0.0.1:8080/\n"
         "  ELM_DEBUG=ON     trace every operation of the plug-in on standard output\n"
         "\n"
         "Exit status: 0 when the command ran (whatever its outcome), 1 when the server\n"
         "check failed, 2 for a bad command line, 3 for an unusable session, script or\n"
         "answers file, 4 for an unknown command class, 5 when the plug-in cannot be loaded,\n"
         "6 when the events file cannot be written, 7 when a script step names a dialog or\n"
         "widget that is not open, or asks what a person could not do.\n";
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
  if (verb != "run") {
    error = "unknown command \"" + verb + "\"";
    return false;
  }
  out.mode = Mode::Run;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::string* target = nullptr;
    if (a == "--session") target = &out.sessionPath;
    if (a == "--answers") target = &out.answersPath;
    if (a == "--events") target = &out.eventsPath;
    if (a == "--script") target = &out.scriptPath;
    if (target) {
      if (i + 1 >= args.size() || args[i + 1].empty()) {
        error = a + " needs a file name";
        return false;
      }
      if (!target->empty()) {
        error = a + " is given twice";
        return false;
      }
      *target = args[++i];
    } else if (!a.empty() && a[0] == '-') {
      error = "unknown option \"" + a + "\"";
      return false;
    } else if (out.className.empty()) {
      out.className = a;
    } else {
      error = "only one command class can be run, got \"" + out.className + "\" and \"" + a + "\"";
      return false;
    }
  }
  if (out.className.empty()) {
    error = "run needs the command class to run";
    return false;
  }
  if (out.sessionPath.empty()) {
    error = "run needs --session FILE";
    return false;
  }
  if (!out.scriptPath.empty() && !out.answersPath.empty()) {
    error = "--script and --answers cannot be given together; a script answers boxes too";
    return false;
  }
  return true;
}

}  // namespace elmapp
