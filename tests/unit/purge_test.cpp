#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "memory/memory.h"
#include "memory/purge.h"

using namespace Vel::Memory;

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Request {
  unsigned infoClass;
  Bytes payload;
};

class RecordingPurgeApi : public MemoryPurgeApi {
 public:
  std::int32_t status = 0;
  std::vector<Request> requests;

  std::int32_t SetSystemInformation(unsigned infoClass, std::uint8_t* buffer,
                                    std::uint32_t length) override {
    requests.push_back({infoClass, Bytes(buffer, buffer + length)});
    // The system writes results back into some payloads; the next request must not see them.
    for (std::uint32_t i = 0; i < length; ++i) buffer[i] = 0xAB;
    return status;
  }
};

Bytes U32(std::uint32_t v) { return {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)}; }

std::vector<Request> ExpectedPurge() {
  Bytes fileCache(36, 0);
  for (int i = 12; i < 20; ++i) fileCache[i] = 0xFF;
  return {{21, fileCache}, {80, U32(2)}, {80, U32(5)}, {80, U32(4)}, {80, U32(3)}, {130, Bytes(24, 0)}};
}

void ExpectRequests(const std::vector<Request>& actual, const std::vector<Request>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(actual[i].infoClass, expected[i].infoClass) << "request " << i;
    EXPECT_EQ(actual[i].payload, expected[i].payload) << "request " << i;
  }
}

}  // namespace

TEST(CleanMemory, SendsTheSixRequestsInOrderWithExactPayloads) {
  RecordingPurgeApi api;
  CleanMemory(api);
  ExpectRequests(api.requests, ExpectedPurge());
}

TEST(CleanMemory, EveryRequestIsMadeWhenTheSystemRefusesThemAll) {
  for (std::int32_t status : {std::int32_t(0xC0000061) /* privilege not held */,
                              std::int32_t(0xC0000003) /* invalid class */,
                              std::int32_t(0xC0000004) /* length mismatch */}) {
    RecordingPurgeApi api;
    api.status = status;
    CleanMemory(api);
    ExpectRequests(api.requests, ExpectedPurge());
  }
}

namespace {

enum class Throw { Nothing, Open, Lookup, Adjust };

// A scripted process token: the last error each call leaves behind, and what it saw.
class FakeTokenApi : public ProcessTokenApi {
 public:
  bool openOk = true, lookupOk = true, adjustOk = true;
  std::uint32_t openError = 0, lookupError = 0, adjustError = 0;
  Throw raise = Throw::Nothing;
  Luid luid{0x89ABCDEF, 0x01234567};

  std::uint32_t lastError = 0;
  std::vector<std::uint32_t> openedWith;
  std::vector<std::wstring> lookedUp;
  std::vector<TokenPrivilegesBuffer> adjusted;
  int opened = 0, closed = 0;
  bool adjustedWhileOpen = true;

  class Token : public ProcessToken {
   public:
    explicit Token(FakeTokenApi& api) : api_(api) {}
    ~Token() override { ++api_.closed; }
    bool AdjustPrivileges(const TokenPrivilegesBuffer& newState) override {
      if (api_.raise == Throw::Adjust) throw std::runtime_error("adjust");
      api_.adjustedWhileOpen &= api_.opened > api_.closed;
      api_.adjusted.push_back(newState);
      api_.lastError = api_.adjustError;
      return api_.adjustOk;
    }

   private:
    FakeTokenApi& api_;
  };

  std::unique_ptr<ProcessToken> OpenProcessToken(std::uint32_t access) override {
    if (raise == Throw::Open) throw std::runtime_error("open");
    openedWith.push_back(access);
    lastError = openError;
    if (!openOk) return nullptr;
    ++opened;
    return std::make_unique<Token>(*this);
  }
  bool LookupPrivilege(const std::wstring& name, Luid& out) override {
    if (raise == Throw::Lookup) throw std::runtime_error("lookup");
    lookedUp.push_back(name);
    lastError = lookupError;
    if (lookupOk) out = luid;
    return lookupOk;
  }
  std::uint32_t LastError() noexcept override { return lastError; }
};

}  // namespace

TEST(SetPrivilege, BuildsTheOneEntryTokenPrivilegesRecord) {
  struct Case {
    bool enable;
    std::uint8_t attributes;
  } cases[] = {{true, 2}, {false, 0}};
  for (const Case& c : cases) {
    FakeTokenApi api;
    EXPECT_TRUE(SetPrivilege(L"SeIncreaseQuotaPrivilege", c.enable, api));
    ASSERT_EQ(api.adjusted.size(), 1u);
    const TokenPrivilegesBuffer expected = {1, 0, 0, 0,                    // PrivilegeCount
                                            0xEF, 0xCD, 0xAB, 0x89,        // Luid.LowPart
                                            0x67, 0x45, 0x23, 0x01,        // Luid.HighPart
                                            c.attributes, 0, 0, 0};        // Attributes
    EXPECT_EQ(api.adjusted[0], expected) << "enable " << c.enable;
    EXPECT_EQ(api.openedWith, std::vector<std::uint32_t>{0x28});
    EXPECT_EQ(api.lookedUp, std::vector<std::wstring>{L"SeIncreaseQuotaPrivilege"});
    EXPECT_TRUE(api.adjustedWhileOpen);
    EXPECT_EQ(api.closed, 1);
  }
}

TEST(SetPrivilege, FailuresReturnFalseAndCloseWhatWasOpened) {
  struct Case {
    const char* what;
    void (*script)(FakeTokenApi&);
    std::size_t adjusts;
    int closes;
  } cases[] = {
      {"token cannot be opened", [](FakeTokenApi& a) { a.openOk = false, a.openError = 5; }, 0, 0},
      {"unknown name", [](FakeTokenApi& a) { a.lookupOk = false, a.lookupError = 1313; }, 0, 1},
      {"privilege not held", [](FakeTokenApi& a) { a.adjustError = 1300; }, 1, 1},
      {"adjust refused", [](FakeTokenApi& a) { a.adjustOk = false, a.adjustError = 6; }, 1, 1},
      // A platform call that fails without an error code must not pass for success.
      {"failure leaves error 0", [](FakeTokenApi& a) { a.lookupOk = false; }, 0, 1},
      {"adjust refused, error 0", [](FakeTokenApi& a) { a.adjustOk = false; }, 1, 1},
  };
  for (const Case& c : cases) {
    FakeTokenApi api;
    c.script(api);
    EXPECT_FALSE(SetPrivilege(L"SeIncreaseQuotaPrivilege", true, api)) << c.what;
    EXPECT_EQ(api.adjusted.size(), c.adjusts) << c.what;
    EXPECT_EQ(api.closed, c.closes) << c.what;
  }
}

TEST(SetPrivilege, NoExceptionEscapesAndTheTokenIsStillClosed) {
  struct Case {
    Throw raise;
    int closes;
  } cases[] = {{Throw::Open, 0}, {Throw::Lookup, 1}, {Throw::Adjust, 1}};
  for (const Case& c : cases) {
    FakeTokenApi api;
    api.raise = c.raise;  // the last error stays 0 from before: still not a success
    bool result = true;
    EXPECT_NO_THROW(result = SetPrivilege(L"SeIncreaseQuotaPrivilege", true, api));
    EXPECT_FALSE(result) << int(c.raise);
    EXPECT_EQ(api.closed, c.closes) << int(c.raise);
  }
}
