#pragma once
// The input component on a window of its own that has the foreground, with the stand-in's
// failure plan cleared around every test.

#include "ddidex/DDIDEX.h"
#include "platform/dinput/DInputTesting.h"

#include <QMainWindow>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

class InputComponent : public ::testing::Test {
protected:
    void SetUp() override {
        DInputFailurePlan().Clear();
        Owner.show();
        Owner.activateWindow(); // a bare X server has no window manager to do it
        ASSERT_TRUE(QTest::qWaitForWindowActive(&Owner));
    }
    void TearDown() override {
        Joy.reset();
        DInputFailurePlan().Clear();
    }

    // The component as a form loads it; Setup runs on it first, as the form's properties do.
    template <class F> ddidex::TDDIDEX& Start(F&& Setup) {
        Joy = std::make_unique<ddidex::TDDIDEX>(&Owner);
        Setup(*Joy);
        Joy->Loaded();
        return *Joy;
    }
    ddidex::TDDIDEX& Start() {
        return Start([](ddidex::TDDIDEX&) {});
    }

    // Holds Keys down and releases every other key.
    void Hold(const std::vector<BYTE>& Keys) {
        for (int k = 1; k < 256; ++k)
            DInputTest::SetKey(Joy->DirectInput, static_cast<BYTE>(k),
                               std::find(Keys.begin(), Keys.end(), k) != Keys.end());
    }
    ddidex::TDDIDEXDirections Directions() const {
        ddidex::TDDIDEXDirections d{};
        Joy->GetDirections(d);
        return d;
    }
    // The device number of the joystick named Name, or -1 when it was not taken.
    std::int32_t DeviceOf(const std::string& Name) const {
        const auto& names = Joy->JoystickNames;
        const auto at = std::find(names.begin(), names.end(), Name);
        return at == names.end() ? -1
                                 : static_cast<std::int32_t>(at - names.begin()) +
                                       ddidex::TDDIDEX::kFirstJoystick;
    }

    QMainWindow Owner;
    std::unique_ptr<ddidex::TDDIDEX> Joy;
};
