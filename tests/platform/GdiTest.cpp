// The window system's side: colour depth, system palette, logical palettes, client origins.
#include "tests/platform/DDrawFixture.h"

#include <QMainWindow>
#include <QMenuBar>
#include <QTest>

#include <array>
#include <cstdlib>

TEST_F(DDrawTest, TheDesktopDepthIsThePlatformSettingSixteenByDefault) {
    vcl::Screen().SetDesktop(0, 0, 0);
    struct TCase {
        const char* Setting;
        int Bits;
    };
    const TCase cases[] = {{nullptr, 16}, {"8", 8},   {"16", 16}, {"24", 24},
                           {"32", 32},    {"15", 16}, {"", 16},   {"24x", 16}};
    const char* saved = std::getenv("MAREVO_DISPLAY_BPP");
    const std::string keep = saved ? saved : "";
    for (const TCase& c : cases) {
        if (c.Setting)
            setenv("MAREVO_DISPLAY_BPP", c.Setting, 1);
        else
            unsetenv("MAREVO_DISPLAY_BPP");
        HDC dc = CreateICA("Display", nullptr, nullptr, nullptr);
        EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), c.Bits) << (c.Setting ? c.Setting : "unset");
        DeleteDC(dc);
    }
    if (saved)
        setenv("MAREVO_DISPLAY_BPP", keep.c_str(), 1);
    else
        unsetenv("MAREVO_DISPLAY_BPP");
}

TEST_F(DDrawTest, TheSystemPaletteHasTheTwentyStaticColours) {
    std::array<PALETTEENTRY, 256> sys{};
    HDC dc = CreateICA("Display", nullptr, nullptr, nullptr);
    ASSERT_EQ(GetSystemPaletteEntries(dc, 0, 256, sys.data()), 256u);
    EXPECT_EQ(sys[0], (PALETTEENTRY{0, 0, 0, 0}));
    EXPECT_EQ(sys[7], (PALETTEENTRY{192, 192, 192, 0}));
    EXPECT_EQ(sys[9], (PALETTEENTRY{166, 202, 240, 0}));
    EXPECT_EQ(sys[246], (PALETTEENTRY{255, 251, 240, 0}));
    EXPECT_EQ(sys[249], (PALETTEENTRY{255, 0, 0, 0}));
    EXPECT_EQ(sys[255], (PALETTEENTRY{255, 255, 255, 0}));
    EXPECT_EQ(GetSystemPaletteEntries(dc, 250, 10, sys.data()), 6u);
    EXPECT_EQ(GetSystemPaletteEntries(dc, 256, 1, sys.data()), 0u);
    DeleteDC(dc);
}

TEST_F(DDrawTest, RealisingAPaletteOnAnEightBitDisplayKeepsTheStaticColours) {
    LOGPALETTE lp;
    lp.palNumEntries = 256;
    for (auto& e : lp.palPalEntry)
        e = {7, 8, 9, PC_NOCOLLAPSE};
    HPALETTE palette = CreatePalette(&lp);
    ASSERT_NE(palette, nullptr);
    HDC dc = GetDC(nullptr);
    HPALETTE old = SelectPalette(dc, palette, FALSE);
    EXPECT_EQ(RealizePalette(dc), 0u); // a 16-bit display has no palette to realise
    vcl::Screen().SetDesktop(1024, 768, 8, 0);
    EXPECT_EQ(RealizePalette(dc), 236u);
    std::array<PALETTEENTRY, 256> sys{};
    GetSystemPaletteEntries(dc, 0, 256, sys.data());
    EXPECT_EQ(sys[10], (PALETTEENTRY{7, 8, 9, 0}));
    EXPECT_EQ(sys[245], (PALETTEENTRY{7, 8, 9, 0}));
    EXPECT_EQ(sys[9], (PALETTEENTRY{166, 202, 240, 0}));
    SelectPalette(dc, old, FALSE);
    ReleaseDC(nullptr, dc);
    DeleteObject(palette);
    lp.palVersion = 0x200;
    EXPECT_EQ(CreatePalette(&lp), nullptr);
}

TEST_F(DDrawTest, TheClientAreaOfAMainWindowIsBelowItsMenu) {
    QMainWindow window;
    auto* client = new QWidget;
    window.setCentralWidget(client);
    window.menuBar()->addMenu("&Game");
    window.setGeometry(50, 60, 300, 200);
    window.show();
    QTest::qWait(1);
    RECT r;
    ASSERT_TRUE(GetClientRect(&window, &r));
    EXPECT_EQ(r.right, client->width());
    EXPECT_EQ(r.bottom, client->height());
    POINT origin{};
    ASSERT_TRUE(ClientToScreen(&window, &origin));
    const QPoint expected = client->mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(origin.x, expected.x());
    EXPECT_EQ(origin.y, expected.y());
    EXPECT_GT(origin.y, window.geometry().top()); // the menu bar lies above
    EXPECT_FALSE(GetClientRect(nullptr, &r));
}
