// MultiByteToWideChar for UTF-8, the one code page the program reads text files in.
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
