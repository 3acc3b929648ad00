#pragma once

#include "ELMHostExport.h"

/// A factory of a class registered with the host: no arguments; returns the
/// new object's CATBaseUnknown (holding the caller's first reference) as an
/// untyped pointer, or null when it could not be made.
using CATCreateFunction = void* (*)();

/// One entry of the host's class dictionary. A library declares a static
/// object per class it offers; the entry exists while the library is loaded,
/// so the host never calls the factory of an unloaded library.
class ExportedByELMHost CATFillDictionary {
public:
  CATFillDictionary(const char* className, CATCreateFunction factory);
  ~CATFillDictionary();
  CATFillDictionary(const CATFillDictionary&) = delete;
  CATFillDictionary& operator=(const CATFillDictionary&) = delete;

private:
  const char* m_className;
  CATCreateFunction m_factory;
};
