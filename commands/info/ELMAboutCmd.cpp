#include "ELMAboutCmd.h"

#include "ELMAboutDialog.h"
#include "ELMTrace.h"

#include "CATApplicationFrame.h"
#include "CATDlgWindow.h"

ELMAboutCmd::ELMAboutCmd() : CATCommand("ELMAboutCmd", CATCommandModeExclusive) {
  ELM_SCOPE("ELMAboutCmd::ELMAboutCmd");
}

ELMAboutCmd::~ELMAboutCmd() { ELM_SCOPE("ELMAboutCmd::~ELMAboutCmd"); }

CATStatusChangeRC ELMAboutCmd::Activate(CATCommand*, CATNotification*) {
  ELM_SCOPE("ELMAboutCmd::Activate");
  CATApplicationFrame* frame = CATApplicationFrame::GetFrame();
  if (CATDlgWindow* document = frame ? frame->GetApplicationDocument() : nullptr) {
    // The document window owns the dialog from here; the dialog ends itself when closed.
    auto* dialog = new ELMAboutDialog(document, "oak_about");
    dialog->Build();
    dialog->SetVisibility(CATDlgShow);
  }
  RequestDelayedDestruction();
  return CATStatusChangeRCCompleted;
}

CATStatusChangeRC ELMAboutCmd::Desactivate(CATCommand* from, CATNotification* notification) {
  ELM_SCOPE("ELMAboutCmd::Desactivate");
  return Activate(from, notification);
}

CATStatusChangeRC ELMAboutCmd::Cancel(CATCommand*, CATNotification*) {
  ELM_SCOPE("ELMAboutCmd::Cancel");
  RequestDelayedDestruction();
  return CATStatusChangeRCCompleted;
}
