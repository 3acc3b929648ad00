#pragma once

#include "CATCommand.h"
#include "CATICkeObject.h"
#include "CATIPLMComponent.h"
#include "CATListValCATAttributeInfos.h"
#include "CATUnicodeString.h"

/// Shows every knowledge attribute of the selected PLM component, with its
/// type and value, as text in a window of its own; with
/// ELM_PRINT_CLASSHIRARCHY=ON it first prints the PLM type tree. Nothing is
/// shown when something on the way is missing; the trace tells what.
class ELMShowPropertyViewerWindowCmd : public CATCommand {
public:
  ELMShowPropertyViewerWindowCmd();
  ~ELMShowPropertyViewerWindowCmd() override;

  CATStatusChangeRC Activate(CATCommand* from, CATNotification* notification) override;
  CATStatusChangeRC Desactivate(CATCommand* from, CATNotification* notification) override;
  CATStatusChangeRC Cancel(CATCommand* from, CATNotification* notification) override;

  /// Appends the attribute text of the complete object behind component.
  HRESULT GeneratePLMCompAttrDispStrFromNavX(const CATIPLMComponent_var& component, CATUnicodeString& text);
  /// Appends one line per attribute, then a line feed; a failed read still
  /// gives its line. Fails for an empty list, else answers the last read.
  HRESULT GeneratePLMCompAttributesDisplayString(const CATICkeObject_var& object,
                                                 const CATListValCATAttributeInfos& attributes,
                                                 CATUnicodeString& text);
};
