// The update check on Windows: WinHTTP, the registry, the version resource and the shell.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "ui/application.h"
#include "update/update.h"

namespace Vel::Update {

// WinHTTP, loaded from System32 on first use.
std::shared_ptr<HttpApi> SystemHttpApi();

// What the Windows-side tests put in place of what they cannot change on the system under test:
// an option call that refuses, another system version.
struct HttpSeam {
  BOOL(WINAPI* SetOption)(LPVOID handle, DWORD option, LPVOID buffer, DWORD length) = nullptr;  // null: WinHTTP's
  unsigned Major = 0, Minor = 0;  // 0.0: the system's own
};
HttpSeam& HttpTestSeam();
// Seeded once per process.
IdentifierSource& SystemIdentifierSource();
// The identifier under HKEY_CURRENT_USER\Software\Vantorel.
std::wstring GetInstallationID();
// The user's locale language, two letters ("en" when it cannot be had).
std::wstring UserLanguage();

struct TCheckOptions {
  std::shared_ptr<UpdatePrompt> Prompt;  // null: nothing is offered or accepted
  std::wstring Language;                 // empty: UserLanguage()
  bool Debug = false;                    // no build of ours runs in diagnostic mode
};

// The start-up check against the service at AURL; AProc runs once on App's main thread after
// the prompt and the notice bar. A program that is terminating ends a pausing check silently.
void CheckUpdate(ui::Application& App, const std::wstring& AURL, TUpdateProc AProc, int AOffset,
                 const TCheckOptions& Options = {});

// The prompt's "hold" request to UpdateURL(), sent once on a worker of its own.
void StartHoldRequest();

}  // namespace Vel::Update
