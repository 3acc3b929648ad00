#include "BatchInput.h"

#include <pugixml.hpp>

namespace elmbatch {

const std::vector<std::string>* BatchInput::Parameter(const std::string& wanted) const {
  for (const auto& [name, values] : parameters)
    if (name == wanted) return &values;
  return nullptr;
}

bool ReadBatchInput(const std::string& path, BatchInput& input, std::string& error) {
  input.path = path;
  pugi::xml_document doc;
  pugi::xml_parse_result parsed = doc.load_file(path.c_str());
  if (!parsed) {
    error = path + ": not a batch input file: " + parsed.description() + " at byte " + std::to_string(parsed.offset);
    return false;
  }
  pugi::xml_node batch = doc.child("PLMBatch");
  if (!batch) {
    error = path + ": not a batch input file: the root element is not PLMBatch";
    return false;
  }
  // The report's place first: even an input that is wrong otherwise gets a
  // report that says what is wrong with it.
  input.reportName = batch.child("Report").attribute("name").value();
  input.name = batch.attribute("name").value();
  input.description = batch.child("Description").text().get();
  input.sessionFile = batch.child("Session").attribute("file").value();
  for (pugi::xml_node p : batch.child("ApplicativeParameters").children("Parameter")) {
    std::vector<std::string> values;
    for (pugi::xml_node v : p.children("Value")) values.emplace_back(v.text().get());
    input.parameters.emplace_back(p.attribute("name").value(), std::move(values));
  }
  for (pugi::xml_node o : batch.child("SelectedObjects").children("Object"))
    input.objects.emplace_back(o.attribute("id").value());
  for (pugi::xml_node p : batch.child("ReportParameters").children("Parameter"))
    input.reportParameters.emplace_back(p.attribute("name").value(), p.attribute("value").value());
  if (input.name.empty()) {
    error = path + ": the batch has no name";
    return false;
  }
  if (input.reportName.empty()) {
    error = path + ": the batch names no report";
    return false;
  }
  return true;
}

}  // namespace elmbatch
