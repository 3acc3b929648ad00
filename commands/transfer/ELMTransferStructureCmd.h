#pragma once

#include "CATCommand.h"
#include "CATUnicodeString.h"

class CATFrmEditor;

/// Sends the selected product structure, folder or bookmark to the external
/// PDM. The activation identifies the object, reads the server's switches
/// ("GetSettingsInfo") and opens the send dialog that the object's type and
/// those switches call for, or tells the user why the object cannot be sent.
/// The command ends with its activation; the dialog's OK starts the
/// transfer through SendELMRequest.
class ELMTransferStructureCmd : public CATCommand {
public:
  ELMTransferStructureCmd();
  ~ELMTransferStructureCmd() override;

  CATStatusChangeRC Activate(CATCommand* from, CATNotification* notification) override;
  CATStatusChangeRC Desactivate(CATCommand* from, CATNotification* notification) override;
  CATStatusChangeRC Cancel(CATCommand* from, CATNotification* notification) override;

  /// Asks the integration server ("SendEnoviaObjectToTC") to transfer the
  /// object with these options. expandLevel: -1 all levels, 0 none, else
  /// that many; transferType: "VPMReference", "Folder" or "Bookmark".
  /// resultText receives what to tell the user: the outcome, followed by the
  /// server's error texts. S_OK when the server accepted the transfer,
  /// E_FAIL otherwise; an empty name or type sends nothing and leaves
  /// resultText alone.
  static HRESULT SendELMRequest(const CATUnicodeString& name, const CATUnicodeString& revision,
                                const CATUnicodeString& type, int expandLevel, bool transferSubstructuresParallel,
                                bool force, bool removeExisting, bool sendConfiguration, bool folderOnly,
                                const CATUnicodeString& transferType, CATUnicodeString& resultText);

private:
  CATFrmEditor* m_pEditor = nullptr;  ///< the host's editor when the command was made; not owned
};
