#include "update/prompt.h"

#include <algorithm>
#include <array>

namespace Vel::Update {
namespace {

struct TLanguageTexts {
  const wchar_t* Language;
  std::array<const wchar_t*, 3> Message;  // three paragraphs
  const wchar_t* Notice;
  const wchar_t* Yes;
  const wchar_t* No;
};

// In the order the language is looked for; the last row is everyone else's.
constexpr TLanguageTexts kTexts[] = {
    {L"ko",
     {L"업데이트 정보가 있습니다.", L"안정적으로 사용하기 위해 업데이트를 하시길 권장합니다.", L"다운로드 받으시겠습니까?"},
     L"업데이트 가능", L"예", L"아니오"},
    {L"ja",
     {L"このプログラムがアップデートされました。",
      L"安定的に使用するために新しくダウンロード\u00B7実行することをお勧めします。", L"ダウンロードしますか。"},
     L"アップデート可", L"はい", L"いいえ"},
    {L"zh", {L"该程序已更新。", L"建议下载并执行新程序以稳定使用。", L"您要下载吗\uFF1F"}, L"可更新", L"是", L"否"},
    {L"de",
     {L"Dieses Programm ist aktualisiert worden.",
      L"Es wird empfohlen, es herunterzuladen und neu auszuführen, um es stabil zu verwenden.",
      L"Möchten Sie es herunterladen?"},
     L"Update möglich", L"Ja", L"Nein"},
    {L"ru",
     {L"Данная программа была обновлена.", L"Рекомендуется скачать и выполнить новое для стабильного использования.",
      L"Вы хотите загрузить ее?"},
     L"Обновление", L"Да", L"Нет"},
    {L"it",
     {L"È disponibile una nuova versione del programma.", L"Ti suggeriamo di scaricare ed aggiornare il programma.",
      L"Vuoi scaricare la nuova versione del programma?"},
     L"Aggiornabile", L"Sì", L"No"},
    {L"fr",
     {L"Ce programme a été mis à jour.",
      L"Il est recommandé de télécharger et d'exécuter la nouvelle version pour une utilisation stable.",
      L"Voulez-vous le télécharger?"},
     L"Maj dispo", L"Oui", L"Non"},
    {nullptr,
     {L"This program has been updated.", L"It is recommended to download and execute new for stable use.",
      L"Do you want to download it?"},
     L"Update available", L"Yes", L"No"},
};

const TLanguageTexts& TextsFor(const std::wstring& language) {
  for (const TLanguageTexts& t : kTexts)
    if (!t.Language || language == t.Language) return t;
  return kTexts[std::size(kTexts) - 1];
}

}  // namespace

std::wstring UpdateText(int Kind, const std::wstring& Language) {
  const TLanguageTexts& t = TextsFor(Language);
  switch (Kind) {
    case 0:
      // Paragraphs are parted by two carriage returns, no line feed.
      return std::wstring(t.Message[0]) + L"\r\r" + t.Message[1] + L"\r\r" + t.Message[2];
    case 1:
      return t.Notice;
    case 2:
      return t.Yes;
    case 3:
      return t.No;
    default:
      return L"";
  }
}

std::wstring TextsLanguage(const std::wstring& Language) {
  const wchar_t* language = TextsFor(Language).Language;
  return language ? language : L"en";
}

StripKind StripKindOf(const std::wstring& Style) {
  if (Style.empty()) return StripKind::None;
  if (Style == L"hold") return StripKind::Hold;
  if (Style == L"note") return StripKind::Note;
  return StripKind::Other;
}

bool IsStayOnTop(const std::wstring& Flag) { return Flag.find(L"stayontop") != std::wstring::npos; }

int ScaleTo(int x, int Dpi) {
  const long long n = static_cast<long long>(x) * Dpi;
  // Halves away from zero, like the platform's MulDiv.
  return static_cast<int>(n >= 0 ? (n + 48) / 96 : -((-n + 48) / 96));
}

TStripGeometry StripGeometry(int OuterWidth, int OuterHeight, int Dpi, int Offset) {
  TStripGeometry g{};
  g.OuterHeight = OuterHeight + ScaleTo(40 - Offset, Dpi);
  g.Separator = {ScaleTo(0, Dpi), g.OuterHeight - ScaleTo(76 - Offset, Dpi), OuterWidth, 1};
  g.ItemLeft = ScaleTo(10, Dpi);
  g.ItemTop = g.OuterHeight - ScaleTo(66 - Offset, Dpi);
  g.ItemWidth = OuterWidth;
  return g;
}

TPromptLayout PromptLayout(const TPromptMetrics& m) {
  const auto s = [&](int x) { return ScaleTo(x, m.Dpi); };
  const int margin = s(12), gap = s(12), icon = s(32);
  const int buttonW = std::max(s(75), m.CaptionWidth + s(24)), buttonH = s(23), buttonGap = s(8);
  const int buttonsW = 2 * buttonW + buttonGap;
  const int bodyW = icon + gap + m.TextWidth, bodyH = std::max(icon, m.TextHeight);
  TPromptLayout l{};
  l.ClientWidth = std::max(bodyW, buttonsW) + 2 * margin;
  l.Icon = {margin, margin, icon, icon};
  l.Text = {margin + icon + gap, margin + std::max(0, (icon - m.TextHeight) / 2), m.TextWidth, m.TextHeight};
  const int buttonTop = margin + bodyH + s(16);
  const int buttonLeft = (l.ClientWidth - buttonsW) / 2;
  l.Yes = {buttonLeft, buttonTop, buttonW, buttonH};
  l.No = {buttonLeft + buttonW + buttonGap, buttonTop, buttonW, buttonH};
  l.ClientHeight = buttonTop + buttonH + margin;
  return l;
}

void OpenURL(ui::Component& Sender, const std::function<void(const std::wstring&)>& Open) {
  if (auto* control = dynamic_cast<ui::Control*>(&Sender); control && Open) Open(control->Hint());
}

void StatusClick(ui::Component& Sender, const std::function<void(const std::wstring&)>& Open) {
  if (dynamic_cast<ui::StatusBar*>(&Sender)) OpenURL(Sender, Open);
}

void ShowUpdateStatus(ui::Form* Form, const std::wstring& Address, const std::wstring& Language,
                      const std::function<void(const std::wstring&)>& Open) {
  if (!Form) return;
  auto* bar = dynamic_cast<ui::StatusBar*>(Form->FindComponent(kStatusBarName));
  if (!bar) {
    // Below everything the form has, at its own height: the form's contents keep their size.
    bar = &Form->Create<ui::StatusBar>(kStatusBarName, Form);
    bar->SetFontColor(kStatusBarColor);
    bar->SetFontBold(true);
    bar->SetBounds({0, Form->ClientHeight(), Form->ClientWidth(), kStatusBarHeight});
  }
  bar->SetCaption(UpdateText(1, Language));
  bar->SetHint(Address);
  bar->OnClick = [Open](ui::Component& sender) { StatusClick(sender, Open); };
}

}  // namespace Vel::Update
