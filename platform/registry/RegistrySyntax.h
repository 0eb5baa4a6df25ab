// The pieces of a .reg file's lines: root key names, quoted names and text, and each type's data
// (dword:XXXXXXXX, "text", hex(N):bytes, REG_SZ as UTF-16 where text cannot be quoted).
#pragma once

#include <string>
#include <string_view>

#include "platform/registry/RegistryFile.h"

namespace platform::registry {

struct Root {
    HKEY key;
    const wchar_t* name;
};
inline const Root kRoots[] = {
    {HKEY_CLASSES_ROOT, L"HKEY_CLASSES_ROOT"},
    {HKEY_CURRENT_USER, L"HKEY_CURRENT_USER"},
    {HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE"},
    {HKEY_USERS, L"HKEY_USERS"},
};

// Control characters never appear in names, and make text take the hex form.
inline bool IsControl(wchar_t c) {
    return c < 0x20 || c == 0x7F;
}

std::string_view TrimLeft(std::string_view s);
// Spaces and tabs on both sides, and a carriage return at the end.
std::string_view Trim(std::string_view s);
inline bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

// Reads a quoted string at the start of *s (escapes \\ and \"), leaving *s after the closing quote.
bool ParseQuoted(std::string_view* s, std::wstring* out);
std::string Quote(const std::wstring& text);

// True for a '"name"=hex...' or '@=hex...' line, the only kind that continues on the next line.
bool IsHexValue(std::string_view s);
// Parses the data after '=' into *value; false for anything malformed or trailing junk.
bool ParseData(std::string_view data, Value* value);
// The data after '=' for a value.
std::string DataText(const Value& value);

}  // namespace platform::registry
