// The registry's contents and their text form, the .reg export format: a header line, a
// "[ROOT\key]" line per key and a '"name"=data' line per value, where data is dword:XXXXXXXX,
// "text" (with \\ and \" escaped) or hex(N):bytes for the other types.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32.h"

namespace platform::registry {

constexpr uint32_t kTypeString = 1;  // REG_SZ
constexpr uint32_t kTypeBinary = 3;  // REG_BINARY
constexpr uint32_t kTypeDword = 4;   // REG_DWORD

// The largest file read; anything longer is not a registry file of this program.
constexpr size_t kMaxFileSize = 16u << 20;

struct Value {
    std::wstring name;  // as first written; "" is the key's default value
    uint32_t type = kTypeDword;
    DWORD dword = 0;             // kTypeDword
    std::wstring text;           // kTypeString
    std::vector<uint8_t> bytes;  // other types, and data that does not fit its type
    bool raw = false;            // the data is `bytes`, whatever the type
    int line = 0;                // where the file held it (from 1); 0 when set by this run
    bool IsDword() const { return type == kTypeDword && !raw; }
    bool IsString() const { return type == kTypeString && !raw; }
    // What the data is, for a reader that wanted another type: "a string", "binary data (hex:)".
    std::string Describe() const;
    bool operator==(const Value& other) const;  // the data, not where it was read
};

class Contents {
public:
    // The canonical full name of a key, "ROOT\a\b", or false when the root is not a predefined
    // key or the path is malformed (empty components, line breaks).
    static bool KeyName(HKEY root, const std::wstring& subKey, std::wstring* fullName);
    // True when a value name can be stored (no line breaks or other control characters).
    static bool ValidName(const std::wstring& name);
    // Key and value names compare case-insensitively.
    static bool SameName(const std::wstring& a, const std::wstring& b) {
        return Fold(a) == Fold(b);
    }

    const Value* Find(const std::wstring& key, const std::wstring& name) const;
    bool HasKey(const std::wstring& key) const;
    void CreateKey(const std::wstring& key);  // an empty key, unless it exists
    // Keeps the spelling of an existing value's name.
    void Set(const std::wstring& key, Value value);

    // A line that was skipped: its number (from 1; 0 for the whole file) and why.
    struct Damage {
        int line;
        std::string reason;
    };
    // Replaces the contents with the parsed text. Without `damaged` any damage refuses the whole
    // text (false, contents empty); with it, damaged lines are skipped and listed there, and false
    // means the text is no registry file at all.
    bool Parse(std::string_view text, std::vector<Damage>* damaged = nullptr);
    std::string Serialize() const;

    bool operator==(const Contents& other) const;
    bool Empty() const { return keys_.empty(); }

private:
    struct Key {
        std::wstring name;
        std::vector<Value> values;
    };
    static std::wstring Fold(const std::wstring& text);
    bool ParseLines(std::string_view text, std::vector<Damage>* damaged);
    std::string ParseKeyLine(std::string_view s, Key** current, bool* deletedSection);
    std::string ParseValueLine(std::string_view s, int line, Key* current);
    void DeleteTree(const std::wstring& key);
    Key& KeyFor(const std::wstring& name);

    std::map<std::wstring, Key> keys_;  // by folded full name
};

}  // namespace platform::registry
