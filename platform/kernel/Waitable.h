// Kernel objects that WaitForSingleObject can wait for (threads, processes).
#pragma once

#include <functional>

#include "platform/kernel/Handles.h"

namespace platform {

struct WaitableObject : HandleObject {
    explicit WaitableObject(HandleType t) : HandleObject(t) {}
    // A condition that stays valid after the handle is closed; it becomes true once the object
    // is signalled. Whoever signals it calls Clock::Notify afterwards.
    virtual std::function<bool()> SignalledCondition() const = 0;
};

}  // namespace platform
