#include "ELMServerSettings.h"

#include "CATGetEnv.h"
#include "CATSysSettingRepository.h"

#include <algorithm>
#include <climits>

namespace {

// A time-out setting in seconds, as milliseconds. A value that does not
// read as a number leaves the default.
int timeoutMs(const char* name, int defaultMs) {
  const char* value = CATGetEnv(name);
  int seconds = 0;
  if (!value || CATUnicodeString(value).ConvertToNum(&seconds, "%d") != 1) return defaultMs;
  return static_cast<int>(std::clamp<long long>(seconds * 1000LL, INT_MIN, INT_MAX));
}

}  // namespace

CATUnicodeString ELMServerSettings::FindUrl() {
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

ELMServerSettings::Address ELMServerSettings::SplitUrl(const CATUnicodeString& url) {
  Address address;
  CATUnicodeString rest = url;
  int defaultPort = 80;
  CATUnicodeString lower(url);
  lower.ToLower();
  // What is cut off is always the URL's first characters, wherever the
  // scheme was found.
  if (lower.SearchSubString("http://") >= 0) {
    rest.Remove(0, 7);
  } else if (lower.SearchSubString("https://") >= 0) {
    rest.Remove(0, 8);
    defaultPort = 443;
    address.secure = true;
  }

  CATUnicodeString hostPart = rest;
  CATUnicodeString path;
  const int slash = rest.SearchSubString("/");
  if (slash >= 0) {
    hostPart = rest.SubString(0, slash);
    path = rest.SubString(slash + 1, rest.GetLengthInChar());
  }
  if (!path.IsNull() && path.SubString(path.GetLengthInChar() - 1, 1) != "/") path.Append("/");
  path.Append("ELMRequest");
  address.objectName = path;

  address.hostName = hostPart;
  int port = 0;
  const int colon = hostPart.SearchSubString(":");
  if (colon >= 0) {
    address.hostName = hostPart.SubString(0, colon);
    if (hostPart.SubString(colon + 1, hostPart.GetLengthInChar()).ConvertToNum(&port, "%d") != 1) port = 0;
  }
  address.port = port == 0 ? defaultPort : port;
  return address;
}

ELMServerSettings::Timeouts ELMServerSettings::ReadTimeouts() {
  const Timeouts defaults;
  Timeouts t;
  t.resolveMs = timeoutMs("ELM_SERVER_RESOLVE_TIMEOUT", defaults.resolveMs);
  t.connectMs = timeoutMs("ELM_SERVER_CONNECT_TIMEOUT", defaults.connectMs);
  t.sendMs = timeoutMs("ELM_SERVER_SEND_TIMEOUT", defaults.sendMs);
  t.receiveMs = timeoutMs("ELM_SERVER_RECEIVE_TIMEOUT", defaults.receiveMs);
  return t;
}

std::uint32_t ELMServerSettings::ExchangeLimitMs(const Timeouts& timeouts) {
  if (timeouts.connectMs <= 0 || timeouts.sendMs <= 0 || timeouts.receiveMs <= 0) return 0;
  unsigned long long total = 0ull + static_cast<unsigned>(timeouts.connectMs) +
                             static_cast<unsigned>(timeouts.sendMs) + static_cast<unsigned>(timeouts.receiveMs);
  if (timeouts.resolveMs > 0) total += static_cast<unsigned>(timeouts.resolveMs);
  return static_cast<std::uint32_t>(std::min<unsigned long long>(total, UINT32_MAX));
}
