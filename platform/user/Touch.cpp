// WM_TOUCH records: each message's record waits under its handle until the window procedure
// reads it and gives the handle back.
#include <map>
#include <mutex>

#include "platform/user/UserInternal.h"

namespace platform::user {
namespace {

// A program that never gives its handles back must not make the table grow for ever: the
// oldest records go first.
constexpr size_t kMaxOpenRecords = 4096;

struct TouchRecords {
    std::mutex mutex;
    uintptr_t next = 1;
    std::map<uintptr_t, TOUCHINPUT> open;
};

TouchRecords& Records() {
    static auto* records = new TouchRecords();
    return *records;
}

}  // namespace

HTOUCHINPUT NewTouchInput(const TOUCHINPUT& record) {
    TouchRecords& r = Records();
    std::lock_guard<std::mutex> lock(r.mutex);
    if (r.open.size() >= kMaxOpenRecords) {
        r.open.erase(r.open.begin());
    }
    const uintptr_t id = r.next++;
    r.open.emplace(id, record);
    return reinterpret_cast<HTOUCHINPUT>(id);
}

}  // namespace platform::user

using platform::user::Records;

BOOL RegisterTouchWindow(HWND hwnd, ULONG) {
    auto* window = platform::LookupAs<platform::user::Window>(hwnd);
    if (!window) {
        return FALSE;
    }
    window->touch = true;
    return TRUE;
}

BOOL GetTouchInputInfo(HTOUCHINPUT touch, UINT inputs, PTOUCHINPUT records, int recordSize) {
    if (inputs == 0 || !records || recordSize != static_cast<int>(sizeof(TOUCHINPUT))) {
        return FALSE;
    }
    auto& r = Records();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto it = r.open.find(reinterpret_cast<uintptr_t>(touch));
    if (it == r.open.end()) {
        return FALSE;
    }
    records[0] = it->second;  // one record a message; any further ones asked for are empty
    for (UINT i = 1; i < inputs; ++i) {
        records[i] = TOUCHINPUT{};
    }
    return TRUE;
}

BOOL CloseTouchInputHandle(HTOUCHINPUT touch) {
    auto& r = Records();
    std::lock_guard<std::mutex> lock(r.mutex);
    return r.open.erase(reinterpret_cast<uintptr_t>(touch)) != 0 ? TRUE : FALSE;
}
