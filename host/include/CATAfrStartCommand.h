#pragma once

#include "ELMHostExport.h"

class CATCommand;
class CATString;

/// Starts the command registered under name, as the application does when
/// a person picks it: the host's own commands (such as "CATImmRemoveBranchCmd",
/// which removes the branches selected in the current editor from its tree)
/// and those of the loaded libraries. The command runs from the host's
/// dispatch once the current callback has returned (at once when the host
/// runs no dispatch); the caller does not wait for it. Gives the command
/// (the host owns it), or null for an unknown name.
ExportedByELMHost CATCommand* CATAfrStartCommand(const CATString& name);
