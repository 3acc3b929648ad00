#include "CATPLMBatch.h"

#include "CATFileServices.h"
#include "CATGetEnv.h"
#include "ELMHostFiles.h"
#include "ELMHostPLMSession.h"

#include <pugixml.hpp>

#include <ctime>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr const char* kReportDirectory = "PLMBATCH_Report_Directory";

// Batches of one process never share a report name, even when two are made
// in the same second.
int s_batchNumber = 0;

struct Parameter {
  std::string name;
  std::vector<std::string> values;
};

struct StringWriter : pugi::xml_writer {
  std::string out;
  void write(const void* data, std::size_t size) override { out.append(static_cast<const char*>(data), size); }
};

}  // namespace

struct CATPLMBatch::Impl {
  CATUnicodeString name;
  std::string reportStem;  // the name part of the report, without directory
  std::vector<Parameter> parameters;
  std::vector<std::pair<std::string, std::string>> reportParameters;
  std::vector<std::string> objects;

  std::string ReportDirectory() const {
    for (const auto& [n, v] : reportParameters)
      if (n == kReportDirectory && !v.empty()) return v;
    return CATGetTempDirectory();
  }
};

CATPLMBatch::CATPLMBatch(const CATUnicodeString& name) : m_impl(std::make_unique<Impl>()) {
  m_impl->name = name;
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  m_impl->reportStem = (name.IsNull() ? std::string("Batch") : name.Utf8()) + "_" + stamp + "_" +
                       std::to_string(CATGetProcessId()) + "_" + std::to_string(++s_batchNumber);
}

CATPLMBatch::~CATPLMBatch() = default;

const CATUnicodeString& CATPLMBatch::GetName() const { return m_impl->name; }

HRESULT CATPLMBatch::SetApplicativeParameters(const CATUnicodeString& name, const CATListValCATUnicodeString& values) {
  if (name.IsNull()) return E_FAIL;
  std::vector<std::string> texts;
  for (const CATUnicodeString& v : values) texts.push_back(v.Utf8());
  for (Parameter& p : m_impl->parameters)
    if (p.name == name.Utf8()) {
      p.values = std::move(texts);
      return S_OK;
    }
  m_impl->parameters.push_back({name.Utf8(), std::move(texts)});
  return S_OK;
}

HRESULT CATPLMBatch::SetSelectedObjects(const CATListPtrCATIAdpPLMIdentificator& objects) {
  std::vector<std::string> ids;
  for (CATIAdpPLMIdentificator* id : objects) {
    if (!id) return E_INVALIDARG;
    ids.push_back(id->GetIdentifierText().Utf8());
  }
  m_impl->objects = std::move(ids);
  return S_OK;
}

HRESULT CATPLMBatch::SetReportParameters(const CATUnicodeString& name, const CATUnicodeString& value) {
  if (name.IsNull()) return E_FAIL;
  for (auto& [n, v] : m_impl->reportParameters)
    if (n == name.Utf8()) {
      v = value.Utf8();
      return S_OK;
    }
  m_impl->reportParameters.emplace_back(name.Utf8(), value.Utf8());
  return S_OK;
}

CATUnicodeString CATPLMBatch::GetReportName() const {
  std::string path = m_impl->ReportDirectory();
  if (!path.empty() && path.back() != '/') path += '/';
  path += m_impl->reportStem;
  return CATUnicodeString(path.c_str(), path.size());
}

HRESULT CATPLMBatch::FillXmlFile(const CATUnicodeString& description, const CATUnicodeString& path) {
  if (path.IsNull()) return E_FAIL;
  try {
    pugi::xml_document doc;
    pugi::xml_node decl = doc.append_child(pugi::node_declaration);
    decl.append_attribute("version") = "1.0";
    decl.append_attribute("encoding") = "UTF-8";
    pugi::xml_node batch = doc.append_child("PLMBatch");
    batch.append_attribute("name") = m_impl->name.ConvertToChar();
    batch.append_attribute("format") = "1";
    if (!description.IsNull()) batch.append_child("Description").text() = description.ConvertToChar();
    // The batch works on the session the client shows, from its file.
    if (elmhost::PLMSession* session = elmhost::PLMSession::Current(); session && !session->Path().empty()) {
      std::error_code ec;
      std::filesystem::path file = std::filesystem::absolute(session->Path(), ec);
      batch.append_child("Session").append_attribute("file") = (ec ? session->Path() : file.string()).c_str();
    }
    pugi::xml_node parameters = batch.append_child("ApplicativeParameters");
    for (const Parameter& p : m_impl->parameters) {
      pugi::xml_node parameter = parameters.append_child("Parameter");
      parameter.append_attribute("name") = p.name.c_str();
      for (const std::string& v : p.values) parameter.append_child("Value").text() = v.c_str();
    }
    pugi::xml_node objects = batch.append_child("SelectedObjects");
    for (const std::string& id : m_impl->objects) objects.append_child("Object").append_attribute("id") = id.c_str();
    pugi::xml_node report = batch.append_child("ReportParameters");
    for (const auto& [n, v] : m_impl->reportParameters) {
      pugi::xml_node parameter = report.append_child("Parameter");
      parameter.append_attribute("name") = n.c_str();
      parameter.append_attribute("value") = v.c_str();
    }
    batch.append_child("Report").append_attribute("name") = GetReportName().ConvertToChar();
    StringWriter w;
    doc.save(w, "  ", pugi::format_default, pugi::encoding_utf8);
    std::string error;
    return elmhost::WriteFileReplacing(path.Utf8(), w.out, error) ? S_OK : E_FAIL;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}
