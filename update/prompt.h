// Vel.Update: what the user sees of the service's answer. The prompt's texts (built in, in eight
// languages, not from the translation table), its notice strip and its own layout, and the
// notice bar on the main window. The prompt's window itself is in prompt_win32.cpp.
#pragma once

#include <functional>
#include <string>

#include "ui/form.h"

namespace Vel::Update {

// Kind 0 the prompt's message, 1 the notice bar's text, 2 the Yes caption, 3 the No caption;
// any other kind is empty. Languages other than the eight give English.
std::wstring UpdateText(int Kind, const std::wstring& Language);
// The language those texts are in: Language itself, or "en" where English stands in.
std::wstring TextsLanguage(const std::wstring& Language);

// What the answer's info style asks for. Matched exactly: "Hold" is an Other.
enum class StripKind { None, Hold, Note, Other };
StripKind StripKindOf(const std::wstring& Style);
// The prompt stays on top when the flag holds "stayontop", in these letters, anywhere.
bool IsStayOnTop(const std::wstring& Flag);

// x pixels at 96 dpi at Dpi, to the nearest pixel.
int ScaleTo(int x, int Dpi);

// Where the strip goes on a prompt of the given outer size, before it grew. Offset is the
// check's strip offset (10 from the main window). Tops are client positions.
struct TStripGeometry {
  int OuterHeight;  // grown
  ui::Rect Separator;
  int ItemLeft, ItemTop, ItemWidth;  // the check box or the link
};
TStripGeometry StripGeometry(int OuterWidth, int OuterHeight, int Dpi, int Offset);

// The prompt's own layout, message-box style: the icon left of the message, the two buttons
// centred beneath. Sizes in pixels at Dpi.
struct TPromptMetrics {
  int Dpi = 96;
  int TextWidth = 0, TextHeight = 0;  // the message as drawn
  int CaptionWidth = 0;               // the wider of the two button captions
};
struct TPromptLayout {
  ui::Rect Icon, Text, Yes, No;
  int ClientWidth, ClientHeight;
};
TPromptLayout PromptLayout(const TPromptMetrics& Metrics);

inline constexpr wchar_t kStatusBarName[] = L"StatusBar";
inline constexpr int kStatusBarHeight = 28;  // pixels, at every DPI
inline constexpr std::int32_t kStatusBarColor = 0xFF0000;

// The form helper's click handler for links: opens the clicked control's hint.
void OpenURL(ui::Component& Sender, const std::function<void(const std::wstring&)>& Open);
// The notice bar's click handler: opens the bar's hint; clicks of anything else are ignored.
void StatusClick(ui::Component& Sender, const std::function<void(const std::wstring&)>& Open);

// Puts up the notice bar along the bottom of Form, or refreshes the one there: its text in
// Language, Address as its hint, a click opening it through Open. No form, nothing happens.
void ShowUpdateStatus(ui::Form* Form, const std::wstring& Address, const std::wstring& Language,
                      const std::function<void(const std::wstring&)>& Open);

}  // namespace Vel::Update
