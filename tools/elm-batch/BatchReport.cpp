#include "BatchReport.h"

namespace elmbatch {

namespace {

using Result = ObjectOutcome::Result;

std::string Escape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

const char* ResultWord(Result r) {
  switch (r) {
    case Result::Changed: return "changed";
    case Result::WouldChange: return "would change";
    case Result::Unchanged: return "unchanged";
    case Result::Skipped: return "skipped";
    case Result::Failed: return "failed";
  }
  return "";
}

std::string Row(std::initializer_list<std::string> cells, const char* cls = nullptr) {
  std::string row = cls ? std::string("<tr class=\"") + cls + "\">" : std::string("<tr>");
  for (const std::string& c : cells) row += "<td>" + Escape(c) + "</td>";
  return row + "</tr>\n";
}

std::string Summary(const CoexistenceRun& run) {
  int counts[5] = {};
  for (const ObjectOutcome& o : run.objects) ++counts[static_cast<int>(o.result)];
  std::string s = std::to_string(run.objects.size()) + (run.objects.size() == 1 ? " object" : " objects");
  const Result order[] = {Result::Changed, Result::WouldChange, Result::Unchanged, Result::Skipped, Result::Failed};
  for (Result r : order)
    if (counts[static_cast<int>(r)]) s += ", " + std::to_string(counts[static_cast<int>(r)]) + " " + ResultWord(r);
  return s + ".";
}

}  // namespace

std::string ReportHtml(const BatchInput& input, const CoexistenceRun& run, const BatchRunInfo& info) {
  const bool ok = run.returnCode == 0;
  std::string h =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<title>Coexistence administration: " + Escape(ok ? "done" : "failed") + "</title>\n"
      "<style>\n"
      "body { font-family: sans-serif; margin: 2em; }\n"
      "table { border-collapse: collapse; margin-bottom: 1.5em; }\n"
      "th, td { border: 1px solid #999; padding: 0.25em 0.6em; text-align: left; vertical-align: top; }\n"
      "th { background: #eee; }\n"
      ".failed td { background: #fdd; } .changed td, .would-change td { background: #efe; }\n"
      ".outcome { font-weight: bold; }\n"
      "</style>\n</head>\n<body>\n"
      "<h1>Coexistence administration</h1>\n";
  h += "<p class=\"outcome\" id=\"outcome\">";
  if (!run.problem.empty())
    h += "Nothing was done: " + Escape(run.problem) + ".";
  else
    h += Escape(Summary(run)) + (run.mode == "Preview" ? " Preview: nothing was changed." : "");
  if (!run.saveError.empty()) h += " The changes could not be saved: " + Escape(run.saveError);
  else if (run.saved) h += " The changes were saved.";
  h += "</p>\n";

  h += "<h2>Batch</h2>\n<table id=\"batch\">\n";
  h += Row({"Batch", input.name});
  h += Row({"Identifier", info.id});
  if (!input.description.empty()) h += Row({"Description", input.description});
  h += Row({"Input file", input.path});
  h += Row({"Session", input.sessionFile});
  h += Row({"Started", info.started});
  h += Row({"Ended", info.ended});
  h += Row({"Return code", std::to_string(run.returnCode)});
  h += "</table>\n";

  h += "<h2>Parameters</h2>\n<table id=\"parameters\">\n<tr><th>Parameter</th><th>Values</th></tr>\n";
  for (const auto& [name, values] : input.parameters) {
    std::string joined;
    for (const std::string& v : values) joined += (joined.empty() ? "" : ", ") + v;
    h += Row({name, values.empty() ? std::string("(none)") : joined});
  }
  for (const auto& [name, value] : input.reportParameters) h += Row({name, value});
  h += "</table>\n";

  h += "<h2>Objects</h2>\n<table id=\"objects\">\n"
       "<tr><th>Object</th><th>Type</th><th>Identifier</th><th>Name</th><th>Why</th><th>Before</th>"
       "<th>Outcome</th><th>What was done</th></tr>\n";
  for (const ObjectOutcome& o : run.objects) {
    std::string cls = ResultWord(o.result);
    for (char& c : cls)
      if (c == ' ') c = '-';
    h += Row({o.id, o.type, o.externalId, o.name, o.why, o.before, ResultWord(o.result), o.text}, cls.c_str());
  }
  if (run.objects.empty()) h += "<tr><td colspan=\"8\">No object.</td></tr>\n";
  h += "</table>\n</body>\n</html>\n";
  return h;
}

}  // namespace elmbatch
