#pragma once

#include "CATUnicodeString.h"

/// A sibling library's own server request, built with the plug-in's
/// exported document class.
class ELMSiblingRequest {
public:
  /// The text of a "GetPartnumber" request for the given identifier.
  static CATUnicodeString PartNumberRequestText(const CATUnicodeString& currentId);
  /// Reads "PartNumber" from an answer text; empty when there is none.
  static CATUnicodeString PartNumberFromAnswer(const CATUnicodeString& answer);
};
