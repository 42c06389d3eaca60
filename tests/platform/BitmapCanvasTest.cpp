#include "platform/rtl/MemoryStream.h"
#include "platform/vcl/Bitmap.h"

#include "tests/dddd/BmpFiles.h"

#include <gtest/gtest.h>

namespace {

std::unique_ptr<TMemoryStream> StreamOf(const std::vector<std::uint8_t>& B) {
    auto s = std::make_unique<TMemoryStream>();
    s->WriteBuffer(B.data(), static_cast<std::int64_t>(B.size()));
    s->SetPosition(0);
    return s;
}

// A canvas that fetches its context the way the display framework's canvas does: late.
class TLateCanvas : public vcl::TCanvas {
public:
    explicit TLateCanvas(vcl::TDeviceContext* Dc) : Dc(Dc) {}
    int Created = 0;

protected:
    void CreateHandle() override {
        ++Created;
        SetHandle(Dc);
    }

private:
    vcl::TDeviceContext* Dc;
};

} // namespace

TEST(Bitmap, LoadsFromTheStreamPositionAndRefusesWhatIsNoBitmap) {
    const auto file =
        dddd::test::MakeBmp24(3, 2, [](int x, int y) { return y ? 0xFFu : x * 0x400000u; });
    std::vector<std::uint8_t> padded{'x', 'y'};
    padded.insert(padded.end(), file.begin(), file.end());
    auto s = StreamOf(padded);
    s->SetPosition(2);
    vcl::TBitmap bmp;
    bmp.LoadFromStream(*s);
    EXPECT_EQ(bmp.Width(), 3);
    EXPECT_EQ(bmp.Height(), 2);
    EXPECT_EQ(bmp.Image().pixel(2, 0) & 0xFFFFFF, 0x800000u);
    EXPECT_EQ(bmp.Image().pixel(0, 1) & 0xFFFFFF, 0x0000FFu);

    for (auto bad : {std::vector<std::uint8_t>{'B', 'M', 0}, std::vector<std::uint8_t>{}}) {
        auto b = StreamOf(bad);
        EXPECT_THROW(bmp.LoadFromStream(*b), vcl::EInvalidGraphic);
        EXPECT_EQ(bmp.Width(), 3);
    }
}

TEST(Canvas, CopyRectStretchesOntoAContextItAsksForOnce) {
    const auto file = dddd::test::MakeBmp24(2, 2, [](int x, int y) {
        const std::uint32_t c[2][2] = {{0xFF0000, 0x00FF00}, {0x0000FF, 0xFFFFFF}};
        return c[y][x];
    });
    vcl::TBitmap bmp;
    auto s = StreamOf(file);
    bmp.LoadFromStream(*s);

    vcl::TDeviceContext dc(QImage(6, 4, QImage::Format_RGB16));
    TLateCanvas canvas(&dc);
    EXPECT_FALSE(canvas.HandleAllocated());
    canvas.CopyRect({0, 0, 6, 4}, bmp.Canvas(), {0, 0, 2, 2});
    canvas.CopyRect({0, 0, 6, 4}, bmp.Canvas(), {0, 0, 2, 2});
    EXPECT_EQ(canvas.Created, 1);
    const std::uint32_t want[2][2] = {{0xFF0000, 0x00FF00}, {0x0000FF, 0xFFFFFF}};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(dc.Target().pixel(x, y) & 0xFFFFFF, want[y / 2][x / 3]) << x << "," << y;

    TLateCanvas nowhere(nullptr);
    nowhere.CopyRect({0, 0, 6, 4}, bmp.Canvas(), {0, 0, 2, 2}); // no context: draws nothing
    EXPECT_EQ(nowhere.Handle(), nullptr);
}
