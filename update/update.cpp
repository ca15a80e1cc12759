#include "update/update.h"

#include <algorithm>

#include "platform/threads.h"

#include "update/strings.h"
#include "update/version.h"

namespace Vel::Update {

using Strings::ExtractBetween;
using Strings::JsonUnescape;

namespace {

platform::Mutex gProcessMutex;
std::wstring gUpdateURL;
int gUpdateOffset = 0;

// Control characters in a header would let a stored value start a header of its own.
std::wstring HeaderSafe(const std::wstring& text) {
  std::wstring out;
  for (wchar_t c : text)
    if (c >= 0x20 && c != 0x7F) out.push_back(c);
  return out;
}

class SignalClock final : public PauseClock {
 public:
  bool Pause(std::int64_t Ms, const ui::StopSignal& Stop) override { return !Stop.WaitFor(Ms); }
};

class Decline final : public UpdatePrompt {
 public:
  bool UpdateDialog(const std::wstring&, const TUpdateAnswer&) override { return false; }
  void ShowUpdateStatus(const std::wstring&) override {}
};

std::wstring Hex(std::uint32_t value, int digits) {
  static constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
  std::wstring out(std::size_t(digits), L'0');
  for (int i = digits - 1; i >= 0; --i, value >>= 4) out[std::size_t(i)] = kDigits[value & 0xF];
  return out;
}

std::wstring Two(int n) {
  n = ((n % 100) + 100) % 100;
  return {wchar_t(L'0' + n / 10), wchar_t(L'0' + n % 10)};
}

// The hand-over of a check whose caller waits on the main thread: the caller itself runs the
// handler, so no message loop is needed.
class WaitingCaller {
 public:
  // Worker: runs proc on the caller's thread and returns when it has run.
  void Run(std::function<void()> proc) {
    platform::UniqueLock lock(mutex_);
    pending_ = std::move(proc);
    cv_.NotifyAll();
    cv_.Wait(lock, [&] { return !pending_; });
  }
  void Finished() {
    platform::LockGuard lock(mutex_);
    finished_ = true;
    cv_.NotifyAll();
  }
  // Caller: serves hand-overs until the worker is done.
  void Serve() {
    platform::UniqueLock lock(mutex_);
    for (;;) {
      cv_.Wait(lock, [&] { return bool(pending_) || finished_; });
      if (!pending_) return;
      auto proc = std::move(pending_);
      lock.unlock();
      try {
        proc();
      } catch (...) {
      }
      lock.lock();
      pending_ = nullptr;
      cv_.NotifyAll();
    }
  }

 private:
  platform::Mutex mutex_;
  platform::CondVar cv_;
  std::function<void()> pending_;
  bool finished_ = false;
};

void RunCheck(const TCheckContext& ctx, const std::wstring& url, const TUpdateProc& proc,
              const std::function<void(std::function<void()>)>& handOver) {
  static const ui::StopSignal kNeverStop;
  const THeaders headers = ctx.Headers ? ctx.Headers() : THeaders{};
  auto response = FetchResponse(*ctx.Http, *ctx.Clock, ctx.Stop ? *ctx.Stop : kNeverStop, url, headers);
  if (!response) return;
  auto prompt = ctx.Prompt ? ctx.Prompt : DeclinePrompt();
  handOver([text = std::move(*response), prompt, open = ctx.ShellOpen, proc] {
    HandleResponse(text, *prompt, open, proc);
  });
}

}  // namespace

bool RequestText(HttpApi& Http, const std::wstring& Url, const THeaders& Headers, std::wstring& Text) {
  try {
    THeaders safe;
    for (const auto& [name, value] : Headers) safe.emplace_back(HeaderSafe(name), HeaderSafe(value));
    std::string body;
    switch (Http.Get(Url, kUserAgent, safe, kMaxResponseBytes, body)) {
      case HttpResult::Answered:
        // A body longer than asked for is as suspect as one that said so.
        Text = body.size() <= kMaxResponseBytes ? Strings::DecodeUtf8(body) : std::wstring();
        return true;
      case HttpResult::TooLarge:
        Text.clear();
        return true;
      case HttpResult::Failed:
        return false;
    }
  } catch (...) {
  }
  return false;
}

THeaders CheckHeaders(const std::wstring& Version, const std::wstring& Language, bool Debug,
                      const std::wstring& InstallationID) {
  return {{L"User-Version", Version},
          {L"User-Language", Language},
          {L"User-Debug", Debug ? L"true" : L"false"},
          {L"User-Union", InstallationID}};
}

THeaders HoldHeaders(const std::wstring& Version) {
  return {{L"User-Version", Version}, {L"User-Command", L"hold"}};
}

void SendHoldRequest(HttpApi& Http, const std::wstring& Url, const std::wstring& Version) {
  std::wstring ignored;
  RequestText(Http, Url, HoldHeaders(Version), ignored);
}

TUpdateAnswer ParseAnswer(const std::wstring& Response) {
  const std::wstring info = ExtractBetween(Response, L"\"info\":{", L"}");
  const auto field = [](const std::wstring& source, const wchar_t* key) {
    return JsonUnescape(ExtractBetween(source, L"\"" + std::wstring(key) + L"\":\"", L"\""));
  };
  auto update = field(Response, L"update"), notify = field(Response, L"notify");
  auto style = field(info, L"style"), text = field(info, L"text"), flag = field(info, L"flag"),
       url = field(info, L"url");
  // A broken answer must not half-show: no prompt, no bar, but the check still ends normally.
  if (!update || !notify || !style || !text || !flag || !url) return {};
  return {std::move(*update), std::move(*notify), {std::move(*style), std::move(*text), std::move(*flag), std::move(*url)}};
}

std::shared_ptr<PauseClock> SignalPauseClock() { return std::make_shared<SignalClock>(); }

std::shared_ptr<UpdatePrompt> DeclinePrompt() {
  static const auto prompt = std::make_shared<Decline>();
  return prompt;
}

std::wstring NewInstallationID(IdentifierSource& Source) {
  std::wstring id = Hex(Source.Random(2147483647u), 8);
  const TLocalTime date = Source.Now();
  id += Two(date.Year) + Two(date.Month) + Two(date.Day);
  id += Hex(Source.Random(65535u), 4);
  const TLocalTime time = Source.Now();
  id += Two(time.Hour) + Two(time.Minute) + Two(time.Second);
  id += Hex(Source.Random(2147483647u), 8);
  return id;
}

std::wstring GetInstallationID(Config::RegistryApi& Registry, IdentifierSource& Source, const std::wstring& Path) {
  try {
    Config::TConfig config(Path, Registry);
    if (!config.ValueExists(kInstallationValue)) config.WriteString(kInstallationValue, NewInstallationID(Source));
    return config.ReadString(kInstallationValue, L"");
  } catch (...) {
    return L"";
  }
}

std::optional<std::wstring> FetchResponse(HttpApi& Http, PauseClock& Clock, const ui::StopSignal& Stop,
                                          const std::wstring& Url, const THeaders& Headers) {
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    std::wstring text;
    if (RequestText(Http, Url, Headers, text)) return text;
    if (Stop.Raised() || !Clock.Pause(kPauseMs, Stop)) return std::nullopt;
  }
  return std::wstring();
}

void HandleResponse(const std::wstring& Response, UpdatePrompt& Prompt, const TShellOpen& ShellOpen,
                    const TUpdateProc& AProc) {
  const TUpdateAnswer answer = ParseAnswer(Response);
  bool accepted = false;
  // Only a web address can be opened, so only such an offer is worth asking about; and the
  // program quits on acceptance, so it counts only once the browser really took the address.
  if (IsWebAddress(answer.Update) && Prompt.UpdateDialog(Response, answer))
    accepted = ShellOpen && ShellOpen(answer.Update);
  if (IsWebAddress(answer.Notify)) Prompt.ShowUpdateStatus(answer.Notify);
  if (AProc) AProc(accepted, Response);
}

void CheckUpdate(const TCheckContext& Context, const std::wstring& AURL, TUpdateProc AProc, int AOffset) {
  {
    platform::LockGuard lock(gProcessMutex);
    gUpdateURL = AURL;
    gUpdateOffset = AOffset;
  }
  auto queue = Context.Queue;
  if (AProc) {
    const bool started = ui::StartWorker([ctx = Context, url = AURL, proc = AProc, queue] {
      RunCheck(ctx, url, proc, [&](std::function<void()> handler) { queue->Synchronize(std::move(handler)); });
    });
    // The caller relies on one callback per check, even without a worker.
    if (!started) queue->Queue([proc = std::move(AProc)] { proc(false, L""); });
    return;
  }
  auto caller = std::make_shared<WaitingCaller>();
  const bool served = queue && queue->IsMainThread();
  try {
    platform::Thread worker;
    if (!worker.Start([ctx = Context, url = AURL, caller, served, queue] {
      try {
        RunCheck(ctx, url, nullptr, [&](std::function<void()> handler) {
          if (served) caller->Run(std::move(handler));
          else if (queue) queue->Synchronize(std::move(handler));
        });
      } catch (...) {
      }
      caller->Finished();
    }))
      return;
    if (served) caller->Serve();
    worker.Join();
  } catch (...) {
    // No thread: there is nothing to wait for and no one to tell.
  }
}

std::wstring UpdateURL() {
  platform::LockGuard lock(gProcessMutex);
  return gUpdateURL;
}

int UpdateOffset() {
  platform::LockGuard lock(gProcessMutex);
  return gUpdateOffset;
}

}  // namespace Vel::Update
