#include "HtmlRequest.h"

#include "ELMRequestXml.h"
#include "ELMServerSettings.h"
#include "ELMTrace.h"

#include "CATUnicodeString.h"
#include "WinHttp.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <memory>
#include <new>
#include <optional>
#include <string>

namespace {

// Owns one client handle and closes it when it goes.
class InternetHandle {
public:
  InternetHandle() = default;
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
  HINTERNET m_h = nullptr;
};

// The three handles of one exchange. Members go in the reverse order of
// their declaration, so however the exchange ends, the request is closed
// first, then the connection, then the client, as the client wants.
struct ExchangeHandles {
  InternetHandle client;
  InternetHandle connection;
  InternetHandle request;
};

// A buffer that cannot be had ends the exchange as "Out of memory" (see
// DoRequest); the zero fill is what the client's callers are used to.
template <class T>
std::unique_ptr<T[]> allocZeroed(std::size_t count) {
  return std::make_unique<T[]>(count);
}

// Zero-terminated wide characters.
std::unique_ptr<wchar_t[]> toWide(const CATUnicodeString& text) {
  const int capacity = text.GetLengthInChar() + 1;
  auto wide = allocZeroed<wchar_t>(static_cast<std::size_t>(capacity));
  text.ConvertToWChar(wide.get(), capacity);
  return wide;
}

// The client's text for an error code; "?" when it has none.
CATUnicodeString errorText(DWORD code) {
  constexpr DWORD kSize = 256;
  wchar_t buffer[kSize] = L"?";
  FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM, GetModuleHandleW(L"winhttp.dll"), code,
                 LANG_USER_DEFAULT_ID, buffer, kSize, nullptr);
  CATUnicodeString text;
  text.BuildFromWChar(buffer);
  return text;
}

CATUnicodeString number(long long value) {
  CATUnicodeString text;
  text.BuildFromNum(value);
  return text;
}

// "<what> <code>" and the code's text, as two notes, for the last error.
#define ELM_NOTE_LAST_ERROR(what, where)                                        \
  do {                                                                          \
    const DWORD code = GetLastError();                                          \
    ELM_NOTE(CATUnicodeString(what) + number(code) + CATUnicodeString(where));  \
    ELM_NOTE(errorText(code));                                                  \
  } while (0)

bool openClient(ExchangeHandles& handles) {
  handles.client.Reset(
      WinHttpOpen(L"ELM/1.0", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  if (handles.client) return true;
  ELM_NOTE_LAST_ERROR("Error ", " in WinHttpOpen:");
  return false;
}

// Sets the configured time-outs on the client and gives the limit of the
// whole exchange, which follows the time-outs in force: the configured
// ones, or the defaults when the client refused them and keeps its own.
std::uint32_t applyTimeouts(HINTERNET client) {
  const ELMServerSettings::Timeouts timeouts = ELMServerSettings::ReadTimeouts();
  if (WinHttpSetTimeouts(client, timeouts.resolveMs, timeouts.connectMs, timeouts.sendMs, timeouts.receiveMs))
    return ELMServerSettings::ExchangeLimitMs(timeouts);
  ELM_NOTE_LAST_ERROR("Failed to set Timeouts ", "");
  return ELMServerSettings::ExchangeLimitMs(ELMServerSettings::Timeouts());
}

// Connection and request handles for the address; false when either cannot
// be opened.
bool openRequest(ExchangeHandles& handles, const ELMServerSettings::Address& address, const wchar_t* wideHost,
                 std::uint32_t exchangeLimitMs) {
  // A number above the 16 bits of a port names no server: the connection
  // fails instead of reaching whatever the truncated number names. A
  // negative one goes to the connection as its 16 bits, as the port type
  // takes it (-1 is 65535).
  if (address.port <= 65535)
    handles.connection.Reset(
        WinHttpConnect(handles.client.Get(), wideHost, static_cast<INTERNET_PORT>(address.port), 0));
  if (!handles.connection) return false;
  std::unique_ptr<wchar_t[]> wideObject = toWide(address.objectName);
  ELM_NOTE("******* Answer from WinHttp Start *******");
  DWORD flags = WINHTTP_FLAG_REFRESH;
  if (address.secure) flags |= WINHTTP_FLAG_SECURE;
  handles.request.Reset(WinHttpOpenRequest(handles.connection.Get(), L"POST", wideObject.get(), nullptr,
                                           WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
  if (!handles.request) return false;
  // Each time-out bounds one wait; a server that keeps every wait short by
  // trickling bytes is still held to the limit of the whole exchange.
  DWORD limit = exchangeLimitMs;
  if (limit != 0 &&
      !WinHttpSetOption(handles.request.Get(), WINHTTP_OPTION_ELMHOST_TOTAL_TIMEOUT, &limit, sizeof limit))
    ELM_NOTE_LAST_ERROR("Failed to set the time limit of the exchange ", "");
  return true;
}

// Sends the text as UTF-8 and waits for the answer's headers; true when an
// answer is there to be read.
bool sendRequest(HINTERNET request, const CATUnicodeString& text) {
  const std::string& utf8 = text.Utf8();
  auto body = allocZeroed<char>(4 * static_cast<std::size_t>(text.GetLengthInChar()) + 4);
  std::copy(utf8.begin(), utf8.end(), body.get());
  static const wchar_t kHeader[] = L"Content-Type: application/xml\r\n";
  auto header = allocZeroed<wchar_t>(std::size(kHeader));
  std::copy(std::begin(kHeader), std::end(kHeader), header.get());
  const auto length = static_cast<DWORD>(utf8.size());

  if (!WinHttpSendRequest(request, header.get(), WINHTTP_ADDREQ_LENGTH_ZERO_TERMINATED, body.get(), length, length,
                          0)) {
    ELM_NOTE_LAST_ERROR("Error ", " in WinHttpSendRequest:");
    return false;
  }
  if (!WinHttpReceiveResponse(request, nullptr)) {
    ELM_NOTE_LAST_ERROR("Error ", " in  WinHttpReceiveResponse:");
    return false;
  }
  return true;
}

// Appends the answer's bytes to body, chunk by chunk as the client hands
// them out, until a pass finds nothing available. A failing query or read
// is noted and ends the body where it is.
void readBody(HINTERNET request, std::string& body) {
  DWORD available = 0;
  do {
    available = 0;
    if (!WinHttpQueryDataAvailable(request, &available))
      ELM_NOTE_LAST_ERROR("Error ", " in WinHttpQueryDataAvailable:");
    auto chunk = allocZeroed<char>(static_cast<std::size_t>(available) + 1);
    DWORD read = 0;
    if (WinHttpReadData(request, chunk.get(), available, &read)) {
      body.append(chunk.get(), read);
      ELM_NOTE(CATUnicodeString(chunk.get(), read));
    } else {
      ELM_NOTE_LAST_ERROR("Error ", " in WinHttpReadData:");
    }
  } while (available > 0);
}

// The answer's bytes, empty when nothing could be sent or read; none when
// the client itself could not be opened. Every handle is closed on return,
// before the answer is parsed.
std::optional<std::string> transfer(const ELMServerSettings::Address& address, const CATUnicodeString& text) {
  ExchangeHandles handles;
  if (!openClient(handles)) return std::nullopt;
  const std::unique_ptr<wchar_t[]> wideHost = toWide(address.hostName);
  const std::uint32_t exchangeLimitMs = applyTimeouts(handles.client.Get());
  std::string body;
  if (openRequest(handles, address, wideHost.get(), exchangeLimitMs) && sendRequest(handles.request.Get(), text))
    readBody(handles.request.Get(), body);
  return body;
}

HRESULT exchange(ELMDebug& elmScope, const ELMRequestXml& request, ELMRequestXml& response) {
  const CATUnicodeString url = ELMServerSettings::FindUrl();
  if (url.IsNull()) {
    ELM_FAIL_POINT();
    ELM_NOTE("Environment ELM_SETPN_SERVERHOST not set");
    return E_FAIL;
  }
  ELM_NOTE(CATUnicodeString("using server url ") + url);
  const ELMServerSettings::Address address = ELMServerSettings::SplitUrl(url);

  ELM_NOTE(CATUnicodeString("using server Port ") + number(address.port));
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

  std::optional<std::string> body = transfer(address, text);
  if (!body) return E_FAIL;

  ELM_NOTE("******* Answer from WinHttp End *******");
  // Decoded as a whole, so a character whose bytes came in two chunks stays
  // whole; the bytes become the text, and the text the parser's buffer,
  // without a copy.
  if (FAILED(response.ReadXmlString(CATUnicodeString::FromUTF8(std::move(*body))))) {
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
    // Whatever was open has been closed on the way out.
    ELM_FAIL_POINT();
    ELMDebug::WriteLine("Out of memory");
    return E_FAIL;
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
