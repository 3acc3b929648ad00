#pragma once

#include "CATIAdpPLMIdentificator.h"
#include "CATIPLMComponent.h"
#include "CATListValCATUnicodeString.h"
#include "ELMHostPLMSession.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace elmtest {

/// A session from its file; a file that does not load fails the test with
/// the session's reason and gives null.
inline std::unique_ptr<elmhost::PLMSession> SessionFromFile(const std::string& path) {
  std::string error;
  auto session = elmhost::PLMSession::Load(path, error);
  EXPECT_TRUE(session) << error;
  return session;
}

/// The platform's identifier of a component; null when it gives none or the call fails.
inline CATIAdpPLMIdentificator_var IdentifierOf(const CATBaseUnknown_var& object) {
  CATIAdpPLMIdentificator* id = nullptr;
  CATIPLMComponent_var component(object);
  HRESULT rc = !component ? E_FAIL : component->GetAdpID(id);
  CATIAdpPLMIdentificator_var holder;
  holder.Attach(id);
  return SUCCEEDED(rc) ? holder : CATIAdpPLMIdentificator_var();
}

/// The texts of a list, in order, so that a whole list compares in one assertion.
inline std::vector<std::string> Texts(const CATListValCATUnicodeString& list) {
  std::vector<std::string> out;
  for (const CATUnicodeString& s : list) out.push_back(s.Utf8());
  return out;
}

/// A test that holds one session and reaches its objects by id.
class SessionTest : public ::testing::Test {
protected:
  template <class I>
  CATVar<I> Get(const std::string& id) {
    return CATVar<I>(m_session->Find(id));
  }

  std::unique_ptr<elmhost::PLMSession> m_session;
};

}  // namespace elmtest
