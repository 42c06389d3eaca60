// Pixels moving: conversions between the driver's formats, scaling, colour keys, and what the
// screen shows in a window after a blit onto the primary surface.
#include "tests/platform/DDrawFixture.h"

#include "platform/ddraw/DDrawSurfaceAccess.h"
#include "platform/ddraw/ScreenView.h"

#include <QMainWindow>
#include <QMenuBar>
#include <QTest>

#include <array>
#include <cstring>

namespace {

// Writes one raw pixel value at (X, Y).
void Put(IDirectDrawSurface* S, int X, int Y, DWORD Value) {
    TSurfaceBits b;
    ASSERT_TRUE(DDrawSurfaceBits(S, b));
    std::memcpy(b.Bits + Y * b.Pitch + X * static_cast<int>(b.BytesPerPixel), &Value,
                b.BytesPerPixel);
}

DWORD Get(IDirectDrawSurface* S, int X, int Y) {
    TSurfaceBits b;
    EXPECT_TRUE(DDrawSurfaceBits(S, b));
    DWORD v = 0;
    std::memcpy(&v, b.Bits + Y * b.Pitch + X * static_cast<int>(b.BytesPerPixel), b.BytesPerPixel);
    return v;
}

// Fills a surface with a colour per quadrant.
void Quadrants(IDirectDrawSurface* S, int W, int H, const std::array<DWORD, 4>& Values) {
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            Put(S, x, y, Values[(y >= H / 2) * 2 + (x >= W / 2)]);
}

// The main window of a program: a menu bar and the screen view as its client area.
struct TWindow {
    QMainWindow Form;
    TScreenView* View;
    TWindow(int X, int Y, int W, int H) : View(new TScreenView) {
        Form.setCentralWidget(View);
        Form.menuBar()->addMenu("&Game");
        Form.move(X, Y);
        Form.show();
        Form.resize(W, H + Form.menuBar()->sizeHint().height());
        QTest::qWait(1);
        Form.setGeometry(X, Y, W, H + Form.menuBar()->sizeHint().height());
    }
    QRect OnScreen() const { return QRect(View->mapToGlobal(QPoint(0, 0)), View->size()); }
};

} // namespace

TEST_F(DDrawTest, ConversionsBetweenEveryPairOfDepths) {
    TDDPair dd;
    dd.DD2->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
    // Pure red, green, blue and white in each format, and a palette that holds them.
    const std::array<std::array<DWORD, 4>, 4> colours{{
        {1, 2, 3, 4},
        {0xF800, 0x07E0, 0x001F, 0xFFFF},
        {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF},
        {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF},
    }};
    std::array<PALETTEENTRY, 256> entries{};
    entries[1] = {255, 0, 0, 0};
    entries[2] = {0, 255, 0, 0};
    entries[3] = {0, 0, 255, 0};
    entries[4] = {255, 255, 255, 0};
    IDirectDrawPalette* palette = nullptr;
    ASSERT_EQ(dd.DD2->CreatePalette(DDPCAPS_8BIT, entries.data(), &palette, nullptr), DD_OK);
    const int depths[] = {8, 16, 24, 32};
    for (int from = 0; from < 4; ++from)
        for (int to = 0; to < 4; ++to) {
            IDirectDrawSurface* src = Offscreen(dd.DD2, 4, 4, depths[from]);
            IDirectDrawSurface* dst = Offscreen(dd.DD2, 8, 8, depths[to]);
            if (depths[from] == 8)
                src->SetPalette(palette);
            if (depths[to] == 8)
                dst->SetPalette(palette);
            Quadrants(src, 4, 4, colours[from]);
            ASSERT_EQ(dst->Blt(nullptr, src, nullptr, DDBLT_WAIT, nullptr), DD_OK);
            // Twice the size: each source pixel covers 2 x 2.
            EXPECT_EQ(Get(dst, 0, 0), colours[to][0]) << depths[from] << "->" << depths[to];
            EXPECT_EQ(Get(dst, 7, 0), colours[to][1]) << depths[from] << "->" << depths[to];
            EXPECT_EQ(Get(dst, 3, 7), colours[to][2]) << depths[from] << "->" << depths[to];
            EXPECT_EQ(Get(dst, 4, 4), colours[to][3]) << depths[from] << "->" << depths[to];
            src->Release();
            dst->Release();
        }
    palette->Release();
}

TEST_F(DDrawTest, ScalingSamplesPixelCentresAndRectanglesMustLieOnTheSurfaces) {
    TDDPair dd;
    dd.DD2->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
    IDirectDrawSurface* src = Offscreen(dd.DD2, 6, 1, 32);
    IDirectDrawSurface* dst = Offscreen(dd.DD2, 3, 1, 32);
    for (int x = 0; x < 6; ++x)
        Put(src, x, 0, DWORD(x));
    ASSERT_EQ(dst->Blt(nullptr, src, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(Get(dst, 0, 0), 1u);
    EXPECT_EQ(Get(dst, 1, 0), 3u);
    EXPECT_EQ(Get(dst, 2, 0), 5u);
    RECT outside{0, 0, 4, 1};
    EXPECT_EQ(dst->Blt(&outside, src, nullptr, DDBLT_WAIT, nullptr), DDERR_INVALIDRECT);
    RECT tooWide{2, 0, 7, 1};
    EXPECT_EQ(dst->Blt(nullptr, src, &tooWide, DDBLT_WAIT, nullptr), DDERR_INVALIDRECT);
    EXPECT_EQ(dst->BltFast(0, 0, src, nullptr, DDBLTFAST_WAIT), DDERR_INVALIDRECT);
    RECT part{3, 0, 6, 1};
    ASSERT_EQ(dst->BltFast(0, 0, src, &part, DDBLTFAST_WAIT), DD_OK);
    EXPECT_EQ(Get(dst, 0, 0), 3u);
    EXPECT_EQ(Get(dst, 2, 0), 5u);
    // Overlapping copies inside one surface read the source as it was.
    RECT head{0, 0, 5, 1}, shifted{1, 0, 6, 1};
    ASSERT_EQ(src->Blt(&shifted, src, &head, DDBLT_WAIT, nullptr), DD_OK);
    for (int x = 1; x < 6; ++x)
        EXPECT_EQ(Get(src, x, 0), DWORD(x - 1));
    src->Release();
    dst->Release();
}

TEST_F(DDrawTest, SourceColourKeysAndColourFills) {
    TDDPair dd;
    dd.DD2->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
    IDirectDrawSurface* src = Offscreen(dd.DD2, 2, 1, 16);
    IDirectDrawSurface* dst = Offscreen(dd.DD2, 2, 1, 16);
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = 0x1234;
    ASSERT_EQ(dst->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
    EXPECT_EQ(Get(dst, 1, 0), 0x1234u);
    Put(src, 0, 0, 0xF81F);
    Put(src, 1, 0, 0x07E0);
    EXPECT_EQ(dst->Blt(nullptr, src, nullptr, DDBLT_KEYSRC, nullptr), DDERR_NOCOLORKEY);
    DDCOLORKEY key{0xF81F, 0xF81F};
    ASSERT_EQ(src->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    ASSERT_EQ(dst->Blt(nullptr, src, nullptr, DDBLT_KEYSRC | DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(Get(dst, 0, 0), 0x1234u);
    EXPECT_EQ(Get(dst, 1, 0), 0x07E0u);
    DDSURFACEDESC d;
    d.dwSize = sizeof d;
    src->GetSurfaceDesc(&d);
    EXPECT_TRUE(d.dwFlags & DDSD_CKSRCBLT);
    EXPECT_EQ(d.ddckCKSrcBlt.dwColorSpaceLowValue, 0xF81Fu);
    src->Release();
    dst->Release();
}

TEST_F(DDrawTest, AScaledBlitOntoThePrimaryAppearsInTheWindowAndStaysInside) {
    TWindow window(40, 30, 320, 240);
    const QRect client = window.OnScreen();
    ASSERT_EQ(client.size(), QSize(320, 240));
    TDDPair dd;
    ASSERT_EQ(dd.DD2->SetCooperativeLevel(&window.Form, DDSCL_NORMAL), DD_OK);
    IDirectDrawSurface* primary = nullptr;
    DDSURFACEDESC p = Desc(DDSD_CAPS, DDSCAPS_PRIMARYSURFACE);
    ASSERT_EQ(dd.DD2->CreateSurface(&p, &primary, nullptr), DD_OK);
    IDirectDrawClipper* clipper = nullptr;
    dd.DD2->CreateClipper(0, &clipper, nullptr);
    clipper->SetHWnd(0, &window.Form);
    primary->SetClipper(clipper);
    clipper->Release();
    IDirectDrawSurface* back = Offscreen(dd.DD2, 640, 480, 0);
    Quadrants(back, 640, 480, {0xF800, 0x07E0, 0x001F, 0xFFFF});

    // Twice the client's size around it: only the client area receives anything.
    RECT wide{client.left() - 320, client.top() - 240, client.right() + 1 + 320,
              client.bottom() + 1 + 240};
    ASSERT_EQ(primary->Blt(&wide, back, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(Get(primary, client.left() - 1, client.top()), 0u);
    EXPECT_EQ(Get(primary, client.left(), client.top() - 1), 0u);
    EXPECT_EQ(Get(primary, client.right() + 1, client.bottom()), 0u);
    // The client shows the middle of the picture: the four quadrants meet at its centre.
    const QImage shown = window.View->Grab();
    EXPECT_EQ(shown.pixel(10, 10), qRgb(255, 0, 0));
    EXPECT_EQ(shown.pixel(310, 10), qRgb(0, 255, 0));
    EXPECT_EQ(shown.pixel(10, 230), qRgb(0, 0, 255));
    EXPECT_EQ(shown.pixel(310, 230), qRgb(255, 255, 255));

    // Exactly onto the client: the whole picture, halved.
    RECT exact{client.left(), client.top(), client.right() + 1, client.bottom() + 1};
    ASSERT_EQ(primary->Blt(&exact, back, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(Get(primary, client.left() + 159, client.top()), 0xF800u);
    EXPECT_EQ(Get(primary, client.left() + 160, client.top()), 0x07E0u);
    EXPECT_EQ(Get(primary, client.left(), client.top() + 120), 0x001Fu);

    // A hidden window has nothing on the screen to draw on.
    window.Form.hide();
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = 0x1111;
    ASSERT_EQ(primary->Blt(&exact, nullptr, nullptr, DDBLT_COLORFILL, &fx), DD_OK);
    EXPECT_EQ(Get(primary, client.left(), client.top()), 0xF800u);
    back->Release();
}

TEST_F(DDrawTest, AWindowPartlyOffTheScreenReceivesOnlyItsVisiblePart) {
    vcl::Screen().SetDesktop(400, 300, 32, 0);
    TWindow window(300, 200, 200, 150);
    const QRect client = window.OnScreen();
    TDDPair dd;
    dd.DD2->SetCooperativeLevel(&window.Form, DDSCL_NORMAL);
    IDirectDrawSurface* primary = nullptr;
    DDSURFACEDESC p = Desc(DDSD_CAPS, DDSCAPS_PRIMARYSURFACE);
    ASSERT_EQ(dd.DD2->CreateSurface(&p, &primary, nullptr), DD_OK);
    IDirectDrawClipper* clipper = nullptr;
    dd.DD2->CreateClipper(0, &clipper, nullptr);
    clipper->SetHWnd(0, &window.Form);
    primary->SetClipper(clipper);
    clipper->Release();
    IDirectDrawSurface* back = Offscreen(dd.DD2, 200, 150, 0);
    Quadrants(back, 200, 150, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF});
    RECT dst{client.left(), client.top(), client.right() + 1, client.bottom() + 1};
    ASSERT_EQ(primary->Blt(&dst, back, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(Get(primary, client.left(), client.top()), 0xFF0000u);
    // The screen's corner is the picture's point (99, 299 - top): left half, upper or lower.
    ASSERT_EQ(client.left(), 300);
    EXPECT_EQ(Get(primary, 399, 299), 299 - client.top() >= 75 ? 0x0000FFu : 0xFF0000u);
    const QImage shown = window.View->Grab();
    EXPECT_EQ(shown.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(shown.pixel(199, 149), qRgb(0, 0, 0)); // off the screen: nothing to show
    back->Release();
}

TEST_F(DDrawTest, APaletteOnTheWindowedPrimaryBecomesTheSystemPalette) {
    vcl::Screen().SetDesktop(640, 480, 8, 0);
    TWindow window(0, 0, 64, 64);
    TDDPair dd;
    dd.DD2->SetCooperativeLevel(&window.Form, DDSCL_NORMAL);
    IDirectDrawSurface* primary = nullptr;
    DDSURFACEDESC p = Desc(DDSD_CAPS, DDSCAPS_PRIMARYSURFACE);
    ASSERT_EQ(dd.DD2->CreateSurface(&p, &primary, nullptr), DD_OK);
    std::array<PALETTEENTRY, 256> entries{};
    entries[0] = {1, 2, 3, 0};
    entries[100] = {10, 20, 30, 0};
    IDirectDrawPalette* palette = nullptr;
    dd.DD2->CreatePalette(DDPCAPS_8BIT, entries.data(), &palette, nullptr);
    ASSERT_EQ(primary->SetPalette(palette), DD_OK);
    std::array<PALETTEENTRY, 256> sys{};
    HDC dc = CreateICA("Display", nullptr, nullptr, nullptr);
    ASSERT_EQ(GetSystemPaletteEntries(dc, 0, 256, sys.data()), 256u);
    EXPECT_EQ(sys[100], (PALETTEENTRY{10, 20, 30, 0}));
    EXPECT_EQ(sys[0], (PALETTEENTRY{0, 0, 0, 0})); // the static colours stay
    EXPECT_EQ(sys[255], (PALETTEENTRY{255, 255, 255, 0}));
    PALETTEENTRY changed{40, 50, 60, 0};
    ASSERT_EQ(palette->SetEntries(0, 100, 1, &changed), DD_OK);
    GetSystemPaletteEntries(dc, 100, 1, sys.data());
    EXPECT_EQ(sys[0], changed);
    DeleteDC(dc);
    palette->Release();
}

TEST_F(DDrawTest, FullScreenFlipShowsTheBackBufferScaledToTheWindow) {
    TWindow window(0, 0, 320, 240);
    TDDPair dd;
    ASSERT_EQ(dd.DD2->SetCooperativeLevel(&window.Form, 0x53), DD_OK);
    ASSERT_EQ(dd.DD2->SetDisplayMode(640, 480, 16, 0, 0), DD_OK);
    DDSURFACEDESC d = Desc(DDSD_CAPS | DDSD_BACKBUFFERCOUNT,
                           DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX);
    d.dwBackBufferCount = 1;
    IDirectDrawSurface* front = nullptr;
    ASSERT_EQ(dd.DD2->CreateSurface(&d, &front, nullptr), DD_OK);
    DDSCAPS caps{DDSCAPS_BACKBUFFER};
    IDirectDrawSurface* back = nullptr;
    ASSERT_EQ(front->GetAttachedSurface(&caps, &back), DD_OK);
    EXPECT_EQ(back->Flip(nullptr, DDFLIP_WAIT), DDERR_NOTFLIPPABLE);
    Quadrants(back, 640, 480, {0xF800, 0x07E0, 0x001F, 0xFFFF});
    ASSERT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    EXPECT_EQ(Get(front, 639, 479), 0xFFFFu);
    EXPECT_EQ(Get(back, 639, 479), 0u);
    const QImage shown = window.View->Grab();
    const QSize size = shown.size();
    EXPECT_EQ(shown.pixel(2, 2), qRgb(255, 0, 0));
    EXPECT_EQ(shown.pixel(size.width() - 3, size.height() - 3), qRgb(255, 255, 255));
    // Losing the chain (a mode change) makes the flip fail, as the component expects.
    DDrawLoseAllSurfaces();
    EXPECT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DDERR_SURFACELOST);
    back->Release();
}

TEST_F(DDrawTest, ADeviceContextDrawsOnTheSurface) {
    TDDPair dd;
    dd.DD2->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
    for (int bits : {8, 16, 24, 32}) {
        IDirectDrawSurface* s = Offscreen(dd.DD2, 8, 8, bits);
        IDirectDrawPalette* palette = nullptr;
        if (bits == 8) {
            std::array<PALETTEENTRY, 256> entries{};
            entries[7] = {0, 0, 255, 0};
            dd.DD2->CreatePalette(DDPCAPS_8BIT, entries.data(), &palette, nullptr);
            s->SetPalette(palette);
        }
        HDC dc = nullptr;
        ASSERT_EQ(s->GetDC(&dc), DD_OK) << bits;
        DDSURFACEDESC d;
        d.dwSize = sizeof d;
        EXPECT_EQ(s->Lock(nullptr, &d, 0, nullptr), DDERR_SURFACEBUSY);
        dc->Painter()->fillRect(2, 2, 2, 2, QColor(0, 0, 255));
        ASSERT_EQ(s->ReleaseDC(dc), DD_OK);
        const DWORD blue = bits == 8 ? 7 : bits == 16 ? 0x001F : 0x0000FF;
        EXPECT_EQ(Get(s, 3, 3) & 0xFFFFFF, blue) << bits; // the fourth byte of 32 bits is unused
        EXPECT_EQ(Get(s, 1, 1), 0u) << bits;
        s->Release();
        if (palette)
            palette->Release();
    }
}

TEST_F(DDrawTest, WaitingForTheVerticalBlankFollowsTheRefreshTheSystemTells) {
    TDDPair dd;
    const auto timed = [&] {
        const auto t0 = std::chrono::steady_clock::now();
        EXPECT_EQ(dd.DD2->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr), DD_OK);
        return std::chrono::steady_clock::now() - t0;
    };
    EXPECT_LT(timed(), std::chrono::milliseconds(2)); // no rate told: at once
    vcl::Screen().SetDesktop(1024, 768, 16, 50);
    timed();
    // From one blank to the next is one period of 20 ms.
    const auto period = timed();
    EXPECT_GT(period, std::chrono::milliseconds(15));
    EXPECT_LT(period, std::chrono::milliseconds(40));
}
