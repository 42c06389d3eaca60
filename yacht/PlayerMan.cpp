#include "yacht/PlayerMan.h"

#include <cassert>

int TPlayerMan::FreeSlot() const {
    for (int i = 0; i < SlotCount; ++i)
        if (Slots[i].Used == 0)
            return i + 1;
    return 0;
}

int TPlayerMan::IndexOf(std::int32_t Id) const {
    for (int i = 0; i < SlotCount; ++i)
        if (Slots[i].Used > 0 && Slots[i].Id == Id)
            return i + 1;
    return 0;
}

std::int32_t TPlayerMan::IdAt(int Index) const {
    if (Index < 1 || Index > SlotCount || Slots[Index - 1].Used <= 0)
        return 0;
    return Slots[Index - 1].Id;
}

void TPlayerMan::AddPlayer(std::int32_t Id) {
    const int slot = FreeSlot();
    if (slot == 0)
        return;
    TSlot& s = Slots[slot - 1];
    s.Used = 1;
    s.Yacht.SetState(ResetYachtState());
    s.Id = Id;
}

void TPlayerMan::RemovePlayer(std::int32_t Id) {
    if (const int slot = IndexOf(Id); slot > 0)
        Slots[slot - 1].Used = 0;
}

void TPlayerMan::SetState(std::int32_t Id, const TYachtState& State) {
    if (const int slot = IndexOf(Id); slot > 0)
        Slots[slot - 1].Yacht.SetState(State);
}

void TPlayerMan::GetState(std::int32_t Id, TYachtState& State) const {
    if (const int slot = IndexOf(Id); slot > 0)
        Slots[slot - 1].Yacht.GetState(State);
    else
        State = ResetYachtState();
}

TYachtState TPlayerMan::GetState(std::int32_t Id) const {
    TYachtState s;
    GetState(Id, s);
    return s;
}

void TPlayerMan::StepAll() {
    for (int i = 1; i <= SlotCount; ++i)
        if (IdAt(i) > 0)
            Slots[i - 1].Yacht.Step();
}

TCntlYacht& TPlayerMan::Yachts(int Index) {
    assert(Index >= 1 && Index <= SlotCount);
    return Slots[Index - 1].Yacht;
}

const TCntlYacht& TPlayerMan::Yachts(int Index) const {
    assert(Index >= 1 && Index <= SlotCount);
    return Slots[Index - 1].Yacht;
}
