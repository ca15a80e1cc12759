// The update service's answer as the check reads it: the body through the request's bound and
// decoding, the members, the scanner with any marks, and the header cleaning.
#include <cstdint>
#include <string>

#include "fuzz/fuzz_input.h"
#include "update/strings.h"
#include "update/update.h"
#include "update/version.h"

namespace {

using namespace Vel::Update;

class FixedAnswer final : public HttpApi {
 public:
  explicit FixedAnswer(std::string body) : body_(std::move(body)) {}
  HttpResult Get(const std::wstring&, const std::wstring&, const THeaders& Headers, std::size_t MaxBytes,
                 std::string& Body) override {
    // Nothing stored or received may start a header line of its own.
    for (const auto& [name, value] : Headers)
      for (const std::wstring* s : {&name, &value})
        for (wchar_t c : *s) fuzz::Check(c >= 0x20 && c != 0x7F);
    if (body_.size() > MaxBytes) return HttpResult::TooLarge;
    Body = body_;
    return HttpResult::Answered;
  }

 private:
  std::string body_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input in(data, size);
  const std::wstring start = in.Text(), end = in.Text(), headerValue = in.Text();
  std::string body(in.Piece());

  FixedAnswer http(body);
  std::wstring text;
  fuzz::Check(RequestText(http, L"https://h/api.init.php", CheckHeaders(headerValue, start, false, end), text));
  fuzz::Check(text.size() <= body.size());  // one unit per byte at most

  // The members: either all read or, for a malformed escape anywhere, none.
  const TUpdateAnswer answer = ParseAnswer(text);
  (void)IsWebAddress(answer.Update);
  (void)IsWebAddress(answer.Notify);

  // The scanner never invents text: what it returns stands in the source.
  const std::wstring between = Vel::Strings::ExtractBetween(text, start, end);
  fuzz::Check(between.empty() || text.find(between) != std::wstring::npos);
  if (auto plain = Vel::Strings::JsonUnescape(between)) fuzz::Check(plain->size() <= between.size());
  return 0;
}
