#include "platform/device/sdl/SdlJoysticks.h"

#include <algorithm>

namespace platform {
namespace {

// A switch pressed on a connected device is seen within this, well inside a frame.
constexpr TimeNs kPollWhileConnected = 10 * kNsPerMs;
// A device plugged in is noticed within this.
constexpr TimeNs kPollForNewDevices = 1000 * kNsPerMs;

// An axis as 0..0xFFFF, centre 0x8000.
int Position(Sint16 axis) {
    return axis + 0x8000;
}

}  // namespace

void SdlJoysticks::Open() {
    if (open_) {
        return;
    }
    // A switch user may have another program in front: the buttons still belong to this one,
    // as a joystick's capture does.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    open_ = SDL_InitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER) == 0;
}

void SdlJoysticks::Close() {
    for (const Device& device : devices_) {
        router_.JoyGone(device.id);
        if (device.controller) {
            SDL_GameControllerClose(device.controller);
        } else {
            SDL_JoystickClose(device.joystick);
        }
    }
    devices_.clear();
    if (open_) {
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER);
    }
    open_ = false;
}

TimeNs SdlJoysticks::PollPeriod() const {
    if (!open_) {
        return kNever;
    }
    return devices_.empty() ? kPollForNewDevices : kPollWhileConnected;
}

SdlJoysticks::Device* SdlJoysticks::Find(SDL_JoystickID id) {
    auto it = std::find_if(devices_.begin(), devices_.end(),
                           [id](const Device& d) { return d.id == id; });
    return it == devices_.end() ? nullptr : &*it;
}

void SdlJoysticks::Added(int index, bool asController) {
    const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(index);
    if (id < 0) {
        return;  // gone again before its event was read
    }
    asController = asController || SDL_IsGameController(index);
    if (Device* known = Find(id)) {
        if (known->controller || !asController) {
            return;  // both events of one controller, or a joystick announced once more
        }
        // A mapping made a known joystick a controller: followed as one from now on.
        Removed(id);
    }
    Device device{id, nullptr, nullptr};
    if (asController) {
        device.controller = SDL_GameControllerOpen(index);
        device.joystick =
            device.controller ? SDL_GameControllerGetJoystick(device.controller) : nullptr;
    } else {
        device.joystick = SDL_JoystickOpen(index);
    }
    if (device.joystick) {
        devices_.push_back(device);
    } else if (device.controller) {
        SDL_GameControllerClose(device.controller);
    }
}

void SdlJoysticks::Removed(SDL_JoystickID id) {
    Device* device = Find(id);
    if (!device) {
        return;
    }
    router_.JoyGone(id);
    if (device->controller) {
        SDL_GameControllerClose(device->controller);
    } else {
        SDL_JoystickClose(device->joystick);
    }
    devices_.erase(devices_.begin() + (device - devices_.data()));
}

bool SdlJoysticks::Button(SDL_JoystickID id, bool controller, int button, bool down) {
    const Device* device = Find(id);
    // Buttons 0..3: a controller's A, B, X and Y, or a joystick's first four.
    if (!device || (device->controller != nullptr) != controller || button < 0 || button > 3) {
        return false;
    }
    int x = 0x8000;
    int y = 0x8000;
    if (device->controller) {
        x = Position(SDL_GameControllerGetAxis(device->controller, SDL_CONTROLLER_AXIS_LEFTX));
        y = Position(SDL_GameControllerGetAxis(device->controller, SDL_CONTROLLER_AXIS_LEFTY));
    } else if (SDL_JoystickNumAxes(device->joystick) >= 2) {
        x = Position(SDL_JoystickGetAxis(device->joystick, 0));
        y = Position(SDL_JoystickGetAxis(device->joystick, 1));
    }
    return router_.JoyButton(id, static_cast<UINT>(button + 1), down, x, y);
}

bool SdlJoysticks::Handle(const SDL_Event& event) {
    switch (event.type) {
        case SDL_JOYDEVICEADDED:
            Added(event.jdevice.which, false);
            return false;
        case SDL_CONTROLLERDEVICEADDED:
            Added(event.cdevice.which, true);
            return false;
        case SDL_JOYDEVICEREMOVED:
        case SDL_CONTROLLERDEVICEREMOVED: {
            // Each comes for a controller; the first lets go of what it held.
            const SDL_JoystickID id = event.jdevice.which;
            if (!Find(id)) {
                return false;
            }
            Removed(id);
            return true;
        }
        case SDL_CONTROLLERBUTTONDOWN:
        case SDL_CONTROLLERBUTTONUP:
            return Button(event.cbutton.which, true, event.cbutton.button,
                          event.type == SDL_CONTROLLERBUTTONDOWN);
        case SDL_JOYBUTTONDOWN:
        case SDL_JOYBUTTONUP:
            return Button(event.jbutton.which, false, event.jbutton.button,
                          event.type == SDL_JOYBUTTONDOWN);
        default:
            return false;
    }
}

}  // namespace platform
