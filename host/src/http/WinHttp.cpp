#include "WinHttp.h"

#include "CATUnicodeString.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <utility>
#include <new>
#include <string>
#include <unordered_set>

namespace {

using Clock = std::chrono::steady_clock;

thread_local DWORD t_lastError = 0;
// What libcurl said about the last error, so that its text names the real
// cause ("Failed to connect to 127.0.0.1 port 8080 ...") and not only a
// category.
thread_local std::string t_lastText;

BOOL fail(DWORD code, std::string text = std::string()) {
  t_lastError = code;
  t_lastText = std::move(text);
  return 0;
}

// The one text of each code, taken from libcurl's messages for the nearest
// libcurl error.
const char* codeText(DWORD code) {
  switch (code) {
    case ERROR_NOT_ENOUGH_MEMORY: return curl_easy_strerror(CURLE_OUT_OF_MEMORY);
    case ERROR_INVALID_PARAMETER:
    case ERROR_INVALID_HANDLE:
    case ERROR_WINHTTP_INCORRECT_HANDLE_TYPE:
    case ERROR_WINHTTP_INCORRECT_HANDLE_STATE: return curl_easy_strerror(CURLE_BAD_FUNCTION_ARGUMENT);
    case ERROR_WINHTTP_TIMEOUT: return curl_easy_strerror(CURLE_OPERATION_TIMEDOUT);
    case ERROR_WINHTTP_INTERNAL_ERROR: return curl_easy_strerror(CURLE_FAILED_INIT);
    case ERROR_WINHTTP_INVALID_OPTION: return curl_easy_strerror(CURLE_UNKNOWN_OPTION);
    case ERROR_WINHTTP_INVALID_URL: return curl_easy_strerror(CURLE_URL_MALFORMAT);
    case ERROR_WINHTTP_UNRECOGNIZED_SCHEME: return curl_easy_strerror(CURLE_UNSUPPORTED_PROTOCOL);
    case ERROR_WINHTTP_NAME_NOT_RESOLVED: return curl_easy_strerror(CURLE_COULDNT_RESOLVE_HOST);
    case ERROR_WINHTTP_CANNOT_CONNECT: return curl_easy_strerror(CURLE_COULDNT_CONNECT);
    case ERROR_WINHTTP_CONNECTION_ERROR: return curl_easy_strerror(CURLE_RECV_ERROR);
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE: return curl_easy_strerror(CURLE_WEIRD_SERVER_REPLY);
    case ERROR_WINHTTP_SECURE_FAILURE: return curl_easy_strerror(CURLE_PEER_FAILED_VERIFICATION);
    case ERROR_WINHTTP_RESPONSE_DRAIN_OVERFLOW: return curl_easy_strerror(CURLE_FILESIZE_EXCEEDED);
    default: return nullptr;
  }
}

DWORD codeOf(CURLcode rc) {
  switch (rc) {
    case CURLE_OUT_OF_MEMORY: return ERROR_NOT_ENOUGH_MEMORY;
    case CURLE_OPERATION_TIMEDOUT: return ERROR_WINHTTP_TIMEOUT;
    case CURLE_URL_MALFORMAT: return ERROR_WINHTTP_INVALID_URL;
    case CURLE_UNSUPPORTED_PROTOCOL: return ERROR_WINHTTP_UNRECOGNIZED_SCHEME;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY: return ERROR_WINHTTP_NAME_NOT_RESOLVED;
    case CURLE_COULDNT_CONNECT: return ERROR_WINHTTP_CANNOT_CONNECT;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING: return ERROR_WINHTTP_CONNECTION_ERROR;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
    case CURLE_BAD_CONTENT_ENCODING: return ERROR_WINHTTP_INVALID_SERVER_RESPONSE;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_USE_SSL_FAILED: return ERROR_WINHTTP_SECURE_FAILURE;
    case CURLE_FILESIZE_EXCEEDED: return ERROR_WINHTTP_RESPONSE_DRAIN_OVERFLOW;
    default: return ERROR_WINHTTP_INTERNAL_ERROR;
  }
}

std::string toUtf8(LPCWSTR text, std::size_t length) {
  CATUnicodeString s;
  s.BuildFromWChar(text, length);
  return std::move(s).TakeUtf8();
}

std::string toUtf8(LPCWSTR text) { return toUtf8(text, text ? std::wcslen(text) : 0); }

// Both a limit of 0 and of -1 mean "wait without limit".
bool unlimited(int ms) { return ms == 0 || ms == -1; }

struct Timeouts {
  int resolve = 0;
  int connect = 60000;
  int send = 30000;
  int receive = 30000;
};

struct ProxySettings {
  DWORD access = WINHTTP_ACCESS_TYPE_DEFAULT_PROXY;
  std::string name;
  std::string bypass;
};

enum class Kind { Session, Connection, Request };

struct Handle {
  explicit Handle(Kind k) : kind(k) {}
  virtual ~Handle() = default;
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  const Kind kind;
};

struct Session : Handle {
  Session() : Handle(Kind::Session) {}
  std::string agent;
  ProxySettings proxy;
  Timeouts timeouts;
};

// A connection handle only names the server; what it needs of its session is
// copied, so closing the session first leaves it usable.
struct Connection : Handle {
  Connection() : Handle(Kind::Connection) {}
  std::string agent;
  ProxySettings proxy;
  Timeouts timeouts;
  std::string server;
  INTERNET_PORT port = 0;
};

struct EasyDeleter {
  void operator()(CURL* h) const { curl_easy_cleanup(h); }
};
struct MultiDeleter {
  void operator()(CURLM* h) const { curl_multi_cleanup(h); }
};
struct SlistDeleter {
  void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

// Every handle given out is registered, so that a stale or foreign pointer is
// refused with ERROR_INVALID_HANDLE instead of being dereferenced.
std::mutex g_handlesLock;
std::unordered_set<const Handle*> g_handles;

HINTERNET registerHandle(std::unique_ptr<Handle> handle) {
  std::lock_guard<std::mutex> lock(g_handlesLock);
  g_handles.insert(handle.get());
  return handle.release();
}

template <class T>
T* lookup(HINTERNET h, Kind kind) {
  {
    std::lock_guard<std::mutex> lock(g_handlesLock);
    if (!h || g_handles.count(static_cast<const Handle*>(h)) == 0) {
      fail(ERROR_INVALID_HANDLE);
      return nullptr;
    }
  }
  auto* handle = static_cast<Handle*>(h);
  if (handle->kind != kind) {
    fail(ERROR_WINHTTP_INCORRECT_HANDLE_TYPE);
    return nullptr;
  }
  return static_cast<T*>(handle);
}

bool curlReady() {
  static std::once_flag once;
  static CURLcode rc = CURLE_FAILED_INIT;
  std::call_once(once, [] { rc = curl_global_init(CURL_GLOBAL_DEFAULT); });
  return rc == CURLE_OK;
}

// Bytes a request target may carry as they are; the rest is percent-encoded,
// as the client does with an object name given in plain text.
bool keepInTarget(unsigned char c) {
  if (c <= 0x20 || c >= 0x7F) return false;
  return std::strchr("\"<>\\^`{|}", c) == nullptr;
}

bool validServerName(const std::string& name) {
  if (name.empty()) return false;
  // Anything that would change the meaning of the URL built from it.
  return name.find_first_of("/?#@ \t\r\n\\") == std::string::npos;
}

class Request : public Handle {
public:
  enum class State { Opened, Sent, Received };

  Request() : Handle(Kind::Request) {}
  ~Request() override;

  bool Open(const Connection& c, const std::string& verb, const std::string& object, const std::string& version,
            const std::string& referrer, const std::string& accept, DWORD flags);
  BOOL Send(const std::string& headers, const void* body, DWORD length);
  BOOL Receive();
  BOOL QueryAvailable(DWORD& available);
  BOOL Read(void* buffer, DWORD wanted, DWORD& read);
  void SetTimeouts(const Timeouts& t) { m_timeouts = t; }
  void SetTotalTimeout(DWORD ms) { m_totalMs = ms; }
  State GetState() const { return m_state; }

private:
  template <class Ready>
  void Drive(Ready ready);
  bool PastDeadline() const { return m_totalMs != 0 && Clock::now() >= m_deadline; }
  void CollectResult();
  void Finish(CURLcode rc);
  BOOL FailWithTransferError() const { return fail(m_error, m_errorText); }
  bool UploadDone() const;

  static size_t OnHeader(char* data, size_t size, size_t count, void* self);
  static size_t OnBody(char* data, size_t size, size_t count, void* self);
  static int OnProgress(void* self, curl_off_t dltotal, curl_off_t dlnow, curl_off_t ultotal, curl_off_t ulnow);
  static int OnConnected(void* self, char*, char*, int, int);

  State m_state = State::Opened;
  Timeouts m_timeouts;
  std::string m_url;
  std::string m_verb;
  std::string m_accept;
  DWORD m_flags = 0;
  std::string m_body;
  char m_errorBuffer[CURL_ERROR_SIZE] = {};

  bool m_connected = false;
  bool m_headersBegun = false;
  bool m_headersComplete = false;
  bool m_finished = false;
  bool m_uploadDoneAtFinish = false;
  DWORD m_error = 0;
  std::string m_errorText;

  // Why a callback stopped the transfer, for the error code it then gets.
  enum class Stop { None, SendIdle, ReceiveIdle, Deadline, Overflow, OutOfMemory } m_stop = Stop::None;

  DWORD m_totalMs = 0;
  Clock::time_point m_deadline;

  curl_off_t m_uploaded = 0;
  curl_off_t m_downloaded = 0;
  Clock::time_point m_lastActivity;
  std::uint64_t m_received = 0;
  std::deque<std::string> m_chunks;
  std::size_t m_frontOffset = 0;
  // What the caller read, kept only while an observer is installed.
  bool m_observed = false;
  bool m_keepsBody = false;
  std::string m_readLog;

  // Last, so that they go first: the easy handle points into the members
  // above (body, error buffer) and the header list; the multi handle is
  // cleaned up after the easy handle.
  std::unique_ptr<CURLM, MultiDeleter> m_multi;
  std::unique_ptr<curl_slist, SlistDeleter> m_headers;
  std::unique_ptr<CURL, EasyDeleter> m_easy;
  bool m_attached = false;
};

std::mutex g_observerLock;
elmhost::HttpObserver g_observer;
bool g_observerWantsBodies = true;

Request::~Request() {
  if (m_observed && m_state != State::Opened) {
    elmhost::HttpObserver observer;
    {
      std::lock_guard<std::mutex> lock(g_observerLock);
      observer = g_observer;
    }
    if (observer) {
      elmhost::HttpExchange exchange;
      exchange.method = m_verb;
      exchange.url = m_url;
      exchange.requestBody = m_body;
      if (m_easy) curl_easy_getinfo(m_easy.get(), CURLINFO_RESPONSE_CODE, &exchange.status);
      exchange.responseBody = std::move(m_readLog);
      exchange.error = m_error;
      exchange.errorText = m_errorText;
      // An observer's failure must not escape a close.
      try {
        observer(exchange);
      } catch (...) {
      }
    }
  }
  if (m_attached) curl_multi_remove_handle(m_multi.get(), m_easy.get());
}

bool Request::Open(const Connection& c, const std::string& verb, const std::string& object,
                   const std::string& version, const std::string& referrer, const std::string& accept,
                   DWORD flags) {
  m_multi.reset(curl_multi_init());
  m_easy.reset(curl_easy_init());
  if (!m_multi || !m_easy) return fail(ERROR_NOT_ENOUGH_MEMORY) != 0;
  m_timeouts = c.timeouts;
  {
    std::lock_guard<std::mutex> lock(g_observerLock);
    m_observed = static_cast<bool>(g_observer);
    m_keepsBody = m_observed && g_observerWantsBodies;
  }
  m_verb = verb;
  m_accept = accept;
  m_flags = flags;

  const bool secure = (flags & WINHTTP_FLAG_SECURE) != 0;
  INTERNET_PORT port = c.port;
  if (port == INTERNET_DEFAULT_PORT) port = secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
  m_url = secure ? "https://" : "http://";
  m_url += c.server;
  m_url += ':';
  m_url += std::to_string(port);
  if (object.empty() || object[0] != '/') m_url += '/';
  static const char hex[] = "0123456789ABCDEF";
  for (unsigned char ch : object) {
    if (keepInTarget(ch)) {
      m_url += static_cast<char>(ch);
    } else {
      m_url += '%';
      m_url += hex[ch >> 4];
      m_url += hex[ch & 0xF];
    }
  }

  CURL* h = m_easy.get();
  curl_easy_setopt(h, CURLOPT_URL, m_url.c_str());
  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, m_errorBuffer);
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
  // One connection per request, closed with it: nothing is shared between
  // calls, as with a fresh client handle.
  curl_easy_setopt(h, CURLOPT_FRESH_CONNECT, 1L);
  curl_easy_setopt(h, CURLOPT_FORBID_REUSE, 1L);
  curl_easy_setopt(h, CURLOPT_HTTP_VERSION,
                   version == "HTTP/1.0" ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);
  if (!c.agent.empty()) curl_easy_setopt(h, CURLOPT_USERAGENT, c.agent.c_str());
  if (!referrer.empty()) curl_easy_setopt(h, CURLOPT_REFERER, referrer.c_str());

  // Without a proxy option libcurl takes the system's: http_proxy,
  // https_proxy, all_proxy and no_proxy.
  if (c.proxy.access == WINHTTP_ACCESS_TYPE_NO_PROXY) {
    curl_easy_setopt(h, CURLOPT_PROXY, "");
  } else if (c.proxy.access == WINHTTP_ACCESS_TYPE_NAMED_PROXY) {
    curl_easy_setopt(h, CURLOPT_PROXY, c.proxy.name.c_str());
    curl_easy_setopt(h, CURLOPT_NOPROXY, c.proxy.bypass.c_str());
  }
  curl_easy_setopt(h, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);

  if (secure) {
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
    // The trust store is the system's; OpenSSL's usual variables point it
    // elsewhere, which libcurl alone would ignore in favour of its built-in
    // bundle path.
    const char* file = std::getenv("SSL_CERT_FILE");
    if (file && *file) curl_easy_setopt(h, CURLOPT_CAINFO, file);
    const char* dir = std::getenv("SSL_CERT_DIR");
    if (dir && *dir) curl_easy_setopt(h, CURLOPT_CAPATH, dir);
  }

  curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &Request::OnHeader);
  curl_easy_setopt(h, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &Request::OnBody);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &Request::OnProgress);
  curl_easy_setopt(h, CURLOPT_XFERINFODATA, this);
  curl_easy_setopt(h, CURLOPT_PREREQFUNCTION, &Request::OnConnected);
  curl_easy_setopt(h, CURLOPT_PREREQDATA, this);
  return true;
}

BOOL Request::Send(const std::string& headers, const void* body, DWORD length) {
  if (m_state != State::Opened) return fail(ERROR_WINHTTP_INCORRECT_HANDLE_STATE);
  CURL* h = m_easy.get();

  // The wire carries only what the caller means to send: libcurl's own
  // "Accept: */*" and "Expect: 100-continue" are taken out.
  curl_slist* list = nullptr;
  auto append = [&list](const std::string& line) {
    curl_slist* next = curl_slist_append(list, line.c_str());
    if (!next) return false;
    list = next;
    return true;
  };
  bool ok = append(m_accept.empty() ? "Accept:" : "Accept: " + m_accept) && append("Expect:");
  if (ok && (m_flags & WINHTTP_FLAG_REFRESH)) ok = append("Pragma: no-cache") && append("Cache-Control: no-cache");
  std::size_t start = 0;
  while (ok && start < headers.size()) {
    std::size_t end = headers.find('\n', start);
    if (end == std::string::npos) end = headers.size();
    std::string line = headers.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    start = end + 1;
    if (line.empty()) continue;
    if (line.find(':') == std::string::npos) {
      curl_slist_free_all(list);
      return fail(ERROR_INVALID_PARAMETER);
    }
    ok = append(line);
  }
  m_headers.reset(list);
  if (!ok) return fail(ERROR_NOT_ENOUGH_MEMORY);
  curl_easy_setopt(h, CURLOPT_HTTPHEADER, m_headers.get());

  if (length > 0) m_body.assign(static_cast<const char*>(body), length);
  if (m_verb == "POST") {
    curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(m_body.size()));
    curl_easy_setopt(h, CURLOPT_POSTFIELDS, m_body.data());
  } else if (m_verb == "HEAD") {
    curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
  } else {
    if (m_verb != "GET") curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, m_verb.c_str());
    if (!m_body.empty()) {
      curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(m_body.size()));
      curl_easy_setopt(h, CURLOPT_POSTFIELDS, m_body.data());
    }
  }

  // libcurl times resolution and connection against one deadline, so the
  // two budgets are added up; an unlimited resolution is bounded by the
  // resolver's own retries and adds nothing. An unlimited connect has no
  // libcurl value of its own (0 means its default of 300 s), hence INT_MAX.
  long connectMs = INT_MAX;
  if (!unlimited(m_timeouts.connect)) {
    long long budget = m_timeouts.connect;
    if (!unlimited(m_timeouts.resolve)) budget += m_timeouts.resolve;
    connectMs = static_cast<long>(std::min<long long>(budget, INT_MAX));
  }
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, connectMs);

  if (curl_multi_add_handle(m_multi.get(), h) != CURLM_OK) return fail(ERROR_WINHTTP_INTERNAL_ERROR);
  m_attached = true;
  m_state = State::Sent;
  m_deadline = Clock::now() + std::chrono::milliseconds(m_totalMs);

  Drive([this] { return m_headersBegun || (m_connected && UploadDone()); });
  if (m_finished && m_error != 0 && !m_uploadDoneAtFinish && !m_headersComplete) return FailWithTransferError();
  return 1;
}

BOOL Request::Receive() {
  if (m_state != State::Sent) return fail(ERROR_WINHTTP_INCORRECT_HANDLE_STATE);
  Drive([this] { return m_headersComplete; });
  if (!m_headersComplete) {
    if (m_error != 0) return FailWithTransferError();
    return fail(ERROR_WINHTTP_INVALID_SERVER_RESPONSE);
  }
  m_state = State::Received;
  return 1;
}

BOOL Request::QueryAvailable(DWORD& available) {
  if (m_state != State::Received) return fail(ERROR_WINHTTP_INCORRECT_HANDLE_STATE);
  Drive([this] { return !m_chunks.empty(); });
  if (!m_chunks.empty()) {
    available = static_cast<DWORD>(m_chunks.front().size() - m_frontOffset);
    return 1;
  }
  if (m_error != 0) return FailWithTransferError();
  available = 0;
  return 1;
}

BOOL Request::Read(void* buffer, DWORD wanted, DWORD& read) {
  if (m_state != State::Received) return fail(ERROR_WINHTTP_INCORRECT_HANDLE_STATE);
  if (!buffer && wanted > 0) return fail(ERROR_INVALID_PARAMETER);
  read = 0;
  Drive([this] { return !m_chunks.empty(); });
  if (m_chunks.empty()) {
    if (m_error != 0) return FailWithTransferError();
    return 1;
  }
  const std::string& front = m_chunks.front();
  std::size_t n = std::min<std::size_t>(wanted, front.size() - m_frontOffset);
  if (n > 0) std::memcpy(buffer, front.data() + m_frontOffset, n);
  if (m_keepsBody) m_readLog.append(front.data() + m_frontOffset, n);
  m_frontOffset += n;
  if (m_frontOffset == front.size()) {
    m_chunks.pop_front();
    m_frontOffset = 0;
  }
  read = static_cast<DWORD>(n);
  return 1;
}

template <class Ready>
void Request::Drive(Ready ready) {
  // libcurl is called at least this often while nothing happens, so that the
  // progress callback can enforce the idle time-outs.
  constexpr int kSliceMs = 20;
  while (!m_finished && !ready()) {
    // Checked here rather than in a libcurl callback, so that it holds in
    // every phase, resolution and connection included.
    if (PastDeadline()) {
      m_stop = Stop::Deadline;
      Finish(CURLE_OPERATION_TIMEDOUT);
      break;
    }
    int running = 0;
    CURLMcode mc = curl_multi_perform(m_multi.get(), &running);
    if (mc != CURLM_OK) {
      Finish(CURLE_FAILED_INIT);
      break;
    }
    CollectResult();
    if (m_finished || ready()) break;
    mc = curl_multi_poll(m_multi.get(), nullptr, 0, kSliceMs, nullptr);
    if (mc != CURLM_OK) {
      Finish(CURLE_FAILED_INIT);
      break;
    }
  }
}

void Request::CollectResult() {
  int left = 0;
  while (CURLMsg* msg = curl_multi_info_read(m_multi.get(), &left)) {
    if (msg->msg == CURLMSG_DONE && msg->easy_handle == m_easy.get()) Finish(msg->data.result);
  }
}

bool Request::UploadDone() const { return m_connected && m_uploaded >= static_cast<curl_off_t>(m_body.size()); }

void Request::Finish(CURLcode rc) {
  if (m_finished) return;
  m_finished = true;
  curl_off_t uploaded = 0;
  if (curl_easy_getinfo(m_easy.get(), CURLINFO_SIZE_UPLOAD_T, &uploaded) == CURLE_OK)
    m_uploaded = std::max(m_uploaded, uploaded);
  m_uploadDoneAtFinish = UploadDone();
  if (m_attached) {
    curl_multi_remove_handle(m_multi.get(), m_easy.get());
    m_attached = false;
  }
  if (rc == CURLE_OK) return;

  std::string detail = m_errorBuffer;
  switch (m_stop) {
    case Stop::SendIdle:
      m_error = ERROR_WINHTTP_TIMEOUT;
      detail = "nothing could be sent for " + std::to_string(m_timeouts.send) + " ms";
      rc = CURLE_OPERATION_TIMEDOUT;
      break;
    case Stop::ReceiveIdle:
      m_error = ERROR_WINHTTP_TIMEOUT;
      detail = "nothing was received for " + std::to_string(m_timeouts.receive) + " ms";
      rc = CURLE_OPERATION_TIMEDOUT;
      break;
    case Stop::Deadline:
      m_error = ERROR_WINHTTP_TIMEOUT;
      detail = "the exchange took longer than " + std::to_string(m_totalMs) + " ms";
      rc = CURLE_OPERATION_TIMEDOUT;
      break;
    case Stop::Overflow:
      m_error = ERROR_WINHTTP_RESPONSE_DRAIN_OVERFLOW;
      detail = "the answer is larger than " + std::to_string(WINHTTP_MAX_RESPONSE_BODY) + " bytes";
      rc = CURLE_FILESIZE_EXCEEDED;
      break;
    case Stop::OutOfMemory:
      m_error = ERROR_NOT_ENOUGH_MEMORY;
      rc = CURLE_OUT_OF_MEMORY;
      break;
    case Stop::None: m_error = codeOf(rc); break;
  }
  m_errorText = curl_easy_strerror(rc);
  if (!detail.empty()) m_errorText += ": " + detail;
}

size_t Request::OnHeader(char* data, size_t size, size_t count, void* self) {
  auto* r = static_cast<Request*>(self);
  const size_t total = size * count;
  r->m_headersBegun = true;
  r->m_lastActivity = Clock::now();
  const bool blank = (total == 2 && data[0] == '\r' && data[1] == '\n') || (total == 1 && data[0] == '\n');
  if (!blank) return total;
  long status = 0;
  curl_easy_getinfo(r->m_easy.get(), CURLINFO_RESPONSE_CODE, &status);
  // Interim answers (100 Continue, 103 Early Hints) are followed by the real one.
  if (status < 200) return total;
  r->m_headersComplete = true;
  curl_off_t announced = -1;
  if (curl_easy_getinfo(r->m_easy.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced) == CURLE_OK &&
      announced > static_cast<curl_off_t>(WINHTTP_MAX_RESPONSE_BODY)) {
    // The headers are there; the body is refused when it is read.
    r->m_stop = Stop::Overflow;
    return 0;
  }
  return total;
}

size_t Request::OnBody(char* data, size_t size, size_t count, void* self) {
  auto* r = static_cast<Request*>(self);
  const size_t total = size * count;
  r->m_lastActivity = Clock::now();
  r->m_received += total;
  if (r->m_received > WINHTTP_MAX_RESPONSE_BODY) {
    r->m_stop = Stop::Overflow;
    return 0;
  }
  try {
    r->m_chunks.emplace_back(data, total);
  } catch (const std::bad_alloc&) {
    r->m_stop = Stop::OutOfMemory;
    return 0;
  }
  return total;
}

// The client's send and receive time-outs bound each wait for the network,
// not the whole exchange; libcurl has only a total time-out, so they are
// kept here as idle limits: while the request is going out, no byte sent
// for the send time-out; after that, no byte of the answer for the receive
// time-out. libcurl calls this on every pass of the transfer loop.
int Request::OnProgress(void* self, curl_off_t, curl_off_t dlnow, curl_off_t, curl_off_t ulnow) {
  auto* r = static_cast<Request*>(self);
  if (!r->m_connected) return 0;
  const auto now = Clock::now();
  if (ulnow != r->m_uploaded || dlnow != r->m_downloaded) {
    r->m_uploaded = ulnow;
    r->m_downloaded = dlnow;
    r->m_lastActivity = now;
    return 0;
  }
  const bool sending = !r->UploadDone();
  const int limit = sending ? r->m_timeouts.send : r->m_timeouts.receive;
  if (unlimited(limit) || now - r->m_lastActivity < std::chrono::milliseconds(limit)) return 0;
  r->m_stop = sending ? Stop::SendIdle : Stop::ReceiveIdle;
  return 1;
}

int Request::OnConnected(void* self, char*, char*, int, int) {
  auto* r = static_cast<Request*>(self);
  r->m_connected = true;
  r->m_lastActivity = Clock::now();
  return CURL_PREREQFUNC_OK;
}

bool validTimeout(int ms) { return ms >= -1; }

}  // namespace

HINTERNET WinHttpOpen(LPCWSTR userAgent, DWORD accessType, LPCWSTR proxyName, LPCWSTR proxyBypass, DWORD flags) {
  if (flags & WINHTTP_FLAG_ASYNC) return fail(ERROR_INVALID_PARAMETER), nullptr;
  if (accessType != WINHTTP_ACCESS_TYPE_DEFAULT_PROXY && accessType != WINHTTP_ACCESS_TYPE_NO_PROXY &&
      accessType != WINHTTP_ACCESS_TYPE_NAMED_PROXY)
    return fail(ERROR_INVALID_PARAMETER), nullptr;
  if (accessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY && (!proxyName || !*proxyName))
    return fail(ERROR_INVALID_PARAMETER), nullptr;
  if (!curlReady()) return fail(ERROR_WINHTTP_INTERNAL_ERROR), nullptr;
  try {
    auto session = std::make_unique<Session>();
    session->agent = toUtf8(userAgent);
    session->proxy.access = accessType;
    if (accessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY) {
      session->proxy.name = toUtf8(proxyName);
      session->proxy.bypass = toUtf8(proxyBypass);
    }
    return registerHandle(std::move(session));
  } catch (const std::bad_alloc&) {
    return fail(ERROR_NOT_ENOUGH_MEMORY), nullptr;
  }
}

BOOL WinHttpSetTimeouts(HINTERNET handle, int resolveTimeout, int connectTimeout, int sendTimeout,
                        int receiveTimeout) {
  if (!validTimeout(resolveTimeout) || !validTimeout(connectTimeout) || !validTimeout(sendTimeout) ||
      !validTimeout(receiveTimeout))
    return fail(ERROR_INVALID_PARAMETER);
  const Timeouts t{resolveTimeout, connectTimeout, sendTimeout, receiveTimeout};
  {
    std::lock_guard<std::mutex> lock(g_handlesLock);
    if (!handle || g_handles.count(static_cast<const Handle*>(handle)) == 0) return fail(ERROR_INVALID_HANDLE);
  }
  auto* h = static_cast<Handle*>(handle);
  if (h->kind == Kind::Session) {
    static_cast<Session*>(h)->timeouts = t;
    return 1;
  }
  if (h->kind == Kind::Request) {
    auto* r = static_cast<Request*>(h);
    if (r->GetState() != Request::State::Opened) return fail(ERROR_WINHTTP_INCORRECT_HANDLE_STATE);
    r->SetTimeouts(t);
    return 1;
  }
  return fail(ERROR_WINHTTP_INCORRECT_HANDLE_TYPE);
}

BOOL WinHttpSetOption(HINTERNET handle, DWORD option, LPVOID buffer, DWORD bufferLength) {
  auto* request = lookup<Request>(handle, Kind::Request);
  if (!request) return 0;
  if (option != WINHTTP_OPTION_ELMHOST_TOTAL_TIMEOUT) return fail(ERROR_WINHTTP_INVALID_OPTION);
  if (!buffer || bufferLength != sizeof(DWORD)) return fail(ERROR_INVALID_PARAMETER);
  if (request->GetState() != Request::State::Opened) return fail(ERROR_WINHTTP_INCORRECT_HANDLE_STATE);
  DWORD ms = 0;
  std::memcpy(&ms, buffer, sizeof ms);
  request->SetTotalTimeout(ms);
  return 1;
}

HINTERNET WinHttpConnect(HINTERNET sessionHandle, LPCWSTR serverName, INTERNET_PORT port, DWORD reserved) {
  auto* session = lookup<Session>(sessionHandle, Kind::Session);
  if (!session) return nullptr;
  if (reserved != 0) return fail(ERROR_INVALID_PARAMETER), nullptr;
  try {
    std::string server = toUtf8(serverName);
    if (!validServerName(server)) return fail(ERROR_WINHTTP_INVALID_URL), nullptr;
    auto connection = std::make_unique<Connection>();
    connection->agent = session->agent;
    connection->proxy = session->proxy;
    connection->timeouts = session->timeouts;
    connection->server = std::move(server);
    connection->port = port;
    return registerHandle(std::move(connection));
  } catch (const std::bad_alloc&) {
    return fail(ERROR_NOT_ENOUGH_MEMORY), nullptr;
  }
}

HINTERNET WinHttpOpenRequest(HINTERNET connectHandle, LPCWSTR verb, LPCWSTR objectName, LPCWSTR version,
                             LPCWSTR referrer, LPCWSTR* acceptTypes, DWORD flags) {
  auto* connection = lookup<Connection>(connectHandle, Kind::Connection);
  if (!connection) return nullptr;
  try {
    std::string accept;
    for (LPCWSTR* type = acceptTypes; type && *type; ++type) {
      if (!accept.empty()) accept += ", ";
      accept += toUtf8(*type);
    }
    std::string method = verb && *verb ? toUtf8(verb) : std::string("GET");
    if (method.find_first_of(" \t\r\n") != std::string::npos) return fail(ERROR_INVALID_PARAMETER), nullptr;
    auto request = std::make_unique<Request>();
    if (!request->Open(*connection, method, toUtf8(objectName), toUtf8(version), toUtf8(referrer), accept, flags))
      return nullptr;
    return registerHandle(std::move(request));
  } catch (const std::bad_alloc&) {
    return fail(ERROR_NOT_ENOUGH_MEMORY), nullptr;
  }
}

BOOL WinHttpSendRequest(HINTERNET requestHandle, LPCWSTR headers, DWORD headersLength, LPVOID optional,
                        DWORD optionalLength, DWORD totalLength, DWORD_PTR /*context*/) {
  auto* request = lookup<Request>(requestHandle, Kind::Request);
  if (!request) return 0;
  // The rest of a longer body would follow through WinHttpWriteData, which
  // is not offered.
  if (totalLength != optionalLength || (optionalLength > 0 && !optional)) return fail(ERROR_INVALID_PARAMETER);
  try {
    std::string text;
    if (headers) {
      text = headersLength == WINHTTP_ADDREQ_LENGTH_ZERO_TERMINATED ? toUtf8(headers) : toUtf8(headers, headersLength);
    }
    return request->Send(text, optional, optionalLength);
  } catch (const std::bad_alloc&) {
    return fail(ERROR_NOT_ENOUGH_MEMORY);
  }
}

BOOL WinHttpReceiveResponse(HINTERNET requestHandle, LPVOID reserved) {
  auto* request = lookup<Request>(requestHandle, Kind::Request);
  if (!request) return 0;
  if (reserved) return fail(ERROR_INVALID_PARAMETER);
  return request->Receive();
}

BOOL WinHttpQueryDataAvailable(HINTERNET requestHandle, LPDWORD numberOfBytesAvailable) {
  auto* request = lookup<Request>(requestHandle, Kind::Request);
  if (!request) return 0;
  DWORD available = 0;
  BOOL ok = request->QueryAvailable(available);
  if (ok && numberOfBytesAvailable) *numberOfBytesAvailable = available;
  return ok;
}

BOOL WinHttpReadData(HINTERNET requestHandle, LPVOID buffer, DWORD numberOfBytesToRead, LPDWORD numberOfBytesRead) {
  auto* request = lookup<Request>(requestHandle, Kind::Request);
  if (!request) return 0;
  if (!numberOfBytesRead) return fail(ERROR_INVALID_PARAMETER);
  *numberOfBytesRead = 0;
  return request->Read(buffer, numberOfBytesToRead, *numberOfBytesRead);
}

BOOL WinHttpCloseHandle(HINTERNET handle) {
  {
    std::lock_guard<std::mutex> lock(g_handlesLock);
    if (!handle || g_handles.erase(static_cast<const Handle*>(handle)) == 0) return fail(ERROR_INVALID_HANDLE);
  }
  delete static_cast<Handle*>(handle);
  return 1;
}

elmhost::HttpObserver elmhost::SetHttpObserver(HttpObserver observer, bool withBodies) {
  std::lock_guard<std::mutex> lock(g_observerLock);
  g_observerWantsBodies = withBodies;
  return std::exchange(g_observer, std::move(observer));
}

DWORD GetLastError() { return t_lastError; }

void SetLastError(DWORD code) {
  t_lastError = code;
  t_lastText.clear();
}

HMODULE GetModuleHandleW(LPCWSTR moduleName) {
  static int s_winhttp;
  std::string name = toUtf8(moduleName);
  std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
  if (name == "winhttp.dll" || name == "winhttp") return &s_winhttp;
  constexpr DWORD kModuleNotFound = 126;
  fail(kModuleNotFound);
  return nullptr;
}

DWORD FormatMessageW(DWORD flags, LPCVOID /*source*/, DWORD messageId, DWORD /*languageId*/, LPWSTR buffer,
                     DWORD size, va_list* /*arguments*/) {
  if ((flags & (FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_FROM_HMODULE)) == 0 || !buffer || size == 0) {
    fail(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string text;
  if (messageId == t_lastError && !t_lastText.empty()) {
    text = t_lastText;
  } else if (const char* known = codeText(messageId)) {
    text = known;
  } else {
    return 0;
  }
  // Keeps what fits with the terminating zero.
  const int capacity = static_cast<int>(std::min<DWORD>(size, INT_MAX));
  return static_cast<DWORD>(CATUnicodeString(text.c_str(), text.size()).ConvertToWChar(buffer, capacity));
}
