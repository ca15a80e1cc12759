// Vel.Translate: the embedded translation table, the choice of language, and the translation of
// single texts and of a whole window. The user interface is written in Korean; the Korean text
// is the key, and any language's text of a row finds the row as well.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ui {
class Component;
class MenuItem;
}  // namespace ui

namespace Vel::Translate {

// What the module needs of the platform.
class TranslatePlatform {
 public:
  virtual ~TranslatePlatform() = default;
  // The raw bytes of the program's "translate" resource; nullopt when there is none or it
  // cannot be read.
  virtual std::optional<std::string> ReadTableResource() = 0;
  // ISO 639 name of the user's default (regional format) locale; empty when the query fails.
  virtual std::wstring UserLocaleLanguage() = 0;
};

// The process's real implementation (Windows builds only).
TranslatePlatform& SystemTranslatePlatform();

// One line of the table. A blank line separates two blocks (rows).
struct TTableLine {
  std::wstring Code;  // before the first "="
  std::wstring Text;  // after it, taken literally
  bool Blank = false;
  bool operator==(const TTableLine&) const = default;
};

// Splits UTF-8 resource data (optional byte-order mark) into lines at CR LF, CR or LF.
// A line that is not valid UTF-8, or a non-empty one without "=", is left out: it could
// only ever match by accident.
std::vector<TTableLine> ParseTable(std::string_view Data);

// The table and the current language. The process-wide instance behind the free functions
// below is one of these; tests make their own.
class TTranslator {
 public:
  TTranslator() = default;
  TTranslator(std::vector<TTableLine> Lines, std::wstring Language)
      : FLines(std::move(Lines)), FCurrentLanguage(std::move(Language)) {}

  // Loads the table and takes the language from the user's locale.
  void Startup(TranslatePlatform& Platform);
  // Releases the table and clears the language.
  void Shutdown();

  const std::vector<TTableLine>& Lines() const { return FLines; }
  const std::wstring& CurrentLanguage() const { return FCurrentLanguage; }

  // Text in language Lang (empty: the current one), else in English, else unchanged; "\n" in
  // the result becomes a carriage return.
  std::wstring Translate(const std::wstring& Text, const std::wstring& Lang = {}) const;
  // Window caption, owned captions, drop-down entries and menu items of the tree under
  // Component. A non-empty Lang becomes the current language first, even for a null Component.
  void TranslateComponent(ui::Component* Component, const std::wstring& Lang = {});
  void TranslateMenuItem(ui::MenuItem* Item) const;
  void TranslateStrings(std::vector<std::wstring>* List) const;

 private:
  std::vector<TTableLine> FLines;
  std::wstring FCurrentLanguage;
};

// "en" when the platform cannot tell.
std::wstring GetUserLanguage(TranslatePlatform& Platform);
// Over the system (Windows builds only).
std::wstring GetUserLanguage();

// The process-wide table and language. Startup runs once, before the main window exists;
// until then every text passes through unchanged.
void Startup(TranslatePlatform& Platform);
// Over the system (Windows builds only).
void Startup();
void Shutdown();
// A copy, so a worker may keep it after reading it on the main thread.
std::wstring CurrentLanguage();
// The current language's texts read right to left.
bool ReadsRightToLeft();

std::wstring Translate(const std::wstring& Text);
std::wstring Translate(const std::wstring& Text, const std::wstring& Lang);
void TranslateComponent(ui::Component& Root);
void TranslateComponent(ui::Component* Component, const std::wstring& Lang);
void TranslateMenuItem(ui::MenuItem* Item);
void TranslateStrings(std::vector<std::wstring>* List);

}  // namespace Vel::Translate
