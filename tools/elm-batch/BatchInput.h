#pragma once

#include <string>
#include <utility>
#include <vector>

namespace elmbatch {

/// What a batch input file holds (the host's CATPLMBatch::FillXmlFile writes it).
struct BatchInput {
  std::string path;
  std::string name;
  std::string description;
  std::string sessionFile;
  std::vector<std::pair<std::string, std::vector<std::string>>> parameters;  ///< in file order
  std::vector<std::string> objects;                                          ///< ids of the selected objects
  std::vector<std::pair<std::string, std::string>> reportParameters;
  std::string reportName;  ///< the report's path without ".htm"

  /// The values of the applicative parameter name, or null when it is not set.
  const std::vector<std::string>* Parameter(const std::string& name) const;
};

/// Reads the input file at path. On false, error says what is wrong; what
/// was read until then (the report name above all) stays in input.
bool ReadBatchInput(const std::string& path, BatchInput& input, std::string& error);

}  // namespace elmbatch
