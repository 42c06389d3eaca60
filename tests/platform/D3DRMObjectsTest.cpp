#include "platform/d3drm/D3DRM.h"
#include "tests/platform/MemoryTarget.h"

#include <gtest/gtest.h>

namespace {

class D3DRMObjects : public ::testing::Test {
protected:
    void SetUp() override {
        D3DRMFailures().Clear();
        IDirect3DRM* first = nullptr;
        ASSERT_EQ(Direct3DRMCreate(&first), D3DRM_OK);
        ASSERT_EQ(first->QueryInterface(IID_IDirect3DRM2, reinterpret_cast<void**>(&RM)), S_OK);
        EXPECT_EQ(first->Release(), 1u);
    }
    void TearDown() override {
        if (RM) {
            EXPECT_EQ(RM->Release(), 0u);
        }
        D3DRMFailures().Clear();
    }

    IDirect3DRM2* RM = nullptr;
};

TEST_F(D3DRMObjects, AWholeDeviceChainReleasedInTheDisplayComponentsOrderEndsAtZero) {
    TMemoryTarget memory;
    IDirect3DRMDevice2* device = nullptr;
    ASSERT_EQ(CreateDeviceOnTarget(memory.Source(), &device), D3DRM_OK);
    EXPECT_EQ(device->SetBufferCount(2), D3DRM_OK);

    IDirect3DRMFrame2* scene = nullptr;
    IDirect3DRMFrame2* camera = nullptr;
    ASSERT_EQ(RM->CreateFrame(nullptr, &scene), D3DRM_OK);
    ASSERT_EQ(RM->CreateFrame(scene, &camera), D3DRM_OK);
    IDirect3DRMViewport* viewport = nullptr;
    ASSERT_EQ(RM->CreateViewport(device, camera, 0, 0, 64, 64, &viewport), D3DRM_OK);
    EXPECT_EQ(viewport->SetBack(5000), D3DRM_OK);
    EXPECT_EQ(viewport->Clear(), D3DRM_OK);
    EXPECT_EQ(viewport->Render(scene), D3DRM_OK);
    EXPECT_EQ(device->Update(), D3DRM_OK);

    EXPECT_EQ(camera->Release(), 2u); // the scene and the viewport
    EXPECT_EQ(scene->Release(), 0u);
    EXPECT_EQ(viewport->Release(), 0u);
    EXPECT_EQ(device->Release(), 0u);
}

} // namespace
