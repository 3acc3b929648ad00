#pragma once

#include "CATCommand.h"

/// Asks the integration server for the connected user's processes and shows
/// them in the process status dialog, which then lives on by itself.
class ELMProcessStatusCmd : public CATCommand {
public:
  ELMProcessStatusCmd();
  ~ELMProcessStatusCmd() override;

  CATStatusChangeRC Activate(CATCommand* from, CATNotification* notification) override;
  CATStatusChangeRC Desactivate(CATCommand* from, CATNotification* notification) override;
  CATStatusChangeRC Cancel(CATCommand* from, CATNotification* notification) override;
};
