// The prompt's texts, strip and layout, and the notice bar on the model.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/form.h"
#include "update/prompt.h"

using namespace Vel::Update;

namespace {

std::wstring Message(const wchar_t* a, const wchar_t* b, const wchar_t* c) {
  return std::wstring(a) + L"\r\r" + b + L"\r\r" + c;
}

TEST(UpdateText, EightLanguagesThenEnglish) {
  struct Row {
    const wchar_t* language;
    std::wstring message;
    const wchar_t *notice, *yes, *no;
  } const rows[] = {
      {L"ko", Message(L"업데이트 정보가 있습니다.", L"안정적으로 사용하기 위해 업데이트를 하시길 권장합니다.", L"다운로드 받으시겠습니까?"),
       L"업데이트 가능", L"예", L"아니오"},
      {L"ja",
       Message(L"このプログラムがアップデートされました。",
               L"安定的に使用するために新しくダウンロード\u00B7実行することをお勧めします。", L"ダウンロードしますか。"),
       L"アップデート可", L"はい", L"いいえ"},
      {L"zh", Message(L"该程序已更新。", L"建议下载并执行新程序以稳定使用。", L"您要下载吗\uFF1F"), L"可更新", L"是", L"否"},
      {L"de",
       Message(L"Dieses Programm ist aktualisiert worden.",
               L"Es wird empfohlen, es herunterzuladen und neu auszuführen, um es stabil zu verwenden.",
               L"Möchten Sie es herunterladen?"),
       L"Update möglich", L"Ja", L"Nein"},
      {L"ru",
       Message(L"Данная программа была обновлена.", L"Рекомендуется скачать и выполнить новое для стабильного использования.",
               L"Вы хотите загрузить ее?"),
       L"Обновление", L"Да", L"Нет"},
      {L"it",
       Message(L"È disponibile una nuova versione del programma.", L"Ti suggeriamo di scaricare ed aggiornare il programma.",
               L"Vuoi scaricare la nuova versione del programma?"),
       L"Aggiornabile", L"Sì", L"No"},
      {L"fr",
       Message(L"Ce programme a été mis à jour.",
               L"Il est recommandé de télécharger et d'exécuter la nouvelle version pour une utilisation stable.",
               L"Voulez-vous le télécharger?"),
       L"Maj dispo", L"Oui", L"Non"},
  };
  const std::wstring english = Message(L"This program has been updated.",
                                       L"It is recommended to download and execute new for stable use.",
                                       L"Do you want to download it?");
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << std::string(r.language, r.language + 2));
    EXPECT_EQ(UpdateText(0, r.language), r.message);
    EXPECT_EQ(UpdateText(1, r.language), r.notice);
    EXPECT_EQ(UpdateText(2, r.language), r.yes);
    EXPECT_EQ(UpdateText(3, r.language), r.no);
  }
  // Anything else, including a near miss in case or length, is English.
  for (const wchar_t* other : {L"pt", L"en", L"", L"KO", L"kor", L"ar"}) {
    EXPECT_EQ(UpdateText(0, other), english);
    EXPECT_EQ(UpdateText(1, other), L"Update available");
    EXPECT_EQ(UpdateText(2, other), L"Yes");
    EXPECT_EQ(UpdateText(3, other), L"No");
  }
  for (int kind : {-1, 4, 100}) EXPECT_EQ(UpdateText(kind, L"ko"), L"");
  EXPECT_EQ(UpdateText(0, L"en").find(L'\n'), std::wstring::npos);
}

TEST(UpdateStrip, StyleAndFlagAreMatchedExactly) {
  struct Case {
    const wchar_t* style;
    StripKind kind;
  } const styles[] = {{L"hold", StripKind::Hold}, {L"Hold", StripKind::Other}, {L"note", StripKind::Note},
                      {L"NOTE", StripKind::Other}, {L"other", StripKind::Other}, {L"", StripKind::None},
                      {L" hold", StripKind::Other}};
  for (const Case& c : styles) EXPECT_EQ(StripKindOf(c.style), c.kind);
  struct Flag {
    const wchar_t* flag;
    bool onTop;
  } const flags[] = {{L"stayontop", true}, {L"x,stayontop,y", true}, {L"StayOnTop", false},
                     {L"stay on top", false}, {L"", false}};
  for (const Flag& f : flags) EXPECT_EQ(IsStayOnTop(f.flag), f.onTop);
}

TEST(UpdateStrip, GrowsThePromptAndPlacesItsItemsFromTheOuterEdge) {
  struct Case {
    int dpi, offset;
    int grown;
    ui::Rect separator;
    int left, top;
  } const cases[] = {
      {96, 10, 150 + 30, {0, 180 - 66, 300, 1}, 10, 180 - 56},
      {144, 10, 150 + 45, {0, 195 - 99, 300, 1}, 15, 195 - 84},
      {120, 10, 150 + 38, {0, 188 - 83, 300, 1}, 13, 188 - 70},  // 37.5 and 12.5 round up
      {96, 0, 150 + 40, {0, 190 - 76, 300, 1}, 10, 190 - 66},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.dpi << " dpi, offset " << c.offset);
    const TStripGeometry g = StripGeometry(300, 150, c.dpi, c.offset);
    EXPECT_EQ(g.OuterHeight, c.grown);
    EXPECT_EQ(g.Separator, c.separator);
    EXPECT_EQ(g.ItemLeft, c.left);
    EXPECT_EQ(g.ItemTop, c.top);
    EXPECT_EQ(g.ItemWidth, 300);
  }
}

TEST(UpdatePromptLayout, IconBesideTheMessageAndTwoCentredButtonsBelow) {
  for (int dpi : {96, 144}) {
    for (int captionWidth : {10, 200}) {
      SCOPED_TRACE(testing::Message() << dpi << " dpi, caption " << captionWidth);
      TPromptMetrics m;
      m.Dpi = dpi;
      m.TextWidth = 250 * dpi / 96;
      m.TextHeight = 80 * dpi / 96;
      m.CaptionWidth = captionWidth;
      const TPromptLayout l = PromptLayout(m);
      EXPECT_GT(l.Text.Left, l.Icon.Left + l.Icon.Width);
      EXPECT_EQ(l.Icon.Width, ScaleTo(32, dpi));
      EXPECT_GE(l.Yes.Top, l.Text.Top + l.Text.Height);
      EXPECT_EQ(l.Yes.Top, l.No.Top);
      EXPECT_GE(l.Yes.Width, captionWidth);
      EXPECT_GT(l.No.Left, l.Yes.Left + l.Yes.Width);
      // Centred, inside, with the margins kept.
      EXPECT_LE(std::abs(l.Yes.Left - (l.ClientWidth - (l.No.Left + l.No.Width))), 1);
      EXPECT_LE(l.Text.Left + l.Text.Width, l.ClientWidth - ScaleTo(12, dpi));
      EXPECT_EQ(l.ClientHeight, l.Yes.Top + l.Yes.Height + ScaleTo(12, dpi));
    }
  }
}

TEST(UpdateNoticeBar, MadeOnceBelowTheFormThenOnlyRefreshed) {
  ui::Form form(nullptr, L"FrmQuorvane", L"TFrmQuorvane");
  form.SetBounds({0, 0, 500, 450});
  std::vector<std::wstring> opened;
  const auto open = [&](const std::wstring& a) { opened.push_back(a); };
  ShowUpdateStatus(&form, L"https://a.test/1", L"ko", open);
  ShowUpdateStatus(&form, L"https://a.test/2", L"en", open);
  int bars = 0;
  for (const auto& c : form.Components()) bars += c->Name() == kStatusBarName;
  EXPECT_EQ(bars, 1);
  auto* bar = dynamic_cast<ui::StatusBar*>(form.FindComponent(L"StatusBar"));
  ASSERT_TRUE(bar);
  EXPECT_EQ(bar->Bounds(), (ui::Rect{0, 450, 500, 28}));
  EXPECT_EQ(form.ClientHeight(), 450);  // the window grows outside the designed area
  EXPECT_EQ(bar->Caption(), L"Update available");
  EXPECT_EQ(bar->Hint(), L"https://a.test/2");
  EXPECT_EQ(bar->FontColor(), 0xFF0000);
  EXPECT_TRUE(bar->FontBold());
  bar->Click();
  EXPECT_EQ(opened, std::vector<std::wstring>{L"https://a.test/2"});
  // The handler opens only a status bar's hint.
  auto& label = form.Create<ui::Label>(L"LblLink", &form);
  label.SetHint(L"https://a.test/label");
  StatusClick(label, open);
  EXPECT_EQ(opened.size(), 1u);
  OpenURL(label, open);
  EXPECT_EQ(opened.back(), L"https://a.test/label");
  ShowUpdateStatus(nullptr, L"https://a.test/3", L"en", open);  // no window: nothing
}

}  // namespace
