// Vel.Strings: the small scanner the update answer is read with, and text decoding.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace Vel::Strings {

// The text between the first StartMark and the next EndMark, marks compared with ASCII letters
// case-insensitively; empty when a mark is missing. An empty StartMark starts at the beginning,
// an empty EndMark runs to the end. With a quote as EndMark, a quote escaped by a backslash does
// not end the value.
std::wstring ExtractBetween(const std::wstring& Source, const std::wstring& StartMark, const std::wstring& EndMark);

// Resolves backslash escapes; an unknown escape vanishes. Empty optional when a \u escape is not
// a hexadecimal number.
std::optional<std::wstring> JsonUnescape(const std::wstring& Text);

// UTF-8 to UTF-16 (a code point per wchar_t where wchar_t is 32 bits wide); every malformed
// sequence becomes U+FFFD.
std::wstring DecodeUtf8(std::string_view Bytes);

}  // namespace Vel::Strings
