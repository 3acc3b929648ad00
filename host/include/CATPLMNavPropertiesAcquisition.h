#pragma once

#include "CATBaseUnknown.h"
#include "CATString.h"

class CATFrmEditor;

/// The navigation properties agent. Created under the name
/// "NavPropertiesAcquisition", its editor holds the objects selected in a
/// search result; under any other name it has no editor.
class ExportedByELMHost CATPLMNavPropertiesAcquisition : public virtual CATBaseUnknown {
  CATDeclareInterface(CATPLMNavPropertiesAcquisition)
public:
  explicit CATPLMNavPropertiesAcquisition(const CATString& name = "");

  /// The agent's editor, without an added reference, or null.
  CATFrmEditor* GetEditor() const;

private:
  CATString m_name;
};
