#include "ddidex/DDIDEX.h"

namespace ddidex {

int TDDIDEX::Poll(const std::vector<int>&) {
    State = Pending;
    return 0;
}

void TDDIDEX::GetDirections(int& X, int& Y) const {
    X = (State.X > 0) - (State.X < 0);
    Y = (State.Y > 0) - (State.Y < 0);
}

bool TDDIDEX::ButtonDown(int Index) const {
    return Index >= 0 && Index < static_cast<int>(State.Buttons.size()) && State.Buttons[Index];
}

} // namespace ddidex
