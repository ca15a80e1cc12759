#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>

#include "app/main.h"
#include "fakes.h"
#include "translate/translate.h"
#include "ui/form.h"

using namespace Vel::Translate;

namespace {

// The table exactly as it is embedded in the program.
const std::string& ResourceBytes() {
  static const std::string bytes = [] {
    const auto path = std::filesystem::path(__FILE__).parent_path() / "../../translate/translate.txt";
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    return std::string(std::istreambuf_iterator<char>(in), {});
  }();
  return bytes;
}

class FakePlatform : public TranslatePlatform {
 public:
  FakePlatform(std::optional<std::string> resource, std::wstring language)
      : resource_(std::move(resource)), language_(std::move(language)) {}
  bool throwOnRead = false;
  std::optional<std::string> ReadTableResource() override {
    if (throwOnRead) throw std::runtime_error("unreadable");
    return resource_;
  }
  std::wstring UserLocaleLanguage() override { return language_; }

 private:
  std::optional<std::string> resource_;
  std::wstring language_;
};

TTranslator WithTable(const std::wstring& language) { return TTranslator(ParseTable(ResourceBytes()), language); }

std::wstring FoldAscii(std::wstring s) {
  for (wchar_t& c : s)
    if (c >= L'a' && c <= L'z') c = wchar_t(c - L'a' + L'A');
  return s;
}

std::wstring CaptionOf(const ui::Component& root, const wchar_t* name) {
  const ui::Component* c = root.Name() == name ? &root : root.FindComponent(name);
  if (auto* control = dynamic_cast<const ui::Control*>(c)) return control->Caption();
  if (auto* item = dynamic_cast<const ui::MenuItem*>(c)) return item->Caption;
  ADD_FAILURE() << "no captioned component " << testing::PrintToString(std::wstring(name));
  return {};
}

class CountingPeer : public ui::ControlPeer {
 public:
  void Changed(ui::Control&, ui::Prop what) override {
    if (what == ui::Prop::Items) ++itemChanges;
  }
  int itemChanges = 0;
};

}  // namespace

TEST(TranslateTable, ResourceHasTheDocumentedShape) {
  const std::string& bytes = ResourceBytes();
  ASSERT_TRUE(bytes.starts_with("\xEF\xBB\xBF"));
  EXPECT_TRUE(bytes.ends_with("\r\n\r\n"));
  std::size_t crlf = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r') {
      ASSERT_EQ(bytes[i + 1], '\n') << "lone CR at " << i;
      ++crlf;
    } else {
      ASSERT_TRUE(bytes[i] != '\n' || (i > 0 && bytes[i - 1] == '\r')) << "lone LF at " << i;
    }
  }

  const std::vector<TTableLine> lines = ParseTable(bytes);
  // Nothing was dropped as malformed: every line of the file is in the table.
  ASSERT_EQ(lines.size(), crlf);
  ASSERT_EQ(lines.size(), 224u);

  const std::vector<std::wstring> order{L"ko", L"en", L"ja", L"zh", L"ru", L"it", L"fr", L"ar"};
  std::vector<std::vector<TTableLine>> blocks(1);
  for (const TTableLine& line : lines) {
    if (line.Blank) blocks.emplace_back();
    else blocks.back().push_back(line);
  }
  ASSERT_TRUE(blocks.back().empty());  // the last block is followed by an empty line too
  blocks.pop_back();
  ASSERT_EQ(blocks.size(), 25u);

  std::set<std::wstring> seenInEarlierBlocks;
  for (std::size_t b = 0; b < blocks.size(); ++b) {
    std::vector<std::wstring> codes;
    for (const TTableLine& line : blocks[b]) codes.push_back(line.Code);
    std::vector<std::wstring> expected = order;
    if (blocks[b][0].Text == L"워킹 셋") std::erase(expected, L"en");
    EXPECT_EQ(codes, expected) << "block " << b + 1;

    std::set<std::wstring> mine;
    for (const TTableLine& line : blocks[b]) {
      EXPECT_FALSE(line.Text.empty()) << "block " << b + 1;
      mine.insert(FoldAscii(line.Text));
    }
    for (const std::wstring& text : mine)
      EXPECT_FALSE(seenInEarlierBlocks.contains(text)) << "text of block " << b + 1 << " also in an earlier block";
    seenInEarlierBlocks.insert(mine.begin(), mine.end());
  }
}

TEST(TranslateTable, ParsesLinesAndSkipsMalformedOnes) {
  using L = TTableLine;
  const L blank{{}, {}, true};
  struct Case {
    std::string data;
    std::vector<L> lines;
  } cases[] = {
      {"", {}},
      {"\xEF\xBB\xBF", {}},
      {"\xEF\xBB\xBFko=a\r\nen=b\r\n\r\n", {{L"ko", L"a"}, {L"en", L"b"}, blank}},
      {"ko=a\ren=b\nja=c", {{L"ko", L"a"}, {L"en", L"b"}, {L"ja", L"c"}}},
      {"ko=a\r\r\nen=b\n\n", {{L"ko", L"a"}, blank, {L"en", L"b"}, blank}},
      {"ko=a=b\r\nen=\r\n=x", {{L"ko", L"a=b"}, {L"en", L""}, {L"", L"x"}}},
      {"ko= a \r\n", {{L"ko", L" a "}}},
      {"ko=\xF0\x9F\x98\x80\xC3\xA9", {{L"ko", L"\U0001F600\u00E9"}}},
      // Malformed: no "=", invalid bytes, overlong, encoded surrogate, truncated, above U+10FFFF.
      {"garbage\r\n \r\nko=a", {{L"ko", L"a"}}},
      {"ko=\xFF\r\nen=b", {{L"en", L"b"}}},
      {"ko=\xC0\xAF\r\nen=b", {{L"en", L"b"}}},
      {"ko=\xED\xA0\x80\r\nen=b", {{L"en", L"b"}}},
      {"ko=\xE2\x82\r\nen=b", {{L"en", L"b"}}},
      {"ko=\xF4\x90\x80\x80\r\nen=b", {{L"en", L"b"}}},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseTable(c.data), c.lines) << testing::PrintToString(c.data);
}

TEST(Translate, LooksUpAnyLanguagesTextAndFallsBackToEnglish) {
  struct Case {
    std::wstring current, text, lang, expected;
  } cases[] = {
      {L"ja", L"처음화면", L"", L"ホーム"},
      {L"ja", L"Home", L"", L"ホーム"},
      {L"ja", L"HOME", L"", L"ホーム"},
      {L"fr", L"Accueil", L"", L"Accueil"},
      {L"ko", L"Clean memory", L"", L"정리하기"},
      {L"en", L"Главная", L"", L"Home"},
      {L"en", L"главная", L"", L"главная"},  // no case folding beyond ASCII
      {L"en", L"MéMOIRE", L"", L"Memory"},
      {L"en", L"MÉMOIRE", L"", L"MÉMOIRE"},
      {L"en", L" 정리하기", L"", L" 정리하기"},
      {L"en", L"정리하기 ", L"", L"정리하기 "},
      {L"ko", L"정리하기", L"en", L"Clean memory"},
      {L"ko", L"정리하기", L"pt", L"Clean memory"},
      {L"ko", L"정리하기", L"EN", L"Clean memory"},
      {L"ja", L"워킹 셋", L"", L"ワーキング"},
      {L"en", L"워킹 셋", L"", L"워킹 셋"},
      {L"pt", L"워킹 셋", L"", L"워킹 셋"},
      {L"en", L"", L"", L""},
      {L"en", L"정리중", L"", L"Cleaning..."},
      {L"en", L"정리중 ...", L"", L"정리중 ..."},
      {L"en", L"a\\nb\\n", L"", L"a\rb\r"},
      {L"en", L"a\\Nb", L"", L"a\\Nb"},
      {L"en", L"30", L"", L"30"},
      {L"ar", L"%.0n MB / %.0n MB (%n%% 사용중)", L"", L"%.0n MB / %.0n MB (%n%%)"},
      {L"fr", L"ver", L"", L"version"},
  };
  for (const Case& c : cases) {
    const TTranslator t = WithTable(c.current);
    EXPECT_EQ(t.Translate(c.text, c.lang), c.expected) << testing::PrintToString(c.text) << " in " << c.current;
    EXPECT_EQ(t.CurrentLanguage(), c.current);
  }
}

TEST(Translate, LineBreaksAndBlockBoundaries) {
  // A malformed line inside a block neither ends it nor hides the lines after it.
  const TTranslator t(ParseTable("ko=줄\\n바꿈\r\nen=line\\nbreak\r\n\r\n"
                                 "ko=빈\r\nen=\r\n\r\n"
                                 "ko=가\r\nbroken line\r\nja=ア\r\n\r\n"
                                 "ko=나\r\nen=B\r\n\r\n"),
                      L"en");
  struct Case {
    std::wstring text, lang, expected;
  } cases[] = {
      {L"줄\\n바꿈", L"", L"line\rbreak"},
      {L"줄\r바꿈", L"", L"줄\r바꿈"},  // the key is compared as written, before the break
      {L"빈", L"", L""},               // an empty translation is still a translation
      {L"가", L"ja", L"ア"},
      {L"가", L"", L"가"},  // no English in its block; the next block's is not borrowed
      {L"나", L"ja", L"B"},
  };
  for (const Case& c : cases) EXPECT_EQ(t.Translate(c.text, c.lang), c.expected) << testing::PrintToString(c.text);
}

TEST(TranslateStartup, TakesTableAndLanguageFromThePlatform) {
  struct Case {
    std::optional<std::string> resource;
    std::wstring locale;
    bool throwOnRead;
    std::wstring language, home;
  } cases[] = {
      {ResourceBytes(), L"ja", false, L"ja", L"ホーム"},
      {ResourceBytes(), L"", false, L"en", L"Home"},      // the locale query failed
      {ResourceBytes(), L"fil", false, L"fi", L"Home"},   // three letters; no such column
      {ResourceBytes(), L"k", false, L"k", L"Home"},
      {std::nullopt, L"ja", false, L"ja", L"처음화면"},
      {"\xFF\xFE\x00garbage\r\n\xC3", L"ja", false, L"ja", L"처음화면"},
      {ResourceBytes(), L"ja", true, L"ja", L"처음화면"},
  };
  for (const Case& c : cases) {
    FakePlatform platform(c.resource, c.locale);
    platform.throwOnRead = c.throwOnRead;
    TTranslator t;
    t.Startup(platform);
    EXPECT_EQ(t.CurrentLanguage(), c.language) << testing::PrintToString(c.locale);
    EXPECT_EQ(t.Translate(L"처음화면"), c.home) << testing::PrintToString(c.locale);
  }
}

TEST(TranslateStartup, ProcessWideInstanceStartsAndShutsDown) {
  EXPECT_EQ(Translate(L"처음화면"), L"처음화면");  // before start-up texts pass through
  FakePlatform platform(ResourceBytes(), L"ru");
  Startup(platform);
  EXPECT_EQ(CurrentLanguage(), L"ru");
  EXPECT_EQ(Translate(L"처음화면"), L"Главная");
  EXPECT_EQ(Translate(L"처음화면", L"it"), L"Home");
  TranslateComponent(nullptr, L"fr");
  EXPECT_EQ(CurrentLanguage(), L"fr");
  EXPECT_EQ(Translate(L"처음화면"), L"Accueil");
  Shutdown();
  EXPECT_EQ(CurrentLanguage(), L"");
  EXPECT_EQ(Translate(L"처음화면", L"ja"), L"처음화면");
}

TEST(TranslateComponent, TranslatesTheMainWindow) {
  struct Case {
    std::wstring language;
    std::vector<std::pair<const wchar_t*, std::wstring>> captions;
  } cases[] = {
      {L"ko",
       {{L"FrmQuorvane", L"Quorvane"}, {L"LblTitle", L"Quorvane"}, {L"BtnHome", L"처음화면"},
        {L"LblWorking", L"워킹 셋"}, {L"BtnClose", L"종료"}}},
      {L"en",
       {{L"FrmQuorvane", L"Quorvane"}, {L"LblTitle", L"Quorvane"}, {L"BtnHome", L"Home"},
        {L"BtnConfig", L"Config"}, {L"BtnDonate", L"Donate"}, {L"LblPhys", L"Physical"},
        {L"LblVirtual", L"Virtual"}, {L"LblWorking", L"워킹 셋"}, {L"BtnClean", L"Clean memory"},
        {L"GroupBox1", L"Memory"}, {L"GroupBox3", L"General"},
        {L"ChkUsagePhys", L"Clean when physical memory usage is higher than (%)"},
        {L"ChkMinute", L"Clean automatically if interval (minutes) exceeded."},
        {L"ChkCleanOnTray", L"Clean when you click on the task icon"}, {L"ChkAutoStart", L"Run on system start"},
        {L"BtnOpen", L"Quorvane"}, {L"N2", L"-"}, {L"BtnCopyright", L"Crafted by Dunmere"}, {L"BtnClose", L"Quit"},
        {L"PnlMain", L"PnlMain"}, {L"Card1", L"Card1"}, {L"PnlHead", L""}}},
      {L"ja",
       {{L"FrmQuorvane", L"Quorvane"}, {L"BtnHome", L"ホーム"}, {L"LblWorking", L"ワーキング"},
        {L"BtnClose", L"終了"}, {L"N2", L"-"}, {L"Card2", L"Card2"}}},
      {L"pt", {{L"FrmQuorvane", L"Quorvane"}, {L"BtnHome", L"Home"}, {L"LblWorking", L"워킹 셋"}}},
  };
  for (const Case& c : cases) {
    fakes::MainHarness h;
    TTranslator t = WithTable(c.language);
    h.form->EditUsagePhys->SetItemIndex(2);
    h.form->EditMinute->SetItemIndex(6);
    const std::vector<std::wstring> minutes = h.form->EditMinute->Items();

    t.TranslateComponent(h.form.get());
    for (const auto& [name, expected] : c.captions)
      EXPECT_EQ(CaptionOf(*h.form, name), expected) << testing::PrintToString(std::wstring(name)) << " in "
                                                    << testing::PrintToString(c.language);
    EXPECT_EQ(h.form->EditUsagePhys->ItemIndex(), 2);
    EXPECT_EQ(h.form->EditUsagePhys->Text(), L"50");
    EXPECT_EQ(h.form->EditMinute->ItemIndex(), 6);
    EXPECT_EQ(h.form->EditMinute->Items(), minutes);
    EXPECT_EQ(t.CurrentLanguage(), c.language);

    // A second pass changes nothing.
    std::vector<std::wstring> once;
    for (const auto& [name, expected] : c.captions) once.push_back(CaptionOf(*h.form, name));
    t.TranslateComponent(h.form.get());
    std::vector<std::wstring> twice;
    for (const auto& [name, expected] : c.captions) twice.push_back(CaptionOf(*h.form, name));
    EXPECT_EQ(twice, once) << testing::PrintToString(c.language);
  }
}

TEST(TranslateComponent, TitleIsJapaneseWhileTheWindowCaptionIsEnglish) {
  fakes::MainHarness h;
  TTranslator t = WithTable(L"ja");
  t.TranslateComponent(h.form.get());
  const std::wstring english = t.Translate(L"Quorvane", L"en");
  EXPECT_EQ(h.form->Caption(), english);
  EXPECT_EQ(CaptionOf(*h.form, L"LblTitle"), t.Translate(L"Quorvane", L"ja"));
  EXPECT_NE(CaptionOf(*h.form, L"LblTitle"), english);
  EXPECT_EQ(h.form->BtnOpen->Caption, CaptionOf(*h.form, L"LblTitle"));
}

TEST(TranslateComponent, DropDownEntriesAreTranslatedWithoutLosingTheSelection) {
  ui::Form form(nullptr, L"Frm", L"TFrm");
  auto& words = form.Create<ui::ComboBox>(L"Words", &form);
  auto& numbers = form.Create<ui::ComboBox>(L"Numbers", &form);
  // Whatever a list owns is its own business: the walk stops at the list.
  auto& inner = words.Create<ui::Label>(L"Inner", nullptr);
  inner.SetCaption(L"종료");
  words.SetItems({L"정리하기", L"30", L"종료"});
  words.SetItemIndex(2);
  numbers.SetItems({L"5", L"10"});
  numbers.SetItemIndex(1);
  CountingPeer wordsPeer, numbersPeer;
  words.AttachPeer(&wordsPeer);
  numbers.AttachPeer(&numbersPeer);

  TTranslator t = WithTable(L"ko");
  t.TranslateComponent(&form, L"en");

  EXPECT_EQ(words.Items(), (std::vector<std::wstring>{L"Clean memory", L"30", L"Quit"}));
  EXPECT_EQ(words.ItemIndex(), 2);
  EXPECT_EQ(wordsPeer.itemChanges, 1);
  EXPECT_EQ(numbers.ItemIndex(), 1);
  EXPECT_EQ(numbersPeer.itemChanges, 0);
  EXPECT_EQ(inner.Caption(), L"종료");
  EXPECT_EQ(t.CurrentLanguage(), L"en");
}

TEST(TranslateComponent, LanguageArgumentStaysInForceEvenWithoutAComponent) {
  TTranslator t = WithTable(L"ko");
  t.TranslateComponent(nullptr, L"en");
  EXPECT_EQ(t.CurrentLanguage(), L"en");
  EXPECT_EQ(t.Translate(L"종료"), L"Quit");
  t.TranslateComponent(nullptr);  // no language: the current one stays
  t.TranslateMenuItem(nullptr);
  t.TranslateStrings(nullptr);
  EXPECT_EQ(t.CurrentLanguage(), L"en");

  fakes::MainHarness h;
  t.TranslateComponent(h.form.get(), L"ja");
  EXPECT_EQ(t.CurrentLanguage(), L"ja");
  EXPECT_EQ(h.form->BtnHome->Caption(), L"ホーム");
  // Korean users see the Korean title, whatever language the rest was last given.
  t.TranslateComponent(h.form.get(), L"ko");
  EXPECT_EQ(h.form->Caption(), L"Quorvane");
  EXPECT_EQ(h.form->BtnHome->Caption(), L"처음화면");
}
