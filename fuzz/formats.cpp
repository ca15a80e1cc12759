// The format texts: the version text's placeholders and the status lines' directives with odd
// locale separators and groupings, all of which may come from the translation table.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "app/status_format.h"
#include "fuzz/fuzz_input.h"
#include "update/version.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input in(data, size);
  app::NumberFormat nf;
  const std::wstring decimal = in.Text(), thousand = in.Text();
  std::wcsncpy(nf.Decimal, decimal.c_str(), 7);
  std::wcsncpy(nf.Thousand, thousand.c_str(), 7);
  nf.GroupCount = in.Byte() % 5;
  for (unsigned char& g : nf.Groups) g = in.Byte() % 10;
  nf.RepeatLast = in.Byte() & 1;
  const std::wstring format = in.Text();
  double args[3];
  for (double& a : args) {
    const std::uint32_t hi = in.Word(), lo = in.Word();
    const std::uint64_t bits = std::uint64_t(hi) << 32 | lo;
    std::memcpy(&a, &bits, sizeof a);
  }
  std::wstring out;
  app::FormatStatus(format, {args[0], args[1], args[2]}, nf, out);
  app::FormatStatus(format, {app::ToMiB(std::uint64_t(in.Word()) << 20 | in.Word()), 100.0 * in.Byte() / 255}, nf, out);
  (void)app::WholeNumberOr(format, -1);

  const std::wstring version = Vel::Update::FormatVersion(format, Vel::Update::VersionNumbers{in.Word() & 0xFFFF, in.Word() & 0xFFFF,
                                                                                              in.Word() & 0xFFFF, 0});
  (void)version;
  fuzz::Check(Vel::Update::FormatVersion(format, std::nullopt) == L"0.0.0.0");
  return 0;
}
