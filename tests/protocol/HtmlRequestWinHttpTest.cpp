// The host's HTTP client as the transport uses it: the size cap, idle
// time-outs, error texts and handle checks. Chunks and errors after a partial
// body are seen end to end in the transport's trace.

#include "LoopbackServer.h"

#include "WinHttp.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

using elmtest::RawServer;

namespace {

std::string text(DWORD code) {
  wchar_t buffer[256] = L"?";
  FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM, GetModuleHandleW(L"winhttp.dll"), code,
                 LANG_USER_DEFAULT_ID, buffer, 256, nullptr);
  std::string out;
  for (const wchar_t* p = buffer; *p; ++p) out += static_cast<char>(*p < 0x80 ? *p : '?');
  return out;
}

// The error a call left when it failed; 0 when it succeeded.
DWORD failureOf(bool succeeded) { return succeeded ? 0 : GetLastError(); }

// Session, connection and request to 127.0.0.1:port, closed in the client's order.
class Exchange {
public:
  explicit Exchange(int port, DWORD flags = WINHTTP_FLAG_REFRESH) {
    m_session = WinHttpOpen(L"ELM/1.0", WINHTTP_ACCESS_TYPE_NO_PROXY, nullptr, nullptr, 0);
    m_connect = WinHttpConnect(m_session, L"127.0.0.1", static_cast<INTERNET_PORT>(port), 0);
    m_request = WinHttpOpenRequest(m_connect, L"POST", L"ELMRequest", nullptr, nullptr, nullptr, flags);
  }
  ~Exchange() {
    WinHttpCloseHandle(m_request);
    WinHttpCloseHandle(m_connect);
    WinHttpCloseHandle(m_session);
  }
  Exchange(const Exchange&) = delete;
  Exchange& operator=(const Exchange&) = delete;

  HINTERNET Request() const { return m_request; }
  bool Send(std::string body = "<ELM/>") const {
    return WinHttpSendRequest(m_request, L"Content-Type: application/xml\r\n", WINHTTP_ADDREQ_LENGTH_ZERO_TERMINATED,
                              body.data(), static_cast<DWORD>(body.size()), static_cast<DWORD>(body.size()), 0) != 0;
  }

private:
  HINTERNET m_session = nullptr;
  HINTERNET m_connect = nullptr;
  HINTERNET m_request = nullptr;
};

TEST(HtmlRequestWinHttp, AnnouncedBodyOverTheCapFailsWhenRead) {
  RawServer server([](const RawServer::Connection& c, const std::string&) {
    c.Send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(WINHTTP_MAX_RESPONSE_BODY + 1) + "\r\n\r\n<ELM>");
    c.WaitForPeerClose();
  });
  Exchange x(server.Port());
  ASSERT_TRUE(x.Send());
  ASSERT_TRUE(WinHttpReceiveResponse(x.Request(), nullptr)) << GetLastError();
  DWORD available = 0;
  EXPECT_EQ(ERROR_WINHTTP_RESPONSE_DRAIN_OVERFLOW, failureOf(WinHttpQueryDataAvailable(x.Request(), &available)));
}

TEST(HtmlRequestWinHttp, StreamedBodyOverTheCapFailsAfterTheCap) {
  // No length announced: the cap is found while reading.
  RawServer server([](const RawServer::Connection& c, const std::string&) {
    if (!c.Send("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n")) return;
    const std::string block(1 << 20, 'x');
    for (std::uint64_t sent = 0; sent <= WINHTTP_MAX_RESPONSE_BODY; sent += block.size())
      if (!c.Send(block)) return;
  });
  Exchange x(server.Port());
  ASSERT_TRUE(x.Send());
  ASSERT_TRUE(WinHttpReceiveResponse(x.Request(), nullptr)) << GetLastError();
  std::uint64_t total = 0;
  std::string buffer(1 << 20, '\0');
  DWORD read = 0;
  while (WinHttpReadData(x.Request(), buffer.data(), static_cast<DWORD>(buffer.size()), &read) && read > 0)
    total += read;
  EXPECT_EQ(ERROR_WINHTTP_RESPONSE_DRAIN_OVERFLOW, GetLastError());
  EXPECT_LE(total, WINHTTP_MAX_RESPONSE_BODY);
  EXPECT_GT(total, WINHTTP_MAX_RESPONSE_BODY - (1 << 20));
}

TEST(HtmlRequestWinHttp, RequestThatCannotGoOutFailsAfterTheSendTimeout) {
  // Nobody reads: once the socket buffers are full, nothing more is sent.
  elmtest::IdleListener sink;
  Exchange x(sink.Port());
  ASSERT_TRUE(WinHttpSetTimeouts(x.Request(), 0, 5000, 1000, 60000));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(x.Send(std::string(64 << 20, 'x')));
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(ERROR_WINHTTP_TIMEOUT, GetLastError());
  EXPECT_EQ("Timeout was reached: nothing could be sent for 1000 ms", text(ERROR_WINHTTP_TIMEOUT));
  EXPECT_GE(elapsed, std::chrono::milliseconds(950));
  EXPECT_LT(elapsed, std::chrono::seconds(20));
}

// The request's total time holds however the peer keeps each wait short:
// while connecting, while the headers trickle in, while the body does.
TEST(HtmlRequestWinHttp, TotalTimeoutEndsTheRequestInEveryPhase) {
  constexpr DWORD kTotalMs = 300;
  auto expectCutOff = [](const Exchange& x) {
    DWORD total = kTotalMs;
    if (!WinHttpSetTimeouts(x.Request(), 0, 5000, 5000, 5000) ||
        !WinHttpSetOption(x.Request(), WINHTTP_OPTION_ELMHOST_TOTAL_TIMEOUT, &total, sizeof total))
      return ::testing::AssertionFailure() << "options refused: " << GetLastError();
    bool ok = x.Send() && WinHttpReceiveResponse(x.Request(), nullptr);
    DWORD available = 1;
    while (ok && available > 0) {
      ok = WinHttpQueryDataAvailable(x.Request(), &available);
      std::string buffer(available, '\0');
      DWORD read = 0;
      ok = ok && WinHttpReadData(x.Request(), buffer.data(), available, &read);
    }
    if (ok) return ::testing::AssertionFailure() << "the request was not cut off";
    if (GetLastError() != ERROR_WINHTTP_TIMEOUT) return ::testing::AssertionFailure() << "error " << GetLastError();
    return ::testing::AssertionResult(text(ERROR_WINHTTP_TIMEOUT) ==
                                      "Timeout was reached: the exchange took longer than 300 ms")
           << text(ERROR_WINHTTP_TIMEOUT);
  };

  {
    elmtest::IdleListener full(0);
    ASSERT_TRUE(full.Fill());
    Exchange x(full.Port());
    EXPECT_TRUE(expectCutOff(x)) << "connecting";
  }
  for (const bool inBody : {false, true}) {
    std::atomic<bool> clientLeft{false};
    {
      RawServer server([&](const RawServer::Connection& c, const std::string&) {
        if (!c.Send(std::string("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n") + (inBody ? "\r\n" : ""))) return;
        for (int i = 0; i < 1000; ++i) {  // 20 s at most
          std::this_thread::sleep_for(std::chrono::milliseconds(20));
          if (!c.Send(inBody ? "x" : "X-Trickle: " + std::to_string(i) + "\r\n")) {
            clientLeft = true;
            return;
          }
        }
      });
      Exchange x(server.Port());
      EXPECT_TRUE(expectCutOff(x)) << (inBody ? "body" : "headers");
    }
    EXPECT_TRUE(clientLeft) << (inBody ? "body" : "headers");
  }
}

TEST(HtmlRequestWinHttp, ErrorTextsComeFromLibcurlAndUnknownCodesHaveNone) {
  SetLastError(0);
  EXPECT_EQ("Couldn't connect to server", text(ERROR_WINHTTP_CANNOT_CONNECT));
  EXPECT_EQ("Timeout was reached", text(ERROR_WINHTTP_TIMEOUT));
  EXPECT_EQ("Out of memory", text(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_EQ("?", text(5));
  EXPECT_EQ("?", text(12345));

  wchar_t small[8] = L"?";
  EXPECT_EQ(7u,
            FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_WINHTTP_CANNOT_CONNECT, 0, small, 8, nullptr));
  EXPECT_EQ(std::wstring(L"Couldn'"), small);
}

TEST(HtmlRequestWinHttp, HandlesAreCheckedForKindStateAndLife) {
  HINTERNET session = WinHttpOpen(L"ELM/1.0", WINHTTP_ACCESS_TYPE_NO_PROXY, nullptr, nullptr, 0);
  ASSERT_NE(nullptr, session);
  DWORD available = 0;
  EXPECT_EQ(ERROR_WINHTTP_INCORRECT_HANDLE_TYPE, failureOf(WinHttpQueryDataAvailable(session, &available)));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, failureOf(WinHttpSetTimeouts(session, 0, -2, 0, 0)));
  EXPECT_EQ(ERROR_WINHTTP_INVALID_URL, failureOf(WinHttpConnect(session, L"", 80, 0) != nullptr));
  EXPECT_EQ(ERROR_WINHTTP_INVALID_URL, failureOf(WinHttpConnect(session, L"evil@host", 80, 0) != nullptr));

  HINTERNET connect = WinHttpConnect(session, L"127.0.0.1", 9, 0);
  HINTERNET request = WinHttpOpenRequest(connect, L"POST", L"ELMRequest", nullptr, nullptr, nullptr, 0);
  ASSERT_NE(nullptr, request);
  char c;
  DWORD read = 0;
  EXPECT_EQ(ERROR_WINHTTP_INCORRECT_HANDLE_STATE, failureOf(WinHttpReadData(request, &c, 1, &read)));
  EXPECT_EQ(ERROR_WINHTTP_INCORRECT_HANDLE_STATE, failureOf(WinHttpReceiveResponse(request, nullptr)));

  // Closing the session first leaves its children usable until they close.
  EXPECT_TRUE(WinHttpCloseHandle(session));
  EXPECT_TRUE(WinHttpCloseHandle(request));
  EXPECT_TRUE(WinHttpCloseHandle(connect));
  EXPECT_EQ(ERROR_INVALID_HANDLE, failureOf(WinHttpCloseHandle(connect)));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, failureOf(WinHttpOpen(L"ELM/1.0", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, nullptr,
                                                           nullptr, WINHTTP_FLAG_ASYNC) != nullptr));
}

}  // namespace
