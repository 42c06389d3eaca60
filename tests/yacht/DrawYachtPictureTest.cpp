#include "app/textures/RgbImage.h"
#include "tests/yacht/ScenePicture.h"
#include "tests/yacht/SceneProbe.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

constexpr int kWidth = 80, kHeight = 60; // the game's 4:3, small

class ScenePicture : public ::testing::Test, public TSceneProbe {
protected:
    ScenePicture() {
        Yacht.AddYacht(1, "");
        Yacht.FrameCounter = 1; // odd: no sail luffs
    }
    TPicture Draw(const TYachtState& State, std::uint8_t View, int Width = kWidth,
                  int Height = kHeight) {
        Yacht.SetYachtState(1, State);
        Yacht.SetViewMode(View);
        Yacht.RenderFrame();
        return Photograph(Yacht, Width, Height);
    }
    static TYachtState Sailing(float Heading, float Heel, float Wind) {
        TYachtState s = ResetYachtState();
        s.Heading = Heading;
        s.Heel = Heel;
        s.WindAngle = Wind;
        s.Tack = Wind < 0 ? 1 : 0;
        return s;
    }
};

// The columns and rows that are not black.
struct TExtent {
    int Left = 1 << 20, Right = -1, Top = 1 << 20, Bottom = -1, Lit = 0;
    double SumX = 0;
    double CentreX() const { return SumX / Lit; }
};

TExtent Extent(const TPicture& P) {
    TExtent e;
    for (int y = 0; y < P.Height; ++y)
        for (int x = 0; x < P.Width; ++x)
            if (P.At(x, y) != 0) {
                e.Left = std::min(e.Left, x);
                e.Right = std::max(e.Right, x);
                e.Top = std::min(e.Top, y);
                e.Bottom = std::max(e.Bottom, y);
                e.SumX += x;
                ++e.Lit;
            }
    return e;
}

double Matching(const TPicture& A, const TPicture& B) {
    int same = 0;
    for (std::size_t i = 0; i < A.Pixels.size(); ++i)
        same += (A.Pixels[i] == 0) == (B.Pixels[i] == 0);
    return double(same) / A.Pixels.size();
}

} // namespace

TEST_F(ScenePicture, FromAsternTheYachtStandsInTheMiddleOverBlack) {
    const TPicture picture = Draw(Sailing(0, 0, 30), 2);
    for (const auto& [x, y] :
         {std::pair{0, 0}, {kWidth - 1, 0}, {0, kHeight - 1}, {kWidth - 1, kHeight - 1}})
        EXPECT_EQ(picture.At(x, y), 0u) << x << "," << y;
    const TExtent e = Extent(picture);
    ASSERT_GT(e.Lit, 100);
    EXPECT_LT(e.Lit, kWidth * kHeight / 3);
    EXPECT_NEAR(e.CentreX(), kWidth / 2.0, 4);
    EXPECT_LE(e.Left, kWidth / 2);
    EXPECT_GE(e.Right, kWidth / 2);
    // Hull below the middle of the picture, sails reaching up above it.
    EXPECT_GT(e.Bottom, kHeight / 2);
    EXPECT_LT(e.Top, kHeight / 3);
    EXPECT_EQ(CompareWithGolden(picture, "view_f_heading0"), "");
}

TEST_F(ScenePicture, TurnedToNinetyIsTheMirrorImageOfTwoSeventy) {
    // Heading 90 points the bow to -x, the left of a camera looking toward +z; 270 with the
    // heel, wind and tack mirrored is the same yacht seen in a mirror.
    const TPicture left = Draw(Sailing(90, 8, 100), 2);
    const TPicture right = Draw(Sailing(270, -8, -100), 2);
    EXPECT_GT(Matching(left, right.Mirrored()), 0.98);
    EXPECT_LT(Matching(left, right), 0.95); // and not simply the same picture
    // The bow is 3.1 forward of the mast, the stern 4.9 aft: more yacht on the stern's side.
    const TExtent e = Extent(left);
    EXPECT_GT(e.Right - kWidth / 2, kWidth / 2 - e.Left);
    EXPECT_EQ(CompareWithGolden(left, "view_f_heading90"), "");
}

TEST_F(ScenePicture, ATexturedHullShowsItsTopsidesTheRightWayUp) {
    // Deck half of each band red toward the stern and yellow toward the bow, waterline half
    // green; the unused middle blue.
    constexpr TRgb kRed{255, 0, 0}, kYellow{255, 255, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255};
    TRgbImage texture(128, 128, kBlue);
    for (int depth = 0; depth < 52; ++depth)
        for (int x = 0; x < 128; ++x) {
            const TRgb c = depth >= 26 ? kGreen : x < 64 ? kRed : kYellow;
            texture.Set(x, depth, c);
            texture.Set(x, 127 - depth, c);
        }
    const auto file = std::filesystem::temp_directory_path() / "marevo-topsides.bmp";
    ASSERT_TRUE(texture.SaveBmp(file));
    Yacht.SetHullTexture(1, file.string());

    // 270 shows the starboard side with the bow on the right, 90 the port side, bow left.
    for (const float heading : {270.0f, 90.0f}) {
        SCOPED_TRACE(heading);
        const TPicture p = Draw(Sailing(heading, 0, 180), 2, 160, 120);
        double deckY = 0, waterY = 0, redX = 0, yellowX = 0;
        int deck = 0, water = 0, red = 0, yellow = 0;
        for (int y = 0; y < p.Height; ++y)
            for (int x = 0; x < p.Width; ++x) {
                const int r = TPicture::Red(p.At(x, y)), g = TPicture::Green(p.At(x, y)),
                          b = TPicture::Blue(p.At(x, y));
                if (r > 3 * g && r > 3 * b && r > 40) {
                    ++red, ++deck, redX += x, deckY += y;
                } else if (r > 4 * b && g > 4 * b && r > 40) {
                    ++yellow, ++deck, yellowX += x, deckY += y;
                } else if (g > 3 * r && g > 3 * b && g > 40) {
                    ++water, waterY += y;
                }
            }
        ASSERT_GT(red, 20);
        ASSERT_GT(yellow, 20);
        ASSERT_GT(water, 40);
        EXPECT_LT(deckY / deck, waterY / water); // the deck line on top
        if (heading == 270)
            EXPECT_GT(yellowX / yellow, redX / red); // the bow to the right
        else
            EXPECT_LT(yellowX / yellow, redX / red);
    }
    std::filesystem::remove(file);
}

TEST_F(ScenePicture, EachViewAsItLooks) {
    Yacht.SetHullTexture(1, std::string(MAREVO_BINARY_DIR) + "/app/HALTEX.BMP");
    Yacht.SetSpinnakerTexture(1, std::string(MAREVO_BINARY_DIR) + "/app/SPINTEX.BMP");
    TYachtState s = Sailing(30, -6, 150);
    s.Spinnaker = 1;
    EXPECT_EQ(CompareWithGolden(Draw(s, 1), "view_u_spinnaker"), "");
    EXPECT_EQ(CompareWithGolden(Draw(s, 0), "view_r_spinnaker"), "");
    EXPECT_EQ(CompareWithGolden(Draw(s, 2), "view_f_spinnaker"), "");
}
