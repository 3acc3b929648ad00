#pragma once

#include <functional>
#include <map>
#include <string>

namespace elmtest {

struct ChildResult {
  int exitCode = -1;   ///< exit status, or 128 + signal number
  std::string out;     ///< everything the child wrote to standard output
};

/// Value that unsets a variable in RunInChild's environment changes.
inline const std::string kUnset = "\x01unset";

/// The child inherits what the parent had settled already, so a test that
/// relies on fresh process state must not settle it before the call; ctest
/// runs every test in a process of its own, which keeps that true.
/// Runs body in a forked child with the given environment changes (kUnset
/// removes the variable) and its standard output captured. Process-wide
/// state that is settled once (trace level, module) starts fresh there.
/// body's return value is the child's exit code.
ChildResult RunInChild(const std::map<std::string, std::string>& env, const std::function<int()>& body);

}  // namespace elmtest
