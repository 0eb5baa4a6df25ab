#include "platform/kernel/Handles.h"

#include <mutex>
#include <shared_mutex>
#include <unordered_map>

namespace platform {

namespace {

struct HandleTable {
    std::shared_mutex mutex;
    std::unordered_map<const void*, HandleObject*> live;
};

HandleTable& Table() {
    static HandleTable* table = new HandleTable();  // outlives every static destructor
    return *table;
}

}  // namespace

void RegisterHandle(HandleObject* object) {
    if (!object) {
        return;
    }
    HandleTable& t = Table();
    std::unique_lock<std::shared_mutex> lock(t.mutex);
    t.live[object] = object;
}

void UnregisterHandle(HandleObject* object) {
    HandleTable& t = Table();
    std::unique_lock<std::shared_mutex> lock(t.mutex);
    t.live.erase(object);
}

HandleObject* LookupHandle(const void* handle, HandleType type) {
    if (!handle) {
        return nullptr;
    }
    HandleTable& t = Table();
    std::shared_lock<std::shared_mutex> lock(t.mutex);
    auto it = t.live.find(handle);
    if (it == t.live.end() || it->second->type != type) {
        return nullptr;
    }
    return it->second;
}

int HandleTypeOf(const void* handle) {
    if (!handle) {
        return 0;
    }
    HandleTable& t = Table();
    std::shared_lock<std::shared_mutex> lock(t.mutex);
    auto it = t.live.find(handle);
    return it == t.live.end() ? 0 : static_cast<int>(it->second->type);
}

}  // namespace platform
