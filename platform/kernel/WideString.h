// Conversions between the API's wide strings (UTF-32 wchar_t) and UTF-8, made only where text
// crosses to the operating system: file names, process arguments, the registry file.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Invalid code points (surrogates, values above U+10FFFF) become U+FFFD.
std::string ToUtf8(std::wstring_view text);
// A null pointer converts to the empty string.
std::string ToUtf8(const wchar_t* text);

// Malformed sequences become U+FFFD.
std::wstring FromUtf8(std::string_view text);
// False on any malformed sequence (overlong forms, surrogates, truncation, values above U+10FFFF).
bool FromUtf8Strict(std::string_view text, std::wstring* out);

}  // namespace platform
