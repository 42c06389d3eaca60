// Draws the connection dialog's emblem strip: 24 frames of a golden medallion with a sail on
// its face, turning about its upright axis, 32 x 32 pixels each, side by side in one 768 x 32
// bitmap of 8 bits per pixel. Writes the BMP file and a C++ source that holds its bytes.
//
//   make_emblem <out.bmp> <out.cpp>

#include "platform/image/BmpFile.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kFrame = 32;
constexpr int kFrames = 24;
constexpr int kWidth = kFrame * kFrames;
constexpr double kPi = 3.14159265358979323846;
constexpr double kRadius = 14.0;
constexpr double kThickness = 3.0;
constexpr int kSamples = 4; // per axis, per pixel

// Palette: 0 is the background; 1..255 run from dark bronze through gold to a pale highlight.
std::vector<std::uint8_t> Palette() {
    std::vector<std::uint8_t> p(256 * 4, 0);
    p[0] = 0xF0, p[1] = 0xF0, p[2] = 0xF0; // blue, green, red
    const double stops[3][3] = {{0x4A, 0x30, 0x06}, {0xD9, 0xA4, 0x1C}, {0xFF, 0xF4, 0xC0}};
    for (int i = 1; i < 256; ++i) {
        const double t = (i - 1) / 254.0;
        const int seg = t < 0.6 ? 0 : 1;
        const double u = seg == 0 ? t / 0.6 : (t - 0.6) / 0.4;
        for (int c = 0; c < 3; ++c) {
            const double v = stops[seg][c] + (stops[seg + 1][c] - stops[seg][c]) * u;
            p[i * 4 + (2 - c)] = static_cast<std::uint8_t>(std::lround(v));
        }
    }
    return p;
}

bool InTriangle(double x, double y, double ax, double ay, double bx, double by, double cx,
                double cy) {
    const double d1 = (x - bx) * (ay - by) - (ax - bx) * (y - by);
    const double d2 = (x - cx) * (by - cy) - (bx - cx) * (y - cy);
    const double d3 = (x - ax) * (cy - ay) - (cx - ax) * (y - ay);
    const bool neg = d1 < 0 || d2 < 0 || d3 < 0;
    const bool pos = d1 > 0 || d2 > 0 || d3 > 0;
    return !(neg && pos);
}

// Relief of the face at face coordinates (u, v), y down: 1 raised, 0 flat.
double Relief(double u, double v) {
    const double r = std::hypot(u, v);
    if (r > kRadius - 2.2)
        return 1.0; // raised rim
    if (InTriangle(u, v, 0.5, -9.5, 0.5, 4.5, 8.0, 4.5))
        return 1.0; // mainsail
    if (InTriangle(u, v, -1.0, -7.5, -1.0, 4.5, -7.0, 4.5))
        return 1.0; // jib
    if (v > 5.5 && v < 8.5 && std::fabs(u) < 9.0 - (v - 5.5) * 1.3)
        return 1.0; // hull
    return 0.0;
}

// Brightness in 0..1 of one sample, or a negative value for background.
double Shade(double x, double y, double angle) {
    const double c = std::cos(angle), s = std::sin(angle);
    const double light = std::max(0.0, 0.45 * -s + 0.89 * c); // from the front, a little left
    const double half = std::sqrt(std::max(0.0, kRadius * kRadius - y * y));
    const double faceHalf = half * std::fabs(c);
    if (std::fabs(c) > 1e-3 && std::fabs(x) <= faceHalf) {
        double u = x / c; // the back shows the face mirrored, as it would
        const double base = 0.30 + 0.55 * (c >= 0 ? light : std::max(0.0, 0.45 * s - 0.89 * c));
        const double here = Relief(u, y);
        const double left = Relief(u - 1.0, y - 1.0);
        double b = base + 0.15 * here;
        if (here > left)
            b += 0.18; // lit edge of a raised shape
        else if (here < left)
            b -= 0.18; // its shadow
        return std::clamp(b, 0.0, 1.0);
    }
    // The edge of the coin, seen on the side it turns towards.
    const double side = (s * c >= 0) ? 1.0 : -1.0;
    const double rim = kThickness * std::fabs(s);
    const double outward = x * side - faceHalf;
    if (half > 0 && outward > 0 && outward <= rim) {
        const double ridge = 0.5 + 0.5 * std::cos(outward / std::max(rim, 1e-6) * kPi * 3);
        // Lit a little more while turning one way, so no two frames are alike.
        return std::clamp(
            0.35 + 0.35 * std::fabs(s) + 0.06 * s + 0.12 * ridge - 0.15 * (y / kRadius), 0.0, 1.0);
    }
    return -1.0;
}

std::vector<std::uint8_t> Draw() {
    std::vector<std::uint8_t> pixels(kWidth * kFrame, 0);
    for (int f = 0; f < kFrames; ++f) {
        const double angle = 2 * kPi * f / kFrames;
        for (int py = 0; py < kFrame; ++py)
            for (int px = 0; px < kFrame; ++px) {
                double sum = 0;
                int covered = 0;
                for (int sy = 0; sy < kSamples; ++sy)
                    for (int sx = 0; sx < kSamples; ++sx) {
                        const double x = px + (sx + 0.5) / kSamples - kFrame / 2.0;
                        const double y = py + (sy + 0.5) / kSamples - kFrame / 2.0;
                        const double b = Shade(x, y, angle);
                        if (b >= 0) {
                            sum += b;
                            ++covered;
                        }
                    }
                if (covered * 2 < kSamples * kSamples)
                    continue;
                const double b = sum / covered;
                pixels[py * kWidth + f * kFrame + px] =
                    static_cast<std::uint8_t>(1 + std::lround(b * 254));
            }
    }
    return pixels;
}

std::vector<std::uint8_t> Bitmap() {
    const auto palette = Palette();
    const auto pixels = Draw();
    TBmpShape shape;
    shape.Width = kWidth;
    shape.Height = kFrame; // bottom-up rows
    shape.BitCount = 8;
    for (std::size_t i = 0; i < palette.size(); i += 4)
        shape.Palette.push_back(std::uint32_t{palette[i + 2]} << 16 |
                                std::uint32_t{palette[i + 1]} << 8 | palette[i]);
    std::vector<std::uint8_t> rows;
    for (int row = kFrame - 1; row >= 0; --row) // 768 bytes a row: no padding needed
        rows.insert(rows.end(), pixels.begin() + row * kWidth, pixels.begin() + (row + 1) * kWidth);
    return EncodeBmpFile(shape, rows);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_emblem out.bmp out.cpp\n");
        return 2;
    }
    const auto bmp = Bitmap();
    std::ofstream(argv[1], std::ios::binary)
        .write(reinterpret_cast<const char*>(bmp.data()), static_cast<std::streamsize>(bmp.size()));
    std::ofstream cpp(argv[2]);
    cpp << "// Generated by make_emblem; do not edit.\n#include <cstddef>\nnamespace ddpd {\n"
        << "extern const unsigned char kEmblemBmp[];\nextern const std::size_t kEmblemBmpSize;\n"
        << "const unsigned char kEmblemBmp[] = {";
    for (std::size_t i = 0; i < bmp.size(); ++i)
        cpp << (i % 24 == 0 ? "\n" : "") << static_cast<int>(bmp[i]) << ",";
    cpp << "\n};\nconst std::size_t kEmblemBmpSize = sizeof kEmblemBmp;\n} // namespace ddpd\n";
    return cpp ? 0 : 1;
}
