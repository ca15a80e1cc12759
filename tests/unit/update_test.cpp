#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <regex>
#include <thread>

#include "config/config.h"
#include "update/proxy.h"
#include "update/strings.h"
#include "update/update.h"
#include "update/version.h"

using namespace Vel::Update;
using Vel::Strings::DecodeUtf8;
using Vel::Strings::ExtractBetween;
using Vel::Strings::JsonUnescape;

namespace {

std::string Narrow(const std::wstring& w) {
  std::string s;
  for (wchar_t c : w) s += c < 0x80 ? char(c) : '?';
  return s;
}

// --- scanner ---------------------------------------------------------------------------------

TEST(UpdateScanner, ExtractBetweenFindsValuesAsTheServiceWritesThem) {
  struct Case {
    const wchar_t* source;
    const wchar_t* start;
    const wchar_t* end;
    const wchar_t* expected;
  } const cases[] = {
      {LR"({"update":"https://x/a"})", LR"("update":")", L"\"", L"https://x/a"},
      {LR"({"UPDATE":"Mixed Case"})", LR"("update":")", L"\"", L"Mixed Case"},
      {LR"({"Update":"v"})", LR"("uPDATE":")", L"\"", L"v"},
      {LR"({"update": "spaced"})", LR"("update":")", L"\"", L""},
      {LR"({"update":"first","update":"second"})", LR"("update":")", L"\"", L"first"},
      {LR"({"update":"say \"hi\" now"})", LR"("update":")", L"\"", LR"(say \"hi\" now)"},
      // An escaped backslash does not escape the closing quote.
      {LR"({"update":"a\\","notify":"n"})", LR"("update":")", L"\"", LR"(a\\)"},
      {LR"({"update":"a\\\"b"})", LR"("update":")", L"\"", LR"(a\\\"b)"},
      {LR"({"update":"unterminated)", LR"("update":")", L"\"", L""},
      {LR"({"other":"x"})", LR"("update":")", L"\"", L""},
      {LR"({"info":{"text":"a}b","url":"u"}})", LR"("info":{)", L"}", LR"("text":"a)"},
      {L"abc", L"", L"c", L"ab"},
      {L"abc", L"a", L"", L"bc"},
      {L"", L"", L"", L""},
      // Only ASCII letters fold: positions stay those of the source.
      {L"\u00e9KEY=v;", L"key=", L";", L"v"},
      {L"\u00c9=x;", L"\u00e9=", L";", L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.source));
    EXPECT_EQ(ExtractBetween(c.source, c.start, c.end), c.expected);
  }
}

TEST(UpdateScanner, JsonUnescapeDecodesEveryEscape) {
  struct Case {
    const wchar_t* text;
    std::optional<std::wstring> expected;
  } const cases[] = {
      {L"plain", L"plain"},
      {LR"(\"\'\/\\)", LR"("'/\)"},
      {LR"(\b\f\n\r\t)", L"\b\f\n\r\t"},
      {LR"(a\xb\N\qc)", L"abc"},
      {L"end\\", L"end"},
      {LR"(caf\u00e9 \u00C9)", L"caf\u00e9 \u00c9"},
      {LR"(\uD83D\uDE00!)", L"\U0001F600!"},
      {LR"(\u0041BC)", L"ABC"},
      {LR"(x\u41)", L"xA"},
      {LR"(\u12G4)", std::nullopt},
      {LR"(tail\u)", std::nullopt},
      {LR"(\u-123)", std::nullopt},
      {LR"(\u 123)", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.text));
    EXPECT_EQ(JsonUnescape(c.text), c.expected);
  }
}

TEST(UpdateScanner, DecodeUtf8ReplacesEveryMalformedSequence) {
  struct Case {
    std::string bytes;
    std::wstring expected;
  } const cases[] = {
      {"ascii", L"ascii"},
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", L"caf\u00e9 \u20ac \U0001F600"},
      {"a\xFF" "b", L"a\uFFFDb"},
      {"\xC0\xAF", L"\uFFFD\uFFFD"},                // overlong '/'
      {"\xE0\x80\xAF" "x", L"\uFFFDx"},             // overlong three-byte form
      {"\xED\xA0\x80", L"\uFFFD"},                  // encoded surrogate
      {"\xF4\x90\x80\x80", L"\uFFFD"},              // beyond U+10FFFF
      {"\xE2\x82" "z", L"\uFFFDz"},                 // cut short, next byte kept
      {"end\xF0\x9F", L"end\uFFFD"},
      {std::string("nul\0in", 6), std::wstring(L"nul\0in", 6)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    EXPECT_EQ(DecodeUtf8(c.bytes), c.expected);
  }
}

TEST(UpdateAnswer, ReadsTheSevenMembersInAnyOrder) {
  const TUpdateAnswer a = ParseAnswer(
      LR"({"version":"2.0","info":{"url":"https:\/\/x\/note","flag":"stayontop big","text":"Don\u0027t ask","style":"hold"},)"
      LR"("notify":"https://x/n","update":"https://x/d?a=1&b=\"2\""})");
  EXPECT_EQ(a.Update, LR"(https://x/d?a=1&b="2")");
  EXPECT_EQ(a.Notify, L"https://x/n");
  EXPECT_EQ(a.Info.Style, L"hold");
  EXPECT_EQ(a.Info.Text, L"Don't ask");
  EXPECT_EQ(a.Info.Flag, L"stayontop big");
  EXPECT_EQ(a.Info.Url, L"https://x/note");
}

TEST(UpdateAnswer, MissingBrokenOrMalformedMembersReadEmpty) {
  struct Case {
    const wchar_t* response;
    TUpdateAnswer expected;
  } const cases[] = {
      {L"", {}},
      {L"<html>404 Not Found</html>", {}},
      {LR"({"notify":"https://x/n"})", {L"", L"https://x/n", {}}},
      {LR"({"update": "https://x/d"})", {}},
      // A brace inside a text ends the object there.
      {LR"({"update":"https://x/d","info":{"style":"note","text":"a } b","url":"u"}})", {L"https://x/d", L"", {L"note", L"", L"", L""}}},
      {LR"({"info":{"style":"hold"},"style":"note"})", {L"", L"", {L"hold", L"", L"", L""}}},
      // One member with a broken escape spoils the whole answer.
      {LR"({"update":"https://x/d","notify":"https://x/n\u00zz"})", {}},
      {LR"({"update":"https://x/d","info":{"text":"bad\u"}})", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.response));
    const TUpdateAnswer a = ParseAnswer(c.response);
    EXPECT_EQ(a.Update, c.expected.Update);
    EXPECT_EQ(a.Notify, c.expected.Notify);
    EXPECT_EQ(a.Info.Style, c.expected.Info.Style);
    EXPECT_EQ(a.Info.Text, c.expected.Info.Text);
    EXPECT_EQ(a.Info.Flag, c.expected.Info.Flag);
    EXPECT_EQ(a.Info.Url, c.expected.Info.Url);
  }
}

// --- requests --------------------------------------------------------------------------------

struct Call {
  std::wstring url, agent;
  THeaders headers;
  std::size_t maxBytes = 0;
  std::thread::id thread;
};

// Plays back scripted results and records every call.
class FakeHttp : public HttpApi {
 public:
  struct Reply {
    HttpResult result;
    std::string body;
  };
  std::vector<Reply> replies;  // the last one repeats
  bool throws = false;

  HttpResult Get(const std::wstring& Url, const std::wstring& UserAgent, const THeaders& Headers,
                 std::size_t MaxBytes, std::string& Body) override {
    std::lock_guard lock(mutex_);
    calls_.push_back({Url, UserAgent, Headers, MaxBytes, std::this_thread::get_id()});
    if (throws) throw std::runtime_error("network");
    const Reply& r = replies.at(std::min(calls_.size(), replies.size()) - 1);
    Body = r.body;
    return r.result;
  }
  std::vector<Call> Calls() {
    std::lock_guard lock(mutex_);
    return calls_;
  }

 private:
  std::mutex mutex_;
  std::vector<Call> calls_;
};

TEST(UpdateRequest, SendsAgentAndHeadersInOrderWithTheBound) {
  FakeHttp http;
  http.replies = {{HttpResult::Answered, "{\"update\":\"caf\xC3\xA9\"}"}};
  std::wstring text = L"old";
  ASSERT_TRUE(RequestText(http, L"https://h/api.init.php",
                          CheckHeaders(L"1.9.5.0", L"ko", false, L"0A1B2C3D2601019F3A0102030BADCAFE"), text));
  EXPECT_EQ(text, L"{\"update\":\"caf\u00e9\"}");
  const auto calls = http.Calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].url, L"https://h/api.init.php");
  EXPECT_EQ(calls[0].agent, L"Mozilla/5.0 (Windows NT 10.0; Win64; x64)");
  EXPECT_EQ(calls[0].maxBytes, kMaxResponseBytes);
  const THeaders expected = {{L"User-Version", L"1.9.5.0"},
                             {L"User-Language", L"ko"},
                             {L"User-Debug", L"false"},
                             {L"User-Union", L"0A1B2C3D2601019F3A0102030BADCAFE"}};
  EXPECT_EQ(calls[0].headers, expected);
  EXPECT_EQ(CheckHeaders(L"0.0.0.0", L"en", true, L"")[2], (std::pair<std::wstring, std::wstring>{L"User-Debug", L"true"}));
}

TEST(UpdateRequest, OutcomesOfTheExchange) {
  struct Case {
    const char* name;
    FakeHttp::Reply reply;
    bool throws;
    bool ok;
    std::wstring text;  // "old" when untouched
  } const cases[] = {
      {"answered", {HttpResult::Answered, "body"}, false, true, L"body"},
      {"error status body", {HttpResult::Answered, "<h1>404</h1>"}, false, true, L"<h1>404</h1>"},
      {"empty body", {HttpResult::Answered, ""}, false, true, L""},
      {"failed", {HttpResult::Failed, "partial"}, false, false, L"old"},
      {"thrown", {HttpResult::Answered, "x"}, true, false, L"old"},
      {"too large", {HttpResult::TooLarge, "{\"update\":\"https://x\"}"}, false, true, L""},
      {"over the bound anyway", {HttpResult::Answered, std::string(kMaxResponseBytes + 1, 'a')}, false, true, L""},
      {"at the bound", {HttpResult::Answered, std::string(kMaxResponseBytes, 'a')}, false, true,
       std::wstring(kMaxResponseBytes, L'a')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeHttp http;
    http.replies = {c.reply};
    http.throws = c.throws;
    std::wstring text = L"old";
    EXPECT_EQ(RequestText(http, L"https://h/", {}, text), c.ok);
    EXPECT_EQ(text, c.text);
  }
}

TEST(UpdateRequest, StoredTextCannotAddHeadersOfItsOwn) {
  FakeHttp http;
  http.replies = {{HttpResult::Answered, ""}};
  std::wstring text;
  RequestText(http, L"https://h/", CheckHeaders(L"1.9.5.0", L"k\ro", false, L"ID\r\nX-Evil: 1\t\x7f\u00e9"), text);
  const THeaders sent = http.Calls().at(0).headers;
  ASSERT_EQ(sent.size(), 4u);
  EXPECT_EQ(sent[1].second, L"ko");
  EXPECT_EQ(sent[3].second, L"IDX-Evil: 1\u00e9");
}

TEST(UpdateRequest, HoldRequestCarriesVersionAndCommandOnly) {
  FakeHttp http;
  http.replies = {{HttpResult::Failed, ""}};
  SendHoldRequest(http, L"https://h/api.init.php", L"1.9.5.0");
  const auto calls = http.Calls();
  ASSERT_EQ(calls.size(), 1u);  // a failure is not retried
  EXPECT_EQ(calls[0].url, L"https://h/api.init.php");
  EXPECT_EQ(calls[0].agent, L"Mozilla/5.0 (Windows NT 10.0; Win64; x64)");
  EXPECT_EQ(calls[0].headers, (THeaders{{L"User-Version", L"1.9.5.0"}, {L"User-Command", L"hold"}}));
}

// --- attempts and pauses ---------------------------------------------------------------------

// Time passes only in pauses; can raise the stop signal at a given moment.
class FakeClock : public PauseClock {
 public:
  ui::StopSignal* stop = nullptr;
  std::int64_t stopAt = -1;
  std::int64_t now = 0;
  std::vector<std::int64_t> pauses;
  bool Pause(std::int64_t ms, const ui::StopSignal& signal) override {
    pauses.push_back(ms);
    if (stop && stopAt >= 0 && stopAt <= now + ms) {
      now = std::max(now, stopAt);
      stop->Raise();
    } else {
      now += ms;
    }
    return !signal.Raised();
  }
};

TEST(UpdateAttempts, RetriesWithTenSecondPausesUpToSixTimes) {
  using R = HttpResult;
  struct Case {
    const char* name;
    std::vector<FakeHttp::Reply> replies;
    std::size_t calls;
    std::int64_t pausedMs;
    std::wstring response;
  } const cases[] = {
      {"first answer", {{R::Answered, "a"}}, 1, 0, L"a"},
      {"an error page is an answer", {{R::Answered, "404"}}, 1, 0, L"404"},
      {"third answer", {{R::Failed, ""}, {R::Failed, ""}, {R::Answered, "c"}}, 3, 20000, L"c"},
      {"sixth answer", {{R::Failed, ""}, {R::Failed, ""}, {R::Failed, ""}, {R::Failed, ""}, {R::Failed, ""}, {R::Answered, "f"}},
       6, 50000, L"f"},
      {"never", {{R::Failed, ""}}, 6, 60000, L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeHttp http;
    http.replies = c.replies;
    FakeClock clock;
    ui::StopSignal stop;
    EXPECT_EQ(FetchResponse(http, clock, stop, L"https://h/", {}), c.response);
    EXPECT_EQ(http.Calls().size(), c.calls);
    EXPECT_EQ(clock.now, c.pausedMs);
    // One sleep per pause, not a poll.
    EXPECT_EQ(clock.pauses, std::vector<std::int64_t>(std::size_t(c.pausedMs / 10000), 10000));
  }
}

TEST(UpdateAttempts, AStopRequestEndsAPauseAtOnce) {
  FakeHttp http;
  http.replies = {{HttpResult::Failed, ""}};
  FakeClock clock;
  ui::StopSignal stop;
  clock.stop = &stop;
  clock.stopAt = 13005;  // during the second pause
  EXPECT_EQ(FetchResponse(http, clock, stop, L"https://h/", {}), std::nullopt);
  EXPECT_EQ(http.Calls().size(), 2u);
  EXPECT_EQ(clock.now, 13005);
}

TEST(UpdateAttempts, TheRealPauseSleepsUntilItsEndOrTheStopSignal) {
  auto clock = SignalPauseClock();
  ui::StopSignal stop;
  using Clock = std::chrono::steady_clock;
  auto t = Clock::now();
  EXPECT_TRUE(clock->Pause(30, stop));
  EXPECT_GE(Clock::now() - t, std::chrono::milliseconds(30));
  // Raised from another thread in the middle of a long pause: the pause ends well within the
  // ten milliseconds a stopping program may be held up.
  std::thread raiser([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    stop.Raise();
  });
  t = Clock::now();
  EXPECT_FALSE(clock->Pause(kPauseMs, stop));
  const auto waited = Clock::now() - t;
  raiser.join();
  EXPECT_LT(waited, std::chrono::milliseconds(50 + 500));  // generous for a loaded sanitizer build
  // Once raised, a pause does not sleep at all.
  t = Clock::now();
  EXPECT_FALSE(clock->Pause(kPauseMs, stop));
  EXPECT_LT(Clock::now() - t, std::chrono::milliseconds(100));
}

// --- response handler ------------------------------------------------------------------------

class FakePrompt : public UpdatePrompt {
 public:
  bool answer = false;
  std::vector<std::wstring> log;
  std::thread::id thread;
  bool UpdateDialog(const std::wstring& Response, const TUpdateAnswer& Answer) override {
    log.push_back(L"dialog " + Answer.Update + L" " + Answer.Info.Style + L" " + std::to_wstring(Response.size()));
    thread = std::this_thread::get_id();
    return answer;
  }
  void ShowUpdateStatus(const std::wstring& Address) override {
    log.push_back(L"status " + Address);
    thread = std::this_thread::get_id();
  }
};

TEST(UpdateHandler, PromptBarAndCallbackInOrder) {
  const std::wstring both = LR"({"update":"https://x/d","notify":"http://x/n","info":{"style":"note"}})";
  struct Case {
    const char* name;
    std::wstring response;
    bool userSaysYes;
    bool shellTakes;
    std::vector<std::wstring> log;
    bool accepted;
  } const cases[] = {
      {"accepted", both, true, true,
       {L"dialog https://x/d note " + std::to_wstring(both.size()), L"open https://x/d", L"status http://x/n"}, true},
      {"declined", both, false, true, {L"dialog https://x/d note " + std::to_wstring(both.size()), L"status http://x/n"}, false},
      {"browser did not start", both, true, false,
       {L"dialog https://x/d note " + std::to_wstring(both.size()), L"open https://x/d", L"status http://x/n"}, false},
      {"notice only", LR"({"notify":"https://x/n"})", true, true, {L"status https://x/n"}, false},
      {"nothing", L"", true, true, {}, false},
      {"not web addresses", LR"({"update":"C:\\Windows\\calc.exe","notify":"file:///c:/x"})", true, true, {}, false},
      {"malformed", LR"({"update":"https://x/d","notify":"\uZZZZ"})", true, true, {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakePrompt prompt;
    prompt.answer = c.userSaysYes;
    std::vector<std::pair<bool, std::wstring>> calls;
    HandleResponse(
        c.response, prompt,
        [&](const std::wstring& a) {
          prompt.log.push_back(L"open " + a);
          return c.shellTakes;
        },
        [&](bool accepted, const std::wstring& response) { calls.emplace_back(accepted, response); });
    EXPECT_EQ(prompt.log, c.log);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].first, c.accepted);
    EXPECT_EQ(calls[0].second, c.response);
  }
}

TEST(UpdateHandler, TheDefaultPromptOffersAndAcceptsNothing) {
  int opened = 0;
  std::optional<bool> accepted;
  HandleResponse(LR"({"update":"https://x/d"})", *DeclinePrompt(), [&](const std::wstring&) { return ++opened > 0; },
                 [&](bool a, const std::wstring&) { accepted = a; });
  EXPECT_EQ(opened, 0);
  EXPECT_EQ(accepted, false);
}

// --- the check, threads and hand-over --------------------------------------------------------

struct CheckRig {
  std::shared_ptr<FakeHttp> http = std::make_shared<FakeHttp>();
  std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
  std::shared_ptr<FakePrompt> prompt = std::make_shared<FakePrompt>();
  std::shared_ptr<ui::MainThreadQueue> queue = std::make_shared<ui::MainThreadQueue>();
  std::shared_ptr<ui::StopSignal> stop = std::make_shared<ui::StopSignal>();
  std::thread::id headersThread;
  std::mutex mutex;
  std::condition_variable cv;
  bool woken = false;

  TCheckContext Context() {
    queue->SetWake([this] {
      std::lock_guard lock(mutex);
      woken = true;
      cv.notify_all();
    });
    TCheckContext ctx;
    ctx.Http = http;
    ctx.Clock = clock;
    ctx.Headers = [this] {
      headersThread = std::this_thread::get_id();
      return CheckHeaders(L"1.9.5.0", L"en", false, L"ID");
    };
    ctx.Prompt = prompt;
    ctx.ShellOpen = [](const std::wstring&) { return true; };
    ctx.Queue = queue;
    ctx.Stop = stop;
    return ctx;
  }
  // The main thread's loop: drains hand-overs until done() or the deadline.
  bool Pump(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
      std::unique_lock lock(mutex);
      if (!cv.wait_until(lock, deadline, [&] { return woken; })) return false;
      woken = false;
      lock.unlock();
      queue->Drain();
    }
    return true;
  }
};

TEST(UpdateCheck, WithACallbackTheWorkerHandsTheAnswerToTheMainThread) {
  CheckRig rig;
  rig.http->replies = {{HttpResult::Failed, ""}, {HttpResult::Answered, R"({"update":"https://x/d"})"}};
  rig.prompt->answer = true;
  std::vector<std::pair<bool, std::wstring>> calls;
  std::thread::id callbackThread;
  CheckUpdate(rig.Context(), L"https://h/api.init.php",
              [&](bool accepted, const std::wstring& response) {
                calls.emplace_back(accepted, response);
                callbackThread = std::this_thread::get_id();
              },
              10);
  EXPECT_EQ(UpdateURL(), L"https://h/api.init.php");
  EXPECT_EQ(UpdateOffset(), 10);
  ASSERT_TRUE(rig.Pump([&] { return !calls.empty(); }));
  EXPECT_EQ(calls, (std::vector<std::pair<bool, std::wstring>>{{true, LR"({"update":"https://x/d"})"}}));
  EXPECT_EQ(callbackThread, std::this_thread::get_id());
  EXPECT_EQ(rig.prompt->thread, std::this_thread::get_id());
  EXPECT_NE(rig.headersThread, std::this_thread::get_id());
  const auto http = rig.http->Calls();
  ASSERT_EQ(http.size(), 2u);
  EXPECT_NE(http[0].thread, std::this_thread::get_id());
  EXPECT_EQ(http[1].headers.at(3).second, L"ID");
  EXPECT_EQ(rig.clock->now, 10000);
}

TEST(UpdateCheck, WithoutACallbackTheCallerWaitsAndRunsTheHandlerItself) {
  CheckRig rig;
  rig.http->replies = {{HttpResult::Answered, R"({"notify":"https://x/n"})"}};
  CheckUpdate(rig.Context(), L"https://h/", nullptr, 3);
  EXPECT_EQ(rig.prompt->log, std::vector<std::wstring>{L"status https://x/n"});
  EXPECT_EQ(rig.prompt->thread, std::this_thread::get_id());
  EXPECT_EQ(rig.queue->Pending(), 0u);
  EXPECT_EQ(UpdateOffset(), 3);
}

TEST(UpdateCheck, AStopDuringAPauseEndsTheCheckWithoutHandOver) {
  CheckRig rig;
  rig.http->replies = {{HttpResult::Failed, ""}};
  rig.clock->stop = rig.stop.get();
  rig.clock->stopAt = 500;
  rig.prompt->answer = true;
  CheckUpdate(rig.Context(), L"https://h/", nullptr, 10);  // returns when the worker has ended
  EXPECT_EQ(rig.http->Calls().size(), 1u);
  EXPECT_TRUE(rig.prompt->log.empty());
  EXPECT_EQ(rig.queue->Pending(), 0u);
}

TEST(UpdateCheck, AnUnreachableServiceCallsBackOnceWithNothing) {
  CheckRig rig;
  rig.http->replies = {{HttpResult::Failed, ""}};
  int calls = 0;
  std::pair<bool, std::wstring> last{true, L"x"};
  CheckUpdate(rig.Context(), L"https://h/",
              [&](bool a, const std::wstring& r) {
                ++calls;
                last = {a, r};
              },
              10);
  ASSERT_TRUE(rig.Pump([&] { return calls > 0; }));
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(last, (std::pair<bool, std::wstring>{false, L""}));
  EXPECT_EQ(rig.http->Calls().size(), 6u);
  EXPECT_EQ(rig.clock->now, 60000);
}

// --- installation identifier -----------------------------------------------------------------

class ScriptedSource : public IdentifierSource {
 public:
  std::vector<std::uint32_t> randoms;
  std::vector<std::uint32_t> ranges;
  std::vector<TLocalTime> times;
  std::uint32_t Random(std::uint32_t Below) override {
    ranges.push_back(Below);
    const std::uint32_t r = randoms.at(ranges.size() - 1);
    return r;
  }
  TLocalTime Now() override {
    const TLocalTime t = times.at(reads++);
    return t;
  }
  std::size_t reads = 0;
};

TEST(InstallationID, LaysOutRandomsDateAndTime) {
  struct Case {
    std::vector<std::uint32_t> randoms;
    std::vector<TLocalTime> times;
    const wchar_t* expected;
  } const cases[] = {
      {{0, 0, 0}, {{2000, 1, 1, 0, 0, 0}, {2000, 1, 1, 0, 0, 0}}, L"00000000000101000000000000000000"},
      {{2147483646, 65534, 0xABCDEF}, {{2026, 12, 31, 23, 59, 58}, {2027, 1, 1, 0, 0, 1}},
       L"7FFFFFFE261231FFFE00000100ABCDEF"},
      {{0x1A2B3C, 0xBEEF, 42}, {{2099, 7, 4, 9, 5, 3}, {2099, 7, 4, 9, 5, 3}}, L"001A2B3C990704BEEF0905030000002A"},
  };
  for (const Case& c : cases) {
    ScriptedSource source;
    source.randoms = c.randoms;
    source.times = c.times;
    const std::wstring id = NewInstallationID(source);
    EXPECT_EQ(id, c.expected);
    EXPECT_EQ(id.size(), 32u);
    EXPECT_EQ(source.ranges, (std::vector<std::uint32_t>{2147483647u, 65535u, 2147483647u}));
  }
}

// The maker's key in memory.
class FakeRegistry : public Vel::Config::RegistryApi {
 public:
  struct Value {
    std::uint32_t type;
    std::vector<std::uint8_t> data;
  };
  std::map<std::wstring, Value> values;
  std::vector<std::wstring> opened;
  bool refuseOpen = false, refuseSet = false, throwOnQuery = false;

  std::unique_ptr<Vel::Config::RegistryKey> CreateKey(const std::wstring& SubKey) override {
    opened.push_back(SubKey);
    if (refuseOpen) return nullptr;
    return std::make_unique<Key>(*this);
  }

 private:
  class Key : public Vel::Config::RegistryKey {
   public:
    explicit Key(FakeRegistry& r) : r_(r) {}
    bool QueryValue(const std::wstring& Name, std::uint32_t& Type, std::uint32_t& Size) override {
      if (r_.throwOnQuery) throw std::runtime_error("query");
      auto it = r_.values.find(Name);
      if (it == r_.values.end()) return false;
      Type = it->second.type;
      Size = std::uint32_t(it->second.data.size());
      return true;
    }
    bool ReadValue(const std::wstring& Name, std::uint32_t& Type, std::uint8_t* Data, std::uint32_t& Size) override {
      auto it = r_.values.find(Name);
      if (it == r_.values.end() || it->second.data.size() > Size) return false;
      Type = it->second.type;
      Size = std::uint32_t(it->second.data.size());
      std::copy(it->second.data.begin(), it->second.data.end(), Data);
      return true;
    }
    bool SetValue(const std::wstring& Name, std::uint32_t Type, const std::uint8_t* Data, std::uint32_t Size) override {
      if (r_.refuseSet) return false;
      r_.values[Name] = {Type, {Data, Data + Size}};
      return true;
    }

   private:
    FakeRegistry& r_;
  };
};

std::vector<std::uint8_t> Utf16(const std::wstring& s) {
  std::vector<std::uint8_t> out;
  for (wchar_t c : s) out.insert(out.end(), {std::uint8_t(c), std::uint8_t(unsigned(c) >> 8)});
  out.insert(out.end(), {0, 0});
  return out;
}

ScriptedSource Source() {
  ScriptedSource s;
  s.randoms = {0x12345678, 0x9ABC, 0x0FEDCBA9};
  s.times = {{2026, 3, 14, 15, 9, 26}, {2026, 3, 14, 15, 9, 27}};
  return s;
}

TEST(InstallationID, MadeOnceThenKept) {
  FakeRegistry registry;
  ScriptedSource source = Source();
  const std::wstring first = GetInstallationID(registry, source);
  EXPECT_EQ(first, L"123456782603149ABC1509270FEDCBA9");
  EXPECT_EQ(registry.opened, std::vector<std::wstring>{L"Software\\Vantorel"});
  ASSERT_EQ(registry.values.count(L"VelUID"), 1u);
  EXPECT_EQ(registry.values[L"VelUID"].type, Vel::Config::kRegSz);
  EXPECT_EQ(registry.values[L"VelUID"].data, Utf16(first));
  ScriptedSource unused;  // a second call must not draw anything
  EXPECT_EQ(GetInstallationID(registry, unused), first);
  EXPECT_EQ(GetInstallationID(registry, unused), first);
  EXPECT_TRUE(unused.ranges.empty());
}

TEST(InstallationID, WhateverTheStoreHoldsDecides) {
  struct Case {
    const char* name;
    std::optional<FakeRegistry::Value> stored;
    bool refuseOpen, refuseSet, throwOnQuery;
    std::wstring expected;
  } const cases[] = {
      {"any string is the identifier", FakeRegistry::Value{Vel::Config::kRegSz, Utf16(L"not-our-format")}, false, false, false,
       L"not-our-format"},
      {"an empty string stays empty", FakeRegistry::Value{Vel::Config::kRegSz, Utf16(L"")}, false, false, false, L""},
      {"another type", FakeRegistry::Value{Vel::Config::kRegDword, {1, 0, 0, 0}}, false, false, false, L""},
      {"key refused", std::nullopt, true, false, false, L""},
      {"write refused", std::nullopt, false, true, false, L""},
      {"registry throws", std::nullopt, false, false, true, L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeRegistry registry;
    if (c.stored) registry.values[L"VelUID"] = *c.stored;
    registry.refuseOpen = c.refuseOpen;
    registry.refuseSet = c.refuseSet;
    registry.throwOnQuery = c.throwOnQuery;
    ScriptedSource source = Source();
    EXPECT_EQ(GetInstallationID(registry, source), c.expected);
    if (c.stored) {
      EXPECT_EQ(registry.values[L"VelUID"].type, c.stored->type);
      EXPECT_EQ(registry.values[L"VelUID"].data, c.stored->data);
    }
  }
}

// --- version text ----------------------------------------------------------------------------

TEST(VersionText, FormatsTheFourNumbers) {
  const VersionNumbers v{1, 9, 5, 0};
  struct Case {
    const wchar_t* format;
    std::optional<VersionNumbers> numbers;
    const wchar_t* expected;
  } const cases[] = {
      {L"%d.%d.%d.%d", v, L"1.9.5.0"},
      {L"%d.%d.%d", v, L"1.9.5"},
      {L"v%d (%d%%)", v, L"v1 (9%)"},
      {L"%d.%d.%d.%d.%d", v, L"1.9.5.0."},
      {L"%d.%d.%d.%d", VersionNumbers{65535, 0, 65535, 1}, L"65535.0.65535.1"},
      {L"%d.%d.%d", std::nullopt, L"0.0.0.0"},
      {L"", std::nullopt, L"0.0.0.0"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatVersion(c.format, c.numbers), c.expected);
}

TEST(VersionText, OnlyWebAddressesCountAsSuch) {
  struct Case {
    const wchar_t* target;
    bool web;
  } const cases[] = {
      {L"https://x/d", true}, {L"HTTP://X", true}, {L"http:/x", false}, {L"file:///c:/x", false},
      {L"C:\\Windows\\calc.exe", false}, {L"", false}, {L" https://x", false}, {L"javascript:alert(1)", false},
      // Well formed by RFC 3986.
      {L"https://update.vantorel.com/Quorvane-2.0.exe", true},
      {L"http://127.0.0.1:47381/more", true},
      {L"https://x.test/a%20b/c;v=1/(d)?q=1&r=a:b@c/d?#frag/x?", true},
      {L"https://[::1]:8080/x", true},
      {L"https://x.test:/", true},
      // An address that would smuggle arguments past the browser's "%1", or is no address.
      {L"https://host/x\" --evil-switch \"y", false},
      {L"https://host/a b", false}, {L"https://host/<x>", false}, {L"https://host/a\\b", false},
      {L"https://host/{x}", false}, {L"https://host/a|b", false}, {L"https://host/a^b", false},
      {L"https://host/a`b", false}, {L"https://host/a\tb", false}, {L"https://host/a\nb", false},
      {L"https://host/\x7F", false}, {L"https://h\u00f4st/", false}, {L"https://host/caf\u00e9", false},
      {L"https://host/%zz", false}, {L"https://host/%4", false}, {L"https://host/%", false},
      {L"https://", false}, {L"https:///path", false}, {L"https://:443/", false},
      {L"https://host:99999999/", false}, {L"https://host:8o/", false},
      {L"https://www.vantorel.com@evil.test/", false}, {L"https://[::1/", false}, {L"https://[zz]/", false},
      {L"https://host/#a#b", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsWebAddress(c.target), c.web) << Narrow(c.target);
}

}  // namespace

TEST(UserProxy, TheAutomaticAnswerThenTheServerSetByHandThenNothing) {
  using Vel::Update::ProxyKind;
  using Vel::Update::TAutoProxyAnswer;
  using Vel::Update::TProxyChoice;
  using Vel::Update::TUserProxySettings;
  const TUserProxySettings manual{false, L"", L"proxy:8080", L"<local>"};
  const TUserProxySettings pac{false, L"http://wpad/proxy.pac", L"", L""};
  const TUserProxySettings detectAndManual{true, L"", L"proxy:8080", L""};
  const TAutoProxyAnswer none;
  const TAutoProxyAnswer viaPac{true, L"pac-proxy:3128", L"*.corp"};
  const TAutoProxyAnswer direct{true, L"", L""};
  struct Case {
    const char* name;
    TUserProxySettings settings;
    TAutoProxyAnswer automatic;
    TProxyChoice expected;
  } cases[] = {
      {"nothing set", {}, none, {ProxyKind::Default, L"", L""}},
      {"a blank server", {false, L"", L"  ", L""}, none, {ProxyKind::Default, L"", L""}},
      {"a server set by hand, with its bypass list", manual, none, {ProxyKind::Named, L"proxy:8080", L"<local>"}},
      {"the PAC script names a proxy", pac, viaPac, {ProxyKind::Named, L"pac-proxy:3128", L"*.corp"}},
      {"the PAC script says DIRECT", pac, direct, {ProxyKind::Direct, L"", L""}},
      {"no script to be had, nothing by hand", pac, none, {ProxyKind::Default, L"", L""}},
      {"detection fails: the server set by hand", detectAndManual, none, {ProxyKind::Named, L"proxy:8080", L""}},
      {"detection answers: it wins", detectAndManual, viaPac, {ProxyKind::Named, L"pac-proxy:3128", L"*.corp"}},
      // An automatic answer nobody asked for (no script, no detection) is not used.
      {"an unasked answer", manual, viaPac, {ProxyKind::Named, L"proxy:8080", L"<local>"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Vel::Update::ChooseProxy(c.settings, c.automatic), c.expected) << c.name;
  }
  EXPECT_FALSE(Vel::Update::NeedsAutoProxy(manual));
  EXPECT_TRUE(Vel::Update::NeedsAutoProxy(pac));
  EXPECT_TRUE(Vel::Update::NeedsAutoProxy(detectAndManual));
}

TEST(UserProxy, OnlyWindows7And8AskForModernTls) {
  struct Case {
    unsigned major, minor;
    bool asks;
  } cases[] = {{6, 0, false}, {6, 1, true}, {6, 2, true}, {6, 3, false}, {10, 0, false}, {5, 1, false}};
  for (const Case& c : cases)
    EXPECT_EQ(Vel::Update::NeedsModernTlsSwitch(c.major, c.minor), c.asks) << c.major << "." << c.minor;
}
