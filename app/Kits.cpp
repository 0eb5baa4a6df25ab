#include "app/Kits.h"

#include "app/UserInterface.h"
#include "settings/Settings.h"

const wchar_t Kits::kBuiltInName[] = L"Built-in";

namespace {

const wchar_t kSeparator = PLATFORM_PATH_SEPARATOR;
const wchar_t kFreshName[] = L"My words";
// What a kit folder's path leaves room for after it: the longest name the loader reads there
// (labels.txt, a beat with a long extension) and the temporary names words are saved through.
const size_t kRoomForFiles = 24;

std::wstring WithoutSeparator(const std::wstring& folder) {
    return !folder.empty() && folder.back() == kSeparator ? folder.substr(0, folder.size() - 1)
                                                          : folder;
}

// The last part of a folder's path.
std::wstring NameOf(const std::wstring& folder) {
    const std::wstring path = WithoutSeparator(folder);
    const size_t at = path.rfind(kSeparator);
    return at == std::wstring::npos ? path : path.substr(at + 1);
}

// The entries of `folder` that are folders (`folders`) or plain files, in name order; hidden
// ones and anything that is neither are left out.
std::vector<std::wstring> Entries(const std::wstring& folder, bool folders) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        const DWORD a = data.dwFileAttributes;
        if (a & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_REPARSE_POINT)) {
            continue;
        }
        if (((a & FILE_ATTRIBUTE_DIRECTORY) != 0) == folders) {
            names.push_back(data.cFileName);
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
}

}  // namespace

Kits::Kits(UserInterface& ui_) : ui(ui_) {}

std::wstring Kits::Folder(bool create) {
    WCHAR data[MAX_PATH];
    if (!SHGetSpecialFolderPath(nullptr, data, CSIDL_APPDATA, create ? TRUE : FALSE)) {
        return std::wstring();
    }
    std::wstring folder = WithoutSeparator(data) + kSeparator + L"pulsor";
    if (create) {
        CreateDirectoryW(folder.c_str(), nullptr);
    }
    folder += kSeparator;
    folder += L"kits";
    if (create) {
        CreateDirectoryW(folder.c_str(), nullptr);
    }
    folder += kSeparator;
    return folder.size() < MAX_PATH ? folder : std::wstring();
}

std::vector<Kits::Kit> Kits::List() const {
    std::vector<Kit> kits = {Kit{kBuiltInName, std::wstring()}};
    const std::wstring folder = Folder(false);
    if (!folder.empty()) {
        for (const std::wstring& name : Entries(folder, true)) {
            kits.push_back(Kit{name, folder + name + kSeparator});
        }
    }
    // A kit chosen from elsewhere (--kit PATH) is listed too, so the one playing is there.
    const Kit current = Current();
    if (!current.IsBuiltIn() && WithoutSeparator(current.folder) != folder + current.name) {
        kits.push_back(current);
    }
    return kits;
}

Kits::Kit Kits::Current() const {
    const std::wstring folder = ui.GetKitFolder();
    if (folder.empty()) {
        return Kit{kBuiltInName, std::wstring()};
    }
    return Kit{NameOf(folder), folder};
}

bool Kits::IsCurrent(const Kit& kit) const {
    return kit.folder == ui.GetKitFolder();
}

void Kits::Choose(const Kit& kit) {
    ui.ChooseKit(kit.folder.c_str());
}

bool Kits::Exists(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(WithoutSeparator(path).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        return false;
    }
    FindClose(find);
    return true;
}

std::wstring Kits::LastErrorWords() {
    const DWORD error = GetLastError();
    WCHAR words[256];
    if (!FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                        0, words, 256, nullptr)) {
        StringCchPrintf(words, 256, L"error %lu", static_cast<unsigned long>(error));
    }
    return words;
}

std::wstring Kits::Failure(const wchar_t* what, const std::wstring& path) {
    return std::wstring(what) + L" " + WithoutSeparator(path) + L": " + LastErrorWords();
}

std::wstring Kits::FreshName(const std::wstring& folder) const {
    std::wstring name = kFreshName;
    for (int n = 2; Exists(folder + name) && n < 10000; ++n) {
        name = std::wstring(kFreshName) + L" " + std::to_wstring(n);
    }
    return name;
}

std::wstring Kits::CheckName(const std::wstring& name) const {
    if (name.empty()) {
        return L"A kit needs a name.";
    }
    if (name.find(kSeparator) != std::wstring::npos) {
        return L"A kit's name cannot hold \"/\".";
    }
    if (name == L"." || name == L"..") {
        return L"\"" + name + L"\" cannot name a kit.";
    }
    if (name[0] == L'.') {
        return L"A name starting with a dot would hide the kit.";
    }
    const std::wstring folder = Folder(false);
    if (folder.empty()) {
        return L"There is no data folder to keep kits in.";
    }
    if (folder.size() + name.size() + 1 + kRoomForFiles >= MAX_PATH) {
        return L"That name is too long.";
    }
    if (Exists(folder + name)) {
        return L"There is a kit named \"" + name + L"\" already.";
    }
    return std::wstring();
}

bool Kits::New(Kit* made, std::wstring* error) {
    const std::wstring folder = Folder(true);
    if (folder.empty()) {
        *error = L"There is no data folder to keep kits in.";
        return false;
    }
    const Kit current = Current();
    const std::wstring from =
        current.IsBuiltIn() ? std::wstring(ui.GetSettings().soundsFolder) : current.folder;
    const std::wstring name = FreshName(folder);
    const std::wstring to = folder + name + kSeparator;
    if (!CreateDirectoryW(WithoutSeparator(to).c_str(), nullptr)) {
        *error = Failure(L"Cannot make", to);
        return false;
    }
    std::vector<std::wstring> copied;
    for (const std::wstring& file : Entries(from, false)) {
        if (!CopyFileW((from + file).c_str(), (to + file).c_str(), TRUE)) {
            *error = Failure(L"Cannot copy", from + file);
            // What was made of the new kit goes again: it holds nothing of the user's yet.
            for (const std::wstring& done : copied) {
                DeleteFileW((to + done).c_str());
            }
            RemoveDirectoryW(WithoutSeparator(to).c_str());
            return false;
        }
        copied.push_back(file);
    }
    *made = Kit{name, to};
    Choose(*made);
    return true;
}

bool Kits::Rename(const Kit& kit, const std::wstring& name, Kit* renamed, std::wstring* error) {
    if (kit.IsBuiltIn()) {
        *error = L"The built-in words cannot be renamed.";
        return false;
    }
    if (kit.name == name) {
        *renamed = kit;
        return true;
    }
    *error = CheckName(name);
    if (!error->empty()) {
        return false;
    }
    const std::wstring to = Folder(false) + name + kSeparator;
    if (!MoveFileW(WithoutSeparator(kit.folder).c_str(), WithoutSeparator(to).c_str())) {
        *error = Failure(L"Cannot rename", kit.folder);
        return false;
    }
    *renamed = Kit{name, to};
    if (IsCurrent(kit)) {
        ui.KeepKitFolder(to.c_str());
    }
    return true;
}

bool Kits::Delete(const Kit& kit, std::wstring* error) {
    if (kit.IsBuiltIn()) {
        *error = L"The built-in words cannot be deleted.";
        return false;
    }
    // The list of paths ends in a second null.
    std::wstring from = WithoutSeparator(kit.folder);
    from.push_back(L'\0');
    SHFILEOPSTRUCTW op{};
    op.hwnd = ui.GetWindow();
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT;
    if (SHFileOperationW(&op) != 0) {
        *error = Failure(L"Cannot move to the trash:", kit.folder);
        return false;
    }
    if (IsCurrent(kit)) {
        Choose(Kit{kBuiltInName, std::wstring()});
    }
    return true;
}

std::wstring Kits::MakeWritable(std::wstring* error) {
    const Kit current = Current();
    if (!current.IsBuiltIn()) {
        return current.folder;
    }
    Kit made;
    return New(&made, error) ? made.folder : std::wstring();
}
