// The host's remove-branch command: takes the branches selected in the
// current editor out of the navigation tree.

#include "CATCSO.h"
#include "CATCommand.h"
#include "CATFrmEditor.h"
#include "CATPathElement.h"
#include "ELMHostPLMSession.h"
#include "command/HostCommands.h"

#include <vector>

namespace elmhost {

namespace {

class ImmRemoveBranchCmd : public CATCommand {
public:
  ImmRemoveBranchCmd() : CATCommand("CATImmRemoveBranchCmd", CATCommandModeExclusive) {}

  CATStatusChangeRC Activate(CATCommand*, CATNotification*) override {
    CATFrmEditor* editor = CATFrmEditor::GetCurrentEditor();
    CATCSO* cso = editor ? editor->GetCSO() : nullptr;
    PLMSession* session = PLMSession::Current();
    if (cso && session) {
      std::vector<CATBaseUnknown*> picked;
      picked.reserve(static_cast<std::size_t>(cso->GetSize()));
      cso->InitElementList();
      while (CATPathElement* path = cso->NextElement())
        if (CATBaseUnknown* last = path->FindLastElement()) picked.push_back(last);
      // The selection still holds the nodes while the tree lets them go.
      session->RemoveBranches(picked);
      // What was selected is no longer shown.
      cso->Empty(1);
    }
    RequestDelayedDestruction();
    return CATStatusChangeRCCompleted;
  }
  CATStatusChangeRC Cancel(CATCommand*, CATNotification*) override {
    RequestDelayedDestruction();
    return CATStatusChangeRCCompleted;
  }
};

}  // namespace

CATCommand* CreateHostCommand(const std::string& name) {
  if (name == "CATImmRemoveBranchCmd") return new ImmRemoveBranchCmd();
  return nullptr;
}

}  // namespace elmhost
