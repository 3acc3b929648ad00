#include "HtmlRequest.h"

#include "ELMRequestXml.h"
#include "ELMTrace.h"

#include "CATGetEnv.h"
#include "CATSysSettingRepository.h"
#include "CATUnicodeString.h"
#include "WinHttp.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <memory>
#include <new>
#include <string>

namespace {

// Closes a WinHTTP handle when the holder goes out of scope, so that every
// early return closes what was opened; Close() lets the normal path close in
// the client's order (request, connection, session) before parsing.
class InternetHandle {
public:
  explicit InternetHandle(HINTERNET h = nullptr) : m_h(h) {}
  ~InternetHandle() { Close(); }
  InternetHandle(const InternetHandle&) = delete;
  InternetHandle& operator=(const InternetHandle&) = delete;
  void Reset(HINTERNET h) {
    Close();
    m_h = h;
  }
  void Close() {
    if (m_h) WinHttpCloseHandle(m_h);
    m_h = nullptr;
  }
  HINTERNET Get() const { return m_h; }
  explicit operator bool() const { return m_h != nullptr; }

private:
  HINTERNET m_h;
};

// Allocations that may fail are reported as "Out of memory", not thrown.
template <class T>
std::unique_ptr<T[]> allocZeroed(std::size_t count) {
  return std::unique_ptr<T[]>(new (std::nothrow) T[count]());
}

// Zero-terminated wide characters; null when out of memory.
std::unique_ptr<wchar_t[]> toWide(const CATUnicodeString& text) {
  const int capacity = text.GetLengthInChar() + 1;
  auto wide = allocZeroed<wchar_t>(static_cast<std::size_t>(capacity));
  if (wide) text.ConvertToWChar(wide.get(), capacity);
  return wide;
}

CATUnicodeString fromWide(const wchar_t* text) {
  CATUnicodeString s;
  s.BuildFromWChar(text);
  return s;
}

// The client's text for an error code; "?" when it has none.
CATUnicodeString errorText(DWORD code) {
  constexpr DWORD kSize = 256;
  wchar_t buffer[kSize] = L"?";
  FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM, GetModuleHandleW(L"winhttp.dll"), code,
                 LANG_USER_DEFAULT_ID, buffer, kSize, nullptr);
  return fromWide(buffer);
}

CATUnicodeString number(long long value) {
  CATUnicodeString text;
  text.BuildFromNum(value);
  return text;
}

// "Error <code> in <where>" and the code's text, as two notes.
#define ELM_NOTE_ERROR(code, where)                                   \
  do {                                                                \
    ELM_NOTE(CATUnicodeString("Error ") + number(code) + (where));    \
    ELM_NOTE(errorText(code));                                        \
  } while (0)

// A time-out setting in seconds, as milliseconds for the client. A value
// that does not read as a number leaves the default.
int timeoutMs(const char* name, int defaultSeconds) {
  int seconds = defaultSeconds;
  if (const char* value = CATGetEnv(name)) {
    int read = 0;
    if (CATUnicodeString(value).ConvertToNum(&read, "%d") == 1) seconds = read;
  }
  return static_cast<int>(std::clamp<long long>(seconds * 1000LL, INT_MIN, INT_MAX));
}

CATUnicodeString findServerUrl() {
  CATUnicodeString url;
  const char* value = CATGetEnv("ELM_SERVER_URL");
  if (!value || !*value) value = CATGetEnv("ELM_SERVERURL");
  if (value && *value) url = value;
  if (CATSysSettingRepository* repository = CATSysSettingRepository::GetRepository("ELMOptions")) {
    if (url.IsNull()) {
      CATUnicodeString setting;
      if (SUCCEEDED(repository->ReadAttr("ServerUrl", setting))) url = setting;
    }
    repository->Release();
  }
  return url;
}

HRESULT outOfMemory(ELMDebug& elmScope) {
  ELM_FAIL_POINT();
  ELMDebug::WriteLine("Out of memory");
  return E_FAIL;
}

HRESULT exchange(ELMDebug& elmScope, const ELMRequestXml& request, ELMRequestXml& response) {
  CATUnicodeString url = findServerUrl();
  if (url.IsNull()) {
    ELM_FAIL_POINT();
    ELM_NOTE("Environment ELM_SETPN_SERVERHOST not set");
    return E_FAIL;
  }
  ELM_NOTE(CATUnicodeString("using server url ") + url);

  // The scheme is looked for anywhere in the URL, in any letter case; what
  // is cut off is always the URL's first characters.
  INTERNET_PORT defaultPort = INTERNET_DEFAULT_HTTP_PORT;
  DWORD flags = WINHTTP_FLAG_REFRESH;
  CATUnicodeString lower(url);
  lower.ToLower();
  if (lower.SearchSubString("http://") >= 0) {
    url.Remove(0, 7);
  } else if (lower.SearchSubString("https://") >= 0) {
    url.Remove(0, 8);
    defaultPort = INTERNET_DEFAULT_HTTPS_PORT;
    flags |= WINHTTP_FLAG_SECURE;
  }

  CATUnicodeString hostPart = url;
  CATUnicodeString path;
  const int slash = url.SearchSubString("/");
  if (slash >= 0) {
    hostPart = url.SubString(0, slash);
    path = url.SubString(slash + 1, url.GetLengthInChar());
  }
  if (!path.IsNull() && path.SubString(path.GetLengthInChar() - 1, 1) != "/") path.Append("/");
  path.Append("ELMRequest");

  CATUnicodeString hostName = hostPart;
  int port = 0;
  const int colon = hostPart.SearchSubString(":");
  if (colon >= 0) {
    hostName = hostPart.SubString(0, colon);
    CATUnicodeString portText = hostPart.SubString(colon + 1, hostPart.GetLengthInChar());
    if (portText.ConvertToNum(&port, "%d") != 1) port = 0;
  }
  if (port == 0) port = defaultPort;

  ELM_NOTE(CATUnicodeString("using server Port ") + number(port));
  if (ELMDebug::s_iDebug == 1) {
    ELM_NOTE("Dump Send Request start ");
    request.Dump(0);
    ELMDebug::WriteLine("Dump Send Request end ");
  }

  CATUnicodeString text;
  if (FAILED(request.GetXml(text))) {
    ELM_FAIL_POINT();
    ELM_NOTE("Cannot get XML for Request");
    return E_FAIL;
  }

  // Declared in this order so that leaving early closes the request, then
  // the connection, then the session.
  InternetHandle session(
      WinHttpOpen(L"ELM/1.0", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session) {
    const DWORD code = GetLastError();
    ELM_NOTE_ERROR(code, " in WinHttpOpen:");
    return E_FAIL;
  }
  InternetHandle connection;
  InternetHandle requestHandle;

  std::unique_ptr<wchar_t[]> wideHost = toWide(hostName);
  if (!wideHost) return outOfMemory(elmScope);
  if (!WinHttpSetTimeouts(session.Get(), timeoutMs("ELM_SERVER_RESOLVE_TIMEOUT", 0),
                          timeoutMs("ELM_SERVER_CONNECT_TIMEOUT", 60), timeoutMs("ELM_SERVER_SEND_TIMEOUT", 30),
                          timeoutMs("ELM_SERVER_RECEIVE_TIMEOUT", 300))) {
    const DWORD code = GetLastError();
    ELM_NOTE(CATUnicodeString("Failed to set Timeouts ") + number(code));
    ELM_NOTE(errorText(code));
  }

  std::string body;
  // A port number outside the 16 bits of a port names no server: the
  // connection fails instead of reaching whatever the truncated number names.
  if (port > 0 && port <= 65535)
    connection.Reset(WinHttpConnect(session.Get(), wideHost.get(), static_cast<INTERNET_PORT>(port), 0));
  if (!connection) {
    session.Close();
  } else {
    std::unique_ptr<wchar_t[]> wideObject = toWide(path);
    if (!wideObject) return outOfMemory(elmScope);
    ELM_NOTE("******* Answer from WinHttp Start *******");

    requestHandle.Reset(WinHttpOpenRequest(connection.Get(), L"POST", wideObject.get(), nullptr, WINHTTP_NO_REFERER,
                                           WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
    if (!requestHandle) {
      connection.Close();
      session.Close();
    } else {
      const std::string& utf8 = text.Utf8();
      const std::size_t capacity = 4 * static_cast<std::size_t>(text.GetLengthInChar()) + 4;
      auto sendBuffer = allocZeroed<char>(capacity);
      static const wchar_t kHeader[] = L"Content-Type: application/xml\r\n";
      auto header = allocZeroed<wchar_t>(sizeof kHeader / sizeof kHeader[0]);
      if (!sendBuffer || !header) return outOfMemory(elmScope);
      std::copy(utf8.begin(), utf8.end(), sendBuffer.get());
      std::copy(std::begin(kHeader), std::end(kHeader), header.get());
      const auto length = static_cast<DWORD>(utf8.size());

      bool received = false;
      if (!WinHttpSendRequest(requestHandle.Get(), header.get(), WINHTTP_ADDREQ_LENGTH_ZERO_TERMINATED,
                              sendBuffer.get(), length, length, 0)) {
        const DWORD code = GetLastError();
        ELM_NOTE_ERROR(code, " in WinHttpSendRequest:");
      } else if (!WinHttpReceiveResponse(requestHandle.Get(), nullptr)) {
        const DWORD code = GetLastError();
        ELM_NOTE_ERROR(code, " in  WinHttpReceiveResponse:");
      } else {
        received = true;
      }

      if (received) {
        DWORD available = 0;
        do {
          available = 0;
          if (!WinHttpQueryDataAvailable(requestHandle.Get(), &available)) {
            const DWORD code = GetLastError();
            ELM_NOTE_ERROR(code, " in WinHttpQueryDataAvailable:");
          }
          auto chunk = allocZeroed<char>(static_cast<std::size_t>(available) + 1);
          if (!chunk) return outOfMemory(elmScope);
          DWORD read = 0;
          if (WinHttpReadData(requestHandle.Get(), chunk.get(), available, &read)) {
            body.append(chunk.get(), read);
            ELM_NOTE(CATUnicodeString(chunk.get(), read));
          } else {
            const DWORD code = GetLastError();
            ELM_NOTE_ERROR(code, " in WinHttpReadData:");
          }
        } while (available > 0);
      }
      requestHandle.Close();
      connection.Close();
      session.Close();
    }
  }

  ELM_NOTE("******* Answer from WinHttp End *******");
  // Decoded as a whole: a character whose bytes came in two chunks stays whole.
  if (FAILED(response.ReadXmlString(CATUnicodeString::FromUTF8(std::move(body))))) {
    ELM_FAIL_POINT();
    return E_FAIL;
  }
  if (ELMDebug::s_iDebug == 1) {
    ELM_NOTE("Dump Response start ");
    response.Dump(1);
    ELMDebug::WriteLine("Dump Response end ");
  }
  return S_OK;
}

}  // namespace

HRESULT HtmlRequest::DoRequest(const ELMRequestXml& request, ELMRequestXml& response) {
  ELM_SCOPE("HtmlRequest::DoRequest");
  try {
    return exchange(elmScope, request, response);
  } catch (const std::bad_alloc&) {
    return outOfMemory(elmScope);
  }
}

HRESULT HtmlRequest::CheckServerConnection() {
  ELM_SCOPE("HtmlRequest::CheckServerConnection");
  ELMRequestXml request("Test");
  request.AddRequestAttribute("ExecuteTest", "Mirror");
  request.AddRequestAttribute("Server", "OK");
  ELMRequestXml response;
  if (FAILED(DoRequest(request, response))) {
    ELM_FAIL_POINT();
    return E_FAIL;
  }
  CATUnicodeString server;
  if (SUCCEEDED(response.GetResponseAttribute("Server", server)) && !server.IsNull()) return S_OK;
  ELM_FAIL_POINT();
  return E_FAIL;
}

HtmlRequest& HtmlRequest::operator=(const HtmlRequest&) { return *this; }
