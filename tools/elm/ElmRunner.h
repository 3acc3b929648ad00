#pragma once

#include <functional>
#include <string>
#include <vector>

namespace elmapp {

struct CommandLine;

/// A way of showing the plug-in's dialogs that elm may be built with: takes
/// the parsed command line and the raw arguments, gives the exit status.
using Presenter = std::function<int(const CommandLine&, const std::vector<std::string>&)>;

/// The graphical presenters; empty in an elm built without them.
struct Presenters {
  Presenter gui;
  Presenter snapshot;
};

/// The whole of elm: takes the arguments after the program name, prints to
/// the standard output (what the user sees) and the standard error (what
/// went wrong), and gives the exit status.
int Main(const std::vector<std::string>& args, const Presenters& presenters = {});

}  // namespace elmapp
