#pragma once

#include "CATCommand.h"
#include "CATIPLMComponent.h"
#include "CATListValCATUnicodeString.h"
#include "CATRawCollint.h"
#include "CATUnicodeString.h"

/// Gives the selected PLM object a part number issued by the external PDM:
/// checks the object, asks the integration server ("GetPartnumber") for a
/// number, writes it into "PLM_ExternalID", saves the object and tells the
/// user. All the work happens in one activation; the command then asks the
/// host to destroy it.
class SetPartNumberFromExtPdmCmd : public CATCommand {
public:
  SetPartNumberFromExtPdmCmd();
  ~SetPartNumberFromExtPdmCmd() override;

  CATStatusChangeRC Activate(CATCommand* from, CATNotification* notification) override;
  CATStatusChangeRC Desactivate(CATCommand* from, CATNotification* notification) override;
  CATStatusChangeRC Cancel(CATCommand* from, CATNotification* notification) override;

private:
  /// The object selected in the navigation tree of the current window.
  HRESULT GetSelection(CATIPLMComponent_var& component);
  /// The object selected among search results.
  HRESULT GetSelectionFromSearch(CATIPLMComponent_var& component);
  /// ok tells whether the object may receive a part number; when it may
  /// not, the user has been told why.
  HRESULT Validate(const CATIPLMComponent_var& component, const CATUnicodeString& currentId, bool& ok);
  /// An empty newPartNumber with success means the server gave none.
  HRESULT GetNewPartnumber(const CATUnicodeString& currentId, CATUnicodeString& newPartNumber);
  HRESULT SetPartNumber(const CATIPLMComponent_var& component, const CATUnicodeString& newPartNumber);

  // Filled from the server's answer; shown when the activation fails.
  CATListValCATUnicodeString m_lErrorTexts;
  CATRawCollint m_lErrorCodes;
  CATListValCATUnicodeString m_lMessageTexts;
  CATRawCollint m_lMessageCodes;
};
