// A hull texture looks the same on the yacht in whatever form its painter saved it.
#include "tests/platform/BmpVariants.h"
#include "tests/yacht/ScenePicture.h"
#include "tests/yacht/SceneProbe.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

class HullTextureForms : public ::testing::Test, public TSceneProbe {
protected:
    HullTextureForms() {
        Yacht.AddYacht(1, "");
        Yacht.FrameCounter = 1; // odd: no sail luffs
    }
    ~HullTextureForms() override { std::filesystem::remove_all(Folder); }

    std::string Write(const std::string& Name, const std::vector<std::uint8_t>& Bytes) {
        std::filesystem::create_directories(Folder);
        const auto path = Folder / Name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(Bytes.data()), std::streamsize(Bytes.size()));
        return path.string();
    }
    // The starboard side, where the texture shows most.
    TPicture Draw() {
        TYachtState s = ResetYachtState();
        s.Heading = 270;
        s.WindAngle = 180;
        Yacht.SetYachtState(1, s);
        Yacht.SetViewMode(2);
        Yacht.RenderFrame();
        return Photograph(Yacht, 160, 120);
    }

    const std::filesystem::path Folder =
        std::filesystem::temp_directory_path() /
        ("marevo-hull-forms-" +
         std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
};

} // namespace

TEST_F(HullTextureForms, EveryFormRendersExactlyLikeThePlainEightBitFile) {
    const bmptest::TIndexedPicture picture = bmptest::BandedPicture(128, 128);
    const TPicture white = Draw();
    ASSERT_TRUE(Yacht.SetHullTexture(
        1, Write("plain.bmp", bmptest::EncodeBmpForm(picture, bmptest::TBmpForm::Plain8))));
    const TPicture plain = Draw();
    ASSERT_NE(plain.Pixels, white.Pixels);
    for (const auto& form : bmptest::kBmpForms) {
        SCOPED_TRACE(form.Name);
        EXPECT_TRUE(
            Yacht.SetHullTexture(1, Write("hull.bmp", bmptest::EncodeBmpForm(picture, form.Form))));
        const TPicture p = Draw();
        EXPECT_TRUE(p.Pixels == plain.Pixels);
    }
}
