#pragma once

// What every command does the same way: texts of its message catalog,
// blocking message boxes, and the lists of server errors its reports show.
// A command's own file then holds only what its behaviour adds.

#include "CATDlgInclude.h"
#include "CATListValCATUnicodeString.h"
#include "CATRawCollint.h"
#include "CATUnicodeString.h"

class CATCommand;

/// One command's message catalog: the catalog name that ELMGlobal::BuildMessage
/// looks up ("SetPartNumberFromExtPdmCmd"), and the command's full class name
/// that begins its default texts ("ELMSetPartNumberFromExtPdmCmd").
class ELMCatalog {
public:
  constexpr ELMCatalog(const char* name, const char* defaultPrefix) : m_name(name), m_prefix(defaultPrefix) {}

  /// The text of key with its parameters. Without defaultText the default
  /// names the class and the key ("ELMSetPartNumberFromExtPdmCmd MsgTitle"),
  /// so a missing catalog still tells which text is meant.
  CATUnicodeString Message(const char* key, const CATUnicodeString* parameters = nullptr, int count = 0,
                           const char* defaultText = nullptr) const;
  const char* Name() const { return m_name; }

private:
  const char* m_name;
  const char* m_prefix;
};

/// Shows a blocking box named name with the style, text and title under
/// parent (by default the main application), then hands it to the host's
/// delayed destruction. Gives the user's answer.
int ELMShowBox(const char* name, CATDlgStyle style, const CATUnicodeString& text, const CATUnicodeString& title,
               CATCommand* parent = nullptr);

/// One line "code: text" per server error, in order, as far as both lists
/// reach.
CATListValCATUnicodeString ELMErrorLines(const CATRawCollint& codes, const CATListValCATUnicodeString& texts);

/// The report of a failed command: each server error as "code: text" on a
/// line, then an empty line; each server message as "code: text" (or its
/// text alone when its code is 0) on a line, then an empty line; then
/// closing. Empty lists add nothing.
CATUnicodeString ELMFailureReport(const CATRawCollint& errorCodes, const CATListValCATUnicodeString& errorTexts,
                                  const CATRawCollint& messageCodes, const CATListValCATUnicodeString& messageTexts,
                                  const CATUnicodeString& closing);
