#pragma once
// The game's 3D scene on the display component: ten yacht slots, three camera views.
// (The meshes and frames are still to come; this keeps the slots and the frame counter.)

#include "dddd/DDDD.h"
#include "yacht/YachtState.h"

#include <array>
#include <cstdint>
#include <string>

class TDrawYacht : public dddd::TDDDD {
public:
    static constexpr int YachtCount = 10;

    explicit TDrawYacht(vcl::TForm* Owner);
    ~TDrawYacht() override;

    void InitScene();
    void FreeScene();
    void AddYacht(std::int32_t n, const std::string& HullTextureFile);
    void RemoveYacht(std::int32_t n);
    void SetHullTexture(std::int32_t n, const std::string& FileName);
    void SetSpinnakerTexture(std::int32_t n, const std::string& FileName);
    void SetYachtState(std::int32_t n, TYachtState State);
    void SetViewMode(std::uint8_t Mode);
    void RenderFrame();
    bool YachtPresent(std::int32_t n) const;
    bool HasSpinnaker(std::int32_t n) const;

    bool SceneReady = false;
    std::uint8_t ViewMode = 2;
    std::int32_t FrameCounter = 0;

    // The last state placed on yacht n (for tests until the frames carry it).
    TYachtState PlacedState(std::int32_t n) const;

private:
    struct TSlot {
        bool Present = false;
        bool Spinnaker = false;
        TYachtState State;
    };
    std::array<TSlot, YachtCount> Slots{};
};
