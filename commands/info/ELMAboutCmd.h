#pragma once

#include "CATCommand.h"

/// Opens the About dialog, which then lives on by itself.
class ELMAboutCmd : public CATCommand {
public:
  ELMAboutCmd();
  ~ELMAboutCmd() override;

  CATStatusChangeRC Activate(CATCommand* from, CATNotification* notification) override;
  CATStatusChangeRC Desactivate(CATCommand* from, CATNotification* notification) override;
  CATStatusChangeRC Cancel(CATCommand* from, CATNotification* notification) override;
};
