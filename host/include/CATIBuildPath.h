#pragma once

#include "CATBaseUnknown.h"

class CATPathElement;

/// Builds the selection path of an object of a tree, for putting it into a
/// selection.
class ExportedByELMHost CATIBuildPath : public virtual CATBaseUnknown {
  CATDeclareInterface(CATIBuildPath)
public:
  /// The path from the top of the object's tree down to the object, with a
  /// reference for the caller. With a context (a path whose last object is
  /// above the object in the same tree, or the object itself), the path
  /// starts with the context's objects. Fails, giving null, when the object
  /// is no longer in a tree or the context does not lead to it.
  virtual HRESULT ExtractPathElement(CATPathElement* context, CATPathElement*& path);
};
using CATIBuildPath_var = CATVar<CATIBuildPath>;
