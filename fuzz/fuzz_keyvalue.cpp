// Catalog and settings files are edited by hand at sites: any text must parse
// without crashing, reporting bad lines instead.
#include "KeyValueFile.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::map<std::string, std::string> values;
  int errors = 0;
  elmhost::KeyValueFile::Parse(std::string(reinterpret_cast<const char*>(data), size), values,
                               [&](int, const std::string&) { ++errors; });
  // What is written back must read back the same.
  for (const auto& [k, v] : values) {
    std::map<std::string, std::string> again;
    elmhost::KeyValueFile::Parse(k + " = " + elmhost::KeyValueFile::Quote(v) + ";", again, nullptr);
    if (again.size() != 1 || again.begin()->second != v) __builtin_trap();
  }
  return 0;
}
