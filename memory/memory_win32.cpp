#include <windows.h>

#include "memory/memory.h"

namespace Vel::Memory {
namespace {

using NtQuerySystemInformationFn = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);

class Win32MemoryApi final : public NativeMemoryApi {
 public:
  Win32MemoryApi() {
    // ntdll is always mapped and always the system's own.
    if (HMODULE ntdll = GetModuleHandleW(L"ntdll.dll"))
      query_ = reinterpret_cast<NtQuerySystemInformationFn>(
          reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQuerySystemInformation")));
  }

  void GlobalMemoryStatus(MemoryStatusEx& out) override {
    MEMORYSTATUSEX ms{};
    ms.dwLength = sizeof ms;
    GlobalMemoryStatusEx(&ms);
    out.TotalPhys = ms.ullTotalPhys;
    out.AvailPhys = ms.ullAvailPhys;
    out.TotalPageFile = ms.ullTotalPageFile;
    out.AvailPageFile = ms.ullAvailPageFile;
    out.TotalVirtual = ms.ullTotalVirtual;
    out.AvailVirtual = ms.ullAvailVirtual;
  }

  std::int32_t QuerySystemInformation(unsigned infoClass, std::uint8_t* buffer,
                                      std::uint32_t length) override {
    if (!query_) return std::int32_t(0xC0000002);  // STATUS_NOT_IMPLEMENTED
    return query_(infoClass, buffer, length, nullptr);
  }

 private:
  NtQuerySystemInformationFn query_ = nullptr;
};

static_assert(sizeof(MEMORYSTATUSEX) == 64);

}  // namespace

NativeMemoryApi& SystemMemoryApi() {
  static Win32MemoryApi api;
  return api;
}

void GetMemoryStatus(TMemoryStatus& Status) { GetMemoryStatus(Status, SystemMemoryApi()); }

}  // namespace Vel::Memory
