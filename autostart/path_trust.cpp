#include "autostart/path_trust.h"

#include <algorithm>
#include <string_view>

namespace Vel::AutoStart::UAC {

namespace {
constexpr std::uint32_t kGenericAll = 0x10000000, kGenericExecute = 0x20000000, kGenericWrite = 0x40000000,
                        kGenericRead = 0x80000000;
}  // namespace

std::uint32_t MapGenericFileRights(std::uint32_t mask) {
  std::uint32_t out = mask & ~(kGenericAll | kGenericExecute | kGenericWrite | kGenericRead);
  if (mask & kGenericAll) out |= FileRight::AllAccess;
  if (mask & kGenericWrite) out |= FileRight::GenericWrite;
  if (mask & kGenericRead) out |= FileRight::GenericRead;
  if (mask & kGenericExecute) out |= FileRight::GenericExecute;
  return out;
}

std::uint32_t DangerousRights(PathRole role) {
  using namespace FileRight;
  switch (role) {
    case PathRole::Program:
      return WriteData | AppendData | Delete | WriteDac | WriteOwner;
    case PathRole::Folder:
      return WriteData | DeleteChild | Delete | WriteDac | WriteOwner;
    case PathRole::Above:
      return Delete | DeleteChild | WriteDac | WriteOwner;
  }
  return 0;
}

bool SafeForElevatedTask(const std::vector<TPathSecurity>& Chain) {
  if (Chain.size() < 2) return false;  // at least the file and the root it lies in
  for (std::size_t i = 0; i < Chain.size(); ++i) {
    const TPathSecurity& s = Chain[i];
    if (!s.Readable || s.ReparsePoint || !s.OwnerTrusted || !s.HasDacl) return false;
    const std::uint32_t dangerous = DangerousRights(i == 0 ? PathRole::Program : i == 1 ? PathRole::Folder : PathRole::Above);
    for (const TGrant& g : s.Grants)
      if (!g.Trusted && !g.InheritOnly && (MapGenericFileRights(g.Rights) & dangerous)) return false;
  }
  return true;
}

std::vector<std::wstring> PathChain(const std::wstring& Path) {
  std::size_t rootLength = 0;
  if (Path.size() >= 3 && ((Path[0] | 0x20) >= L'a' && (Path[0] | 0x20) <= L'z') && Path[1] == L':' && Path[2] == L'\\') {
    rootLength = 3;
  } else if (Path.starts_with(L"\\\\") && !Path.starts_with(L"\\\\?\\") && !Path.starts_with(L"\\\\.\\")) {
    const std::size_t server = Path.find(L'\\', 2);
    const std::size_t share = server == std::wstring::npos ? server : Path.find(L'\\', server + 1);
    if (server == 2 || share == std::wstring::npos || share == server + 1) return {};
    rootLength = share + 1;
  } else {
    return {};
  }
  // Every part below the root is a real name.
  std::size_t start = rootLength;
  while (start <= Path.size()) {
    const std::size_t end = std::min(Path.find(L'\\', start), Path.size());
    const std::wstring_view part(Path.data() + start, end - start);
    if (part.empty() || part == L"." || part == L"..") return {};
    start = end + 1;
  }
  std::vector<std::wstring> chain{Path};
  for (std::size_t cut = Path.rfind(L'\\'); cut != std::wstring::npos && cut >= rootLength; cut = Path.rfind(L'\\', cut - 1)) {
    chain.push_back(Path.substr(0, cut));
    if (cut == 0) break;
  }
  chain.push_back(Path.substr(0, rootLength));
  return chain;
}

}  // namespace Vel::AutoStart::UAC
