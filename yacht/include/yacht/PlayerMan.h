#pragma once
// The roster: ten numbered slots (1..10), each holding one player identifier and owning one
// yacht model. The slot number is also the yacht's number in the scene. Every query answers
// 0 for "no slot".

#include "yacht/CntlYacht.h"

#include <array>
#include <cstdint>

class TPlayerMan {
public:
    static constexpr int SlotCount = 10;

    TPlayerMan() = default;

    // The lowest free slot, or 0 when all ten are taken.
    int FreeSlot() const;
    // The lowest taken slot holding Id, or 0.
    int IndexOf(std::int32_t Id) const;
    // The identifier in slot Index when it is 1..10 and taken, else 0.
    std::int32_t IdAt(int Index) const;
    // Takes the lowest free slot and resets its yacht (keeping its speed); a full roster
    // silently ignores the player. Does not look for Id first: a second add takes a second slot.
    void AddPlayer(std::int32_t Id);
    void RemovePlayer(std::int32_t Id);
    void SetState(std::int32_t Id, const TYachtState& State);
    // The player's state, or the reset record when Id holds no slot.
    void GetState(std::int32_t Id, TYachtState& State) const;
    TYachtState GetState(std::int32_t Id) const;
    // Steps every slot whose IdAt is above 0.
    void StepAll();

    // The yacht of slot Index (1..10); the slot need not be taken.
    TCntlYacht& Yachts(int Index);
    const TCntlYacht& Yachts(int Index) const;

private:
    struct TSlot {
        std::int8_t Used = 0;
        std::int32_t Id = 0;
        TCntlYacht Yacht;
    };
    std::array<TSlot, SlotCount> Slots{};
};
