#include <cstdarg>
#include <cwchar>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace {

constexpr size_t kMaxCch = 2147483647;  // the largest buffer the bounded functions accept
constexpr size_t kMaxFormatted = 1u << 20;

// Copies at most destSize - 1 units of src[0..srcLength) and terminates.
HRESULT CopyBounded(LPWSTR dest, size_t destSize, const wchar_t* src, size_t srcLength) {
    const size_t n = srcLength < destSize ? srcLength : destSize - 1;
    std::wmemmove(dest, src, n);
    dest[n] = L'\0';
    return n == srcLength ? S_OK : STRSAFE_E_INSUFFICIENT_BUFFER;
}

size_t BoundedLength(const wchar_t* s, size_t max) {
    size_t n = 0;
    while (n < max && s[n] != L'\0') {
        ++n;
    }
    return n;
}

// The shell's wide format functions read %s and %c as wide and %S / %hs / %C / %hc as narrow,
// and know the I64 / I32 / I size prefixes; the C library's wide printf reads %s and %c as narrow.
// This rewrites a format of the first kind into one of the second; the arguments stay as passed.
// False for %n, which the shell refuses too.
bool TranslateFormat(const wchar_t* format, std::wstring* translated) {
    std::wstring& out = *translated;
    out.clear();
    for (const wchar_t* p = format; *p;) {
        if (*p != L'%') {
            out.push_back(*p++);
            continue;
        }
        out.push_back(*p++);
        if (*p == L'%') {
            out.push_back(*p++);
            continue;
        }
        while (*p && std::wcschr(L"-+ #0", *p)) {
            out.push_back(*p++);
        }
        while (*p && ((*p >= L'0' && *p <= L'9') || *p == L'*' || *p == L'.')) {
            out.push_back(*p++);
        }
        enum { None, Short, Long, Wide } size = None;
        std::wstring length;
        if (p[0] == L'I' && p[1] == L'6' && p[2] == L'4') {
            length = L"ll";
            p += 3;
        } else if (p[0] == L'I' && p[1] == L'3' && p[2] == L'2') {
            p += 3;
        } else if (p[0] == L'I') {
            length = L"z";
            ++p;
        } else if (p[0] == L'h' && p[1] != L'h') {
            size = Short;
            length = L"h";
            ++p;
        } else if (p[0] == L'w') {
            size = Wide;
            ++p;
        } else if (p[0] == L'l' && p[1] != L'l') {
            size = Long;
            length = L"l";
            ++p;
        }
        while (*p && std::wcschr(L"hlLqjzt", *p)) {
            length.push_back(*p++);
        }
        const wchar_t conversion = *p;
        if (conversion == L'n') {
            return false;
        }
        if (conversion == L's' || conversion == L'c' || conversion == L'S' || conversion == L'C') {
            const bool upper = conversion == L'S' || conversion == L'C';
            const bool narrow = size == Short || (upper && size != Long && size != Wide);
            out += narrow ? L"" : L"l";
            out.push_back(upper ? static_cast<wchar_t>(conversion + (L'a' - L'A')) : conversion);
            ++p;
            continue;
        }
        out += length;
        if (conversion) {
            out.push_back(*p++);
        }
    }
    return true;
}

}  // namespace

HRESULT StringCchCopyW(LPWSTR dest, size_t destSize, LPCWSTR src) {
    if (!dest || destSize == 0 || destSize > kMaxCch) {
        return E_INVALIDARG;
    }
    if (!src) {
        src = L"";
    }
    return CopyBounded(dest, destSize, src, BoundedLength(src, destSize));
}

HRESULT StringCchCatW(LPWSTR dest, size_t destSize, LPCWSTR src) {
    if (!dest || destSize == 0 || destSize > kMaxCch) {
        return E_INVALIDARG;
    }
    const size_t used = BoundedLength(dest, destSize);
    if (used == destSize) {
        return E_INVALIDARG;  // dest is not terminated inside its buffer
    }
    if (!src) {
        src = L"";
    }
    const size_t room = destSize - used;
    return CopyBounded(dest + used, room, src, BoundedLength(src, room));
}

HRESULT StringCchPrintfW(LPWSTR dest, size_t destSize, LPCWSTR format, ...) {
    if (!dest || destSize == 0 || destSize > kMaxCch) {
        return E_INVALIDARG;
    }
    if (!format) {
        dest[0] = L'\0';
        return E_INVALIDARG;
    }
    std::wstring translated;
    if (!TranslateFormat(format, &translated)) {
        dest[0] = L'\0';
        return E_INVALIDARG;
    }
    // vswprintf reports truncation and encoding errors alike, so format into a buffer that grows
    // until the text fits, then copy what the destination holds.
    std::vector<wchar_t> buffer(destSize < 256 ? 256 : destSize);
    for (;;) {
        va_list args;
        va_start(args, format);
        const int n = std::vswprintf(buffer.data(), buffer.size(), translated.c_str(), args);
        va_end(args);
        if (n >= 0) {
            return CopyBounded(dest, destSize, buffer.data(), static_cast<size_t>(n));
        }
        if (buffer.size() >= kMaxFormatted) {
            dest[0] = L'\0';
            return E_INVALIDARG;
        }
        buffer.resize(buffer.size() * 4 > kMaxFormatted ? kMaxFormatted : buffer.size() * 4);
    }
}

HRESULT StringCchLengthW(LPCWSTR str, size_t maxLength, size_t* length) {
    HRESULT result = E_INVALIDARG;
    size_t n = 0;
    if (str && maxLength != 0 && maxLength <= kMaxCch) {
        n = BoundedLength(str, maxLength);
        if (n < maxLength) {
            result = S_OK;
        } else {
            n = 0;
        }
    }
    if (length) {
        *length = n;
    }
    return result;
}
