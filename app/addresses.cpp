// Where the program's links and its update check go. Compiled once per executable, so that the
// addresses are fixed when the program is built: the shipped program's cannot be redirected by
// anything a user can reach, and the test build's point at loopback services of the tests.
#include "app/main.h"

#ifndef QUORVANE_LINK_HOST
#define QUORVANE_LINK_HOST "www.vantorel.com"
#endif
#ifndef QUORVANE_UPDATE_URL
#define QUORVANE_UPDATE_URL "https://update.vantorel.com/api.init.php"
#endif

namespace app {

std::wstring CopyrightUrl(const std::wstring& version) {
  return L"https://" QUORVANE_LINK_HOST L"/quorvane?v=" + version;
}
std::wstring DonateUrl() { return L"https://" QUORVANE_LINK_HOST L"/donate?quorvane"; }
std::wstring LogoUrl() { return L"http://" QUORVANE_LINK_HOST L"/quorvane"; }
std::wstring UpdateServiceUrl() { return L"" QUORVANE_UPDATE_URL; }

}  // namespace app
