#include "ProductGenerator.h"

#include <algorithm>

namespace elmgen {

namespace {

std::string Id(std::size_t i) { return std::to_string(i); }

/// Father of every node by its number (0 is the root), for each shape.
std::vector<std::size_t> Fathers(const Options& o) {
  std::vector<std::size_t> father(o.nodes, 0);
  for (std::size_t i = 1; i < o.nodes; ++i) {
    switch (o.shape) {
      case Shape::Deep: father[i] = i - 1; break;
      case Shape::Wide: father[i] = 0; break;
      case Shape::Mix:
        // Mostly a fan-out of eight; every hundredth node continues the
        // node before it, so chains of sub-assemblies hang here and there.
        father[i] = i % 100 == 0 ? i - 1 : (i - 1) / 8;
        break;
    }
  }
  return father;
}

// Generated names hold letters, digits, '-' and '.' only: nothing in them
// needs escaping in JSON or XML.
void Indent(std::ostream& out, std::size_t depth) {
  // Deep trees would otherwise take the square of their depth in blanks.
  out << std::string(std::min<std::size_t>(depth, 16), ' ');
}

}  // namespace

std::vector<Node> Generate(const Options& o) {
  Options options = o;
  options.nodes = std::max<std::size_t>(options.nodes, 1);
  const std::vector<std::size_t> father = Fathers(options);
  std::vector<std::vector<std::size_t>> children(options.nodes);
  for (std::size_t i = 1; i < options.nodes; ++i) children[father[i]].push_back(i);

  std::vector<Node> tree;
  tree.reserve(options.nodes);
  struct Frame {
    std::size_t node;
    std::size_t depth;
    bool stored;
  };
  std::vector<Frame> stack{{0, 0, true}};
  while (!stack.empty()) {
    Frame f = stack.back();
    stack.pop_back();
    const std::string pn = options.root + (f.node ? "-" + Id(f.node) : "");
    const bool stored = f.stored && (f.node == 0 || options.leaveOut == 0 || f.node % options.leaveOut != 0);
    tree.push_back(Node{f.depth, pn, f.node ? pn + ".1" : pn, stored});
    for (auto it = children[f.node].rbegin(); it != children[f.node].rend(); ++it)
      stack.push_back({*it, f.depth + 1, stored});
  }
  return tree;
}

void WriteSession(const std::vector<Node>& tree, std::ostream& out) {
  out << "{\n  \"workbench\": \"CATImmNav\",\n  \"workshop\": \"ImmNavWorkshop\",\n"
         "  \"user\": { \"login\": \"demo\", \"role\": \"Designer\", \"organization\": \"Engineering\", "
         "\"project\": \"Generated\" },\n  \"objects\": [\n";
  for (std::size_t i = 0; i < tree.size(); ++i) {
    out << (i ? ",\n" : "") << "    { \"id\": \"r" << i << "\", \"type\": \"VPMReference\", \"attributes\": "
        << "{ \"PLM_ExternalID\": \"" << tree[i].pn << "\" } }";
    if (i) out << ",\n    { \"id\": \"i" << i << "\", \"type\": \"VPMInstance\", \"attributes\": "
               << "{ \"PLM_ExternalID\": \"" << tree[i].in << "\" } }";
  }
  out << "\n  ],\n  \"tree\":\n";
  // Each node opens its children's list; the lists close when the walk
  // climbs back above them.
  std::size_t open = 0;
  for (std::size_t i = 0; i < tree.size(); ++i) {
    const std::size_t depth = tree[i].depth;
    if (i > 0) {
      if (depth > tree[i - 1].depth) {
        out << ", \"children\": [\n";
      } else {
        out << " }";
        for (std::size_t d = tree[i - 1].depth; d > depth; --d) out << " ] }";
        out << ",\n";
      }
    }
    Indent(out, depth);
    out << "{ \"id\": \"n" << i << "\", \"reference\": \"r" << i << "\"";
    if (i) out << ", \"instance\": \"i" << i << "\"";
    open = depth;
  }
  if (!tree.empty()) {
    out << " }";
    for (std::size_t d = open; d > 0; --d) out << " ] }";
  }
  out << "\n}\n";
}

void WriteStructure(const std::vector<Node>& tree, std::ostream& out) {
  // Pre-order with depths: an element holds the nodes that follow it more
  // deeply, and closes when one at its depth or above comes. Branches left
  // out are skipped whole.
  std::vector<const Node*> kept;
  kept.reserve(tree.size());
  for (const Node& n : tree)
    if (n.stored) kept.push_back(&n);
  std::size_t open = 0;
  for (std::size_t k = 0; k < kept.size(); ++k) {
    const Node& n = *kept[k];
    const std::size_t next = k + 1 < kept.size() ? kept[k + 1]->depth : 0;
    Indent(out, n.depth);
    out << "<O pn=\"" << n.pn << "\" in=\"" << n.in << (next > n.depth ? "\">\n" : "\"/>\n");
    if (next > n.depth) {
      ++open;
      continue;
    }
    for (; open > next; --open) {
      Indent(out, open - 1);
      out << "</O>\n";
    }
  }
}

void WriteSeed(const std::vector<Node>& tree, const std::string& name, std::ostream& out) {
  std::string escaped;
  for (char c : name) {
    switch (c) {
      case '&': escaped += "&amp;"; break;
      case '<': escaped += "&lt;"; break;
      case '"': escaped += "&quot;"; break;
      default: escaped += c;
    }
  }
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ElmServerSeed>\n";
  if (!tree.empty()) {
    out << "<NamedStructure context=\"" << tree.front().pn << "\" name=\"" << escaped << "\" default=\"true\">\n";
    WriteStructure(tree, out);
    out << "</NamedStructure>\n";
  }
  out << "</ElmServerSeed>\n";
}

}  // namespace elmgen
