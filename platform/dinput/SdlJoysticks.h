#pragma once
// One reference on SDL's joystick subsystem, which stays up while any is held, and the
// joysticks it finds. Only the joystick subsystem is started: no video, no windows, and SDL's
// own signal handlers stay off so that the program still ends on an interrupt.

#include "platform/com/Com.h"

#include <memory>
#include <string>
#include <vector>

struct _SDL_Joystick;
using SDL_Joystick = _SDL_Joystick;

class TSdlJoysticks {
public:
    // Null when SDL cannot start its joystick subsystem: then no joystick is attached.
    static std::shared_ptr<TSdlJoysticks> Start();
    ~TSdlJoysticks();
    TSdlJoysticks(const TSdlJoysticks&) = delete;
    TSdlJoysticks& operator=(const TSdlJoysticks&) = delete;

    struct TFound {
        GUID Instance; // names the device until it is unplugged
        GUID Product;
        std::string Name;
        bool CanRumble = false;
    };
    // The joysticks attached now, including those plugged in since the last look.
    std::vector<TFound> Attached();
    // Opens the joystick that Instance names; null when it is gone.
    SDL_Joystick* Open(const GUID& Instance);
    static bool IsJoystickInstance(const GUID& Guid);

private:
    TSdlJoysticks() = default;
};
