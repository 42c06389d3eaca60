#pragma once
// The game's 3D scene on the display component: ten yacht slots in a frame hierarchy, the
// hull and sail meshes, the placing of each yacht and its sails from its state, and a camera
// that follows yacht 1 in one of three views.
//
// Yacht numbers run 1..10; every operation ignores any other number (queries say false). The
// component keeps no pointers to yacht frames: yacht n is child n - 1 of YachtsFrame, and its
// main-sail, jib and spinnaker frames are its children 0, 1 and 2. An empty slot's frame is
// parked 5000 above the water, at the back clipping plane, rather than taken out of the graph.

#include "dddd/DDDD.h"
#include "platform/d3drm/D3DRM.h"
#include "yacht/YachtState.h"

#include <cstdint>
#include <string>

class TDrawYacht : public dddd::TDDDD {
public:
    static constexpr int YachtCount = 10;

    explicit TDrawYacht(vcl::TForm* Owner);
    ~TDrawYacht() override;

    // Builds the frames, lights and the shared sail meshes, and hands the camera to the
    // display; once only, after the display is up.
    void InitScene();
    void FreeScene();
    // A new hull for yacht n (HullTextureFile empty: untextured), standing at the origin
    // until its first SetYachtState. The spinnaker comes with SetSpinnakerTexture.
    // False when the texture file is there but cannot be read (the hull is then untextured).
    bool AddYacht(std::int32_t n, const std::string& HullTextureFile);
    // Takes the hull off yacht n and parks it; its sails stay on the parked frame.
    void RemoveYacht(std::int32_t n);
    // A file that cannot be loaded as a texture builds the mesh untextured, never nothing.
    // Both return false when the file is there but cannot be read, for the caller to tell.
    bool SetHullTexture(std::int32_t n, const std::string& FileName);
    // Only for a present yacht; replaces its spinnaker mesh.
    bool SetSpinnakerTexture(std::int32_t n, const std::string& FileName);
    // Only for a present yacht: places the yacht frame, then poses its sails.
    void SetYachtState(std::int32_t n, TYachtState State);
    // As SetYachtState, but the heading and heel keep their fractions of a degree: for the
    // poses drawn between steps, which would otherwise turn in whole-degree jerks.
    void SetYachtPose(std::int32_t n, TYachtState Pose);
    // 0 on board (R), 1 from above (U), 2 from astern (F); larger values are ignored.
    void SetViewMode(std::uint8_t Mode);
    // Moves the camera after yacht 1, renders, presents, and advances FrameCounter.
    void RenderFrame();
    // Renders and presents without advancing FrameCounter: a picture between steps, which
    // must not make the sails luff faster than they do at one picture a step.
    void RenderPicture();
    // The yacht frame carries a hull.
    bool YachtPresent(std::int32_t n) const;
    // The spinnaker frame carries a mesh.
    bool HasSpinnaker(std::int32_t n) const;

    // Yacht frame n's position and orientation (z axis, y axis) in world axes; false when
    // there is no such frame.
    bool GetYachtPlacement(std::int32_t n, D3DVECTOR& Position, D3DVECTOR& Direction,
                           D3DVECTOR& Up) const;

    bool SceneReady = false;
    std::uint8_t ViewMode = 0;
    IDirect3DRMFrame2* SceneFrame = nullptr;
    IDirect3DRMFrame2* CameraFrame = nullptr;
    // Never moved: its axes are the world axes.
    IDirect3DRMFrame2* YachtsFrame = nullptr;
    // Set only while a hull or spinnaker is being built.
    IDirect3DRMTexture2* PendingTexture = nullptr;
    // Element 0 bellied to starboard, 1 to port.
    IDirect3DRMVisualArray* MainSailSet = nullptr;
    // Elements 0..2 flattest to fullest bellied to starboard, 3..5 the same to port.
    IDirect3DRMVisualArray* JibSet = nullptr;
    // 0..1000, one step per rendered frame; drives the sails' luffing.
    std::int32_t FrameCounter = 0;
    // Every picture presented, at a step or between steps; wraps.
    std::uint32_t PicturesDrawn = 0;

private:
    void BuildHull(std::int32_t n, const std::string& TextureFile);
    void BuildMainSails();
    void BuildJibs();
    void BuildSpinnaker(std::int32_t n, const std::string& TextureFile);
    void PlaceYacht(std::int32_t n, const TYachtState& State, bool Fractional);
    void PoseSails(std::int32_t n, const TYachtState& State);
    void UpdateCamera();
    // Yacht frame n with a reference the caller releases, or nullptr.
    IDirect3DRMFrame* YachtFrame(std::int32_t n) const;
    // Loads TextureFile into PendingTexture; false (and no texture) when it cannot be loaded.
    bool LoadPendingTexture(const std::string& TextureFile);

    // Set by LoadPendingTexture when the file was there but no texture could be read from it.
    bool TextureUnreadable = false;
};
