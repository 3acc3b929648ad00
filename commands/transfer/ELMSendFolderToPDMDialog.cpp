#include "ELMSendFolderToPDMDialog.h"

namespace {

const ELMCatalog kCatalog{"SendFolderToPDMDialog", "ELMSendFolderToPDMDialog"};
const ELMSendDialogKind kKind{kCatalog, "SendFolderToPDMDialog", "Folder", ELM_SEND_DIALOG_SCOPES(ELMSendFolderToPDMDialog)};

}  // namespace

ELMSendFolderToPDMDialog::ELMSendFolderToPDMDialog(CATDialog* parent, const CATString& name)
    : ELMSendContainerToPDMDialog(parent, name, kKind, "ELMSendFolderToPDMDialog", "FolderOnlyCheckButton") {}
