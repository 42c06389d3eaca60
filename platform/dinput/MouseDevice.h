#pragma once
// The system mouse: motion and wheel since the last read, and four buttons.

#include "InputDevice.h"

class TMouseDevice final : public TInputDevice {
public:
    explicit TMouseDevice(std::shared_ptr<TWindowInput> Input);

protected:
    void ReadState(void* Data) override;
    // Motion made while the mouse was not acquired is not reported.
    void Acquiring() override;

private:
    TWindowInput::TMouseTotals LastRead;
};
