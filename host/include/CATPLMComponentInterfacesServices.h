#pragma once

#include "CATBaseUnknown.h"
#include "CATListValCATBaseUnknown_var.h"

class CATFrmEditor;

class ExportedByELMHost CATPLMComponentInterfacesServices {
public:
  /// Appends the root components (CATIPLMComponent) that editor shows.
  static HRESULT GetEditedRootPLMComponents(CATFrmEditor* editor, CATListValCATBaseUnknown_var& roots);
};
