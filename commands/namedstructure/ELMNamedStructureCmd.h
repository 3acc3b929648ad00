#pragma once

#include "CATCommand.h"
#include "CATIDOMElement.h"
#include "CATIPLMComponent.h"
#include "CATIPLMNavOccurrence.h"
#include "CATListPtrCATIPLMNavOccurrence.h"
#include "CATListValCATUnicodeString.h"
#include "CATUnicodeString.h"

class CATFrmEditor;
class ELMNamedStructureObject;

/// Restores a named structure that the external PDM keeps for the product
/// open in the navigator. Activation asks the integration server for the
/// structure names of the product ("GetStructureNames") and offers them in
/// the names dialog; the chosen name comes back to ExpandAndFilter, which
/// fetches the structure ("GetStructureForName"), matches the navigator
/// tree against it, has the host remove every branch the structure lacks
/// and reports the outcome. The command lives until one of its two stages
/// ends it.
class ELMNamedStructureCmd : public CATCommand {
public:
  ELMNamedStructureCmd();
  ~ELMNamedStructureCmd() override;

  CATStatusChangeRC Activate(CATCommand* from, CATNotification* notification) override;
  CATStatusChangeRC Desactivate(CATCommand* from, CATNotification* notification) override;
  CATStatusChangeRC Cancel(CATCommand* from, CATNotification* notification) override;

  /// The names dialog was closed without a choice.
  void CancelCommand();
  /// The names dialog's choice: the second stage, which ends the command.
  HRESULT ExpandAndFilter(CATUnicodeString name);

  /// Appends to parent one element per "O" child of element, each filled
  /// from the "O" elements below it, in document order.
  void RetrieveObjectsRecursive(ELMNamedStructureObject* parent, CATIDOMElement_var element);
  /// Matches the navigator below occurrence against node, marking every
  /// element that meets its node and appending to removals (each with a
  /// reference) the topmost nodes that the structure does not contain, in
  /// tree order.
  void SilverBrowseOccurrence(CATIPLMNavOccurrence_var& occurrence, ELMNamedStructureObject* node,
                              CATListPtrCATIPLMNavOccurrence& removals);
  /// The "PLM_ExternalID" of the occurrence's reference, or empty.
  CATUnicodeString GetPartnumberFromOccurrence(CATIPLMNavOccurrence_var& occurrence);
  /// The "PLM_ExternalID" of the occurrence's instance, or empty (a root has none).
  CATUnicodeString GetInstanceNameFromOccurrence(CATIPLMNavOccurrence_var& occurrence);

private:
  CATFrmEditor* m_pEditor = nullptr;
  CATIPLMComponent_var m_spRootComponent;
};
