#include "app/Form1.h"
#include "platform/com/ComRef.h"
#include "platform/d3drm/RMMeshBuilder.h"
#include "tests/app/YachtVisuals.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

class GameWindow : public ::testing::Test {
protected:
    GameWindow() : Clock(1000), Form(Clock) {}

    void DrawOneFrame() {
        const int before = Form.DrawYacht1->FrameCounter;
        Clock.Advance(201);
        bool done = true;
        Form.IdleHandler(done);
        ASSERT_NE(Form.DrawYacht1->FrameCounter, before);
    }
    // How many pixels of the back buffer are not black, in the middle third of its width and
    // in the rest.
    std::pair<int, int> LitPixels() {
        dddd::TDDDDGenSurface& back = *Form.DrawYacht1->BackSurface();
        DDSURFACEDESC desc;
        desc.dwSize = sizeof desc;
        EXPECT_EQ(back.Surface->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr),
                  DD_OK);
        const int bytes = static_cast<int>(desc.ddpfPixelFormat.dwRGBBitCount / 8);
        int middle = 0, outside = 0;
        for (DWORD y = 0; y < desc.dwHeight; ++y) {
            const auto* row = static_cast<const BYTE*>(desc.lpSurface) + y * desc.lPitch;
            for (DWORD x = 0; x < desc.dwWidth; ++x) {
                bool lit = false;
                for (int b = 0; b < bytes; ++b)
                    lit |= row[x * bytes + b] != 0;
                if (lit)
                    (3 * x >= desc.dwWidth && 3 * x < 2 * desc.dwWidth ? middle : outside) += 1;
            }
        }
        back.Surface->Unlock(nullptr);
        return {middle, outside};
    }
    // The mesh on yacht 1's frame (Sail -1) or on its sail frame Sail.
    TRMMeshBuilder* Mesh(int Sail) {
        TComRef<IDirect3DRMFrameArray> yachts;
        Form.DrawYacht1->YachtsFrame->GetChildren(yachts.Out());
        TComRef<IDirect3DRMFrame> frame;
        yachts->GetElement(0, frame.Out());
        if (Sail >= 0) {
            TComRef<IDirect3DRMFrameArray> sails;
            frame->GetChildren(sails.Out());
            sails->GetElement(static_cast<DWORD>(Sail), frame.Out());
        }
        TComRef<IDirect3DRMVisualArray> visuals;
        frame->GetVisuals(visuals.Out());
        EXPECT_EQ(visuals->GetSize(), 1u);
        TComRef<IDirect3DRMVisual> visual;
        visuals->GetElement(0, visual.Out());
        return dynamic_cast<TRMMeshBuilder*>(visual.Get()); // the frame keeps it
    }
    static bool Textured(TRMMeshBuilder* Mesh) {
        for (const TPreparedTriangle& t : Mesh->Geometry().Triangles)
            if (t.Texture)
                return true;
        return false;
    }
    D3DVECTOR SpinnakerPosition() {
        D3DVECTOR p{};
        TComRef<IDirect3DRMFrame> yacht(yachtvisuals::Child(Form.DrawYacht1->YachtsFrame, 0));
        TComRef<IDirect3DRMFrame> spinnaker(yachtvisuals::Child(yacht.Get(), kSpinnaker));
        spinnaker->GetPosition(yacht.Get(), &p);
        return p;
    }
    static std::string SampleTexture(const char* Name) {
        return std::string(MAREVO_BINARY_DIR) + "/app/" + Name;
    }

    TManualClock Clock;
    TForm1 Form;
};

} // namespace

TEST_F(GameWindow, TheLocalYachtIsDrawnInTheMiddleOfTheBackBuffer) {
    DrawOneFrame();
    const auto [middle, outside] = LitPixels();
    EXPECT_GT(middle, 1000);
    EXPECT_LT(outside, middle / 10);
}

TEST_F(GameWindow, TheSceneIsStillDrawnAfterTheDisplayIsRebuilt) {
    DrawOneFrame();
    const auto before = LitPixels();
    Form.USEHALU1->trigger();
    DrawOneFrame();
    EXPECT_EQ(LitPixels(), before);
    Form.USEHALU1->trigger();
    DrawOneFrame();
    EXPECT_EQ(LitPixels(), before);
}

TEST_F(GameWindow, SAndDSetAndLowerTheSpinnakerAtTheNextFrame) {
    // With no SPINTEX.BMP here the local spinnaker is plain white, but it is built.
    ASSERT_TRUE(Form.DrawYacht1->HasSpinnaker(1));
    DrawOneFrame();
    EXPECT_GT(SpinnakerPosition().y, 4000); // parked while lowered
    Form.FormKeyPress(U's');
    DrawOneFrame();
    EXPECT_NEAR(SpinnakerPosition().y, 0, 1e-3);
    Form.FormKeyPress(U'D');
    DrawOneFrame();
    EXPECT_GT(SpinnakerPosition().y, 4000);
}

TEST_F(GameWindow, TheTextureCommandsRebuildTheLocalMeshes) {
    EXPECT_FALSE(Textured(Mesh(-1)));
    EXPECT_FALSE(Textured(Mesh(2)));
    Form.OpenPictureDialog1.OnExecute = [] { return SampleTexture("HALTEX.BMP"); };
    Form.H1Click();
    EXPECT_TRUE(Textured(Mesh(-1)));
    Form.OpenPictureDialog1.OnExecute = [] { return SampleTexture("SPINTEX.BMP"); };
    Form.S1Click();
    EXPECT_TRUE(Textured(Mesh(2)));
    EXPECT_TRUE(Textured(Mesh(-1)));
}

TEST(GameStart, TexturesInTheCurrentFolderAreUsedWhateverTheirLetterCase) {
    const auto previous = std::filesystem::current_path();
    const auto dir = std::filesystem::temp_directory_path() / "marevo-start-textures";
    std::filesystem::create_directories(dir);
    std::filesystem::copy_file(std::string(MAREVO_BINARY_DIR) + "/app/HALTEX.BMP",
                               dir / "haltex.bmp",
                               std::filesystem::copy_options::overwrite_existing);
    std::filesystem::copy_file(std::string(MAREVO_BINARY_DIR) + "/app/SPINTEX.BMP",
                               dir / "SpinTex.bmp",
                               std::filesystem::copy_options::overwrite_existing);
    std::filesystem::current_path(dir);
    {
        TManualClock clock(0);
        TForm1 form(clock);
        EXPECT_EQ(form.HullTextureFile, "haltex.bmp");
        EXPECT_EQ(form.SpinnakerTextureFile, "SpinTex.bmp");
        EXPECT_TRUE(form.DrawYacht1->YachtPresent(1));
        EXPECT_TRUE(form.DrawYacht1->HasSpinnaker(1));
    }
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(dir);
}

TEST_F(GameWindow, APickedTextureThatCannotBeReadIsToldInsteadOfShownWhite) {
    std::vector<std::string> told;
    vcl::Application->OnMessageBox = [&](const std::string& Text) { told.push_back(Text); };
    const auto file = std::filesystem::temp_directory_path() / "marevo-unreadable.bmp";
    {
        // A bitmap header whose bit count no bitmap has.
        std::vector<char> bytes(200, 0);
        bytes[0] = 'B', bytes[1] = 'M', bytes[10] = 54, bytes[14] = 40, bytes[18] = 8,
        bytes[22] = 8, bytes[26] = 1, bytes[28] = 7;
        std::ofstream(file, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    }
    Form.OpenPictureDialog1.OnExecute = [&] { return file.string(); };
    Form.H1Click();
    Form.S1Click();
    EXPECT_FALSE(Textured(Mesh(-1)));
    EXPECT_FALSE(Textured(Mesh(2)));
    const std::string said = "テクスチャ「marevo-unreadable.bmp」を読み込めませんでした。";
    ASSERT_EQ(told.size(), 2u);
    for (const std::string& t : told)
        EXPECT_EQ(t.substr(0, said.size()), said);
    // A file that is simply not there is no news: the dialog only offers files that are.
    Form.OpenPictureDialog1.OnExecute = [] { return std::string("/nonexistent/hull.bmp"); };
    Form.H1Click();
    EXPECT_EQ(told.size(), 2u);
    vcl::Application->OnMessageBox = nullptr;
    std::filesystem::remove(file);
}
