#pragma once

#include "BatchInput.h"
#include "CoexistenceBatch.h"

#include <string>

namespace elmbatch {

/// When and as what the batch ran, for the report.
struct BatchRunInfo {
  std::string id;
  std::string started;
  std::string ended;
};

/// The report as an HTML page: the batch, its parameters, each object and
/// what was done to it.
std::string ReportHtml(const BatchInput& input, const CoexistenceRun& run, const BatchRunInfo& info);

}  // namespace elmbatch
