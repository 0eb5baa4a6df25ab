// The conversions for UTF-8, the one code page the program reads and writes text files in.
#include <cstdint>
#include <string>

#include "platform/kernel/WideString.h"
#include "platform/win32.h"

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int cbText, LPWSTR wide,
                        int cchWide) {
    if (codePage != CP_UTF8 || !text || cbText < -1 || cchWide < 0 || (cchWide > 0 && !wide)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // -1: the text ends at its terminator, which is converted too.
    const size_t length =
        cbText == -1 ? std::char_traits<char>::length(text) + 1 : static_cast<size_t>(cbText);
    std::wstring out;
    if (flags & MB_ERR_INVALID_CHARS) {
        if (!platform::FromUtf8Strict(std::string_view(text, length), &out)) {
            SetLastError(ERROR_NO_UNICODE_TRANSLATION);
            return 0;
        }
    } else {
        out = platform::FromUtf8(std::string_view(text, length));
    }
    if (cchWide == 0) {
        return static_cast<int>(out.size());
    }
    if (out.size() > static_cast<size_t>(cchWide)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    out.copy(wide, out.size());
    return static_cast<int>(out.size());
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int cchWide, LPSTR text,
                        int cbText, LPCSTR defaultChar, BOOL* usedDefaultChar) {
    if (codePage != CP_UTF8 || !wide || cchWide < -1 || cbText < 0 || (cbText > 0 && !text) ||
        defaultChar || usedDefaultChar) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const size_t length =
        cchWide == -1 ? std::char_traits<wchar_t>::length(wide) + 1 : static_cast<size_t>(cchWide);
    const std::wstring_view in(wide, length);
    if (flags & WC_ERR_INVALID_CHARS) {
        for (wchar_t c : in) {
            if ((c >= 0xD800 && c <= 0xDFFF) || static_cast<uint32_t>(c) > 0x10FFFF) {
                SetLastError(ERROR_NO_UNICODE_TRANSLATION);
                return 0;
            }
        }
    }
    const std::string out = platform::ToUtf8(in);
    if (cbText == 0) {
        return static_cast<int>(out.size());
    }
    if (out.size() > static_cast<size_t>(cbText)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    out.copy(text, out.size());
    return static_cast<int>(out.size());
}
