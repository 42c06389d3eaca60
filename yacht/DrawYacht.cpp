#include "yacht/DrawYacht.h"

namespace {
bool Valid(std::int32_t n) {
    return n >= 1 && n <= TDrawYacht::YachtCount;
}
} // namespace

TDrawYacht::TDrawYacht(vcl::TForm* AOwner) : TDDDD(AOwner) {
    Use3D = true;
    SetViewMode(2);
}

TDrawYacht::~TDrawYacht() {
    if (SceneReady)
        FreeScene();
}

void TDrawYacht::InitScene() {
    SceneReady = true;
}

void TDrawYacht::FreeScene() {
    Slots = {};
}

void TDrawYacht::AddYacht(std::int32_t n, const std::string&) {
    if (!Valid(n))
        return;
    RemoveYacht(n);
    Slots[n - 1].Present = true;
}

void TDrawYacht::RemoveYacht(std::int32_t n) {
    if (Valid(n))
        Slots[n - 1].Present = false;
}

void TDrawYacht::SetHullTexture(std::int32_t n, const std::string&) {
    if (Valid(n))
        Slots[n - 1].Present = true;
}

void TDrawYacht::SetSpinnakerTexture(std::int32_t n, const std::string&) {
    if (YachtPresent(n))
        Slots[n - 1].Spinnaker = true;
}

void TDrawYacht::SetYachtState(std::int32_t n, TYachtState State) {
    if (YachtPresent(n))
        Slots[n - 1].State = State;
}

void TDrawYacht::SetViewMode(std::uint8_t Mode) {
    if (Mode <= 2 && Mode != ViewMode)
        ViewMode = Mode;
}

void TDrawYacht::RenderFrame() {
    FrameCounter = FrameCounter >= 1000 ? 0 : FrameCounter + 1;
}

bool TDrawYacht::YachtPresent(std::int32_t n) const {
    return Valid(n) && Slots[n - 1].Present;
}

bool TDrawYacht::HasSpinnaker(std::int32_t n) const {
    return YachtPresent(n) && Slots[n - 1].Spinnaker;
}

TYachtState TDrawYacht::PlacedState(std::int32_t n) const {
    return Valid(n) ? Slots[n - 1].State : TYachtState{};
}
