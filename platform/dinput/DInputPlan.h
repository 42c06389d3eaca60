#pragma once
// The DirectInput stand-in's failure plan, and the names its calls are checked under. The names
// are kept as strings once, so that checking a call allocates nothing on the reading path.

#include "platform/com/FailurePlan.h"

#include <string>

TFailurePlan& DInputFailurePlan();

namespace DInputCall {
extern const std::string DirectInputCreateA;   // "DirectInputCreateA"
extern const std::string CreateDevice;         // "IDirectInputA::CreateDevice"
extern const std::string EnumDevices;          // "IDirectInputA::EnumDevices"
extern const std::string DeviceQueryInterface; // "IDirectInputDeviceA::QueryInterface"
extern const std::string SetDataFormat;        // "IDirectInputDeviceA::SetDataFormat"
extern const std::string SetCooperativeLevel;  // "IDirectInputDeviceA::SetCooperativeLevel"
extern const std::string SetProperty;          // "IDirectInputDeviceA::SetProperty"
extern const std::string Acquire;              // "IDirectInputDeviceA::Acquire"
extern const std::string Unacquire;            // "IDirectInputDeviceA::Unacquire"
extern const std::string GetDeviceState;       // "IDirectInputDeviceA::GetDeviceState"
extern const std::string Poll;                 // "IDirectInputDevice2A::Poll"
} // namespace DInputCall
