// Files dropped on a window: who accepts them, and the HDROP that WM_DROPFILES carries.
#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "platform/kernel/Handles.h"
#include "platform/user/UserInternal.h"

namespace platform::user {
namespace {

struct Drop : HandleObject {
    static constexpr HandleType kType = HandleType::Drop;
    Drop() : HandleObject(kType) {}
    std::vector<std::wstring> files;
    POINT at{};
    bool inside = false;
};

// A handle is read and finished under this, so a second DragFinish finds nothing to free.
std::mutex gDropsMutex;

}  // namespace

HDROP NewDrop(std::vector<std::wstring> files, POINT at, bool inside) {
    auto* drop = new Drop();
    drop->files = std::move(files);
    drop->at = at;
    drop->inside = inside;
    RegisterHandle(drop);
    return reinterpret_cast<HDROP>(drop);
}

}  // namespace platform::user

using namespace platform;
using namespace platform::user;

void DragAcceptFiles(HWND hwnd, BOOL accept) {
    if (auto* window = LookupAs<Window>(hwnd)) {
        window->acceptFiles = accept != FALSE;
    }
}

UINT DragQueryFileW(HDROP handle, UINT index, LPWSTR file, UINT cchFile) {
    std::lock_guard<std::mutex> lock(gDropsMutex);
    const auto* drop = LookupAs<Drop>(handle);
    if (!drop) {
        return 0;
    }
    if (index == 0xFFFFFFFF) {
        return static_cast<UINT>(drop->files.size());
    }
    if (index >= drop->files.size()) {
        return 0;
    }
    const std::wstring& path = drop->files[index];
    if (!file) {
        return static_cast<UINT>(path.size());
    }
    if (cchFile == 0) {
        return 0;
    }
    const size_t copied = std::min<size_t>(path.size(), cchFile - 1);
    path.copy(file, copied);
    file[copied] = L'\0';
    return static_cast<UINT>(copied);
}

BOOL DragQueryPoint(HDROP handle, LPPOINT point) {
    std::lock_guard<std::mutex> lock(gDropsMutex);
    const auto* drop = LookupAs<Drop>(handle);
    if (!drop || !point) {
        return FALSE;
    }
    *point = drop->at;
    return drop->inside ? TRUE : FALSE;
}

void DragFinish(HDROP handle) {
    std::lock_guard<std::mutex> lock(gDropsMutex);
    if (auto* drop = LookupAs<Drop>(handle)) {
        UnregisterHandle(drop);
        delete drop;
    }
}
