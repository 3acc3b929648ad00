#pragma once

#include "ELMSendContainerToPDMDialog.h"

/// Sends a folder to the PDM ("Folder"), with its content unless the user
/// asks for the folder alone.
class ELMSendFolderToPDMDialog : public ELMSendContainerToPDMDialog {
public:
  ELMSendFolderToPDMDialog(CATDialog* parent, const CATString& name);
};
