// The .reg text form of the contents: a header line, a "[ROOT\\key]" line per key and a
// '"name"=data' line per value; parsed line by line, skipping (and naming) damaged lines.
#include "platform/registry/RegistryFile.h"

#include <utility>

#include "platform/kernel/WideString.h"
#include "platform/registry/RegistrySyntax.h"

namespace platform::registry {
namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kOldHeader = "REGEDIT4";
constexpr size_t kMaxLine = 1u << 20;

}  // namespace

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
            out += DataText(v);
            out += "\n";
        }
    }
    return out;
}

}  // namespace platform::registry
