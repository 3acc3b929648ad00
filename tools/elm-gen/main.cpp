// elm-gen: writes a product of any size and shape for elm, and an elm-server
// seed with a named structure of it, for trying large products and for the
// benchmarks.

#include "ProductGenerator.h"

#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

namespace {

constexpr const char* kUsage =
    "usage: elm-gen --shape deep|wide|mix --nodes N [--leave-out K] [--root PN] [--name NAME]\n"
    "               --session FILE --seed FILE\n"
    "Writes a session with a tree of N nodes and a seed whose named structure NAME\n"
    "(default \"Generated\") keeps the tree without every K-th node's branch.\n";

bool Number(const char* text, std::size_t& value) {
  if (!text || !*text) return false;
  char* end = nullptr;
  unsigned long long v = std::strtoull(text, &end, 10);
  if (*end || text[0] == '-') return false;
  value = static_cast<std::size_t>(v);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  elmgen::Options options;
  std::string sessionPath, seedPath, name = "Generated";
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    bool ok = value != nullptr;
    if (arg == "--shape" && ok) {
      const std::string s = value;
      ok = s == "deep" || s == "wide" || s == "mix";
      options.shape = s == "deep" ? elmgen::Shape::Deep : s == "wide" ? elmgen::Shape::Wide : elmgen::Shape::Mix;
    } else if (arg == "--nodes" && ok) {
      ok = Number(value, options.nodes) && options.nodes > 0;
    } else if (arg == "--leave-out" && ok) {
      ok = Number(value, options.leaveOut);
    } else if (arg == "--root" && ok) {
      options.root = value;
    } else if (arg == "--name" && ok) {
      name = value;
    } else if (arg == "--session" && ok) {
      sessionPath = value;
    } else if (arg == "--seed" && ok) {
      seedPath = value;
    } else {
      ok = false;
    }
    if (!ok) {
      std::cerr << "elm-gen: bad argument \"" << arg << "\"\n" << kUsage;
      return 2;
    }
    ++i;
  }
  if (sessionPath.empty() || seedPath.empty()) {
    std::cerr << kUsage;
    return 2;
  }
  const auto tree = elmgen::Generate(options);
  std::ofstream session(sessionPath), seed(seedPath);
  elmgen::WriteSession(tree, session);
  elmgen::WriteSeed(tree, name, seed);
  session.close();
  seed.close();
  if (!session || !seed) {
    std::cerr << "elm-gen: cannot write " << (!session ? sessionPath : seedPath) << '\n';
    return 1;
  }
  std::cout << tree.size() << " nodes written to " << sessionPath << "; structure \"" << name << "\" of "
            << tree.front().pn << " written to " << seedPath << '\n';
  return 0;
}
