// Window classes: RegisterClass, UnregisterClass, and the look-up CreateWindowEx makes.
#include <cwctype>
#include <map>

#include "platform/user/UserInternal.h"

namespace platform::user {
namespace {

std::mutex gClassMutex;
std::map<std::wstring, WindowClass>& Classes() {
    static auto* classes = new std::map<std::wstring, WindowClass>();
    return *classes;
}
ATOM gNextAtom = 0xC000;

}  // namespace

std::wstring FoldedName(LPCWSTR name) {
    std::wstring s = name ? name : L"";
    for (wchar_t& c : s) {
        c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    }
    return s;
}

bool FindWindowClass(LPCWSTR name, WindowClass* found) {
    if (!name || IS_INTRESOURCE(name)) {
        return false;
    }
    std::lock_guard<std::mutex> lock(gClassMutex);
    auto it = Classes().find(FoldedName(name));
    if (it == Classes().end()) {
        return false;
    }
    *found = it->second;
    return true;
}

}  // namespace platform::user

using namespace platform::user;

ATOM RegisterClass(const WNDCLASS* windowClass) {
    if (!windowClass || !windowClass->lpfnWndProc || !windowClass->lpszClassName ||
        IS_INTRESOURCE(windowClass->lpszClassName)) {
        return 0;
    }
    std::lock_guard<std::mutex> lock(gClassMutex);
    std::wstring key = FoldedName(windowClass->lpszClassName);
    if (Classes().count(key)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    WindowClass& entry = Classes()[key];
    entry.info = *windowClass;
    entry.name = windowClass->lpszClassName;
    entry.info.lpszClassName = entry.name.c_str();
    entry.info.lpszMenuName = nullptr;
    return ++gNextAtom;
}

BOOL UnregisterClass(LPCWSTR className, HINSTANCE) {
    if (!className || IS_INTRESOURCE(className)) {
        return FALSE;
    }
    std::lock_guard<std::mutex> lock(gClassMutex);
    return Classes().erase(FoldedName(className)) ? TRUE : FALSE;
}
