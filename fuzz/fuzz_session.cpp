// Session files are written by hand and by scripts: any text must either load
// or be refused with a reason, never crash, and what the writer makes of a
// document must read back as the same document.
#include "ELMHostPLMSession.h"
#include "SessionJson.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::string error;
  auto session = elmhost::PLMSession::FromText(text, "", error);
  if (!session && error.empty()) __builtin_trap();

  elmhost::SessionDocument doc, again;
  std::string where, what;
  if (elmhost::ParseSessionText(text, doc, where, what)) {
    const std::string written = elmhost::WriteSessionText(doc);
    if (!elmhost::ParseSessionText(written, again, where, what) || again != doc) __builtin_trap();
  } else if (what.empty()) {
    __builtin_trap();
  }
  return 0;
}
