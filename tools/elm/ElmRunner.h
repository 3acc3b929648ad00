#pragma once

#include <string>
#include <vector>

namespace elmapp {

/// The whole of elm: takes the arguments after the program name, prints to
/// the standard output (what the user sees) and the standard error (what
/// went wrong), and gives the exit status.
int Main(const std::vector<std::string>& args);

}  // namespace elmapp
