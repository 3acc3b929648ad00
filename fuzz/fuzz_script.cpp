// Scripts are written by hand: any text must either be refused with a
// reason or give steps that describe themselves, never crash or hang.
#include "ELMHostScript.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<elmhost::ScriptStep> steps;
  std::string error;
  bool ok = elmhost::ParseScript(std::string(reinterpret_cast<const char*>(data), size), "fuzz", steps, error);
  // A refusal has a reason naming the input and leaves no steps behind.
  if (ok != error.empty()) __builtin_trap();
  if (!ok && (!steps.empty() || error.rfind("fuzz: ", 0) != 0)) __builtin_trap();
  for (const auto& step : steps) {
    if (elmhost::DescribeStep(step).empty()) __builtin_trap();
    if (step.action == elmhost::ScriptStep::Action::Pick && !step.byText && step.line < 0) __builtin_trap();
    for (int line : step.lines)
      if (line < 0) __builtin_trap();
  }
  return 0;
}
