// Bitmaps, icons and the arrow cursor from the images embedded at build time.
#include <map>
#include <memory>
#include <mutex>

#include "platform/kernel/Module.h"
#include "platform/shell/Icon.h"
#include "platform/shell/PngDecoder.h"
#include "platform/shell/Resources.h"

namespace platform::shell {
namespace {

constexpr DWORD kResourceNotFound = 1814;  // ERROR_RESOURCE_NAME_NOT_FOUND
constexpr WORD kSystemArrow = 32512;       // IDC_ARROW and IDI_APPLICATION

// Icons and cursors are shared, as the platform's loaded ones are: one object per resource,
// kept for the whole run.
struct SharedIcons {
    std::mutex mutex;
    std::map<int, IconObject*> icons;
    IconObject* applicationIcon = nullptr;
    IconObject* arrow = nullptr;
};

SharedIcons& Shared() {
    static SharedIcons* shared = new SharedIcons();
    return *shared;
}

IconObject* Register(std::unique_ptr<IconObject> icon) {
    RegisterHandle(icon.get());
    return icon.release();
}

bool IsProgramModule(HINSTANCE instance) {
    return instance && instance == ProcessModule();
}

bool ResourceId(LPCWSTR name, int* id) {
    if (!name || !IS_INTRESOURCE(name)) {
        return false;  // resources are named by number only
    }
    *id = LOWORD(reinterpret_cast<ULONG_PTR>(name));
    return true;
}

IconObject* LoadIconGroup(int id) {
    auto icon = std::make_unique<IconObject>();
    for (int i = 0; i < kEmbeddedResourceCount; ++i) {
        const EmbeddedResource& r = kEmbeddedResources[i];
        if (r.id != id) {
            continue;
        }
        IconImage image;
        const bool ok = DecodePng(r.data, r.length, Alpha::Keep, kMaxImageSide,
                                  [&image](int width, int height, size_t* stride) {
                                      image.width = width;
                                      image.height = height;
                                      image.pixels.assign(static_cast<size_t>(width) * height, 0);
                                      *stride = static_cast<size_t>(width) * 4;
                                      return reinterpret_cast<uint8_t*>(image.pixels.data());
                                  });
        if (ok) {
            icon->images.push_back(std::move(image));
        }
    }
    return icon->images.empty() ? nullptr : Register(std::move(icon));
}

}  // namespace

const IconImage* LargestIconImage(HICON handle) {
    const IconObject* icon = LookupAs<IconObject>(handle);
    const IconImage* largest = nullptr;
    if (icon) {
        for (const IconImage& image : icon->images) {
            if (!largest || static_cast<int64_t>(image.width) * image.height >
                                static_cast<int64_t>(largest->width) * largest->height) {
                largest = &image;
            }
        }
    }
    return largest;
}

}  // namespace platform::shell

using namespace platform;
using namespace platform::shell;

HBITMAP LoadBitmap(HINSTANCE instance, LPCWSTR name) {
    int id = 0;
    if (!IsProgramModule(instance) || !ResourceId(name, &id)) {
        SetLastError(kResourceNotFound);
        return nullptr;
    }
    for (int i = 0; i < kEmbeddedResourceCount; ++i) {
        const EmbeddedResource& r = kEmbeddedResources[i];
        if (r.id == id && r.size == 0) {
            if (HBITMAP bitmap = DecodePngBitmap(r.data, r.length)) {
                return bitmap;
            }
        }
    }
    SetLastError(kResourceNotFound);
    return nullptr;
}

HICON LoadIcon(HINSTANCE instance, LPCWSTR name) {
    int id = 0;
    if (!ResourceId(name, &id) || (instance && !IsProgramModule(instance))) {
        SetLastError(kResourceNotFound);
        return nullptr;
    }
    SharedIcons& shared = Shared();
    std::lock_guard<std::mutex> lock(shared.mutex);
    IconObject* icon = nullptr;
    if (!instance) {
        // The system's application icon; it has no picture of its own here.
        if (id == kSystemArrow) {
            if (!shared.applicationIcon) {
                shared.applicationIcon = Register(std::make_unique<IconObject>());
            }
            icon = shared.applicationIcon;
        }
    } else {
        auto found = shared.icons.find(id);
        if (found != shared.icons.end()) {
            icon = found->second;
        } else if ((icon = LoadIconGroup(id)) != nullptr) {
            shared.icons[id] = icon;
        }
    }
    if (!icon) {
        SetLastError(kResourceNotFound);
    }
    return reinterpret_cast<HICON>(icon);
}

HCURSOR LoadCursor(HINSTANCE instance, LPCWSTR name) {
    int id = 0;
    if (instance || !ResourceId(name, &id) || id != kSystemArrow) {
        SetLastError(kResourceNotFound);  // the arrow is the only cursor there is
        return nullptr;
    }
    SharedIcons& shared = Shared();
    std::lock_guard<std::mutex> lock(shared.mutex);
    if (!shared.arrow) {
        auto arrow = std::make_unique<IconObject>();
        arrow->cursor = true;
        shared.arrow = Register(std::move(arrow));
    }
    return reinterpret_cast<HCURSOR>(shared.arrow);
}

BOOL DestroyIcon(HICON icon) {
    // Every icon here is shared and lives for the whole run, so there is nothing to free.
    if (!LookupAs<IconObject>(icon)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
