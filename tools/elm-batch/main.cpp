// elm-batch: the batch program that the host's client batch monitor runs as
// a process of its own for a PLM batch. It reads the batch input file, does
// the batch's work on the session the file names, writes the HTML report
// beside the report name the file gives, and exits with the batch's return
// code.

#include "BatchInput.h"
#include "BatchReport.h"
#include "CoexistenceBatch.h"

#include "ELMHostFiles.h"

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

namespace {

constexpr int kExitUnusable = 3;
constexpr int kExitNoReport = 4;
constexpr int kExitUsage = 64;

const char* const kUsage =
    "usage: elm-batch [--id ID] INPUTFILE\n"
    "       elm-batch --help | --version\n"
    "Runs the PLM batch that INPUTFILE describes (as written by the host's\n"
    "CATPLMBatch::FillXmlFile) and writes its report to <report name>.htm.\n"
    "Exit status: the batch's return code (0 done, 1 some objects not handled,\n"
    "2 changes not saved, 3 input or session not usable, 4 report not written).\n";

std::string Now() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[40];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S %z", &local);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  elmbatch::BatchRunInfo info;
  std::string inputPath;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (args[i] == "--version") {
      std::printf("elm-batch %s\n", ELM_VERSION_TEXT);
      return 0;
    }
    if (args[i] == "--id" && i + 1 < args.size()) {
      info.id = args[++i];
    } else if (!args[i].empty() && args[i][0] != '-' && inputPath.empty()) {
      inputPath = args[i];
    } else {
      std::fprintf(stderr, "elm-batch: unexpected argument \"%s\"\n%s", args[i].c_str(), kUsage);
      return kExitUsage;
    }
  }
  if (inputPath.empty()) {
    std::fprintf(stderr, "elm-batch: no input file\n%s", kUsage);
    return kExitUsage;
  }

  info.started = Now();
  elmbatch::BatchInput input;
  elmbatch::CoexistenceRun run;
  std::string error;
  if (!elmbatch::ReadBatchInput(inputPath, input, error)) {
    run.problem = error;
    run.returnCode = kExitUnusable;
  } else if (input.name != "CoexistenceAdministration") {
    run.problem = "the batch \"" + input.name + "\" is not one this program runs (CoexistenceAdministration)";
    run.returnCode = kExitUnusable;
  } else {
    std::printf("elm-batch: %s %s: %s\n", input.name.c_str(), info.id.c_str(), inputPath.c_str());
    run = elmbatch::RunCoexistenceAdministration(input);
  }
  info.ended = Now();
  if (!run.problem.empty()) std::printf("elm-batch: nothing done: %s\n", run.problem.c_str());
  if (!run.saveError.empty()) std::printf("elm-batch: the changes were not saved: %s\n", run.saveError.c_str());

  if (input.reportName.empty()) {
    std::printf("elm-batch: no report: the input names none\n");
    return run.returnCode ? run.returnCode : kExitNoReport;
  }
  const std::string report = input.reportName + ".htm";
  if (!elmhost::WriteFileReplacing(report, elmbatch::ReportHtml(input, run, info), error)) {
    std::printf("elm-batch: no report: %s\n", error.c_str());
    return run.returnCode ? run.returnCode : kExitNoReport;
  }
  std::printf("elm-batch: report %s\nelm-batch: return code %d\n", report.c_str(), run.returnCode);
  return run.returnCode;
}
