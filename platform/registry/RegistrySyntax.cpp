#include "platform/registry/RegistrySyntax.h"

#include <cstdio>
#include <utility>
#include <vector>

#include "platform/kernel/WideString.h"

namespace platform::registry {
namespace {

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

// REG_SZ data: UTF-16LE with its terminator.
std::vector<uint8_t> ToUtf16Bytes(const std::wstring& text) {
    std::vector<uint8_t> bytes;
    for (char16_t unit : ToUtf16(text) + u'\0') {
        bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<uint8_t>(unit >> 8));
    }
    return bytes;
}

// The text up to its terminator; false when the data is no whole number of UTF-16 units.
bool FromUtf16Bytes(const std::vector<uint8_t>& bytes, std::wstring* out) {
    if (bytes.size() % 2) {
        return false;
    }
    std::u16string units;
    for (size_t i = 0; i < bytes.size(); i += 2) {
        const auto unit = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
        if (unit == 0) {
            break;
        }
        units.push_back(unit);
    }
    *out = FromUtf16(units);
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

}  // namespace

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

std::string DataText(const Value& v) {
    if (v.IsDword()) {
        static const char kDigits[] = "0123456789abcdef";
        std::string out = "dword:";
        for (int shift = 28; shift >= 0; shift -= 4) {
            out.push_back(kDigits[(v.dword >> shift) & 15]);
        }
        return out;
    }
    if (v.IsString()) {
        // Line breaks cannot appear in a quoted value; such text is stored as UTF-16.
        return NeedsHex(v.text) ? "hex(1):" + HexBytes(ToUtf16Bytes(v.text)) : Quote(v.text);
    }
    if (v.type == kTypeBinary) {
        return "hex:" + HexBytes(v.bytes);
    }
    char prefix[24];
    std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(v.type));
    return prefix + HexBytes(v.bytes);
}

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

}  // namespace platform::registry
