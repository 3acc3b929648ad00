#include "ELMSendBookmarkToPDMDialog.h"

namespace {

const ELMCatalog kCatalog{"SendBookmarkToPDMDialog", "ELMSendBookmarkToPDMDialog"};
const ELMSendDialogKind kKind{kCatalog, "SendBookmarkToPDMDialog", "Bookmark", ELM_SEND_DIALOG_SCOPES(ELMSendBookmarkToPDMDialog)};

}  // namespace

ELMSendBookmarkToPDMDialog::ELMSendBookmarkToPDMDialog(CATDialog* parent, const CATString& name)
    : ELMSendContainerToPDMDialog(parent, name, kKind, "ELMSendBookmarkToPDMDialog", "BookmarkOnlyCheckButton") {}
