#include "update/proxy.h"

namespace Vel::Update {

namespace {
bool Blank(const std::wstring& s) { return s.find_first_not_of(L" \t") == std::wstring::npos; }
}  // namespace

TProxyChoice ChooseProxy(const TUserProxySettings& Settings, const TAutoProxyAnswer& Auto) {
  if (NeedsAutoProxy(Settings) && Auto.Answered) {
    if (Blank(Auto.Proxy)) return {ProxyKind::Direct, L"", L""};
    return {ProxyKind::Named, Auto.Proxy, Auto.Bypass};
  }
  if (!Blank(Settings.Proxy)) return {ProxyKind::Named, Settings.Proxy, Settings.Bypass};
  return {};
}

}  // namespace Vel::Update
