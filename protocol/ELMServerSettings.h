#pragma once

#include "CATUnicodeString.h"

#include <cstdint>

/// Where the integration server is and how long an exchange with it may
/// take, as HtmlRequest reads them for every request. Nothing is cached.
/// Internal to the plug-in (its tests compile it in).
class ELMServerSettings {
public:
  /// A server URL taken apart.
  struct Address {
    CATUnicodeString hostName;  ///< in the URL's letter case
    int port = 80;              ///< as read; outside 1 to 65535 it names no server
    bool secure = false;        ///< "https://"
    /// The URL's path, ended by "/" when not empty, then "ELMRequest"; no
    /// leading "/".
    CATUnicodeString objectName;
  };

  /// Time-outs of the HTTP client's phases in milliseconds; 0 waits
  /// without limit.
  struct Timeouts {
    int resolveMs = 0;
    int connectMs = 60000;
    int sendMs = 30000;
    int receiveMs = 300000;
  };

  /// "ELM_SERVER_URL"; when missing or empty "ELM_SERVERURL"; when that is
  /// missing or empty too, the "ServerUrl" setting of the "ELMOptions"
  /// repository. Empty when none of them gives a URL.
  static CATUnicodeString FindUrl();

  /// Takes a URL apart: a scheme found anywhere in the URL, in any letter
  /// case, cuts the URL's first 7 ("http://") or 8 ("https://") characters;
  /// the host part ends at the first "/", the host name at its first ":".
  /// A port text that reads as no number, or as 0, gives the scheme's port.
  static Address SplitUrl(const CATUnicodeString& url);

  /// "ELM_SERVER_RESOLVE_TIMEOUT", "..._CONNECT_...", "..._SEND_..." and
  /// "..._RECEIVE_TIMEOUT" in seconds, as milliseconds; a variable that is
  /// missing or does not read as a number leaves its default.
  static Timeouts ReadTimeouts();

  /// The longest one whole exchange may take, in milliseconds: every phase
  /// spending its full time-out, one after the other (a resolution without
  /// limit adds nothing). 0, no overall limit, when connecting, sending or
  /// receiving has no limit (0 or less).
  static std::uint32_t ExchangeLimitMs(const Timeouts& timeouts);
};
