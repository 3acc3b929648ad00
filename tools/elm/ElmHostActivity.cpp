#include "ElmHostActivity.h"

#include "ElmEvents.h"
#include "ElmSession.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <string>

namespace elmapp {

namespace {

using Json = nlohmann::ordered_json;

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", seconds);
  return text;
}

void ReportBatch(const elmhost::BatchEvent& b, EventLog& events) {
  using Kind = elmhost::BatchEvent::Kind;
  std::string what;
  const char* state = "submitted";
  if (b.kind == Kind::Submitted) {
    what = "submitted (input " + b.inputFile + (b.logFile.empty() ? std::string() : ", output " + b.logFile) + ")";
  } else {
    state = b.kind == Kind::Stopped ? "stopped" : "ended";
    if (b.kind == Kind::Stopped && b.timeLimit > 0)
      what = "stopped: it did not end within " + Seconds(b.timeLimit) + " s";
    else if (b.kind == Kind::Stopped)
      what = "stopped";
    else if (b.signal)
      what = "ended by signal " + std::to_string(b.signal);
    else
      what = "ended";
    what += " (return code " + std::to_string(b.returnCode) + ")";
  }
  Print("[batch] " + b.name + " " + b.id + ": " + what + "\n");
  Json e;
  e["event"] = "batch";
  e["state"] = state;
  e["id"] = b.id;
  e["name"] = b.name;
  e["input"] = b.inputFile;
  e["log"] = b.logFile;
  e["pid"] = b.pid;
  if (b.kind != Kind::Submitted) {
    e["returnCode"] = b.returnCode;
    e["signal"] = b.signal;
    e["timeLimit"] = b.timeLimit;
  }
  events.Write(e.dump(-1, ' ', false, Json::error_handler_t::replace));
}

void ReportOpen(const elmhost::DesktopOpen& o, EventLog& events) {
  Print("[open] " + o.path + ": " + (o.opened ? "opened with " + o.opener : "not opened (" + o.reason + ")") + "\n");
  Json e;
  e["event"] = "open";
  e["verb"] = o.verb;
  e["path"] = o.path;
  e["opened"] = o.opened;
  e["opener"] = o.opener;
  e["reason"] = o.reason;
  events.Write(e.dump(-1, ' ', false, Json::error_handler_t::replace));
}

}  // namespace

HostActivityReport::HostActivityReport(EventLog& events) {
  m_previousBatch = elmhost::SetBatchObserver([&events](const elmhost::BatchEvent& b) { ReportBatch(b, events); });
  m_previousDesktop = elmhost::SetDesktopObserver([&events](const elmhost::DesktopOpen& o) { ReportOpen(o, events); });
}

HostActivityReport::~HostActivityReport() {
  elmhost::SetBatchObserver(std::move(m_previousBatch));
  elmhost::SetDesktopObserver(std::move(m_previousDesktop));
}

}  // namespace elmapp
