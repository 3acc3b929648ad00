#include "CatalogDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace elmtest {

TempCatalogDir::TempCatalogDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "elmcat-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary catalog directory");
  m_path = pattern;
}

TempCatalogDir::~TempCatalogDir() {
  std::error_code ec;
  std::filesystem::remove_all(m_path, ec);
}

void TempCatalogDir::Write(const std::string& name, const std::string& content) const {
  std::ofstream(m_path + "/" + name, std::ios::binary | std::ios::trunc) << content;
}

ScopedEnv::ScopedEnv(std::string name, const std::optional<std::string>& value) : m_name(std::move(name)) {
  if (const char* old = std::getenv(m_name.c_str())) m_previous = old;
  if (value)
    setenv(m_name.c_str(), value->c_str(), 1);
  else
    unsetenv(m_name.c_str());
}

ScopedEnv::~ScopedEnv() {
  if (m_previous)
    setenv(m_name.c_str(), m_previous->c_str(), 1);
  else
    unsetenv(m_name.c_str());
}

}  // namespace elmtest
