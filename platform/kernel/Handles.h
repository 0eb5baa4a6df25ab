// Handles are the addresses of platform objects, kept in a table of live objects so that a null,
// stale or wrong-typed handle fails the call instead of crashing.
#pragma once

#include <cstdint>

namespace platform {

enum class HandleType : uint8_t {
    Thread = 1,
    Process,
    Window,
    DC,
    Bitmap,
    Brush,
    Font,
    Pen,
    Icon,
    WaveOut,
    Module,
    RemoteWindow,  // a top-level window of another process (single instance)
    Drop,          // files dropped on a window (WM_DROPFILES)
    WaveIn,
    FindFile,  // a folder listing (FindFirstFileW)
};

struct HandleObject {
    explicit HandleObject(HandleType t) : type(t) {}
    virtual ~HandleObject() = default;
    HandleObject(const HandleObject&) = delete;
    HandleObject& operator=(const HandleObject&) = delete;
    const HandleType type;
};

// Makes the object reachable through its address. Thread-safe.
void RegisterHandle(HandleObject* object);
// Makes it unreachable (does not delete it). Thread-safe.
void UnregisterHandle(HandleObject* object);
// The live object of that type behind `handle`, or null.
HandleObject* LookupHandle(const void* handle, HandleType type);
// Its type, or 0 when the handle names no live object.
int HandleTypeOf(const void* handle);

// Looks up an object of class T, which declares `static constexpr HandleType kType`.
template <class T>
T* LookupAs(const void* handle) {
    return static_cast<T*>(LookupHandle(handle, T::kType));
}

}  // namespace platform
