#pragma once

#include "CATBaseUnknown.h"
#include "CATListPtrCATIAdpPLMIdentificator.h"
#include "CATListValCATUnicodeString.h"
#include "CATUnicodeString.h"

#include <memory>

/// A PLM batch to be run by the client batch monitor: its name, its
/// applicative parameters, the objects it works on and where it writes its
/// report. FillXmlFile writes all of it into the batch's input file, which
/// the monitor hands to the batch program.
class ExportedByELMHost CATPLMBatch {
public:
  explicit CATPLMBatch(const CATUnicodeString& name);
  ~CATPLMBatch();
  CATPLMBatch(const CATPLMBatch&) = delete;
  CATPLMBatch& operator=(const CATPLMBatch&) = delete;

  /// Sets the parameter name to values (possibly none), replacing what it
  /// had. Parameters keep the order in which they were first set. E_FAIL for
  /// an empty name.
  HRESULT SetApplicativeParameters(const CATUnicodeString& name, const CATListValCATUnicodeString& values);
  /// The objects the batch works on (no reference is kept). E_INVALIDARG
  /// when the list holds a null identificator.
  HRESULT SetSelectedObjects(const CATListPtrCATIAdpPLMIdentificator& objects);
  /// A report parameter: "PLMBATCH_Report_Directory" names the directory of
  /// the report (by default the temporary directory). E_FAIL for an empty name.
  HRESULT SetReportParameters(const CATUnicodeString& name, const CATUnicodeString& value);
  /// Writes the input file to path (through a temporary file renamed over
  /// it); description, when not empty, is recorded in it. E_FAIL when path
  /// is empty or cannot be written.
  HRESULT FillXmlFile(const CATUnicodeString& description, const CATUnicodeString& path);
  /// The report's path without its extension: the report directory and a
  /// name made of the batch's name, the time the batch was made and a number
  /// that no other batch of this process has.
  CATUnicodeString GetReportName() const;
  const CATUnicodeString& GetName() const;

private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};
