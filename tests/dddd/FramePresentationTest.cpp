// The 640 x 480 picture in windows of every shape, at the device pixel ratio the run was started
// with (CTest runs this suite at QT_SCALE_FACTOR 1, 1.5 and 2): a one-pixel checkerboard must
// come out centred in its 4:3 area, with black bars, and in the sharp modes with no mixed colour
// and, for whole multiples, every square the same size.
#include "tests/dddd/DisplayFixture.h"

#include "platform/ddraw/ScreenView.h"

#include <QGuiApplication>
#include <QTest>

#include <cstdlib>
#include <map>

namespace {

constexpr QRgb kWhite = qRgb(255, 255, 255);
constexpr QRgb kBlack = qRgb(0, 0, 0);

class FramePresentation : public DisplayTest {
protected:
    void SetUp() override {
        DisplayTest::SetUp();
        Start(16);
        Display->FitFrameToView = true;
        Display->VsyncAtWindowed = false;
        DrawCheckerboard();
        Form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
    }

    // White where x + y is even: the top-left pixel is white.
    void DrawCheckerboard() {
        IDirectDrawSurface* back = Display->BackSurface()->Surface;
        DDSURFACEDESC d;
        d.dwSize = sizeof d;
        ASSERT_EQ(back->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
        for (DWORD y = 0; y < d.dwHeight; ++y) {
            auto* row = reinterpret_cast<std::uint16_t*>(static_cast<BYTE*>(d.lpSurface) +
                                                         y * static_cast<DWORD>(d.lPitch));
            for (DWORD x = 0; x < d.dwWidth; ++x)
                row[x] = (x + y) % 2 == 0 ? 0xFFFF : 0x0000;
        }
        back->Unlock(nullptr);
    }

    // The view at Width x Height logical pixels, showing the back buffer scaled by Scaling, as
    // the window system paints it (in device pixels).
    QImage Present(int Width, int Height, TFrameScaling Scaling) {
        Form->resize(Width, Height);
        QCoreApplication::processEvents();
        Display->View()->SetFrameScaling(Scaling);
        Display->Flip();
        return Display->View()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    // Lengths of the runs of equal colour along row Y (or column X when Vertical) inside P.
    static std::vector<int> Runs(const QImage& Image, const TFramePlacement& P, int Line,
                                 bool Vertical) {
        std::vector<int> runs;
        const int n = Vertical ? P.Height : P.Width;
        QRgb last = 0;
        for (int i = 0; i < n; ++i) {
            const QRgb c = Vertical ? Image.pixel(Line, P.Y + i) : Image.pixel(P.X + i, Line);
            if (i == 0 || c != last)
                runs.push_back(0);
            ++runs.back();
            last = c;
        }
        return runs;
    }
};

struct TShape {
    int Width, Height; // logical pixels of the view
};
constexpr TShape kShapes[] = {{640, 480}, {700, 500}, {1000, 600}, {500, 700}, {333, 250}};
constexpr TFrameScaling kScalings[] = {TFrameScaling::PixelPerfect, TFrameScaling::Nearest,
                                       TFrameScaling::Smooth};

TEST_F(FramePresentation, RunsAtTheScaleFactorCTestAsked) {
    const char* asked = std::getenv("QT_SCALE_FACTOR");
    const qreal ratio = Display->View()->devicePixelRatioF();
    EXPECT_DOUBLE_EQ(ratio, asked ? std::atof(asked) : 1.0);
    RecordProperty("DevicePixelRatio", std::to_string(ratio));
}

TEST_F(FramePresentation, TheFourByThreeAreaIsCentredBetweenBlackBars) {
    for (const TShape& shape : kShapes)
        for (const TFrameScaling scaling : kScalings) {
            SCOPED_TRACE(testing::Message() << shape.Width << "x" << shape.Height << " scaling "
                                            << static_cast<int>(scaling));
            const QImage shown = Present(shape.Width, shape.Height, scaling);
            const QSize area = Display->View()->DeviceSize();
            ASSERT_EQ(shown.size(), area);
            const TFramePlacement p = Display->View()->Placement();
            ASSERT_GT(p.Width, 0);
            // Centred to the pixel, and 4:3 to the rounding of one side.
            EXPECT_LE(std::abs(p.X - (area.width() - p.X - p.Width)), 1);
            EXPECT_LE(std::abs(p.Y - (area.height() - p.Y - p.Height)), 1);
            EXPECT_LE(std::abs(p.Width * 3 - p.Height * 4), 3);
            if (scaling != TFrameScaling::PixelPerfect) {
                EXPECT_TRUE(p.Width == area.width() || p.Height == area.height());
            }
            // The bars are black on every side that has one; the area starts with the picture's
            // first (white) pixel.
            if (p.X > 0) {
                EXPECT_EQ(shown.pixel(p.X - 1, p.Y + p.Height / 2), kBlack);
            }
            if (p.X + p.Width < area.width()) {
                EXPECT_EQ(shown.pixel(p.X + p.Width, p.Y + p.Height / 2), kBlack);
            }
            if (p.Y > 0) {
                EXPECT_EQ(shown.pixel(p.X + p.Width / 2, p.Y - 1), kBlack);
            }
            if (p.Y + p.Height < area.height()) {
                EXPECT_EQ(shown.pixel(p.X + p.Width / 2, p.Y + p.Height), kBlack);
            }
            if (!p.Filtered) {
                EXPECT_EQ(shown.pixel(p.X, p.Y), kWhite);
            }
        }
}

TEST_F(FramePresentation, SharpModesShowNoMixedColourAndWholeMultiplesEqualRuns) {
    for (const TShape& shape : kShapes)
        for (const TFrameScaling scaling : {TFrameScaling::PixelPerfect, TFrameScaling::Nearest}) {
            SCOPED_TRACE(testing::Message() << shape.Width << "x" << shape.Height << " scaling "
                                            << static_cast<int>(scaling));
            const QImage shown = Present(shape.Width, shape.Height, scaling);
            const TFramePlacement p = Display->View()->Placement();
            ASSERT_GT(p.Width, 0);
            std::map<QRgb, int> colours;
            for (int y = p.Y; y < p.Y + p.Height; ++y)
                for (int x = p.X; x < p.X + p.Width; ++x)
                    ++colours[shown.pixel(x, y)];
            EXPECT_EQ(colours.size(), 2u);
            EXPECT_TRUE(colours.contains(kWhite) && colours.contains(kBlack));

            const int k = p.Width / 640;
            if (p.Width % 640 != 0 || p.Height != 480 * k)
                continue; // a reduced picture: whole runs are not possible
            for (const int line : {p.Y, p.Y + p.Height / 2, p.Y + p.Height - 1})
                EXPECT_EQ(Runs(shown, p, line, false), std::vector<int>(640, k));
            for (const int line : {p.X, p.X + p.Width / 3, p.X + p.Width - 1})
                EXPECT_EQ(Runs(shown, p, line, true), std::vector<int>(480, k));
        }
}

TEST_F(FramePresentation, PixelPerfectTakesTheLargestWholeMultipleThatFits) {
    const qreal ratio = Display->View()->devicePixelRatioF();
    Present(640, 480, TFrameScaling::PixelPerfect);
    // 640 logical pixels are 640 * ratio device pixels: 1, 1 (960 holds no 1280) or 2 times.
    EXPECT_EQ(Display->View()->Placement().Width, 640 * static_cast<int>(ratio));
}

TEST_F(FramePresentation, SmoothFillsTheAreaAndFiltersOnlyAtFractionalScales) {
    const QImage shown = Present(1000, 600, TFrameScaling::Smooth);
    const TFramePlacement p = Display->View()->Placement();
    EXPECT_EQ(p.Height, Display->View()->DeviceSize().height());
    EXPECT_EQ(p.Filtered, p.Height % 480 != 0);
    if (p.Filtered) {
        // Mixed colours are what filtering a checkerboard makes.
        const QRgb middle = shown.pixel(p.X + p.Width / 2, p.Y + p.Height / 2);
        EXPECT_NE(middle, kWhite);
        EXPECT_NE(middle, kBlack);
    }
}

TEST_F(FramePresentation, WithoutFittingTheFrameStillFillsTheClientAreaStretched) {
    Display->FitFrameToView = false;
    Form->resize(1000, 600);
    QCoreApplication::processEvents();
    Display->Flip();
    // The desktop path is untouched: the view shows the desktop, no picture of its own.
    EXPECT_EQ(Display->View()->Placement(), TFramePlacement{});
}

} // namespace
