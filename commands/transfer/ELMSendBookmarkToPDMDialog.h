#pragma once

#include "ELMSendContainerToPDMDialog.h"

/// Sends a bookmark to the PDM ("Bookmark"), with its content unless the user
/// asks for the bookmark alone.
class ELMSendBookmarkToPDMDialog : public ELMSendContainerToPDMDialog {
public:
  ELMSendBookmarkToPDMDialog(CATDialog* parent, const CATString& name);
};
