// Bitmap streams are untrusted files: whatever their bytes, loading one onto a surface must
// stay inside the stream, the surface and the decoded picture, and leave the surface unlocked
// with no device context held. The first byte picks the desktop's depth (8 bits: the direct
// copy of 8-bit files; 16 bits: everything through the framework bitmap).
#include "dddd/DDDD.h"
#include "dddd/DdddDebug.h"
#include "platform/ddraw/DDraw.h"
#include "platform/rtl/MemoryStream.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/Screen.h"

#include <QApplication>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

struct TWorld {
    QApplication* Qt = nullptr;
    vcl::TForm* Form = nullptr;
    dddd::TDDDD* Display = nullptr;
    IDirectDraw* DD = nullptr;
    IDirectDraw2* DD2 = nullptr;
    int Bits = 0;
};

TWorld& World() {
    static TWorld world;
    return world;
}

IDirectDrawSurface* MakeSurface(IDirectDraw2* DD2, DWORD Width, DWORD Height) {
    DDSURFACEDESC d;
    d.dwSize = sizeof d;
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    d.dwWidth = Width;
    d.dwHeight = Height;
    IDirectDrawSurface* s = nullptr;
    if (DD2->CreateSurface(&d, &s, nullptr) != DD_OK)
        std::abort();
    return s;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* Argc, char*** Argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    TWorld& w = World();
    w.Qt = new QApplication(*Argc, *Argv);
    // Every refused file writes a log line: they go to a folder of the run's own, removed at
    // the end.
    static char folder[] = "/tmp/marevo-fuzz-bmp-XXXXXX";
    if (!mkdtemp(folder))
        std::abort();
    std::atexit([] { std::filesystem::remove_all(folder); });
    dddd::DdddReporter().SetLogFolder(std::string(folder) + "/");
    w.Form = new vcl::TForm;
    w.Display = new dddd::TDDDD(w.Form);
    if (DirectDrawCreate(nullptr, &w.DD, nullptr) != DD_OK ||
        w.DD->QueryInterface(IID_IDirectDraw2, reinterpret_cast<void**>(&w.DD2)) != DD_OK ||
        w.DD2->SetCooperativeLevel(nullptr, DDSCL_NORMAL) != DD_OK)
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    if (Size < 1)
        return 0;
    TWorld& w = World();
    const int bits = Data[0] & 1 ? 16 : 8;
    if (bits != w.Bits) {
        vcl::Screen().SetDesktop(640, 480, bits, 0);
        w.Bits = bits;
    }
    TMemoryStream stream;
    stream.WriteBuffer(Data + 1, static_cast<std::int64_t>(Size - 1));
    for (auto [width, height] : {std::pair{8, 6}, {13, 7}}) {
        IDirectDrawSurface* s = MakeSurface(w.DD2, width, height);
        dddd::TDDDDGenSurface wrapper(w.Display, s, width, height);
        stream.SetPosition(0);
        wrapper.LoadFromStream(stream);
        wrapper.Pixels(width - 1, height - 1);
        DDSURFACEDESC d;
        d.dwSize = sizeof d;
        if (s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr) != DD_OK)
            std::abort();
        s->Unlock(nullptr);
        s->Release();
    }
    return 0;
}
