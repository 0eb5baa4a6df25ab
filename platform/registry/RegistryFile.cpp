#include "platform/registry/RegistryFile.h"

#include <locale.h>
#include <wctype.h>

#include <cstdio>
#include <utility>

#include "platform/kernel/WideString.h"

namespace platform::registry {
namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kOldHeader = "REGEDIT4";
constexpr size_t kMaxLine = 1u << 20;

struct Root {
    HKEY key;
    const wchar_t* name;
};
const Root kRoots[] = {
    {HKEY_CLASSES_ROOT, L"HKEY_CLASSES_ROOT"},
    {HKEY_CURRENT_USER, L"HKEY_CURRENT_USER"},
    {HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE"},
    {HKEY_USERS, L"HKEY_USERS"},
};

bool IsControl(wchar_t c) {
    return c < 0x20 || c == 0x7F;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Parses 1..maxDigits hex digits making up all of `text`.
bool ParseHex(std::string_view text, size_t maxDigits, uint32_t* out) {
    if (text.empty() || text.size() > maxDigits) {
        return false;
    }
    uint32_t v = 0;
    for (char c : text) {
        const int d = HexDigit(c);
        if (d < 0) {
            return false;
        }
        v = (v << 4) | static_cast<uint32_t>(d);
    }
    *out = v;
    return true;
}

std::string_view TrimLeft(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    return s;
}

std::string_view Trim(std::string_view s) {
    s = TrimLeft(s);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    return s;
}

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

// Reads a quoted string at the start of *s (escapes \\ and \"), leaving *s after the closing quote.
bool ParseQuoted(std::string_view* s, std::wstring* out) {
    if (s->empty() || s->front() != '"') {
        return false;
    }
    std::string raw;
    size_t i = 1;
    for (; i < s->size(); ++i) {
        const char c = (*s)[i];
        if (c == '"') {
            break;
        }
        if (c == '\\') {
            if (i + 1 >= s->size() || ((*s)[i + 1] != '\\' && (*s)[i + 1] != '"')) {
                return false;
            }
            raw.push_back((*s)[++i]);
        } else {
            raw.push_back(c);
        }
    }
    if (i >= s->size()) {
        return false;
    }
    s->remove_prefix(i + 1);
    return FromUtf8Strict(raw, out);
}

std::string Quote(const std::wstring& text) {
    std::string out = "\"";
    for (char c : ToUtf8(text)) {
        if (c == '\\' || c == '"') {
            out.push_back('\\');
        }
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

// Comma-separated bytes of a hex value, each one or two digits; "" is no bytes.
bool ParseBytes(std::string_view text, std::vector<uint8_t>* out) {
    out->clear();
    text = Trim(text);
    if (text.empty()) {
        return true;
    }
    for (;;) {
        const size_t comma = text.find(',');
        uint32_t byte;
        if (!ParseHex(Trim(text.substr(0, comma)), 2, &byte)) {
            return false;
        }
        out->push_back(static_cast<uint8_t>(byte));
        if (comma == std::string_view::npos) {
            return true;
        }
        text.remove_prefix(comma + 1);
    }
}

std::vector<uint8_t> ToUtf16Bytes(const std::wstring& text) {
    std::vector<uint8_t> bytes;
    auto unit = [&bytes](uint32_t u) {
        bytes.push_back(static_cast<uint8_t>(u & 0xFF));
        bytes.push_back(static_cast<uint8_t>(u >> 8));
    };
    for (wchar_t ch : text) {
        uint32_t c = static_cast<uint32_t>(ch);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            c = 0xFFFD;
        }
        if (c >= 0x10000) {
            unit(0xD800 + ((c - 0x10000) >> 10));
            unit(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            unit(c);
        }
    }
    unit(0);
    return bytes;
}

bool FromUtf16Bytes(const std::vector<uint8_t>& bytes, std::wstring* out) {
    if (bytes.size() % 2) {
        return false;
    }
    out->clear();
    for (size_t i = 0; i < bytes.size(); i += 2) {
        uint32_t u = bytes[i] | (bytes[i + 1] << 8);
        if (u == 0) {
            break;
        }
        if (u >= 0xD800 && u <= 0xDBFF && i + 3 < bytes.size()) {
            const uint32_t low = bytes[i + 2] | (bytes[i + 3] << 8);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        if (u >= 0xD800 && u <= 0xDFFF) {
            u = 0xFFFD;
        }
        out->push_back(static_cast<wchar_t>(u));
    }
    return true;
}

// True for a '"name"=hex...' or '@=hex...' line, the only kind that continues on the next line.
bool IsHexValue(std::string_view s) {
    if (StartsWith(s, "@")) {
        s.remove_prefix(1);
    } else if (StartsWith(s, "\"")) {
        size_t i = 1;
        while (i < s.size() && s[i] != '"') {
            i += s[i] == '\\' ? 2 : 1;
        }
        if (i >= s.size()) {
            return false;
        }
        s.remove_prefix(i + 1);
    } else {
        return false;
    }
    s = TrimLeft(s);
    return StartsWith(s, "=") && StartsWith(TrimLeft(s.substr(1)), "hex");
}

// Parses the data after '=' into *value; false for anything malformed or trailing junk.
bool ParseData(std::string_view data, Value* value) {
    if (StartsWith(data, "\"")) {
        value->type = kTypeString;
        return ParseQuoted(&data, &value->text) && Trim(data).empty();
    }
    if (StartsWith(data, "dword:")) {
        value->type = kTypeDword;
        return ParseHex(data.substr(6), 8, &value->dword);
    }
    uint32_t type = kTypeBinary;
    if (StartsWith(data, "hex:")) {
        data.remove_prefix(4);
    } else if (StartsWith(data, "hex(")) {
        const size_t close = data.find("):");
        if (close == std::string_view::npos || !ParseHex(data.substr(4, close - 4), 8, &type)) {
            return false;
        }
        data.remove_prefix(close + 2);
    } else {
        return false;
    }
    std::vector<uint8_t> bytes;
    if (!ParseBytes(data, &bytes)) {
        return false;
    }
    value->type = type;
    if (type == kTypeDword && bytes.size() == 4) {
        value->dword = static_cast<DWORD>(bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) |
                                          (static_cast<uint32_t>(bytes[3]) << 24));
    } else if (!(type == kTypeString && FromUtf16Bytes(bytes, &value->text))) {
        value->bytes = std::move(bytes);
        value->raw = true;
    }
    return true;
}

std::string HexBytes(const std::vector<uint8_t>& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i) {
            out.push_back(',');
        }
        out.push_back(kDigits[bytes[i] >> 4]);
        out.push_back(kDigits[bytes[i] & 15]);
    }
    return out;
}

bool NeedsHex(const std::wstring& text) {
    for (wchar_t c : text) {
        if (IsControl(c) && c != L'\t') {
            return true;
        }
    }
    return false;
}

locale_t FoldLocale() {
    static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    return locale;
}

}  // namespace

std::string Value::Describe() const {
    if (IsDword()) {
        return "a number (dword:)";
    }
    if (IsString()) {
        return "a string";
    }
    if (type == kTypeBinary) {
        return "binary data (hex:)";
    }
    if (type == kTypeDword) {
        return "hex(4) data of " + std::to_string(bytes.size()) + " bytes";
    }
    if (type == kTypeString) {
        return "hex(1) data that is not UTF-16 text";
    }
    char text[40];
    std::snprintf(text, sizeof text, "data of type hex(%x)", static_cast<unsigned>(type));
    return text;
}

bool Value::operator==(const Value& other) const {
    return name == other.name && type == other.type && dword == other.dword && text == other.text &&
           bytes == other.bytes;
}

std::wstring Contents::Fold(const std::wstring& text) {
    std::wstring out(text);
    const locale_t locale = FoldLocale();
    for (wchar_t& c : out) {
        if (c < 0x80) {
            if (c >= L'a' && c <= L'z') {
                c = static_cast<wchar_t>(c - (L'a' - L'A'));
            }
        } else if (locale) {
            c = static_cast<wchar_t>(towupper_l(static_cast<wint_t>(c), locale));
        }
    }
    return out;
}

bool Contents::KeyName(HKEY root, const std::wstring& subKey, std::wstring* fullName) {
    const wchar_t* rootName = nullptr;
    for (const Root& r : kRoots) {
        if (r.key == root) {
            rootName = r.name;
        }
    }
    if (!rootName) {
        return false;
    }
    std::wstring name = rootName;
    size_t begin = 0;
    while (begin < subKey.size() && subKey[begin] == L'\\') {
        ++begin;
    }
    size_t end = subKey.size();
    while (end > begin && subKey[end - 1] == L'\\') {
        --end;
    }
    bool previousSlash = true;
    for (size_t i = begin; i < end; ++i) {
        const wchar_t c = subKey[i];
        if (IsControl(c) || (c == L'\\' && previousSlash)) {
            return false;
        }
        if (previousSlash) {
            name.push_back(L'\\');
        }
        previousSlash = c == L'\\';
        if (!previousSlash) {
            name.push_back(c);
        }
    }
    *fullName = std::move(name);
    return true;
}

bool Contents::ValidName(const std::wstring& name) {
    for (wchar_t c : name) {
        if (IsControl(c)) {
            return false;
        }
    }
    return true;
}

const Value* Contents::Find(const std::wstring& key, const std::wstring& name) const {
    const auto k = keys_.find(Fold(key));
    if (k == keys_.end()) {
        return nullptr;
    }
    const std::wstring folded = Fold(name);
    for (const Value& v : k->second.values) {
        if (Fold(v.name) == folded) {
            return &v;
        }
    }
    return nullptr;
}

bool Contents::HasKey(const std::wstring& key) const {
    return keys_.count(Fold(key)) != 0;
}

void Contents::CreateKey(const std::wstring& key) {
    KeyFor(key);
}

Contents::Key& Contents::KeyFor(const std::wstring& name) {
    Key& key = keys_[Fold(name)];
    if (key.name.empty()) {
        key.name = name;
    }
    return key;
}

void Contents::Set(const std::wstring& key, Value value) {
    Key& k = KeyFor(key);
    const std::wstring folded = Fold(value.name);
    for (Value& v : k.values) {
        if (Fold(v.name) == folded) {
            value.name = v.name;
            v = std::move(value);
            return;
        }
    }
    k.values.push_back(std::move(value));
}

void Contents::DeleteTree(const std::wstring& key) {
    const std::wstring folded = Fold(key);
    for (auto it = keys_.begin(); it != keys_.end();) {
        const std::wstring& k = it->first;
        const bool inside =
            k == folded || (k.size() > folded.size() && k.compare(0, folded.size(), folded) == 0 &&
                            k[folded.size()] == L'\\');
        it = inside ? keys_.erase(it) : std::next(it);
    }
}

bool Contents::Parse(std::string_view text, std::vector<Damage>* damaged) {
    keys_.clear();
    if (!ParseLines(text, damaged)) {
        keys_.clear();
        return false;
    }
    return true;
}

bool Contents::ParseLines(std::string_view text, std::vector<Damage>* damaged) {
    if (text.size() > kMaxFileSize) {
        if (damaged) {
            damaged->push_back({0, "the file is larger than 16 MiB"});
        }
        return false;
    }
    if (!damaged && text.find('\0') != std::string_view::npos) {
        return false;
    }
    if (StartsWith(text, "\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    bool seenContent = false;
    Key* current = nullptr;
    bool deletedSection = false;
    int damagedKeyLine = 0;  // the values below a damaged key line have no key
    int lineNumber = 0;
    std::string joined;
    std::string reason;
    while (!text.empty()) {
        const int first = ++lineNumber;
        const size_t newline = text.find('\n');
        std::string_view line = text.substr(0, newline);
        text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
        reason.clear();
        if (line.size() > kMaxLine) {
            reason = "longer than 1 MiB";
        }
        // A hex value continues on the next line after a trailing backslash.
        joined.assign(Trim(line.substr(0, kMaxLine)));
        while (!joined.empty() && joined.back() == '\\' && IsHexValue(joined) && !text.empty()) {
            const size_t next = text.find('\n');
            const std::string_view more = text.substr(0, next);
            text.remove_prefix(next == std::string_view::npos ? text.size() : next + 1);
            ++lineNumber;
            if (joined.size() + more.size() > kMaxLine) {
                reason = "longer than 1 MiB";
                break;
            }
            joined.pop_back();
            joined.append(Trim(more));
        }
        if (reason.empty() && joined.find('\0') != std::string::npos) {
            reason = "holds a NUL byte";
        }
        if (reason.empty()) {
            std::string_view s = joined;
            if (s.empty() || s.front() == ';') {
                continue;
            }
            if (!seenContent) {
                seenContent = true;
                if (s == kHeader || s == kOldHeader) {
                    continue;
                }
            }
            if (s.front() == '[') {
                reason = ParseKeyLine(s, &current, &deletedSection);
                damagedKeyLine = reason.empty() ? 0 : first;
            } else if (current) {
                reason = ParseValueLine(s, first, current);
            } else if (damagedKeyLine) {
                reason = "its key, on line " + std::to_string(damagedKeyLine) + ", is damaged";
            } else if (!deletedSection) {
                reason = "a value before any [key] line";
            }
        }
        if (!reason.empty()) {
            if (!damaged) {
                return false;
            }
            damaged->push_back({first, reason});
        }
    }
    return true;
}

// A "[ROOT\key]" or "[-ROOT\key]" line; "" or the reason it is damaged. A damaged key leaves no
// current key.
std::string Contents::ParseKeyLine(std::string_view s, Key** current, bool* deletedSection) {
    *current = nullptr;
    *deletedSection = false;
    if (s.back() != ']' || s.size() < 3) {
        return "a key line that does not end in ']'";
    }
    std::string_view inner = s.substr(1, s.size() - 2);
    const bool remove = inner.front() == '-';
    if (remove) {
        inner.remove_prefix(1);
    }
    std::wstring wide;
    if (!FromUtf8Strict(inner, &wide)) {
        return "the key name is not UTF-8";
    }
    const size_t slash = wide.find(L'\\');
    const std::wstring rootName = Fold(wide.substr(0, slash));
    HKEY root = nullptr;
    for (const Root& r : kRoots) {
        if (rootName == r.name) {
            root = r.key;
        }
    }
    std::wstring name;
    if (!root) {
        return "the key does not start with a root key such as HKEY_LOCAL_MACHINE";
    }
    if (!KeyName(root, slash == std::wstring::npos ? L"" : wide.substr(slash + 1), &name)) {
        return "the key path is malformed";
    }
    if (remove) {
        DeleteTree(name);
        *deletedSection = true;
    } else {
        *current = &KeyFor(name);
    }
    return "";
}

// A '"name"=data' line of the current key; "" or the reason it is damaged.
std::string Contents::ParseValueLine(std::string_view s, int line, Key* current) {
    Value value;
    value.line = line;
    if (s.front() == '@') {
        s.remove_prefix(1);
    } else if (!ParseQuoted(&s, &value.name) || !ValidName(value.name)) {
        return "the value name is not a quoted name";
    }
    s = TrimLeft(s);
    if (s.empty() || s.front() != '=') {
        return "no '=' after the value name";
    }
    s = TrimLeft(s.substr(1));
    if (s == "-") {
        const std::wstring folded = Fold(value.name);
        auto& values = current->values;
        for (auto it = values.begin(); it != values.end(); ++it) {
            if (Fold(it->name) == folded) {
                values.erase(it);
                break;
            }
        }
        return "";
    }
    if (!ParseData(s, &value)) {
        return "the data is not dword:XXXXXXXX, \"text\" or hex bytes";
    }
    Set(current->name, std::move(value));
    return "";
}

std::string Contents::Serialize() const {
    std::string out(kHeader);
    out += "\n";
    for (const auto& entry : keys_) {
        const Key& key = entry.second;
        out += "\n[" + ToUtf8(key.name) + "]\n";
        for (const Value& v : key.values) {
            out += v.name.empty() ? std::string("@") : Quote(v.name);
            out += "=";
            if (v.IsDword()) {
                static const char kDigits[] = "0123456789abcdef";
                out += "dword:";
                for (int shift = 28; shift >= 0; shift -= 4) {
                    out.push_back(kDigits[(v.dword >> shift) & 15]);
                }
            } else if (v.IsString()) {
                // Line breaks cannot appear in a quoted value; such text is stored as UTF-16.
                out +=
                    NeedsHex(v.text) ? "hex(1):" + HexBytes(ToUtf16Bytes(v.text)) : Quote(v.text);
            } else if (v.type == kTypeBinary) {
                out += "hex:" + HexBytes(v.bytes);
            } else {
                char prefix[24];
                std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(v.type));
                out += prefix + HexBytes(v.bytes);
            }
            out += "\n";
        }
    }
    return out;
}

bool Contents::operator==(const Contents& other) const {
    if (keys_.size() != other.keys_.size()) {
        return false;
    }
    for (auto a = keys_.begin(), b = other.keys_.begin(); a != keys_.end(); ++a, ++b) {
        if (a->first != b->first || a->second.name != b->second.name ||
            a->second.values != b->second.values) {
            return false;
        }
    }
    return true;
}

}  // namespace platform::registry
