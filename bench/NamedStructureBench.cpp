// Named structures on large products: matching 50,000 siblings under one
// node, and a 100,000-node stored structure taken from the answer's bytes
// to the end of matching against a 100,000-node navigator (answer parsed,
// element tree built, navigator matched, tree and removals released),
// beside pugixml parsing the same bytes alone.

#include "ELMNamedStructureCmd.h"
#include "ELMNamedStructureObject.h"
#include "ELMRequestXml.h"
#include "ProductGenerator.h"

#include "CATApplication.h"
#include "CATIDOMElement.h"
#include "CATIDOMNode.h"
#include "CATIPLMNavOccurrence.h"
#include "ELMHostDispatch.h"
#include "ELMHostPLMSession.h"

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <sstream>
#include <string>

namespace {

/// A generated product: the session with its tree, and the answer to
/// "GetStructureForName" holding the whole tree as the stored structure.
struct Product {
  std::unique_ptr<elmhost::PLMSession> session;
  std::string answer;
  std::size_t nodes = 0;
};

Product& ProductOf(elmgen::Shape shape, std::size_t nodes) {
  static std::map<std::pair<int, std::size_t>, Product> products;
  Product& p = products[{static_cast<int>(shape), nodes}];
  if (p.session) return p;
  elmgen::Options options;
  options.shape = shape;
  options.nodes = nodes;
  const auto tree = elmgen::Generate(options);
  std::ostringstream session, structure;
  elmgen::WriteSession(tree, session);
  elmgen::WriteStructure(tree, structure);
  std::string error;
  p.session = elmhost::PLMSession::FromText(session.str(), "", error);
  if (!p.session) {
    std::fprintf(stderr, "generated session refused: %s\n", error.c_str());
    std::exit(1);
  }
  // The answer as elm-server writes it: no whitespace between elements.
  pugi::xml_document answer;
  auto named = answer.append_child("ELM").append_child("Response");
  named.append_attribute("name") = "GetStructureForName";
  named.append_attribute("id") = "1_0";
  const std::string stored = structure.str();
  if (!named.append_child("ELMNamedStructure").append_buffer(stored.data(), stored.size())) {
    std::fprintf(stderr, "generated structure refused\n");
    std::exit(1);
  }
  std::ostringstream bytes;
  answer.save(bytes, "", pugi::format_raw, pugi::encoding_utf8);
  p.answer = bytes.str();
  p.nodes = tree.size();
  return p;
}

/// Nodes of the large products: 100,000, or ELM_BENCH_NODES for a quicker
/// look under a profiler such as callgrind, where building the session
/// would otherwise take most of the run.
std::size_t ProductNodes() {
  const char* nodes = std::getenv("ELM_BENCH_NODES");
  const long n = nodes ? std::strtol(nodes, nullptr, 10) : 0;
  return n > 0 ? static_cast<std::size_t>(n) : 100000;
}

/// The command's element tree of the answer, as its second stage builds it.
std::unique_ptr<ELMNamedStructureObject> Build(ELMNamedStructureCmd& command, const ELMRequestXml& response) {
  std::unique_ptr<ELMNamedStructureObject> structure;
  CATIDOMElement_var element;
  CATIDOMNodeList_var children;
  if (FAILED(response.GetResponse(element)) || !element || FAILED(element->GetChildNodes(children)) || !children)
    return structure;
  for (unsigned int i = 0; i < children->GetLength(); ++i) {
    CATIDOMNode_var node;
    children->Item(i, node);
    CATUnicodeString name;
    if (node) node->GetNodeName(name);
    if (!(name == "ELMNamedStructure")) continue;
    structure = std::make_unique<ELMNamedStructureObject>("ROOT", "ROOT");
    command.RetrieveObjectsRecursive(structure.get(), CATIDOMElement_var(node));
  }
  return structure;
}

/// Matches the product's navigator against the structure's top element;
/// the number of removals, or -1 when there is nothing to match.
int Match(ELMNamedStructureCmd& command, Product& p, ELMNamedStructureObject* structure) {
  ELMNamedStructureObject* top = structure ? structure->GetElement(1) : nullptr;
  CATIPLMNavOccurrence_var root(p.session->TreeRoot());
  if (!top || !root) return -1;
  CATListPtrCATIPLMNavOccurrence removals;
  command.SilverBrowseOccurrence(root, top, removals);
  for (CATIPLMNavOccurrence* o : removals)
    if (o) o->Release();
  return removals.Size();
}

struct Host {
  Host() { unsetenv("ELM_DEBUG"); }
  elmhost::Dispatch dispatch;
  CATApplication application{"bench", 0, nullptr};
};

void BM_MatchFiftyThousandSiblings(benchmark::State& state) {
  static Host host;
  Product& p = ProductOf(elmgen::Shape::Wide, 50001);
  ELMNamedStructureCmd command;
  ELMRequestXml response;
  response.ReadXmlString(CATUnicodeString(p.answer.c_str()));
  for (auto _ : state) {
    state.PauseTiming();
    auto structure = Build(command, response);
    state.ResumeTiming();
    // Every sibling meets its stored element: nothing is removed.
    if (Match(command, p, structure.get()) != 0) {
      state.SkipWithError("a sibling found no stored element");
      break;
    }
    state.PauseTiming();
    structure.reset();
    state.ResumeTiming();
  }
  state.counters["siblings"] = 50000;
}
BENCHMARK(BM_MatchFiftyThousandSiblings)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PugixmlParseOfTheAnswer(benchmark::State& state) {
  Product& p = ProductOf(static_cast<elmgen::Shape>(state.range(0)), ProductNodes());
  for (auto _ : state) {
    pugi::xml_document doc;
    pugi::xml_parse_result ok = doc.load_buffer(p.answer.data(), p.answer.size());
    if (!ok) {
      state.SkipWithError(ok.description());
      break;
    }
    benchmark::DoNotOptimize(doc.first_child());
  }
  state.counters["answer_bytes"] = static_cast<double>(p.answer.size());
}

void BM_ParseBuildAndMatchTheAnswer(benchmark::State& state) {
  static Host host;
  Product& p = ProductOf(static_cast<elmgen::Shape>(state.range(0)), ProductNodes());
  ELMNamedStructureCmd command;
  // The share of each stage, from the clock around it.
  using Clock = std::chrono::steady_clock;
  double parse = 0, build = 0, match = 0, release = 0, pugixml = 0;
  auto since = [](Clock::time_point& t) {
    auto now = Clock::now();
    double ms = std::chrono::duration<double, std::milli>(now - t).count();
    t = now;
    return ms;
  };
  for (auto _ : state) {
    // pugixml alone on the same bytes, in every iteration just before the
    // command's stages: this machine's speed drifts by more than the
    // margins measured, and a ratio taken within one iteration keeps out
    // of the drift. Left out of the benchmark's own time.
    state.PauseTiming();
    Clock::time_point t = Clock::now();
    {
      pugi::xml_document doc;
      if (!doc.load_buffer(p.answer.data(), p.answer.size())) {
        state.SkipWithError("pugixml refused the answer");
        break;
      }
      benchmark::DoNotOptimize(doc.first_child());
    }
    pugixml += since(t);
    state.ResumeTiming();
    t = Clock::now();
    {
      ELMRequestXml response;
      response.ReadXmlString(CATUnicodeString(p.answer.c_str()));
      parse += since(t);
      auto structure = Build(command, response);
      build += since(t);
      if (Match(command, p, structure.get()) != 0) {
        state.SkipWithError("the navigator did not match the whole structure");
        break;
      }
      match += since(t);
    }
    release += since(t);
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["answer_bytes"] = static_cast<double>(p.answer.size());
  state.counters["parse_ms"] = parse / n;
  state.counters["build_ms"] = build / n;
  state.counters["match_ms"] = match / n;
  state.counters["release_ms"] = release / n;
  state.counters["pugixml_ms"] = pugixml / n;
  state.counters["x_pugixml"] = (parse + build + match + release) / pugixml;
}

// Shapes as elmgen::Shape numbers them: 0 deep, 1 wide, 2 mix. The two
// benchmarks of a shape run one after the other in the same run.
void Shapes(benchmark::internal::Benchmark* b) {
  b->ArgName("shape");
  for (int shape : {0, 1, 2}) b->Arg(shape);
}
BENCHMARK(BM_PugixmlParseOfTheAnswer)->Apply(Shapes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ParseBuildAndMatchTheAnswer)->Apply(Shapes)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
