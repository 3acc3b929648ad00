#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

namespace elmgen {

/// How the generated product's tree grows.
enum class Shape {
  Deep,  ///< one chain: every node the only child of the one before
  Wide,  ///< every node a child of the root
  Mix,   ///< assemblies of eight, level by level, with a chain of sub-assemblies under every hundredth node
};

/// One node of the generated tree, in pre-order.
struct Node {
  std::size_t depth;   ///< 0 for the root
  std::string pn;      ///< the PLM_ExternalID of the node's reference
  std::string in;      ///< the PLM_ExternalID of its instance; the root's equals pn
  bool stored = true;  ///< whether the named structure keeps the node (the root is always kept)
};

struct Options {
  Shape shape = Shape::Mix;
  std::size_t nodes = 1000;  ///< nodes of the tree, the root included (at least 1)
  /// Every leaveOut-th node below the root is missing from the stored
  /// structure together with its branch; 0 keeps the whole tree.
  std::size_t leaveOut = 0;
  std::string root = "GEN-0";  ///< the root's part number
};

/// The tree in pre-order. Built without recursion, for any depth.
std::vector<Node> Generate(const Options& options);

/// A session file for elm: one reference and one instance object per node,
/// the tree in the navigation workshop. Written as a stream, never through a
/// JSON value, so a deep tree costs no stack.
void WriteSession(const std::vector<Node>& tree, std::ostream& out);
/// The stored structure: the nested "O" elements of the nodes kept.
void WriteStructure(const std::vector<Node>& tree, std::ostream& out);
/// An elm-server seed file holding the stored structure under name.
void WriteSeed(const std::vector<Node>& tree, const std::string& name, std::ostream& out);

}  // namespace elmgen
