#pragma once

#include "CATBaseUnknown.h"
#include "CATUnicodeString.h"

/// A sibling library's own reading of the client's selection, through the
/// plug-in's exported selection helpers.
class ELMSiblingSelection {
public:
  /// The type name of the component a command would work on (the
  /// selection, else the window's single root); rc receives the helper's
  /// result, and the name is empty when nothing was found.
  static CATUnicodeString SelectedTypeName(HRESULT& rc);
  /// 1 when typeName is a product reference or derives from one, 0 when it
  /// does not; -1 when the client cannot tell (no session, unknown type).
  static int IsProductReference(const CATUnicodeString& typeName);
};
