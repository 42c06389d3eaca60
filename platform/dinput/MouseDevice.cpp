#include "MouseDevice.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

LONG Clamped(std::int64_t V) {
    return static_cast<LONG>(std::clamp<std::int64_t>(V, std::numeric_limits<LONG>::min(),
                                                      std::numeric_limits<LONG>::max()));
}

} // namespace

TMouseDevice::TMouseDevice(std::shared_ptr<TWindowInput> AInput)
    : TInputDevice(std::move(AInput), c_dfDIMouse), LastRead(Input->MouseTotals()) {}

void TMouseDevice::Acquiring() {
    LastRead = Input->MouseTotals();
}

void TMouseDevice::ReadState(void* Data) {
    const TWindowInput::TMouseTotals& now = Input->MouseTotals();
    DIMOUSESTATE state{};
    state.lX = Clamped(now.X - LastRead.X);
    state.lY = Clamped(now.Y - LastRead.Y);
    state.lZ = Clamped(now.Z - LastRead.Z);
    std::memcpy(state.rgbButtons, Input->MouseButtons().data(), sizeof state.rgbButtons);
    LastRead = now;
    std::memcpy(Data, &state, sizeof state);
}
