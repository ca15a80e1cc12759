#include <windows.h>

#include <cstddef>
#include <cstring>

#include "memory/purge.h"

namespace Vel::Memory {
namespace {

using NtSetSystemInformationFn = LONG(WINAPI*)(ULONG, PVOID, ULONG);

class Win32MemoryPurgeApi final : public MemoryPurgeApi {
 public:
  Win32MemoryPurgeApi() {
    // ntdll is always mapped and always the system's own.
    if (HMODULE ntdll = GetModuleHandleW(L"ntdll.dll"))
      set_ = reinterpret_cast<NtSetSystemInformationFn>(
          reinterpret_cast<void*>(GetProcAddress(ntdll, "NtSetSystemInformation")));
  }

  std::int32_t SetSystemInformation(unsigned infoClass, std::uint8_t* buffer,
                                    std::uint32_t length) override {
    if (!set_) return std::int32_t(0xC0000002);  // STATUS_NOT_IMPLEMENTED
    return set_(infoClass, buffer, length);
  }

 private:
  NtSetSystemInformationFn set_ = nullptr;
};

class Win32ProcessToken final : public ProcessToken {
 public:
  explicit Win32ProcessToken(HANDLE token) : token_(token) {}
  ~Win32ProcessToken() override { CloseHandle(token_); }
  Win32ProcessToken(const Win32ProcessToken&) = delete;
  Win32ProcessToken& operator=(const Win32ProcessToken&) = delete;

  bool AdjustPrivileges(const TokenPrivilegesBuffer& newState) override {
    TOKEN_PRIVILEGES request;
    std::memcpy(&request, newState.data(), sizeof request);
    TOKEN_PRIVILEGES previous{};
    DWORD returnLength = 0;
    return AdjustTokenPrivileges(token_, FALSE, &request, sizeof request, &previous, &returnLength) != FALSE;
  }

 private:
  HANDLE token_;
};

class Win32ProcessTokenApi final : public ProcessTokenApi {
 public:
  std::unique_ptr<ProcessToken> OpenProcessToken(std::uint32_t access) override {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(GetCurrentProcess(), access, &token)) return nullptr;
    try {
      return std::make_unique<Win32ProcessToken>(token);
    } catch (...) {
      CloseHandle(token);
      throw;
    }
  }

  bool LookupPrivilege(const std::wstring& name, Luid& luid) override {
    LUID value{};
    if (!::LookupPrivilegeValueW(nullptr, name.c_str(), &value)) return false;
    luid.LowPart = value.LowPart;
    luid.HighPart = value.HighPart;
    return true;
  }

  std::uint32_t LastError() noexcept override { return GetLastError(); }
};

static_assert(sizeof(TOKEN_PRIVILEGES) == kTokenPrivilegesSize);
static_assert(offsetof(TOKEN_PRIVILEGES, Privileges[0].Luid.LowPart) == 4);
static_assert(offsetof(TOKEN_PRIVILEGES, Privileges[0].Attributes) == 12);

}  // namespace

MemoryPurgeApi& SystemMemoryPurgeApi() {
  static Win32MemoryPurgeApi api;
  return api;
}

ProcessTokenApi& SystemProcessTokenApi() {
  static Win32ProcessTokenApi api;
  return api;
}

void CleanMemory() { CleanMemory(SystemMemoryPurgeApi()); }

bool SetPrivilege(const std::wstring& Name, bool Enable) noexcept {
  return SetPrivilege(Name, Enable, SystemProcessTokenApi());
}

}  // namespace Vel::Memory
