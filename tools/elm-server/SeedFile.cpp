#include "SeedFile.h"

#include "PdmStore.h"

#include <pugixml.hpp>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string_view>

namespace elmserver {
namespace {

struct SeedError {
  std::string text;
};

std::string Where(const pugi::xml_node& n) {
  // offset_debug points at the name, one past the '<' a user looks for.
  return "<" + std::string(n.name()) + "> at byte " + std::to_string(n.offset_debug() - 1);
}

std::string RequiredAttr(const pugi::xml_node& n, const char* name, bool allowEmpty = false) {
  pugi::xml_attribute a = n.attribute(name);
  if (!a) throw SeedError{Where(n) + " needs the attribute \"" + name + "\""};
  if (!allowEmpty && !*a.value()) throw SeedError{Where(n) + " has an empty \"" + name + "\""};
  return a.value();
}

// In document order with a stack of its own: a seeded structure may be
// nested far deeper than the call stack allows.
void ReadNodes(const pugi::xml_node& structure, std::vector<StructureNode>& out) {
  std::vector<pugi::xml_node> next{structure.first_child()};
  while (!next.empty()) {
    pugi::xml_node c = next.back();
    if (!c) {
      next.pop_back();
      continue;
    }
    next.back() = c.next_sibling();
    if (c.type() != pugi::node_element) continue;
    if (std::string_view(c.name()) != "O")
      throw SeedError{Where(c) + ": only <O> elements may stand inside a structure"};
    // An empty "in" is kept: the client matches it against an instance whose
    // name reads empty.
    out.push_back(StructureNode{RequiredAttr(c, "pn"), RequiredAttr(c, "in", true), next.size() - 1});
    next.push_back(c.first_child());
  }
}

bool ParseBool(const pugi::xml_node& n, const char* name) {
  std::string_view v = n.attribute(name).value();
  if (v.empty() || v == "false") return false;
  if (v == "true") return true;
  throw SeedError{Where(n) + ": \"" + name + "\" must be true or false"};
}

}  // namespace

bool LoadSeed(PdmStore& store, const std::string& xmlText, SeedSummary& summary, std::string& error) {
  pugi::xml_document doc;
  pugi::xml_parse_result parsed = doc.load_buffer(xmlText.data(), xmlText.size());
  if (!parsed) {
    error = std::string("not well-formed XML: ") + parsed.description() + " at byte " + std::to_string(parsed.offset);
    return false;
  }
  pugi::xml_node root = doc.document_element();
  if (std::string_view(root.name()) != "ElmServerSeed") {
    error = "the root element must be <ElmServerSeed>, not <" + std::string(root.name()) + ">";
    return false;
  }
  SeedSummary s;
  try {
    store.InTransaction([&] {
      for (pugi::xml_node n : root.children()) {
        if (n.type() != pugi::node_element) continue;
        std::string_view kind = n.name();
        try {
          if (kind == "Setting") {
            store.SetSetting(RequiredAttr(n, "name"), RequiredAttr(n, "value", true));
            ++s.settings;
          } else if (kind == "NamedStructure") {
            NamedStructure ns{RequiredAttr(n, "context"), RequiredAttr(n, "name"), ParseBool(n, "default"), {}};
            ReadNodes(n, ns.nodes);
            if (ns.nodes.empty()) throw SeedError{Where(n) + " holds no <O> element"};
            store.PutStructure(ns);
            ++s.structures;
          } else if (kind == "Process") {
            store.AddProcess({RequiredAttr(n, "Activity"), RequiredAttr(n, "Status"), n.attribute("Description").value(),
                              n.attribute("Start").value(), n.attribute("End").value(), RequiredAttr(n, "User"),
                              n.attribute("ErrorMsg").value()});
            ++s.processes;
          } else {
            throw SeedError{Where(n) + " is not known; use <Setting>, <NamedStructure> or <Process>"};
          }
        } catch (const StoreConflict& e) {
          throw SeedError{Where(n) + ": " + e.what()};
        }
      }
    });
  } catch (const SeedError& e) {
    error = e.text;
    return false;
  } catch (const StoreError& e) {
    error = e.what();
    return false;
  }
  summary = s;
  return true;
}

bool LoadSeedFile(PdmStore& store, const std::string& path, SeedSummary& summary, std::string& error) {
  // The size is checked before anything is read, so that a file too large to
  // be a seed never fills the administrator's memory; reading stops at that
  // size even if the file grows meanwhile.
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    error = "cannot read " + path + ": it is a directory";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (!in || ec) {
    error = "cannot read " + path;
    return false;
  }
  if (size > kMaxSeedFileBytes) {
    error = path + ": the file has " + std::to_string(size) + " bytes; a seed file may have at most " +
            std::to_string(kMaxSeedFileBytes) + " bytes (64 MiB)";
    return false;
  }
  std::string text(static_cast<std::size_t>(size), '\0');
  in.read(text.data(), static_cast<std::streamsize>(size));
  text.resize(static_cast<std::size_t>(in.gcount()));
  if (in.bad()) {
    error = "cannot read " + path;
    return false;
  }
  if (!LoadSeed(store, text, summary, error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

}  // namespace elmserver
