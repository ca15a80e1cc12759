// Which proxy an update request takes: the user's Internet Options (a proxy server, a PAC
// script, automatic detection), as browsers use them. WinHTTP's own default reads only the
// machine-wide WinHTTP setting, which nobody behind a proxy at home or at work has set.
#pragma once

#include <string>

namespace Vel::Update {

// The user's Internet Options, as WinHttpGetIEProxyConfigForCurrentUser gives them.
struct TUserProxySettings {
  bool AutoDetect = false;
  std::wstring AutoConfigUrl;  // a PAC script's address
  std::wstring Proxy;          // "host:port", or "http=host:port;https=host:port"
  std::wstring Bypass;         // "<local>;*.example.com"
};

// What the PAC script or automatic detection said for the address, when asked.
struct TAutoProxyAnswer {
  bool Answered = false;  // false: no script found, or it failed
  std::wstring Proxy;     // empty: go direct
  std::wstring Bypass;
};

enum class ProxyKind {
  Default,  // leave the request as WinHTTP made it
  Direct,   // no proxy, whatever the machine-wide setting
  Named,    // Proxy and Bypass
};

struct TProxyChoice {
  ProxyKind Kind = ProxyKind::Default;
  std::wstring Proxy;
  std::wstring Bypass;
  bool operator==(const TProxyChoice&) const = default;
};

// Whether a PAC script or automatic detection must be asked first.
inline bool NeedsAutoProxy(const TUserProxySettings& s) { return s.AutoDetect || !s.AutoConfigUrl.empty(); }

// As browsers do: the automatic answer where there is one, else the proxy server set by hand;
// with nothing set, nothing changes.
TProxyChoice ChooseProxy(const TUserProxySettings& Settings, const TAutoProxyAnswer& Auto);

// Windows 7 and 8.0 (6.1, 6.2) leave TLS 1.1 and 1.2 off in WinHTTP unless asked for; later
// systems have them on, and asking there would only narrow what they offer (TLS 1.3). Vista's
// WinHTTP knows neither.
inline bool NeedsModernTlsSwitch(unsigned Major, unsigned Minor) { return Major == 6 && (Minor == 1 || Minor == 2); }

}  // namespace Vel::Update
