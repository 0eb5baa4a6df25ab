// Conversions between the API's wide strings (UTF-32 wchar_t) and UTF-8 or UTF-16, made only where
// text crosses to something else: file names, process arguments, the registry file, fonts.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// A wide character as a Unicode scalar value: surrogates and values above U+10FFFF are U+FFFD.
inline char32_t ToCodePoint(wchar_t c) {
    const auto u = static_cast<char32_t>(c);
    return u > 0x10FFFF || (u >= 0xD800 && u <= 0xDFFF) ? char32_t(0xFFFD) : u;
}

// Invalid code points (surrogates, values above U+10FFFF) become U+FFFD.
std::string ToUtf8(std::wstring_view text);
// A null pointer converts to the empty string.
std::string ToUtf8(const wchar_t* text);

// Malformed sequences become U+FFFD.
std::wstring FromUtf8(std::string_view text);
// False on any malformed sequence (overlong forms, surrogates, truncation, values above U+10FFFF).
bool FromUtf8Strict(std::string_view text, std::wstring* out);

// Invalid code points become U+FFFD; characters above U+FFFF become surrogate pairs.
std::u16string ToUtf16(std::wstring_view text);
// Unpaired surrogates become U+FFFD.
std::wstring FromUtf16(std::u16string_view text);

}  // namespace platform
