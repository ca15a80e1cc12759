// The update prompt on Windows.
#pragma once

#include <memory>
#include <string>

#include "ui/application.h"
#include "update/update.h"

namespace Vel::Update {

// Texts in Language; the prompt's caption is Caption, the application's translated title.
// The notice bar goes on App's main form.
std::shared_ptr<UpdatePrompt> Win32UpdatePrompt(ui::Application& App, std::wstring Language, std::wstring Caption);

}  // namespace Vel::Update
