// The plug-in's entries in the host's class dictionary. The host knows the
// commands by class name only; it finds each factory here, under the name the
// platform gives the command, and owns what the factory returns.

#include "CATFillDictionary.h"
#include "ELMAboutCmd.h"
#include "ELMCoexistenceAdminCmd.h"
#include "ELMCommandsExport.h"
#include "ELMGlobal.h"
#include "ELMNamedStructureCmd.h"
#include "ELMProcessStatusCmd.h"
#include "ELMShowPropertyViewerWindowCmd.h"
#include "ELMTransferStructureCmd.h"
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
ExportedByELMCommands void* fctCreateELMAboutCmd() { return Create<ELMAboutCmd>(); }
ExportedByELMCommands void* fctCreateELMCoexistenceAdminCmd() { return Create<ELMCoexistenceAdminCmd>(); }
ExportedByELMCommands void* fctCreateELMNamedStructureCmd() { return Create<ELMNamedStructureCmd>(); }
ExportedByELMCommands void* fctCreateELMProcessStatusCmd() { return Create<ELMProcessStatusCmd>(); }
ExportedByELMCommands void* fctCreateELMShowPropertyViewerWindowCmd() { return Create<ELMShowPropertyViewerWindowCmd>(); }
ExportedByELMCommands void* fctCreateELMTransferStructureCmd() { return Create<ELMTransferStructureCmd>(); }

/// What the client's workbench asks when it loads the plug-in's toolbar:
/// whether to show it. Asking settles the product module, as in the client.
ExportedByELMCommands unsigned char ELMWorkbenchShowToolbar() { return ELMGlobal::ShowToolbar(); }
}

namespace {
// Registered in this order when the library is loaded.
CATFillDictionary s_SetPartNumberFromExtPdmCmd("SetPartNumberFromExtPdmCmd", fctCreateSetPartNumberFromExtPdmCmd);
CATFillDictionary s_ELMAboutCmd("ELMAboutCmd", fctCreateELMAboutCmd);
CATFillDictionary s_ELMCoexistenceAdminCmd("ELMCoexistenceAdminCmd", fctCreateELMCoexistenceAdminCmd);
CATFillDictionary s_ELMNamedStructureCmd("ELMNamedStructureCmd", fctCreateELMNamedStructureCmd);
CATFillDictionary s_ELMProcessStatusCmd("ELMProcessStatusCmd", fctCreateELMProcessStatusCmd);
CATFillDictionary s_ELMShowPropertyViewerWindowCmd("ELMShowPropertyViewerWindowCmd",
                                                    fctCreateELMShowPropertyViewerWindowCmd);
CATFillDictionary s_ELMTransferStructureCmd("ELMTransferStructureCmd", fctCreateELMTransferStructureCmd);
}  // namespace
