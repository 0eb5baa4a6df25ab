// Game controllers and joysticks for the InputRouter: every one SDL finds, at start and as they
// are plugged in, until it is unplugged. A device SDL knows as a game controller is followed
// through its controller events alone (A, B, X, Y are buttons 1 to 4), any other through its
// joystick events (its buttons 0 to 3), so that no press arrives twice. UI thread only.
#pragma once

#include <SDL.h>

#include <vector>

#include "platform/device/InputRouter.h"
#include "platform/kernel/Clock.h"

namespace platform {

class SdlJoysticks {
public:
    explicit SdlJoysticks(InputRouter& router) : router_(router) {}
    ~SdlJoysticks() { Close(); }

    // Starts SDL's controller and joystick support; the devices connected already then arrive as
    // added events. Without that support there are simply no joystick buttons.
    void Open();
    void Close();

    // Device and button events; true when a message reached the window.
    bool Handle(const SDL_Event& event);

    // SDL reads the devices only while its events are pumped: the longest the UI thread may wait
    // before it pumps them again (the Clock's kNever: as long as it likes).
    TimeNs PollPeriod() const;

private:
    struct Device {
        SDL_JoystickID id;
        SDL_GameController* controller;  // null: a plain joystick
        SDL_Joystick* joystick;          // the controller's own, or the plain joystick
    };

    void Added(int index, bool asController);
    void Removed(SDL_JoystickID id);
    Device* Find(SDL_JoystickID id);
    bool Button(SDL_JoystickID id, bool controller, int button, bool down);

    InputRouter& router_;
    bool open_ = false;
    std::vector<Device> devices_;
};

}  // namespace platform
