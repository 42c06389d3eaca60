#pragma once
// A display component started on a form over a fixed emulated desktop, a log folder of the
// test's own, and files written for the test.

#include "dddd/DDDD.h"
#include "dddd/DdddDebug.h"
#include "platform/ddraw/DDrawTesting.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/Screen.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class DisplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        DDrawFailures().Clear();
        DDrawSetHardware3D(false);
        // Named by the build and the test, not the process: a death test's child runs the
        // test again in a process of its own and must log where the parent looks.
        const auto build = std::hash<std::string>{}(std::filesystem::current_path().string());
        Folder = std::filesystem::temp_directory_path() /
                 ("marevo-display-" + std::to_string(build) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(Folder);
        std::filesystem::create_directories(Folder);
        dddd::DdddReporter().SetLogFolder(Folder.string() + "/");
    }
    void TearDown() override {
        Display.reset();
        Form.reset();
        DDrawFailures().Clear();
        DDrawSetHardware3D(false);
        vcl::Screen().SetDesktop(0, 0, 0);
        std::filesystem::remove_all(Folder);
    }

    // A windowed 640 x 480 display at the desktop's depth Bits; with Use3D its device chain.
    dddd::TDDDD* Start(int Bits, bool Use3D = false, dddd::TD3DOptions Options = {}) {
        Display.reset();
        vcl::Screen().SetDesktop(1024, 768, Bits, 0);
        Form = std::make_unique<vcl::TForm>();
        Display = std::make_unique<dddd::TDDDD>(Form.get());
        Display->Use3D = Use3D;
        Display->D3DOptions = Options;
        Display->SetDisplayMode(Bits == 8    ? dddd::TDDDDDispMode::dmWin640x480x8
                                : Bits == 16 ? dddd::TDDDDDispMode::dmWin640x480x16
                                             : dddd::TDDDDDispMode::dmWin640x480x24);
        Form->DoCreate();
        EXPECT_TRUE(Display->Started());
        return Display.get();
    }

    // A plain system-memory surface of the display's DirectDraw object.
    IDirectDrawSurface* MakeSurface(int Width, int Height, int Bits = 0) {
        DDSURFACEDESC d;
        d.dwSize = sizeof d;
        d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
        d.dwWidth = static_cast<DWORD>(Width);
        d.dwHeight = static_cast<DWORD>(Height);
        if (Bits) {
            d.dwFlags |= DDSD_PIXELFORMAT;
            d.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
            d.ddpfPixelFormat.dwFlags = DDPF_RGB | (Bits == 8 ? DDPF_PALETTEINDEXED8 : 0);
            d.ddpfPixelFormat.dwRGBBitCount = static_cast<DWORD>(Bits);
            d.ddpfPixelFormat.dwRBitMask = Bits == 16 ? 0xF800 : Bits > 16 ? 0xFF0000 : 0;
            d.ddpfPixelFormat.dwGBitMask = Bits == 16 ? 0x07E0 : Bits > 16 ? 0x00FF00 : 0;
            d.ddpfPixelFormat.dwBBitMask = Bits == 16 ? 0x001F : Bits > 16 ? 0x0000FF : 0;
        }
        IDirectDrawSurface* s = nullptr;
        EXPECT_EQ(Display->DirectDraw2()->CreateSurface(&d, &s, nullptr), DD_OK);
        return s;
    }

    // The surface's rows as stored, Width pixels of BytesPerPixel each.
    static std::vector<std::vector<std::uint32_t>> Rows(IDirectDrawSurface* S) {
        DDSURFACEDESC d;
        d.dwSize = sizeof d;
        std::vector<std::vector<std::uint32_t>> rows;
        if (S->Lock(nullptr, &d, DDLOCK_WAIT | DDLOCK_READONLY, nullptr) != DD_OK)
            return rows;
        const DWORD bpp = d.ddpfPixelFormat.dwRGBBitCount / 8;
        for (DWORD y = 0; y < d.dwHeight; ++y) {
            const auto* p = static_cast<const BYTE*>(d.lpSurface) + y * d.lPitch;
            std::vector<std::uint32_t> row;
            for (DWORD x = 0; x < d.dwWidth; ++x) {
                std::uint32_t v = 0;
                for (DWORD b = 0; b < bpp; ++b)
                    v |= static_cast<std::uint32_t>(p[x * bpp + b]) << (8 * b);
                row.push_back(v);
            }
            rows.push_back(row);
        }
        S->Unlock(nullptr);
        return rows;
    }

    static void Fill(IDirectDrawSurface* S, BYTE Value) {
        DDSURFACEDESC d;
        d.dwSize = sizeof d;
        ASSERT_EQ(S->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
        std::memset(d.lpSurface, Value, static_cast<std::size_t>(d.lPitch) * d.dwHeight);
        S->Unlock(nullptr);
    }

    std::string WriteFile(const std::string& Name, const std::vector<std::uint8_t>& Bytes) {
        const std::string path = (Folder / Name).string();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(Bytes.data()),
                   static_cast<std::streamsize>(Bytes.size()));
        return path;
    }

    // The messages logged since the test began, without their numbers.
    std::vector<std::string> Logged() const {
        std::vector<std::string> lines;
        std::ifstream f(Folder / "dddd.debug", std::ios::binary);
        for (std::string line; std::getline(f, line);) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            const auto dots = line.find(" ... ");
            lines.push_back(dots == std::string::npos ? line : line.substr(dots + 5));
        }
        return lines;
    }

    std::filesystem::path Folder;
    std::unique_ptr<vcl::TForm> Form;
    std::unique_ptr<dddd::TDDDD> Display;
};
