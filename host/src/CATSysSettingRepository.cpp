#include "CATSysSettingRepository.h"

#include "CATGetEnv.h"
#include "KeyValueFile.h"

#include <cstdio>
#include <fstream>
#include <iostream>

CATImplementInterface(CATSysSettingRepository)
CATImplementInterface(CATSettingRepository)

namespace {

std::string repositoryPath(const char* name) {
  const char* dir = CATGetEnv("ELMHOST_SETTINGS_PATH");
  if (!dir || !*dir || !name || !*name) return {};
  std::string path(dir);
  if (path.back() != '/') path += '/';
  return path + name + ".settings";
}

template <class Repo>
Repo* open(const char* name) {
  std::string path = repositoryPath(name);
  if (path.empty()) return nullptr;
  auto* repo = new Repo();
  repo->SetPath(path);
  if (!elmhost::KeyValueFile::Read(path, repo->Values(), [&](int line, const std::string& why) {
        std::cerr << path << ":" << line << ": " << why << " (line skipped)\n";
      })) {
    repo->Release();
    return nullptr;
  }
  return repo;
}

}  // namespace

CATSysSettingRepository* CATSysSettingRepository::GetRepository(const char* name) {
  struct Repo : CATSysSettingRepository {
    void SetPath(const std::string& p) { m_path = p; }
    std::map<std::string, std::string>& Values() { return m_values; }
  };
  return open<Repo>(name);
}

CATSettingRepository* CATSettingRepository::GetRepository(const char* name) {
  struct Repo : CATSettingRepository {
    void SetPath(const std::string& p) { m_path = p; }
    std::map<std::string, std::string>& Values() { return m_values; }
  };
  return open<Repo>(name);
}

HRESULT CATSysSettingRepository::ReadAttr(const char* name, CATUnicodeString& value) const {
  if (!name) return E_FAIL;
  auto it = m_values.find(name);
  if (it == m_values.end()) return E_FAIL;
  value = CATUnicodeString(it->second.data(), it->second.size());
  return S_OK;
}

HRESULT CATSysSettingRepository::WriteAttr(const char* name, const CATUnicodeString& value) {
  if (!name || !*name) return E_FAIL;
  m_values[name] = value.Utf8();
  return S_OK;
}

HRESULT CATSysSettingRepository::SaveRepository() {
  if (m_path.empty()) return E_FAIL;
  // Write beside the file and rename, so a crash never leaves half a repository.
  std::string tmp = m_path + ".tmp";
  {
    std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
    if (!f) return E_FAIL;
    for (const auto& [k, v] : m_values) f << k << " = " << elmhost::KeyValueFile::Quote(v) << ";\n";
    if (!f.flush()) return E_FAIL;
  }
  return std::rename(tmp.c_str(), m_path.c_str()) == 0 ? S_OK : E_FAIL;
}
