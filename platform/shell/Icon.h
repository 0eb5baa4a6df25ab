// Icons and cursors: what LoadIcon and LoadCursor hand out, for the devices that show them.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/kernel/Handles.h"
#include "platform/win32.h"

namespace platform::shell {

struct IconImage {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;  // 32-bit BGRA (0xAARRGGBB), rows top-down, no padding
};

struct IconObject : HandleObject {
    static constexpr HandleType kType = HandleType::Icon;
    IconObject() : HandleObject(kType) {}
    std::vector<IconImage> images;  // the group's images, as decoded
    bool cursor = false;
};

// The largest image of an icon (the device's window icon), or null for a bad handle or an icon
// without images. Icons from LoadIcon stay valid for the whole run.
const IconImage* LargestIconImage(HICON icon);

}  // namespace platform::shell
