// The plug-in's entries in the host's class dictionary. The host knows the
// commands by class name only; it finds each factory here, under the name the
// platform gives the command, and owns what the factory returns.

#include "CATFillDictionary.h"
#include "ELMCommandsExport.h"
#include "SetPartNumberFromExtPdmCmd.h"

#include <new>

namespace {

/// Allocation failure gives null without constructing anything; the host's
/// dictionary hands the object over as its CATBaseUnknown.
template <class Command>
void* Create() {
  Command* command = new (std::nothrow) Command();
  return command ? static_cast<CATBaseUnknown*>(command) : nullptr;
}

}  // namespace

// Undecorated names: the platform resolves factories by their plain name.
extern "C" {
ExportedByELMCommands void* fctCreateSetPartNumberFromExtPdmCmd() { return Create<SetPartNumberFromExtPdmCmd>(); }
}

namespace {
CATFillDictionary s_SetPartNumberFromExtPdmCmd("SetPartNumberFromExtPdmCmd", fctCreateSetPartNumberFromExtPdmCmd);
}  // namespace
