#include <windows.h>
#include <winhttp.h>

#include <random>

#include "config/config.h"
#include "platform/threads.h"
#include "ui/win32/win32_ui.h"
#include "update/proxy.h"
#include "update/update_win32.h"
#include "update/version.h"

namespace Vel::Update {
namespace {

// winhttp.dll is not a KnownDLL: importing it would let a copy beside the exe load instead.
// It and the TLS stack it brings cost some 4 MiB, so each user of the API holds it only as long
// as that user lives: it goes once the update check is over. A check still running at exit
// keeps its own hold.
struct WinHttpFunctions {
  decltype(&::WinHttpCrackUrl) CrackUrl = nullptr;
  decltype(&::WinHttpOpen) Open = nullptr;
  decltype(&::WinHttpSetTimeouts) SetTimeouts = nullptr;
  decltype(&::WinHttpConnect) Connect = nullptr;
  decltype(&::WinHttpOpenRequest) OpenRequest = nullptr;
  decltype(&::WinHttpAddRequestHeaders) AddRequestHeaders = nullptr;
  decltype(&::WinHttpSendRequest) SendRequest = nullptr;
  decltype(&::WinHttpReceiveResponse) ReceiveResponse = nullptr;
  decltype(&::WinHttpReadData) ReadData = nullptr;
  decltype(&::WinHttpCloseHandle) CloseHandle = nullptr;
  bool loaded = false;
  // Optional: without them the request goes as WinHTTP makes it.
  decltype(&::WinHttpSetOption) SetOption = nullptr;
  decltype(&::WinHttpQueryHeaders) QueryHeaders = nullptr;
  decltype(&::WinHttpGetIEProxyConfigForCurrentUser) GetIEProxyConfigForCurrentUser = nullptr;
  decltype(&::WinHttpGetProxyForUrl) GetProxyForUrl = nullptr;
};

template <class Fn>
void Resolve(HMODULE dll, const char* name, Fn& fn) {
  fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
}

WinHttpFunctions ResolveWinHttp(HMODULE dll) {
  WinHttpFunctions f;
  if (!dll) return f;
  Resolve(dll, "WinHttpCrackUrl", f.CrackUrl);
  Resolve(dll, "WinHttpOpen", f.Open);
  Resolve(dll, "WinHttpSetTimeouts", f.SetTimeouts);
  Resolve(dll, "WinHttpConnect", f.Connect);
  Resolve(dll, "WinHttpOpenRequest", f.OpenRequest);
  Resolve(dll, "WinHttpAddRequestHeaders", f.AddRequestHeaders);
  Resolve(dll, "WinHttpSendRequest", f.SendRequest);
  Resolve(dll, "WinHttpReceiveResponse", f.ReceiveResponse);
  Resolve(dll, "WinHttpReadData", f.ReadData);
  Resolve(dll, "WinHttpCloseHandle", f.CloseHandle);
  Resolve(dll, "WinHttpSetOption", f.SetOption);
  Resolve(dll, "WinHttpQueryHeaders", f.QueryHeaders);
  Resolve(dll, "WinHttpGetIEProxyConfigForCurrentUser", f.GetIEProxyConfigForCurrentUser);
  Resolve(dll, "WinHttpGetProxyForUrl", f.GetProxyForUrl);
  f.loaded = f.CrackUrl && f.Open && f.SetTimeouts && f.Connect && f.OpenRequest && f.AddRequestHeaders &&
             f.SendRequest && f.ReceiveResponse && f.ReadData && f.CloseHandle;
  return f;
}

class Handle {
 public:
  Handle(const WinHttpFunctions& f, HINTERNET h) : f_(f), h_(h) {}
  ~Handle() {
    if (h_) f_.CloseHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HINTERNET get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }

 private:
  const WinHttpFunctions& f_;
  HINTERNET h_;
};

// Connecting, sending and receiving end some time. Name resolution keeps the system's own
// limits: a limit of ours makes some WinHTTP implementations resolve on an extra thread per
// request, which an offline start would pay at every attempt.
constexpr int kTimeoutMs = 30000;

// An answer whose connection closed before the length it declared is a failed attempt, not a
// shorter answer. Some HTTP stacks (Wine's) report such an early close as the end of the body.
bool Complete(const WinHttpFunctions& f, HINTERNET request, std::size_t received) {
  DWORD declared = 0, size = sizeof declared;
  if (!f.QueryHeaders || !f.QueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER,
                                         WINHTTP_HEADER_NAME_BY_INDEX, &declared, &size, WINHTTP_NO_HEADER_INDEX))
    return true;  // no length declared (chunked, or to the close): the close is the end
  return received >= declared;
}

BOOL SetOption(const WinHttpFunctions& f, HINTERNET h, DWORD option, void* value, DWORD size) {
  if (auto stand_in = HttpTestSeam().SetOption) return stand_in(h, option, value, size);
  return f.SetOption && f.SetOption(h, option, value, size);
}

// Text WinHTTP allocated, taken over and freed.
std::wstring TakeGlobal(LPWSTR text) {
  std::wstring out = text ? text : L"";
  if (text) GlobalFree(text);
  return out;
}

void SystemVersion(unsigned& major, unsigned& minor) {
  major = HttpTestSeam().Major;
  minor = HttpTestSeam().Minor;
  if (major) return;
  // The real version, whatever the manifest lets GetVersionEx admit.
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  auto get = reinterpret_cast<RtlGetVersionFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
  OSVERSIONINFOW info{sizeof info};
  if (get && get(&info) == 0) major = info.dwMajorVersion, minor = info.dwMinorVersion;
}

// On Windows 7 and 8.0 TLS 1.1 and 1.2 are off until asked for. Refused (an old 7 without the
// update that knows them): the defaults stay.
void EnableModernTls(const WinHttpFunctions& f, HINTERNET session) {
  unsigned major = 0, minor = 0;
  SystemVersion(major, minor);
  if (!NeedsModernTlsSwitch(major, minor)) return;
  DWORD protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_1 |
                    WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
  SetOption(f, session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols);
}

// The user's Internet Options proxy for Url, read afresh for every request. A PAC script or
// automatic detection is asked on a session of its own, bounded by the same time-outs; the
// worker this runs on is never waited for at exit.
TProxyChoice UserProxy(const WinHttpFunctions& f, const std::wstring& agent, const std::wstring& url) {
  if (!f.GetIEProxyConfigForCurrentUser) return {};
  WINHTTP_CURRENT_USER_IE_PROXY_CONFIG ie{};
  if (!f.GetIEProxyConfigForCurrentUser(&ie)) return {};
  TUserProxySettings settings;
  settings.AutoDetect = ie.fAutoDetect;
  settings.AutoConfigUrl = TakeGlobal(ie.lpszAutoConfigUrl);
  settings.Proxy = TakeGlobal(ie.lpszProxy);
  settings.Bypass = TakeGlobal(ie.lpszProxyBypass);
  TAutoProxyAnswer automatic;
  if (NeedsAutoProxy(settings) && f.GetProxyForUrl) {
    WINHTTP_AUTOPROXY_OPTIONS options{};
    if (settings.AutoDetect) {
      options.dwFlags |= WINHTTP_AUTOPROXY_AUTO_DETECT;
      options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    }
    if (!settings.AutoConfigUrl.empty()) {
      options.dwFlags |= WINHTTP_AUTOPROXY_CONFIG_URL;
      options.lpszAutoConfigUrl = settings.AutoConfigUrl.c_str();
    }
    // The user's credentials go to the script's server only when it asks for them.
    options.fAutoLogonIfChallenged = FALSE;
    Handle lookup(f, f.Open(agent.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                            WINHTTP_NO_PROXY_BYPASS, 0));
    WINHTTP_PROXY_INFO info{};
    if (lookup) {
      f.SetTimeouts(lookup.get(), 0, kTimeoutMs, kTimeoutMs, kTimeoutMs);
      BOOL found = f.GetProxyForUrl(lookup.get(), url.c_str(), &options, &info);
      if (!found && GetLastError() == ERROR_WINHTTP_LOGIN_FAILURE) {
        options.fAutoLogonIfChallenged = TRUE;
        found = f.GetProxyForUrl(lookup.get(), url.c_str(), &options, &info);
      }
      if (found) {
        automatic.Answered = true;
        automatic.Proxy = TakeGlobal(info.lpszProxy);
        automatic.Bypass = TakeGlobal(info.lpszProxyBypass);
        if (info.dwAccessType == WINHTTP_ACCESS_TYPE_NO_PROXY) automatic.Proxy.clear();
      }
    }
  }
  return ChooseProxy(settings, automatic);
}

// A session for one request, through the proxy chosen for it. The proxy is given when the
// session opens, not set later: Wine ignores WINHTTP_OPTION_PROXY, and this works everywhere.
HINTERNET OpenSession(const WinHttpFunctions& f, const std::wstring& agent, const TProxyChoice& proxy) {
  HINTERNET session = nullptr;
  if (proxy.Kind == ProxyKind::Named)
    session = f.Open(agent.c_str(), WINHTTP_ACCESS_TYPE_NAMED_PROXY, proxy.Proxy.c_str(),
                     proxy.Bypass.empty() ? WINHTTP_NO_PROXY_BYPASS : proxy.Bypass.c_str(), 0);
  else if (proxy.Kind == ProxyKind::Direct)
    session = f.Open(agent.c_str(), WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
  // Nothing set, or a proxy setting WinHTTP refuses: as WinHTTP would go by itself.
  if (!session)
    session = f.Open(agent.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                     WINHTTP_NO_PROXY_BYPASS, 0);
  return session;
}


class WinHttpApi final : public HttpApi {
 public:
  WinHttpApi() = default;
  ~WinHttpApi() override {
    if (dll_) FreeLibrary(dll_);
  }
  WinHttpApi(const WinHttpApi&) = delete;
  WinHttpApi& operator=(const WinHttpApi&) = delete;

  HttpResult Get(const std::wstring& Url, const std::wstring& UserAgent, const THeaders& Headers,
                 std::size_t MaxBytes, std::string& Body) override {
    // Loaded at the first request, on the worker that makes it, never on the way to the window.
    if (!dll_) f_ = ResolveWinHttp(dll_ = ui::win32::LoadSystemLibrary(L"winhttp.dll"));
    const WinHttpFunctions& f = f_;
    Body.clear();
    if (!f.loaded || Url.empty()) return HttpResult::Failed;
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwSchemeLength = parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = DWORD(-1);
    if (!f.CrackUrl(Url.c_str(), DWORD(Url.size()), 0, &parts)) return HttpResult::Failed;
    if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) return HttpResult::Failed;
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring path(parts.lpszUrlPath ? parts.lpszUrlPath : L"", parts.dwUrlPathLength);
    if (parts.lpszExtraInfo) path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (path.empty()) path = L"/";

    Handle session(f, OpenSession(f, UserAgent, UserProxy(f, UserAgent, Url)));
    if (!session) return HttpResult::Failed;
    f.SetTimeouts(session.get(), 0, kTimeoutMs, kTimeoutMs, kTimeoutMs);
    EnableModernTls(f, session.get());
    Handle connection(f, f.Connect(session.get(), host.c_str(), parts.nPort, 0));
    if (!connection) return HttpResult::Failed;
    Handle request(f, f.OpenRequest(connection.get(), L"GET", path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                 WINHTTP_DEFAULT_ACCEPT_TYPES,
                                 parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0));
    if (!request) return HttpResult::Failed;
    for (const auto& [name, value] : Headers) {
      const std::wstring line = name + L": " + value;
      // A header the stack refuses is left out; the check itself still goes.
      f.AddRequestHeaders(request.get(), line.c_str(), DWORD(line.size()), WINHTTP_ADDREQ_FLAG_ADD);
    }
    if (!f.SendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !f.ReceiveResponse(request.get(), nullptr))
      return HttpResult::Failed;
    char buffer[8192];
    for (;;) {
      DWORD got = 0;
      if (!f.ReadData(request.get(), buffer, sizeof buffer, &got)) return HttpResult::Failed;
      if (got == 0) {
        if (Complete(f, request.get(), Body.size())) return HttpResult::Answered;
        Body.clear();
        return HttpResult::Failed;
      }
      if (got > MaxBytes - Body.size()) {
        Body.clear();
        return HttpResult::TooLarge;
      }
      Body.append(buffer, got);
    }
  }

 private:
  // One user, one thread at a time: a check's attempts, or a hold request.
  HMODULE dll_ = nullptr;
  WinHttpFunctions f_;
};

class Win32IdentifierSource final : public IdentifierSource {
 public:
  Win32IdentifierSource() {
    LARGE_INTEGER counter{};
    const std::uint64_t ticks =
        QueryPerformanceCounter(&counter) ? std::uint64_t(counter.QuadPart) : GetTickCount64();
    std::seed_seq seed{std::uint32_t(ticks), std::uint32_t(ticks >> 32), std::uint32_t(GetCurrentProcessId())};
    generator_.seed(seed);
  }
  std::uint32_t Random(std::uint32_t Below) override {
    platform::LockGuard lock(mutex_);
    return std::uniform_int_distribution<std::uint32_t>(0, Below - 1)(generator_);
  }
  TLocalTime Now() override {
    SYSTEMTIME st;
    GetLocalTime(&st);
    return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
  }

 private:
  platform::Mutex mutex_;
  std::mt19937 generator_;
};

std::wstring OwnVersion() { return GetVersionText(L"%d.%d.%d.%d"); }

}  // namespace

std::shared_ptr<HttpApi> SystemHttpApi() { return std::make_shared<WinHttpApi>(); }

HttpSeam& HttpTestSeam() {
  static HttpSeam seam;
  return seam;
}

IdentifierSource& SystemIdentifierSource() {
  static Win32IdentifierSource source;
  return source;
}

std::wstring GetInstallationID() {
  return GetInstallationID(Config::SystemRegistryApi(), SystemIdentifierSource());
}

std::wstring UserLanguage() {
  const LCID locale = GetUserDefaultLCID();
  const int size = GetLocaleInfoW(locale, LOCALE_SISO639LANGNAME, nullptr, 0);
  if (size < 1) return L"en";
  std::wstring name(std::size_t(size), L'\0');
  if (GetLocaleInfoW(locale, LOCALE_SISO639LANGNAME, name.data(), size) < 1) return L"en";
  name.resize(wcslen(name.c_str()));
  return name.substr(0, 2);
}

void CheckUpdate(ui::Application& App, const std::wstring& AURL, TUpdateProc AProc, int AOffset,
                 const TCheckOptions& Options) {
  TCheckContext context;
  context.Http = SystemHttpApi();
  context.Clock = SignalPauseClock();
  const std::wstring language = Options.Language.empty() ? UserLanguage() : Options.Language;
  context.Headers = [language, debug = Options.Debug] {
    return CheckHeaders(OwnVersion(), language, debug, GetInstallationID());
  };
  context.Prompt = Options.Prompt;
  context.ShellOpen = [](const std::wstring& address) { return ShellOpen(address); };
  context.Queue = App.Queue();
  context.Stop = App.TerminatedFlag();
  CheckUpdate(context, AURL, std::move(AProc), AOffset);
}

void StartHoldRequest() {
  ui::StartWorker([url = UpdateURL()] { SendHoldRequest(*SystemHttpApi(), url, OwnVersion()); });
}

}  // namespace Vel::Update
