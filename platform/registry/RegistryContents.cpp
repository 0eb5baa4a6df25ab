// The registry's keys and values in memory: names compared without case, keys by their canonical
// full name.
#include <locale.h>
#include <wctype.h>

#include <iterator>
#include <utility>

#include "platform/registry/RegistryFile.h"
#include "platform/registry/RegistrySyntax.h"

namespace platform::registry {
namespace {

locale_t FoldLocale() {
    static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    return locale;
}

}  // namespace

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
