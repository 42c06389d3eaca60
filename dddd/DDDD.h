#pragma once
// The display component: turns the form it is placed on into a display with a 3D device chain.
// (The DirectDraw chain is still to come; until then the retained-mode device draws into a
// 640 x 480 x 16 picture in memory and nothing is presented.)

#include "platform/d3drm/D3DRM.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>

namespace vcl {
class TForm;
}

namespace dddd {

enum TD3DOption : std::uint8_t { DontUseRGBEmulation = 0, DontUseHAL = 1, DontUseMMX = 2 };

// A set of TD3DOption, stored as one byte (bit n for option n).
class TD3DOptions {
public:
    constexpr TD3DOptions() = default;
    constexpr TD3DOptions(std::initializer_list<TD3DOption> Options) {
        for (TD3DOption o : Options)
            Bits |= static_cast<std::uint8_t>(1u << o);
    }
    constexpr bool Contains(TD3DOption O) const { return (Bits >> O) & 1u; }
    constexpr bool Empty() const { return Bits == 0; }
    constexpr std::uint8_t Byte() const { return Bits; }
    friend constexpr bool operator==(TD3DOptions, TD3DOptions) = default;

private:
    std::uint8_t Bits = 0;
};

enum class TDDDDDispMode : std::uint8_t {
    dmWin640x480x8,
    dmWin800x600x8,
    dmWin1024x768x8,
    dmWin640x480x16,
    dmWin800x600x16,
    dmWin1024x768x16,
    dmWin640x480x24,
    dmWin800x600x24,
    dmWin1024x768x24,
    dmFull640x480x8,
    dmFull800x600x8,
    dmFull1024x768x8,
    dmFull640x480x16,
    dmFull800x600x16,
    dmFull1024x768x16,
    dmFull640x480x24,
    dmFull800x600x24,
    dmFull1024x768x24,
    dmWinVariable,
};

class TDDDD {
public:
    explicit TDDDD(vcl::TForm* Owner);
    virtual ~TDDDD();
    TDDDD(const TDDDD&) = delete;
    TDDDD& operator=(const TDDDD&) = delete;

    // Brings the display up, then runs the form's own creation handler.
    void HookFormCreate(std::function<void()> FormCreate);

    void InitDisplay(bool FullScreen, int Width, int Height, int BitCount, int RefreshRate,
                     const std::string& DriverName);

    TD3DOptions D3DOptions{};
    TDDDDDispMode DisplayMode = TDDDDDispMode::dmWin640x480x8;
    std::int32_t BackColor = 0;
    bool DisableScreenSaver = true;
    bool VsyncAtWindowed = true;
    bool AllowRakugaki = false;
    bool Use3D = false;

    // How many times the chain was built (start-up and every rebuild).
    int BuildCount() const { return FBuildCount; }

    // Makes Camera the viewport's camera, creating the viewport (back plane at 5000) at first.
    void SetCamera(IDirect3DRMFrame* Camera);
    // Clears the viewport and renders Scene (may be nullptr) into the back buffer.
    void Render(IDirect3DRMFrame* Scene);
    // Presents the finished back buffer.
    void Flip();

    IDirect3DRM2* D3DRM = nullptr;
    IDirect3DRMDevice2* D3DRMDevice = nullptr;
    IDirect3DRMViewport* Viewport = nullptr;
    IDirect3DRMFrame* Camera = nullptr;
    int ModeWidth = 640;
    int ModeHeight = 480;

protected:
    vcl::TForm* Owner;

private:
    void Build3D();
    void Release3D();

    int FBuildCount = 0;
};

} // namespace dddd
