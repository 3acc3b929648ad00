#pragma once

#include "ELMCommandsExport.h"

#include "CATBaseUnknown.h"
#include "CATIPLMComponent.h"
#include "CATIType.h"
#include "CATListValCATUnicodeString.h"
#include "CATUnicodeString.h"

/// Finds the PLM component a command is to work on, tells the kind of the
/// current window, and tests and prints PLM types. Results: S_OK for a
/// found component, 1 when more than one object is selected, E_FAIL for
/// every failure.
class ExportedByELMCommands ELMUtil {
public:
  /// The component selected in the tree window, or in the search result in
  /// the "CATImmSearch" and "3DEXPERIENCEPlatform" workbenches; with
  /// useRootIfNoSelection, the single root of the window (or of the
  /// navigator) when there is no usable selection. father and
  /// fatherInstanceId, when both are given, receive the component that the
  /// selected node's instance belongs to and that instance's
  /// "PLM_ExternalID". names, when given, receives the texts that identify
  /// what was taken. With several objects selected the result is 1 and
  /// component stays null.
  static HRESULT GetSelectedComponent(CATIPLMComponent_var& component, CATIPLMComponent_var* father,
                                      CATUnicodeString* fatherInstanceId, unsigned char useRootIfNoSelection,
                                      CATListValCATUnicodeString* names);
  /// 1 when the current window is an explorer window, whose root offers navigation.
  static unsigned char IsExplorerWindowActive();
  /// result := 1 when the type named type is baseType or derives from it,
  /// else 0; fails, leaving result alone, when either type is unknown.
  static HRESULT IsSubType(const CATUnicodeString& baseType, const CATUnicodeString& type, unsigned char& result);
  /// Prints the tree of PLM types that holds "PLMCoreRepReference" to the
  /// standard output, from its topmost type down.
  static void PrintTypeHirarchy();

private:
  static HRESULT GetSelection(CATIPLMComponent_var& component, CATIPLMComponent_var* father,
                              CATUnicodeString* fatherInstanceId, CATListValCATUnicodeString* names);
  static HRESULT GetSelectionFromSearch(CATIPLMComponent_var& component, CATListValCATUnicodeString* names);
  static HRESULT GetRootComponent(CATIPLMComponent_var& component, const unsigned char& fromNavigator,
                                  CATListValCATUnicodeString* names);
  static void PrintTypeHirarchyRec(const CATIType_var& type, int depth);
};
