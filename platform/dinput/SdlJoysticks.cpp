#include "SdlJoysticks.h"

#include <SDL.h>

#include <cstring>

namespace {

// A joystick's instance identifier: SDL's instance number in Data1 under this fixed tail.
constexpr GUID kInstanceBase{0, 0x5D1A, 0x4A0E, {0x9E, 0x31, 0x6A, 0x6F, 0x79, 0x73, 0x74, 0x6B}};

GUID InstanceGuid(SDL_JoystickID Id) {
    GUID g = kInstanceBase;
    g.Data1 = static_cast<DWORD>(Id);
    return g;
}

} // namespace

std::shared_ptr<TSdlJoysticks> TSdlJoysticks::Start() {
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // Whether the program may read its joysticks is decided by the cooperative levels, not here.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0)
        return nullptr;
    // Joysticks are read by polling; queued events would only pile up unread.
    SDL_JoystickEventState(SDL_IGNORE);
    return std::shared_ptr<TSdlJoysticks>(new TSdlJoysticks);
}

TSdlJoysticks::~TSdlJoysticks() {
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

std::vector<TSdlJoysticks::TFound> TSdlJoysticks::Attached() {
    SDL_JoystickUpdate(); // notices devices plugged in or out since the last update
    std::vector<TFound> found;
    const int count = SDL_NumJoysticks();
    for (int i = 0; i < count; ++i) {
        TFound f;
        f.Instance = InstanceGuid(SDL_JoystickGetDeviceInstanceID(i));
        const SDL_JoystickGUID product = SDL_JoystickGetDeviceGUID(i);
        static_assert(sizeof product == sizeof f.Product);
        std::memcpy(static_cast<void*>(&f.Product), &product, sizeof f.Product);
        const char* name = SDL_JoystickNameForIndex(i);
        f.Name = name ? name : "";
        // Only an open joystick tells whether it can rumble.
        if (SDL_Joystick* j = SDL_JoystickOpen(i)) {
            f.CanRumble = SDL_JoystickHasRumble(j) == SDL_TRUE;
            SDL_JoystickClose(j);
        }
        found.push_back(std::move(f));
    }
    return found;
}

SDL_Joystick* TSdlJoysticks::Open(const GUID& Instance) {
    if (!IsJoystickInstance(Instance))
        return nullptr;
    const int count = SDL_NumJoysticks();
    for (int i = 0; i < count; ++i)
        if (InstanceGuid(SDL_JoystickGetDeviceInstanceID(i)) == Instance)
            return SDL_JoystickOpen(i);
    return nullptr;
}

bool TSdlJoysticks::IsJoystickInstance(const GUID& Guid) {
    GUID tail = Guid;
    tail.Data1 = 0;
    return tail == kInstanceBase;
}
