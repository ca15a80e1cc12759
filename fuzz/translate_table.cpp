// The translation table's parser, lookup in any language, and captions of a small window.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "translate/translate.h"
#include "ui/form.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input in(data, size);
  const std::wstring language = in.Text(), text = in.Text();
  const std::string_view table = in.Piece();
  Vel::Translate::TTranslator translator(Vel::Translate::ParseTable(table), language);
  (void)translator.Translate(text);
  (void)translator.Translate(text, L"en");

  ui::Form form(nullptr, L"FrmFuzz", L"TFrmFuzz");
  form.SetCaption(text);
  auto& label = form.Create<ui::Label>(L"LblFuzz", &form);
  label.SetCaption(text);
  auto& list = form.Create<ui::ComboBox>(L"EditFuzz", &form);
  list.SetItems({text, language});
  translator.TranslateComponent(&form, language);
  std::vector<std::wstring> strings{text, L"", language};
  translator.TranslateStrings(&strings);
  return 0;
}
