// The icon: the game's own yacht drawn by our rasterizer over a round patch of sea, and the
// window showing the pictures the build drew.
#include "app/MarevoIcon.h"
#include "app/icon/YachtIcon.h"
#include "tests/yacht/SceneProbe.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

const std::string kBuiltApp = std::string(MAREVO_BINARY_DIR) + "/app/";

int Alpha(std::uint32_t P) {
    return int(P >> 24);
}
int Red(std::uint32_t P) {
    return int((P >> 16) & 0xFF);
}
int Green(std::uint32_t P) {
    return int((P >> 8) & 0xFF);
}
int Blue(std::uint32_t P) {
    return int(P & 0xFF);
}

class YachtIcon : public ::testing::Test, public TSceneProbe {
protected:
    YachtIcon() {
        Yacht.AddYacht(1, kBuiltApp + "HALTEX.BMP");
        Yacht.SetSpinnakerTexture(1, kBuiltApp + "SPINTEX.BMP");
        PoseIconYacht(Yacht);
    }
};

} // namespace

TEST_F(YachtIcon, TheYachtStandsOnARoundSeaWithTransparentCornersAndSmoothEdges) {
    for (const int size : {16, 48}) {
        const TIconPicture icon = RenderYachtIcon(Yacht, size);
        ASSERT_EQ(icon.Size, size);
        ASSERT_EQ(icon.Pixels.size(), std::size_t(size) * size);
        for (const auto& [x, y] : {std::pair{0, 0}, {size - 1, 0}, {0, size - 1}})
            EXPECT_EQ(Alpha(icon.At(x, y)), 0) << size << ": " << x << "," << y;
        int opaque = 0, partial = 0, sea = 0, white = 0;
        for (const std::uint32_t p : icon.Pixels) {
            opaque += Alpha(p) == 255;
            partial += Alpha(p) > 0 && Alpha(p) < 255;
            sea += Alpha(p) == 255 && Blue(p) > Red(p) + 60 && Blue(p) > Green(p);
            white += Alpha(p) == 255 && Red(p) > 200 && Green(p) > 200 && Blue(p) > 200;
        }
        // The disc fills most of the picture; its rim is blended; the sails show white on it.
        EXPECT_GT(opaque, size * size / 2) << size;
        EXPECT_GT(partial, size) << size;
        EXPECT_GT(sea, size * size / 3) << size;
        EXPECT_GT(white, 0) << size;
    }
    // The camera looks up at the rig without leaning: its up lies in the upright plane through
    // its line of sight, so the mast stands straight in the picture.
    D3DVECTOR dir{}, up{};
    ASSERT_EQ(Yacht.CameraFrame->GetOrientation(Yacht.YachtsFrame, &dir, &up), D3DRM_OK);
    const float side[3] = {-dir.z, 0, dir.x}; // the line of sight crossed with the vertical
    EXPECT_NEAR(up.x * side[0] + up.z * side[2], 0, 1e-4f * std::hypot(side[0], side[2]));
}

TEST_F(YachtIcon, TheSpinnakerAndTheHullTextureAreInThePicture) {
    const TIconPicture dressed = RenderYachtIcon(Yacht, 64);
    TYachtState bare = ResetYachtState();
    bare.WindAngle = -140;
    bare.Tack = 1;
    Yacht.SetYachtState(1, bare); // spinnaker down
    Yacht.SetHullTexture(1, "");
    const TIconPicture plain = RenderYachtIcon(Yacht, 64);
    int differ = 0;
    for (std::size_t i = 0; i < dressed.Pixels.size(); ++i)
        differ += dressed.Pixels[i] != plain.Pixels[i];
    EXPECT_GT(differ, 64 * 64 / 20);
}

TEST(WindowIcon, CarriesEveryPictureTheBuildDrew) {
    const QList<QSize> sizes = MarevoIcon().availableSizes();
    for (const int side : {16, 24, 32, 48, 64, 128, 256})
        EXPECT_TRUE(sizes.contains(QSize(side, side))) << side;
}
