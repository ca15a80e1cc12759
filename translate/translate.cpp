#include "translate/translate.h"

#include "ui/form.h"

namespace Vel::Translate {
namespace {

// Strict UTF-8: overlong forms, encoded surrogates and truncated sequences fail. Code points
// above U+FFFF become surrogate pairs where wchar_t is UTF-16.
bool DecodeUtf8(std::string_view s, std::wstring& out) {
  out.clear();
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    const unsigned char lead = static_cast<unsigned char>(s[i]);
    char32_t cp = 0;
    std::size_t n = 0;
    if (lead < 0x80) cp = lead, n = 1;
    else if (lead >= 0xC2 && lead <= 0xDF) cp = lead & 0x1F, n = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) cp = lead & 0x0F, n = 3;
    else if (lead >= 0xF0 && lead <= 0xF4) cp = lead & 0x07, n = 4;
    else return false;
    if (s.size() - i < n) return false;
    for (std::size_t k = 1; k < n; ++k) {
      const unsigned char c = static_cast<unsigned char>(s[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = cp << 6 | (c & 0x3F);
    }
    if (n == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) return false;
    if (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) return false;
    if (sizeof(wchar_t) == 2 && cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<wchar_t>(0xD800 + (cp >> 10));
      out += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<wchar_t>(cp);
    }
    i += n;
  }
  return true;
}

void AddLine(std::string_view bytes, std::vector<TTableLine>& lines) {
  if (bytes.empty()) {
    lines.push_back({{}, {}, true});
    return;
  }
  std::wstring text;
  if (!DecodeUtf8(bytes, text)) return;
  const std::size_t eq = text.find(L'=');
  if (eq == std::wstring::npos) return;
  lines.push_back({text.substr(0, eq), text.substr(eq + 1), false});
}

// "\n" written in a text is a line break.
std::wstring ResolveBreaks(const std::wstring& s) {
  std::wstring r;
  r.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == L'\\' && i + 1 < s.size() && s[i + 1] == L'n') {
      r += L'\r';
      ++i;
    } else {
      r += s[i];
    }
  }
  return r;
}

wchar_t AsciiUpper(wchar_t c) { return c >= L'a' && c <= L'z' ? wchar_t(c - (L'a' - L'A')) : c; }

// Only ASCII letters fold: "HOME" finds "Home", "главная" does not find "Главная".
bool SameKey(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  return true;
}

TTranslator& Global() {
  static TTranslator instance;
  return instance;
}

}  // namespace

std::vector<TTableLine> ParseTable(std::string_view Data) {
  if (Data.starts_with("\xEF\xBB\xBF")) Data.remove_prefix(3);
  std::vector<TTableLine> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < Data.size(); ++i) {
    if (Data[i] != '\r' && Data[i] != '\n') continue;
    AddLine(Data.substr(start, i - start), lines);
    if (Data[i] == '\r' && i + 1 < Data.size() && Data[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < Data.size()) AddLine(Data.substr(start), lines);
  return lines;
}

std::wstring GetUserLanguage(TranslatePlatform& Platform) {
  std::wstring name = Platform.UserLocaleLanguage();
  return name.empty() ? L"en" : name;
}

void TTranslator::Startup(TranslatePlatform& Platform) {
  FLines.clear();
  try {
    if (std::optional<std::string> data = Platform.ReadTableResource()) FLines = ParseTable(*data);
  } catch (...) {
    // Without a table every text stays as written, which is still a working program.
    FLines.clear();
  }
  FCurrentLanguage = GetUserLanguage(Platform).substr(0, 2);
}

void TTranslator::Shutdown() {
  FLines.clear();
  FLines.shrink_to_fit();
  FCurrentLanguage.clear();
}

std::wstring TTranslator::Translate(const std::wstring& Text, const std::wstring& Lang) const {
  std::wstring result = ResolveBreaks(Text);
  if (Text.empty()) return result;
  const std::wstring& lang = Lang.empty() ? FCurrentLanguage : Lang;

  std::size_t match = 0;
  while (match < FLines.size() && (FLines[match].Blank || !SameKey(FLines[match].Text, Text))) ++match;
  if (match == FLines.size()) return result;
  std::size_t first = match;
  while (first > 0 && !FLines[first - 1].Blank) --first;

  for (std::wstring_view wanted : {std::wstring_view(lang), std::wstring_view(L"en")})
    for (std::size_t i = first; i < FLines.size() && !FLines[i].Blank; ++i)
      if (FLines[i].Code == wanted) return ResolveBreaks(FLines[i].Text);
  return result;
}

void TTranslator::TranslateMenuItem(ui::MenuItem* Item) const {
  // Our menu items have no sub-items, so the recursion ends here.
  if (Item) Item->Caption = Translate(Item->Caption);
}

void TTranslator::TranslateStrings(std::vector<std::wstring>* List) const {
  if (!List) return;
  for (std::wstring& entry : *List) entry = Translate(entry);
}

void TTranslator::TranslateComponent(ui::Component* Component, const std::wstring& Lang) {
  if (!Lang.empty()) FCurrentLanguage = Lang;
  if (!Component) return;

  if (auto* combo = dynamic_cast<ui::ComboBox*>(Component)) {
    // Replacing the entries drops the selection; only touch the list when an entry changes,
    // and then in one go, so the native list is rebuilt at most once.
    std::vector<std::wstring> items = combo->Items();
    TranslateStrings(&items);
    if (items != combo->Items()) {
      const int selected = combo->ItemIndex();
      combo->SetItems(std::move(items));
      combo->SetItemIndex(selected);
    }
    return;
  }

  if (auto* popup = dynamic_cast<ui::PopupMenu*>(Component))
    for (ui::MenuItem* item : popup->Items()) TranslateMenuItem(item);

  if (auto* form = dynamic_cast<ui::Form*>(Component)) {
    // The title reads in Korean for Korean users and in English for everybody else.
    form->SetCaption(Translate(form->Caption(), FCurrentLanguage != L"ko" ? L"en" : L""));
  } else if (auto* control = dynamic_cast<ui::Control*>(Component)) {
    control->SetCaption(Translate(control->Caption()));
  } else if (auto* item = dynamic_cast<ui::MenuItem*>(Component)) {
    TranslateMenuItem(item);
  }

  // By index: a peer that reacts to a caption may add components while we walk.
  for (std::size_t i = 0; i < Component->Components().size(); ++i)
    TranslateComponent(Component->Components()[i].get(), Lang);
}

void Startup(TranslatePlatform& Platform) { Global().Startup(Platform); }
void Shutdown() { Global().Shutdown(); }
std::wstring CurrentLanguage() { return Global().CurrentLanguage(); }
// Arabic is the table's one such language; any other right-to-left locale gets English.
bool ReadsRightToLeft() { return Global().CurrentLanguage() == L"ar"; }
std::wstring Translate(const std::wstring& Text) { return Global().Translate(Text); }
std::wstring Translate(const std::wstring& Text, const std::wstring& Lang) { return Global().Translate(Text, Lang); }
void TranslateComponent(ui::Component& Root) { Global().TranslateComponent(&Root); }
void TranslateComponent(ui::Component* Component, const std::wstring& Lang) {
  Global().TranslateComponent(Component, Lang);
}
void TranslateMenuItem(ui::MenuItem* Item) { Global().TranslateMenuItem(Item); }
void TranslateStrings(std::vector<std::wstring>* List) { Global().TranslateStrings(List); }

}  // namespace Vel::Translate
