#pragma once

// The part of the Windows HTTP client (WinHTTP) that the plug-in's transport
// uses, with the platform's names and calling conventions, carried out by
// libcurl. Handles are opaque; every call reports failure through
// GetLastError(), whose codes are the client's (ERROR_WINHTTP_...), and
// FormatMessageW gives their texts.
//
// What the stand-in keeps of the client's meaning: synchronous calls,
// per-phase time-outs in milliseconds, the system proxy settings (http_proxy,
// https_proxy, no_proxy), TLS with certificate checks for
// WINHTTP_FLAG_SECURE, cache bypass for WINHTTP_FLAG_REFRESH, a fresh
// connection per request, and the body handed out in the chunks in which it
// arrives. Redirects are not followed and no credentials are sent.

#include "ELMHostExport.h"

#include <cstdarg>
#include <cstdint>
#include <functional>
#include <string>

using BOOL = int;
using DWORD = std::uint32_t;
using DWORD_PTR = std::uintptr_t;
using INTERNET_PORT = std::uint16_t;
using LPVOID = void*;
using LPCVOID = const void*;
using LPDWORD = DWORD*;
using LPCWSTR = const wchar_t*;
using LPWSTR = wchar_t*;
using HINTERNET = void*;
using HMODULE = void*;

constexpr DWORD WINHTTP_ACCESS_TYPE_DEFAULT_PROXY = 0;
constexpr DWORD WINHTTP_ACCESS_TYPE_NO_PROXY = 1;
constexpr DWORD WINHTTP_ACCESS_TYPE_NAMED_PROXY = 3;
#define WINHTTP_NO_PROXY_NAME nullptr
#define WINHTTP_NO_PROXY_BYPASS nullptr
#define WINHTTP_NO_REFERER nullptr
#define WINHTTP_DEFAULT_ACCEPT_TYPES nullptr
#define WINHTTP_NO_ADDITIONAL_HEADERS nullptr
#define WINHTTP_NO_REQUEST_DATA nullptr
/// Header length meaning "up to the terminating zero".
constexpr DWORD WINHTTP_ADDREQ_LENGTH_ZERO_TERMINATED = static_cast<DWORD>(-1L);

/// Asynchronous mode is not offered: WinHttpOpen refuses it.
constexpr DWORD WINHTTP_FLAG_ASYNC = 0x10000000;
/// Bypass caches: the request carries "Pragma: no-cache" and "Cache-Control: no-cache".
constexpr DWORD WINHTTP_FLAG_REFRESH = 0x00000100;
/// TLS, with the server's certificate and name checked.
constexpr DWORD WINHTTP_FLAG_SECURE = 0x00800000;

constexpr INTERNET_PORT INTERNET_DEFAULT_PORT = 0;
constexpr INTERNET_PORT INTERNET_DEFAULT_HTTP_PORT = 80;
constexpr INTERNET_PORT INTERNET_DEFAULT_HTTPS_PORT = 443;

constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_WINHTTP_TIMEOUT = 12002;
constexpr DWORD ERROR_WINHTTP_INTERNAL_ERROR = 12004;
constexpr DWORD ERROR_WINHTTP_INVALID_OPTION = 12009;
constexpr DWORD ERROR_WINHTTP_INVALID_URL = 12005;
constexpr DWORD ERROR_WINHTTP_UNRECOGNIZED_SCHEME = 12006;
constexpr DWORD ERROR_WINHTTP_NAME_NOT_RESOLVED = 12007;
constexpr DWORD ERROR_WINHTTP_INCORRECT_HANDLE_TYPE = 12018;
constexpr DWORD ERROR_WINHTTP_INCORRECT_HANDLE_STATE = 12019;
constexpr DWORD ERROR_WINHTTP_CANNOT_CONNECT = 12029;
constexpr DWORD ERROR_WINHTTP_CONNECTION_ERROR = 12030;
constexpr DWORD ERROR_WINHTTP_INVALID_SERVER_RESPONSE = 12152;
constexpr DWORD ERROR_WINHTTP_SECURE_FAILURE = 12175;
constexpr DWORD ERROR_WINHTTP_RESPONSE_DRAIN_OVERFLOW = 12184;

constexpr DWORD FORMAT_MESSAGE_FROM_HMODULE = 0x00000800;
constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x00001000;
/// MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT): the user's default language.
constexpr DWORD LANG_USER_DEFAULT_ID = 0x400;

/// The stand-in's own option (the Windows client has none like it): a DWORD,
/// the longest time in milliseconds that a request may take as a whole, from
/// WinHttpSendRequest to the last byte of its answer, however steadily bytes
/// arrive; 0 (the default) sets no limit. Set on a request handle before it
/// is sent. Past it, the waiting call fails with ERROR_WINHTTP_TIMEOUT.
constexpr DWORD WINHTTP_OPTION_ELMHOST_TOTAL_TIMEOUT = 0x454C0001;

/// The largest answer body handed out; reading past it fails with
/// ERROR_WINHTTP_RESPONSE_DRAIN_OVERFLOW.
constexpr std::uint64_t WINHTTP_MAX_RESPONSE_BODY = 256ull * 1024 * 1024;

/// The session (client) handle. accessType is one of the
/// WINHTTP_ACCESS_TYPE_... values; the default proxy is the one that the
/// http_proxy, https_proxy and no_proxy variables name.
ExportedByELMHost HINTERNET WinHttpOpen(LPCWSTR userAgent, DWORD accessType, LPCWSTR proxyName,
                                        LPCWSTR proxyBypass, DWORD flags);
/// Time-outs in milliseconds; 0 or -1 waits without limit, other negative
/// values are refused. A session passes its values on to the requests
/// opened under it afterwards.
ExportedByELMHost BOOL WinHttpSetTimeouts(HINTERNET handle, int resolveTimeout, int connectTimeout,
                                          int sendTimeout, int receiveTimeout);
/// Sets an option of a handle; the only one offered is
/// WINHTTP_OPTION_ELMHOST_TOTAL_TIMEOUT.
ExportedByELMHost BOOL WinHttpSetOption(HINTERNET handle, DWORD option, LPVOID buffer, DWORD bufferLength);
/// Names the server; nothing goes on the wire yet. Port 0 picks 80 or 443
/// by the request's secure flag.
ExportedByELMHost HINTERNET WinHttpConnect(HINTERNET session, LPCWSTR serverName, INTERNET_PORT port,
                                           DWORD reserved);
/// objectName is the request target under the server root (a missing
/// leading "/" is added); verb null means "GET".
ExportedByELMHost HINTERNET WinHttpOpenRequest(HINTERNET connect, LPCWSTR verb, LPCWSTR objectName,
                                               LPCWSTR version, LPCWSTR referrer, LPCWSTR* acceptTypes,
                                               DWORD flags);
/// Connects and sends the request line, the headers (CR LF separated lines)
/// and the optional body; totalLength must equal optionalLength.
ExportedByELMHost BOOL WinHttpSendRequest(HINTERNET request, LPCWSTR headers, DWORD headersLength,
                                          LPVOID optional, DWORD optionalLength, DWORD totalLength,
                                          DWORD_PTR context);
/// Waits for the status line and headers of the final answer.
ExportedByELMHost BOOL WinHttpReceiveResponse(HINTERNET request, LPVOID reserved);
/// The size of the next received chunk, waiting for one if none is there;
/// 0 at the end of the body.
ExportedByELMHost BOOL WinHttpQueryDataAvailable(HINTERNET request, LPDWORD numberOfBytesAvailable);
ExportedByELMHost BOOL WinHttpReadData(HINTERNET request, LPVOID buffer, DWORD numberOfBytesToRead,
                                       LPDWORD numberOfBytesRead);
ExportedByELMHost BOOL WinHttpCloseHandle(HINTERNET handle);

/// The calling thread's last error code.
ExportedByELMHost DWORD GetLastError();
ExportedByELMHost void SetLastError(DWORD code);

/// A token for a loaded module; "winhttp.dll" is always loaded.
ExportedByELMHost HMODULE GetModuleHandleW(LPCWSTR moduleName);
/// Writes the text of code into buffer (at most size characters, with the
/// terminating zero) and returns its length; 0 with buffer untouched when the
/// code has no text. The text of the calling thread's last error carries
/// the detail that libcurl gave for it.
ExportedByELMHost DWORD FormatMessageW(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId,
                                       LPWSTR buffer, DWORD size, va_list* arguments);

namespace elmhost {

/// One finished exchange of the HTTP client, as a host tool may want to log it.
struct HttpExchange {
  std::string method;
  std::string url;
  std::string requestBody;
  long status = 0;            ///< HTTP status, 0 when no answer arrived
  std::string responseBody;   ///< the bytes handed out to the caller (empty unless the observer keeps bodies)
  DWORD error = 0;            ///< the transfer's error code, 0 when none
  std::string errorText;
};
using HttpObserver = std::function<void(const HttpExchange&)>;

/// Installs an observer told of every request handle that is closed after
/// it was sent; returns the previous one. Called on the thread that closes.
/// Only with withBodies does the client keep a copy of each answer for it:
/// a large answer then costs its size once more.
ExportedByELMHost HttpObserver SetHttpObserver(HttpObserver observer, bool withBodies = true);

}  // namespace elmhost
