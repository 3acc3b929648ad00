#include "ElmPlugin.h"

#include <dlfcn.h>
#include <filesystem>
#include <system_error>

namespace elmapp {

namespace {
const char* const kLibraryName = "libELMCommands.so";

std::filesystem::path ExecutableDir() {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path() : exe.parent_path();
}
}  // namespace

std::vector<std::string> Plugin::Candidates() {
  if (const char* env = std::getenv("ELM_PLUGIN"); env && *env) return {env};
  std::vector<std::string> out;
  std::filesystem::path dir = ExecutableDir();
  if (!dir.empty()) {
    out.push_back((dir / kLibraryName).string());
    // The library directory of the install elm belongs to, wherever it went.
    out.push_back((dir / ELM_PLUGIN_RELATIVE_DIR / kLibraryName).lexically_normal().string());
  }
  out.push_back(ELM_PLUGIN_INSTALL_PATH);
  out.push_back(ELM_PLUGIN_BUILD_PATH);
  return out;
}

bool Plugin::Load(std::string& error) {
  std::vector<std::string> candidates = Candidates();
  for (const std::string& c : candidates) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(c, ec)) continue;
    m_handle = dlopen(c.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!m_handle) {
      const char* why = dlerror();
      error = "the plug-in " + c + " cannot be loaded: " + (why ? why : "unknown reason");
      return false;
    }
    m_path = c;
    return true;
  }
  error = "the plug-in library is not found; looked for";
  for (const std::string& c : candidates) error += "\n  " + c;
  error += "\n(set ELM_PLUGIN to its path)";
  return false;
}

void* Plugin::Symbol(const char* name) const { return m_handle ? dlsym(m_handle, name) : nullptr; }

}  // namespace elmapp
