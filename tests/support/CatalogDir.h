#pragma once

#include <optional>
#include <string>

namespace elmtest {

/// A fresh directory for catalog files, removed with everything in it when
/// the object goes.
class TempCatalogDir {
public:
  TempCatalogDir();
  ~TempCatalogDir();
  TempCatalogDir(const TempCatalogDir&) = delete;
  TempCatalogDir& operator=(const TempCatalogDir&) = delete;

  const std::string& Path() const { return m_path; }
  /// Writes (or replaces) the file name with content.
  void Write(const std::string& name, const std::string& content) const;

private:
  std::string m_path;
};

/// Sets (or, with nullopt, unsets) an environment variable for the scope and
/// puts the previous state back afterwards.
class ScopedEnv {
public:
  ScopedEnv(std::string name, const std::optional<std::string>& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
  std::string m_name;
  std::optional<std::string> m_previous;
};

}  // namespace elmtest
