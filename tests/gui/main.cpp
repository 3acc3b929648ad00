#include "Application.h"
#include "ElmPlugin.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  // The presenter's tests never need a display, whatever the environment has.
  std::unique_ptr<QApplication> app = elmgui::MakeApplication(true);
  // Commands settle the module once per process, as in the client.
  setenv("ELM_MODULE", "OAK", 1);
  // The tests over every registered command are made from the class
  // dictionary, which the plug-in fills as it loads.
  setenv("ELM_PLUGIN", ELM_PLUGIN_PATH, 1);
  elmapp::Plugin plugin;
  std::string error;
  if (!plugin.Load(error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
