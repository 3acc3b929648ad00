#pragma once

#include "CATBaseUnknown.h"
#include "CATUnicodeString.h"

#include <map>
#include <string>

/// A settings repository: the file <Name>.settings of `Name = "value";` lines
/// in the directory named by ELMHOST_SETTINGS_PATH. Read from disk each time
/// it is opened.
class ExportedByELMHost CATSysSettingRepository : public virtual CATBaseUnknown {
  CATDeclareInterface(CATSysSettingRepository)
public:
  /// The repository, with a reference for the caller, or null when it does not exist.
  static CATSysSettingRepository* GetRepository(const char* name);

  /// S_OK with the value, or E_FAIL when the attribute is absent.
  HRESULT ReadAttr(const char* name, CATUnicodeString& value) const;
  /// Sets an attribute in memory; SaveRepository writes the file back.
  HRESULT WriteAttr(const char* name, const CATUnicodeString& value);
  HRESULT SaveRepository();

  const std::string& Path() const { return m_path; }

protected:
  std::string m_path;
  std::map<std::string, std::string> m_values;
};

/// The user settings repository of the platform: same storage, the
/// platform's other reading operation.
class ExportedByELMHost CATSettingRepository : public CATSysSettingRepository {
  CATDeclareInterface(CATSettingRepository)
public:
  static CATSettingRepository* GetRepository(const char* name);
  HRESULT ReadSetting(const char* name, CATUnicodeString& value) const { return ReadAttr(name, value); }
  HRESULT WriteSetting(const char* name, const CATUnicodeString& value) { return WriteAttr(name, value); }
};
