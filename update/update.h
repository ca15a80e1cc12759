// Vel.Update: the start-up exchange with the maker's update service and the installation
// identifier it sends. The prompt and the notice bar are reached through UpdatePrompt.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "config/config.h"
#include "ui/application.h"

namespace Vel::Update {

using TUpdateProc = std::function<void(bool Accepted, const std::wstring& Response)>;
using THeaders = std::vector<std::pair<std::wstring, std::wstring>>;

inline constexpr wchar_t kUserAgent[] = L"Mozilla/5.0 (Windows NT 10.0; Win64; x64)";
// The service answers with a few hundred bytes; a body beyond this is not its answer.
inline constexpr std::size_t kMaxResponseBytes = 64 * 1024;
inline constexpr int kAttempts = 6;
inline constexpr std::int64_t kPauseMs = 10000;

enum class HttpResult { Failed, Answered, TooLarge };

// What the check needs of HTTP.
class HttpApi {
 public:
  virtual ~HttpApi() = default;
  // One GET of Url with the user agent and the extra headers in their order. Answered, with the
  // body in Body, for any answer whatever its status; TooLarge once the body passes MaxBytes.
  virtual HttpResult Get(const std::wstring& Url, const std::wstring& UserAgent, const THeaders& Headers,
                         std::size_t MaxBytes, std::string& Body) = 0;
};

// One GET to Url. True when an answer arrived, Text then holding its body decoded from UTF-8
// (empty for an oversized body); false on any failure, Text left as it was.
bool RequestText(HttpApi& Http, const std::wstring& Url, const THeaders& Headers, std::wstring& Text);

THeaders CheckHeaders(const std::wstring& Version, const std::wstring& Language, bool Debug,
                      const std::wstring& InstallationID);
THeaders HoldHeaders(const std::wstring& Version);
// Tells the service to hold back its offer; the answer and any failure are ignored.
void SendHoldRequest(HttpApi& Http, const std::wstring& Url, const std::wstring& Version);

// The members of the service's answer. Any member with a malformed escape makes the whole
// answer read as empty.
struct TUpdateInfo {
  std::wstring Style, Text, Flag, Url;
};
struct TUpdateAnswer {
  std::wstring Update, Notify;
  TUpdateInfo Info;
};
TUpdateAnswer ParseAnswer(const std::wstring& Response);

// What the user sees of an answer; runs on the main thread.
class UpdatePrompt {
 public:
  virtual ~UpdatePrompt() = default;
  // Offers the update at Answer.Update; true when the user chose to download it.
  virtual bool UpdateDialog(const std::wstring& Response, const TUpdateAnswer& Answer) = 0;
  virtual void ShowUpdateStatus(const std::wstring& Address) = 0;
};
// Shows nothing and accepts nothing.
std::shared_ptr<UpdatePrompt> DeclinePrompt();

// Sources of the installation identifier.
struct TLocalTime {
  int Year, Month, Day, Hour, Minute, Second;
};
class IdentifierSource {
 public:
  virtual ~IdentifierSource() = default;
  // Uniform in [0, Below).
  virtual std::uint32_t Random(std::uint32_t Below) = 0;
  virtual TLocalTime Now() = 0;
};

// 32 characters: 8 hex, yymmdd, 4 hex, hhnnss, 8 hex.
std::wstring NewInstallationID(IdentifierSource& Source);
inline constexpr wchar_t kMakerPath[] = L"Vantorel";  // below HKCU\Software
inline constexpr wchar_t kInstallationValue[] = L"VelUID";
// The stored identifier, made and stored on first use; empty when the registry cannot be used
// or holds a value of another type, which is left alone.
std::wstring GetInstallationID(Config::RegistryApi& Registry, IdentifierSource& Source,
                               const std::wstring& Path = kMakerPath);

// The pause between attempts.
class PauseClock {
 public:
  virtual ~PauseClock() = default;
  // Sleeps Ms milliseconds, or until Stop is raised; false when it was.
  virtual bool Pause(std::int64_t Ms, const ui::StopSignal& Stop) = 0;
};

// Sleeps on the stop signal itself, so an offline start costs nothing while it waits to retry.
std::shared_ptr<PauseClock> SignalPauseClock();

// Up to six attempts with a pause after each failure. The response, empty when every attempt
// failed; nothing when Stop was raised before or during a pause.
std::optional<std::wstring> FetchResponse(HttpApi& Http, PauseClock& Clock, const ui::StopSignal& Stop,
                                          const std::wstring& Url, const THeaders& Headers);

using TShellOpen = std::function<bool(const std::wstring& Address)>;

// Main thread: prompt, notice bar, then the callback.
void HandleResponse(const std::wstring& Response, UpdatePrompt& Prompt, const TShellOpen& ShellOpen,
                    const TUpdateProc& AProc);

// Everything one check uses. Its worker may outlive the caller, so it holds what it needs.
struct TCheckContext {
  std::shared_ptr<HttpApi> Http;
  std::shared_ptr<PauseClock> Clock;
  // Built on the worker: the identifier may be made and stored there.
  std::function<THeaders()> Headers;
  std::shared_ptr<UpdatePrompt> Prompt;
  TShellOpen ShellOpen;
  std::shared_ptr<ui::MainThreadQueue> Queue;
  std::shared_ptr<const ui::StopSignal> Stop;
};

// Starts the check on a worker. With a callback it returns at once; without one it returns
// when the worker has ended, running the response handler on the calling thread if that is the
// main thread.
void CheckUpdate(const TCheckContext& Context, const std::wstring& AURL, TUpdateProc AProc, int AOffset);

// Set by the latest CheckUpdate: the service address (also for the hold request) and the
// prompt's strip offset.
std::wstring UpdateURL();
int UpdateOffset();

}  // namespace Vel::Update
