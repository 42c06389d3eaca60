#include "KeyboardDevice.h"

#include <cstring>

TKeyboardDevice::TKeyboardDevice(std::shared_ptr<TWindowInput> AInput)
    : TInputDevice(std::move(AInput), c_dfDIKeyboard) {}

void TKeyboardDevice::ReadState(void* Data) {
    std::memcpy(Data, Input->Keys().data(), Input->Keys().size());
}

HRESULT TKeyboardDevice::CheckLevel(DWORD NewLevel) const {
    const DWORD exclusiveBackground = DISCL_EXCLUSIVE | DISCL_BACKGROUND;
    return (NewLevel & exclusiveBackground) == exclusiveBackground ? DIERR_UNSUPPORTED : DI_OK;
}
