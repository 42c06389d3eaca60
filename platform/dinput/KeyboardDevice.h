#pragma once
// The system keyboard: the 256-byte key array of the program's windows.

#include "InputDevice.h"

class TKeyboardDevice final : public TInputDevice {
public:
    explicit TKeyboardDevice(std::shared_ptr<TWindowInput> Input);

protected:
    void ReadState(void* Data) override;
    // The platform keeps the keyboard from any one program in the background.
    HRESULT CheckLevel(DWORD NewLevel) const override;
};
