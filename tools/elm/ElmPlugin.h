#pragma once

#include <string>
#include <vector>

namespace elmapp {

/// The plug-in library, loaded with dlopen as the client loads it: its
/// static objects fill the host's class dictionary. It stays loaded for the
/// life of the process, since the commands it made may outlive any scope.
class Plugin {
public:
  /// Where the plug-in is looked for, in order: $ELM_PLUGIN alone when it is
  /// set; else beside the executable, in ../lib beside it, the installed
  /// library directory, and the build tree.
  static std::vector<std::string> Candidates();

  /// Loads the first candidate that exists. On false, error tells what was
  /// tried or why loading failed.
  bool Load(std::string& error);
  void* Symbol(const char* name) const;
  const std::string& Path() const { return m_path; }

private:
  void* m_handle = nullptr;
  std::string m_path;
};

}  // namespace elmapp
