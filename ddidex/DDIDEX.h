#pragma once
// The input component: keyboard, mouse and joysticks merged into one joystick state.
// (The devices are still to come; the merged state can be set directly meanwhile.)

#include <array>
#include <cstdint>
#include <vector>

namespace ddidex {

class TDDIDEX {
public:
    TDDIDEX() = default;
    virtual ~TDDIDEX() = default;

    // Reads the listed devices (joystick numbers, 0 for the keyboard) into the merged state.
    int Poll(const std::vector<int>& Devices);
    // Each axis of the merged state reduced to -1, 0 or +1.
    void GetDirections(int& X, int& Y) const;
    // True while button Index of the merged state is down.
    bool ButtonDown(int Index) const;

    // The merged state that the next Poll reports.
    struct TMerged {
        int X = 0, Y = 0;
        std::array<bool, 32> Buttons{};
    };
    TMerged Pending;

private:
    TMerged State;
};

} // namespace ddidex
