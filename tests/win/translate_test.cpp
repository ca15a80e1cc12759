// The translation table as the running exe carries it, and the language from Wine's locale.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "translate/translate.h"

using namespace Vel::Translate;

TEST(Win32Translate, TableIsAnRcdataResourceStoredUnderEnglishUs) {
  HMODULE exe = GetModuleHandleW(nullptr);
  HRSRC info = FindResourceExW(exe, MAKEINTRESOURCEW(10), L"TRANSLATE", MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
  ASSERT_NE(info, nullptr);
  const std::optional<std::string> bytes = SystemTranslatePlatform().ReadTableResource();
  ASSERT_TRUE(bytes.has_value());
  EXPECT_EQ(bytes->size(), SizeofResource(exe, info));
  EXPECT_TRUE(bytes->starts_with("\xEF\xBB\xBF"));
  EXPECT_TRUE(bytes->ends_with("\r\n\r\n"));
}

TEST(Win32Translate, StartupLoadsTheEmbeddedTable) {
  TTranslator t;
  t.Startup(SystemTranslatePlatform());
  EXPECT_EQ(t.Lines().size(), 224u);
  EXPECT_EQ(t.CurrentLanguage(), GetUserLanguage().substr(0, 2));
  struct Case {
    const wchar_t *text, *lang, *expected;
  } cases[] = {
      {L"처음화면", L"ja", L"ホーム"},
      {L"HOME", L"ru", L"Главная"},
      {L"정리하기", L"pt", L"Clean memory"},
      {L"메모리를 정리하였습니다.", L"ar", L"تم تحسين الذاكرة"},
      {L"워킹 셋", L"en", L"워킹 셋"},
  };
  for (const Case& c : cases) EXPECT_EQ(t.Translate(c.text, c.lang), c.expected) << c.lang;
}

TEST(Win32Translate, UserLanguageIsTheIsoNameOfTheRegionalLocale) {
  // Cross-checked against the locale's full name, e.g. "en-US" for "en".
  wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
  ASSERT_GT(GetLocaleInfoW(GetUserDefaultLCID(), LOCALE_SNAME, name, LOCALE_NAME_MAX_LENGTH), 0);
  const std::wstring full(name);
  const std::wstring language = GetUserLanguage();
  ASSERT_GE(language.size(), 2u);
  EXPECT_EQ(full.substr(0, full.find(L'-')), language);
  for (wchar_t c : language) EXPECT_TRUE(c >= L'a' && c <= L'z') << static_cast<int>(c);
}
