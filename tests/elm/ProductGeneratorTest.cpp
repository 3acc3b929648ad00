#ifdef ELM_GEN_EXE

#include "ProductGenerator.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <pugixml.hpp>

#include <algorithm>
#include <sstream>

namespace {

/// Nodes, deepest level and stored nodes of a tree read back from what the
/// generator wrote: the session's tree and the seed's structure.
struct Counts {
  std::size_t nodes = 0, depth = 0, stored = 0;
};

Counts FromSession(const std::string& text) {
  Counts c;
  nlohmann::json session = nlohmann::json::parse(text);
  std::vector<std::pair<const nlohmann::json*, std::size_t>> stack{{&session["tree"], 0}};
  while (!stack.empty()) {
    auto [node, depth] = stack.back();
    stack.pop_back();
    ++c.nodes;
    c.depth = std::max(c.depth, depth);
    if (node->contains("children"))
      for (const auto& child : (*node)["children"]) stack.push_back({&child, depth + 1});
  }
  return c;
}

std::size_t StoredInSeed(const std::string& text) {
  pugi::xml_document doc;
  EXPECT_TRUE(doc.load_string(text.c_str()));
  return doc.select_nodes("/ElmServerSeed/NamedStructure//O").size();
}

TEST(ProductGenerator, ShapesGiveTheirDepthAndTheSeedKeepsAllButTheBranchesLeftOut) {
  struct Row {
    elmgen::Shape shape;
    std::size_t nodes, leaveOut, depth, stored;
  } table[] = {
      {elmgen::Shape::Deep, 50, 0, 49, 50},
      {elmgen::Shape::Deep, 50, 10, 49, 10},   // the chain stops above its 10th node
      {elmgen::Shape::Wide, 50, 10, 1, 46},    // four siblings go
      {elmgen::Shape::Mix, 1000, 0, 5, 1000},  // fan-out 8, and chains reaching a level further
      {elmgen::Shape::Mix, 1, 3, 0, 1},        // the root alone is always kept
  };
  for (const Row& row : table) {
    SCOPED_TRACE(std::to_string(static_cast<int>(row.shape)) + "/" + std::to_string(row.nodes) + "/" +
                 std::to_string(row.leaveOut));
    const auto tree = elmgen::Generate({.shape = row.shape, .nodes = row.nodes, .leaveOut = row.leaveOut});
    std::ostringstream session, seed;
    elmgen::WriteSession(tree, session);
    elmgen::WriteSeed(tree, "A & <B>", seed);
    Counts c = FromSession(session.str());
    EXPECT_EQ(c.nodes, row.nodes);
    EXPECT_EQ(c.depth, row.depth);
    EXPECT_EQ(StoredInSeed(seed.str()), row.stored);
    EXPECT_NE(seed.str().find("name=\"A &amp; &lt;B>\""), std::string::npos);
  }
}

}  // namespace

#endif
