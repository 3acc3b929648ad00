// Building and writing a request document, and reading a large answer
// through the host's DOM against pugixml on its own.

#include "ELMRequestXml.h"
#include "ElementDenseAnswer.h"

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// The twelve attributes of a structure transfer, with typical values.
const char* const kAttributes[12][2] = {
    {"User", "jdoe"},
    {"Type", "VPMReference"},
    {"PLM_ExternalID", "PRD-0004711"},
    {"Revision", "A.3"},
    {"Maturity", "IN_WORK"},
    {"Project", "Gearbox Mk II"},
    {"Organization", "Engineering Müller"},
    {"TransferMode", "Structure"},
    {"WithDrawings", "true"},
    {"WithDocuments", "false"},
    {"TargetFolder", "Home/Transfers/2026"},
    {"Comment", "Übertragung nach Teamcenter"},
};

void BM_BuildTwelveAttributeRequestAndGetXml(benchmark::State& state) {
  std::size_t bytes = 0;
  for (auto _ : state) {
    ELMRequestXml request("SendEnoviaObjectToTC");
    for (const auto& attribute : kAttributes) request.AddRequestAttribute(attribute[0], attribute[1]);
    CATUnicodeString text;
    request.GetXml(text);
    bytes = static_cast<std::size_t>(text.GetLengthInByte());
    benchmark::DoNotOptimize(text);
  }
  state.counters["doc_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_BuildTwelveAttributeRequestAndGetXml);

// About 10 MB: attributes, list attributes with items, errors and messages,
// as a very large server answer would carry them.
const std::string& largeAnswer() {
  static const std::string text = [] {
    std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ELM><Response id=\"4711_0\">\n";
    for (std::uint64_t i = 0; s.size() < 10u * 1000 * 1000; ++i) elmtest::AppendElementDenseGroup(s, i);
    s += "</Response></ELM>\n";
    return s;
  }();
  return text;
}

void BM_ReadXmlStringOf10MB(benchmark::State& state) {
  const std::string& bytes = largeAnswer();
  for (auto _ : state) {
    ELMRequestXml response;
    HRESULT rc = response.ReadXmlString(CATUnicodeString::FromUTF8(std::string(bytes)));
    if (rc != S_OK) {
      state.SkipWithError("ReadXmlString failed");
      break;
    }
    benchmark::DoNotOptimize(rc);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_ReadXmlStringOf10MB)->Unit(benchmark::kMillisecond);

void BM_PugixmlParseOf10MB(benchmark::State& state) {
  const std::string& bytes = largeAnswer();
  for (auto _ : state) {
    pugi::xml_document doc;
    pugi::xml_parse_result r = doc.load_buffer(
        bytes.data(), bytes.size(), pugi::parse_default | pugi::parse_ws_pcdata_single | pugi::parse_comments | pugi::parse_pi,
        pugi::encoding_utf8);
    if (!r) {
      state.SkipWithError("pugixml failed");
      break;
    }
    pugi::xml_node response = doc.document_element().child("Response");
    benchmark::DoNotOptimize(response);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_PugixmlParseOf10MB)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  unsetenv("ELM_DEBUG");
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
