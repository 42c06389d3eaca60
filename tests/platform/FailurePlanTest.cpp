#include "platform/com/FailurePlan.h"

#include <gtest/gtest.h>

TEST(FailurePlan, FailsTheChosenCallAfterSkippingAndOnlyAsOftenAsAsked) {
    TFailurePlan plan;
    plan.Fail("IDirectDraw2::SetDisplayMode", E_FAIL, 1, 2);
    EXPECT_EQ(plan.Check("IDirectDraw2::SetDisplayMode"), S_OK);
    EXPECT_EQ(plan.Check("DirectDrawCreate"), S_OK);
    EXPECT_EQ(plan.Check("IDirectDraw2::SetDisplayMode"), E_FAIL);
    EXPECT_EQ(plan.Check("IDirectDraw2::SetDisplayMode"), E_FAIL);
    EXPECT_EQ(plan.Check("IDirectDraw2::SetDisplayMode"), S_OK);
    EXPECT_EQ(plan.Calls("IDirectDraw2::SetDisplayMode"), 4);
    plan.Fail("X", E_INVALIDARG, 0, -1);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(plan.Check("X"), E_INVALIDARG);
    plan.Clear();
    EXPECT_EQ(plan.Check("X"), S_OK);
}
