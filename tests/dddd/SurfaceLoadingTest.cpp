#include "dddd/DDDDCanvas.h"
#include "dddd/LoaderMessages.h"
#include "tests/dddd/ArchiveBuilder.h"
#include "tests/dddd/BmpFiles.h"
#include "tests/dddd/DisplayFixture.h"
#include "tests/platform/BmpVariants.h"

#include "platform/rtl/MemoryStream.h"

using Bytes = std::vector<std::uint8_t>;
using TRows = std::vector<std::vector<std::uint32_t>>;

namespace {

std::unique_ptr<TMemoryStream> StreamOf(const Bytes& B, std::size_t Skip = 0) {
    auto s = std::make_unique<TMemoryStream>();
    s->WriteBuffer(B.data(), static_cast<std::int64_t>(B.size()));
    s->SetPosition(static_cast<std::int64_t>(Skip));
    return s;
}

// Index 10 * y + x + 1 at (x, y), y = 0 the top row.
Bytes Numbered(int Width, int Height) {
    return dddd::test::MakeBmp8(
        Width, Height, [](int x, int y) { return static_cast<std::uint8_t>(10 * y + x + 1); });
}

} // namespace

using SurfaceLoading = DisplayTest;

TEST_F(SurfaceLoading, AnEightBitBitmapOnAnEightBitDisplayIsCopiedAsIndicesFromTheBottomUp) {
    Start(8);
    const std::uint32_t e = 0xEE;
    const struct {
        const char* What;
        int Width, Height;
        TRows Want;
    } cases[] = {
        // The file's row padding comes along: the surface's sixth column gets it.
        {"narrower and shorter: the top row keeps what it had",
         5,
         3,
         {{e, e, e, e, e, e},
          {1, 2, 3, 4, 5, 0},
          {11, 12, 13, 14, 15, 0},
          {21, 22, 23, 24, 25, 0}}},
        {"taller: only its bottom rows fit",
         6,
         6,
         {{21, 22, 23, 24, 25, 26},
          {31, 32, 33, 34, 35, 36},
          {41, 42, 43, 44, 45, 46},
          {51, 52, 53, 54, 55, 56}}},
        {"wider: cut at the surface's pitch",
         10,
         1,
         {{e, e, e, e, e, e}, {e, e, e, e, e, e}, {e, e, e, e, e, e}, {1, 2, 3, 4, 5, 6}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        IDirectDrawSurface* s = MakeSurface(6, 4);
        Fill(s, 0xEE);
        dddd::TDDDDGenSurface wrapper(Display.get(), s, 6, 4);
        wrapper.LoadFromStream(*StreamOf(Numbered(c.Width, c.Height)));
        EXPECT_EQ(Rows(s), c.Want);
    }
    EXPECT_TRUE(Logged().empty());
}

TEST_F(SurfaceLoading, ARunLengthCodedBitmapGivesTheIndicesItsPlainTwinGives) {
    Start(8);
    for (const auto& [width, height] : {std::pair{5, 3}, std::pair{6, 6}, std::pair{10, 1}}) {
        SCOPED_TRACE(width);
        bmptest::TIndexedPicture picture;
        picture.Width = width;
        picture.Height = height;
        for (std::uint32_t i = 0; i < 256; ++i)
            picture.Palette.push_back(i * 0x010101u);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                picture.Index.push_back(static_cast<std::uint8_t>(10 * y + x + 1));
        TRows want, got;
        for (const auto& [file, rows] :
             {std::pair{Numbered(width, height), &want},
              std::pair{bmptest::EncodeBmpForm(picture, bmptest::TBmpForm::Rle8), &got}}) {
            IDirectDrawSurface* s = MakeSurface(6, 4);
            Fill(s, 0xEE);
            dddd::TDDDDGenSurface wrapper(Display.get(), s, 6, 4);
            wrapper.LoadFromStream(*StreamOf(file));
            *rows = Rows(s);
        }
        EXPECT_EQ(got, want);
    }
    EXPECT_TRUE(Logged().empty());
}

TEST_F(SurfaceLoading, OtherwiseTheBitmapIsStretchedOverTheWholeSurface) {
    Start(16);
    IDirectDrawSurface* s = MakeSurface(6, 4);
    dddd::TDDDDGenSurface wrapper(Display.get(), s, 6, 4);
    // Grey levels 0xFF, 0x00, 0x80 in 5-6-5.
    const std::uint32_t w = 0xFFFF, k = 0x0000, g = 0x8410;
    const Bytes eight = dddd::test::MakeBmp8(3, 2, [](int x, int y) {
        const std::uint8_t v[2][3] = {{0xFF, 0, 0x80}, {0x80, 0xFF, 0}};
        return v[y][x];
    });
    const Bytes junkFirst = [&] {
        Bytes b{'j', 'u', 'n', 'k'};
        b.insert(b.end(), eight.begin(), eight.end());
        return b;
    }();
    const TRows want{
        {w, w, k, k, g, g}, {w, w, k, k, g, g}, {g, g, w, w, k, k}, {g, g, w, w, k, k}};
    for (const auto& [what, bytes, skip] : {std::tuple{"from the stream's start", eight, 0},
                                            std::tuple{"after other bytes", junkFirst, 4}}) {
        SCOPED_TRACE(what);
        Fill(s, 0x5A);
        wrapper.LoadFromStream(*StreamOf(bytes, static_cast<std::size_t>(skip)));
        EXPECT_EQ(Rows(s), want);
    }
    EXPECT_TRUE(Logged().empty());
    // The canvas gave the device context back.
    DDSURFACEDESC d;
    d.dwSize = sizeof d;
    EXPECT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
    s->Unlock(nullptr);
}

TEST_F(SurfaceLoading, StreamsThatAreNoUsableBitmapAreLoggedAndChangeNothing) {
    const Bytes good = Numbered(4, 2);
    auto cut = [&](std::size_t N) { return Bytes(good.begin(), good.begin() + N); };
    auto with = [&](std::size_t At, std::uint32_t V) {
        Bytes b = good;
        for (int i = 0; i < 4; ++i)
            b[At + i] = static_cast<std::uint8_t>(V >> (8 * i));
        return b;
    };
    const struct {
        const char* What;
        int Display;
        Bytes File;
        const char* Message;
    } cases[] = {
        {"an empty stream", 8, {}, dddd::kMsgBmpHeaderUnreadable},
        {"a short file header", 16, cut(10), dddd::kMsgBmpHeaderUnreadable},
        {"not BM", 8, Bytes{'M', 'B', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, dddd::kMsgBmpStrange},
        {"not BM on 16 bits", 16, Bytes(100, 'x'), dddd::kMsgBmpStrange},
        {"a short information header", 16, cut(30), dddd::kMsgBmpReadError},
        {"a short colour table", 8, cut(500), dddd::kMsgBmpReadError},
        {"no pixel rows", 8, cut(14 + 40 + 1024), dddd::kMsgBmpReadError},
        {"rows wider than the file", 8, with(18, 0x7FFFFFF0u), dddd::kMsgBmpReadError},
        {"pixels past the end", 8, with(10, 0xFFFFFF00u), dddd::kMsgBmpReadError},
        {"pixels cut short on 16 bits", 16, cut(good.size() - 1), dddd::kMsgBmpInvalid},
        {"a width the framework refuses", 16, with(18, 0x7FFFFFF0u), dddd::kMsgBmpInvalid},
    };
    for (int bits : {8, 16}) {
        Start(bits);
        for (const auto& c : cases) {
            if (c.Display != bits)
                continue;
            SCOPED_TRACE(c.What);
            const auto before = Logged().size();
            IDirectDrawSurface* s = MakeSurface(4, 2);
            Fill(s, 0x5A);
            const TRows was = Rows(s);
            dddd::TDDDDGenSurface wrapper(Display.get(), s, 4, 2);
            wrapper.LoadFromStream(*StreamOf(c.File));
            ASSERT_EQ(Logged().size(), before + 1);
            EXPECT_EQ(Logged().back(), c.Message);
            EXPECT_EQ(Rows(s), was);
        }
    }
}

TEST_F(SurfaceLoading, AReadThatFailsHalfwayKeepsTheRowsReadAndUnlocks) {
    Start(8);
    const Bytes file = Numbered(4, 3);
    IDirectDrawSurface* s = MakeSurface(4, 3);
    Fill(s, 0);
    dddd::TDDDDGenSurface wrapper(Display.get(), s, 4, 3);
    wrapper.LoadFromStream(*StreamOf(Bytes(file.begin(), file.end() - 5)));
    EXPECT_EQ(Logged(), std::vector<std::string>{dddd::kMsgBmpReadError});
    // Only the first stored row, the bottom one, was there whole.
    EXPECT_EQ(Rows(s), (TRows{{0, 0, 0, 0}, {0, 0, 0, 0}, {21, 22, 23, 24}}));
}

TEST_F(SurfaceLoading, ALostSurfaceIsLeftAloneWithoutAWord) {
    Start(8);
    IDirectDrawSurface* s = MakeSurface(4, 2);
    Fill(s, 0x5A);
    DDrawLoseSurface(s);
    DDrawFailures().Clear();
    dddd::TDDDDGenSurface wrapper(Display.get(), s, 4, 2);
    auto stream = StreamOf(Numbered(4, 2));
    wrapper.LoadFromStream(*stream);
    wrapper.LoadFromStream(*StreamOf(Bytes(20, 'x')));
    EXPECT_TRUE(Logged().empty());
    EXPECT_EQ(stream->Position(), 0);
    EXPECT_EQ(DDrawFailures().Calls("IDirectDrawSurface::Lock"), 0);
    EXPECT_EQ(DDrawFailures().Calls("IDirectDrawSurface::GetDC"), 0);
}

TEST_F(SurfaceLoading, FilesAndArchiveEntriesLoadAndMissingOnesAreLogged) {
    Start(8);
    const Bytes file = Numbered(2, 1);
    const std::string path = WriteFile("pic.bmp", file);
    const std::string archive =
        WriteFile("pics.qda", dddd::test::BuildArchive(1, {{"pic.bmp", file}}));
    const std::string missing = (Folder / "none.bmp").string();
    const struct {
        const char* What;
        std::function<void(dddd::TDDDDGenSurface&)> Load;
        std::vector<std::string> Log;
    } cases[] = {
        {"a file", [&](auto& W) { W.LoadFromFile(path); }, {}},
        {"an archive entry", [&](auto& W) { W.LoadFromArchive(archive, "PIC.BMP"); }, {}},
        {"a missing file",
         [&](auto& W) { W.LoadFromFile(missing); },
         {missing + dddd::kMsgFileNotFound}},
        {"a missing entry",
         [&](auto& W) { W.LoadFromArchive(archive, "other.bmp"); },
         {dddd::kMsgArchiveBitmapFailed}},
        {"a missing archive",
         [&](auto& W) { W.LoadFromArchive(missing, "pic.bmp"); },
         {dddd::kMsgArchiveBitmapFailed}},
        {"a file that is no archive",
         [&](auto& W) { W.LoadFromArchive(path, "pic.bmp"); },
         {dddd::kMsgArchiveBitmapFailed}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        IDirectDrawSurface* s = MakeSurface(2, 1);
        Fill(s, 0x5A);
        dddd::TDDDDGenSurface wrapper(Display.get(), s, 2, 1);
        const auto before = Logged();
        c.Load(wrapper);
        const auto after = Logged();
        EXPECT_EQ(
            std::vector<std::string>(after.begin() + static_cast<long>(before.size()), after.end()),
            c.Log);
        EXPECT_EQ(Rows(s), (c.Log.empty() ? TRows{{1, 2}} : TRows{{0x5A, 0x5A}}));
    }
}

TEST_F(SurfaceLoading, PixelsAreReadAtEveryDepthAndNeverOutsideTheSurface) {
    Start(16);
    const BYTE bytes[4] = {0x11, 0x22, 0x33, 0x44};
    const struct {
        int Bits;
        DWORD Want;
    } cases[] = {{8, 0x11}, {16, 0x2211}, {24, 0x332211}, {32, 0x44332211}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Bits);
        IDirectDrawSurface* s = MakeSurface(3, 2, c.Bits);
        Fill(s, 0);
        DDSURFACEDESC d;
        d.dwSize = sizeof d;
        ASSERT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
        std::memcpy(static_cast<BYTE*>(d.lpSurface) + d.lPitch + 2 * (c.Bits / 8), bytes,
                    c.Bits / 8);
        s->Unlock(nullptr);
        dddd::TDDDDGenSurface wrapper(Display.get(), s, 3, 2);
        EXPECT_EQ(wrapper.Pixels(2, 1), c.Want);
        EXPECT_EQ(wrapper.Pixels(1, 1), 0u);
        const auto before = Logged().size();
        for (auto [x, y] : {std::pair{3, 0}, {-1, 0}, {0, 2}, {0, -1}})
            EXPECT_EQ(wrapper.Pixels(x, y), 0u) << x << "," << y;
        EXPECT_EQ(Logged().size(), before + 4);
        EXPECT_EQ(Logged().back(), dddd::kMsgPixelOutside);
        DDrawFailures().Fail("IDirectDrawSurface::Lock", DDERR_SURFACEBUSY);
        EXPECT_EQ(wrapper.Pixels(2, 1), 0u);
        EXPECT_EQ(Logged().size(), before + 4);
    }
}

TEST_F(SurfaceLoading, TheCanvasTakesTheContextOnlyWhenItDrawsAndGivesItBack) {
    Start(16);
    IDirectDrawSurface* s = MakeSurface(4, 4);
    dddd::TDDDDGenSurface wrapper(Display.get(), s, 4, 4);
    {
        dddd::TDDDDCanvas canvas(&wrapper);
        EXPECT_TRUE(canvas.SurfaceAlive);
        EXPECT_EQ(canvas.DC, nullptr);
    }
    EXPECT_EQ(DDrawFailures().Calls("IDirectDrawSurface::GetDC"), 0);
    {
        dddd::TDDDDCanvas canvas(&wrapper);
        EXPECT_NE(canvas.Handle(), nullptr);
        EXPECT_EQ(canvas.Handle(), canvas.DC);
    }
    EXPECT_EQ(DDrawFailures().Calls("IDirectDrawSurface::GetDC"), 1);
    EXPECT_EQ(DDrawFailures().Calls("IDirectDrawSurface::ReleaseDC"), 1);
    DDrawLoseSurface(s);
    dddd::TDDDDCanvas lost(&wrapper);
    EXPECT_FALSE(lost.SurfaceAlive);
    EXPECT_EQ(lost.Handle(), nullptr);
}

using SurfaceLoadingDeathTest = SurfaceLoading;

TEST_F(SurfaceLoadingDeathTest, ASurfaceThatCannotBeLockedEndsTheProgram) {
    const Bytes file = Numbered(4, 2);
    EXPECT_EXIT(
        {
            Start(8);
            IDirectDrawSurface* s = MakeSurface(4, 2);
            dddd::TDDDDGenSurface wrapper(Display.get(), s, 4, 2);
            DDrawFailures().Fail("IDirectDrawSurface::Lock", DDERR_SURFACEBUSY);
            wrapper.LoadFromStream(*StreamOf(file));
        },
        ::testing::ExitedWithCode(dddd::kHaltExitCode), "");
    EXPECT_EQ(Logged(), std::vector<std::string>{std::string(dddd::kMsgBmpLock) +
                                                 dddd::ErrorCodeSuffix(DDERR_SURFACEBUSY)});
}
