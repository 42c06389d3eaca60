#include "DDDDTexture.h"

#include "DdddDebug.h"
#include "LoaderMessages.h"
#include "QDArc.h"
#include "dddd/DDDD.h"
#include "dddd/DDDDRegistry.h"
#include "platform/com/ComRef.h"
#include "platform/rtl/FileStream.h"
#include "platform/vcl/DibSection.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace dddd {

int ChooseTextureFormat(const std::vector<DDPIXELFORMAT>& Offered, int BitmapBits) {
    int chosen = -1;
    int chosenDistance = 0;
    for (std::size_t i = 0; i < Offered.size(); ++i) {
        const DDPIXELFORMAT& f = Offered[i];
        const auto bits = static_cast<int>(f.dwRGBBitCount);
        const bool palettised = f.dwFlags & (DDPF_PALETTEINDEXED4 | DDPF_PALETTEINDEXED8);
        if ((f.dwFlags & (DDPF_ALPHAPIXELS | DDPF_ALPHA)) || (bits <= 8 && !palettised) ||
            (bits > 8 && !(f.dwFlags & DDPF_RGB)) || bits < 8)
            continue;
        const int distance = std::abs(bits - BitmapBits);
        if (chosen < 0 || (bits >= BitmapBits && distance < chosenDistance)) {
            chosen = static_cast<int>(i);
            chosenDistance = distance;
        }
    }
    return chosen;
}

namespace {

HRESULT CollectFormat(LPDDSURFACEDESC Desc, LPVOID Context) {
    static_cast<std::vector<DDPIXELFORMAT>*>(Context)->push_back(Desc->ddpfPixelFormat);
    return D3DENUMRET_OK;
}

IDirect3DTexture2* TextureOf(IDirectDrawSurface* Surface, HRESULT& Result) {
    IDirect3DTexture2* t = nullptr;
    Result = Surface->QueryInterface(IID_IDirect3DTexture2, reinterpret_cast<void**>(&t));
    return t;
}

// The platform's temporary file: a new empty file with the prefix "tmp" in the temporary folder.
std::string NewTempFileName() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tmpXXXXXX").string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        throw EInOutError("cannot make a temporary file");
    ::close(fd);
    return pattern;
}

} // namespace

TDDDDTexture::TDDDDTexture(TDDDD* AOwner) : Owner(AOwner) {}

TDDDDTexture::~TDDDDTexture() {
    if (Registry)
        Registry->Remove(this);
    DeviceWrapper.reset();
    WorkWrapper.reset();
    ReleaseRef(DeviceSurface);
    ReleaseRef(WorkSurface);
    ReleaseRef(Palette);
}

void TDDDDTexture::LoadFromBitmap(const std::string& FileName, int KeyX, int KeyY) {
    if (ImageLoaded) {
        DeviceWrapper.reset();
        WorkWrapper.reset();
        // Surfaces that went with an earlier DirectDraw object are still ours to release.
        ReleaseRef(DeviceSurface);
        ReleaseRef(WorkSurface);
        ReleaseRef(Palette);
        SurfacesValid = false;
    }

    auto bitmap = static_cast<HBITMAP>(
        LoadImageA(nullptr, FileName.c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!bitmap)
        bitmap = static_cast<HBITMAP>(LoadImageA(nullptr, FileName.c_str(), IMAGE_BITMAP, 0, 0,
                                                 LR_CREATEDIBSECTION | LR_LOADFROMFILE));
    if (!bitmap) {
        DebugLogThenHalt(FileName + kMsgNotABitmapFile);
        return;
    }
    BITMAP bm;
    GetObjectA(bitmap, sizeof bm, &bm);

    std::vector<DDPIXELFORMAT> offered;
    Owner->D3DDevice()->EnumTextureFormats(CollectFormat, &offered);
    const int choice = ChooseTextureFormat(offered, bm.bmBitsPixel);

    DDSURFACEDESC desc;
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
    desc.dwWidth = static_cast<DWORD>(bm.bmWidth);
    desc.dwHeight = static_cast<DWORD>(bm.bmHeight);
    if (choice >= 0)
        desc.ddpfPixelFormat = offered[static_cast<std::size_t>(choice)];
    const bool inVideoMemory =
        Owner->BackSurface()->GetSurfaceDesc().ddsCaps.dwCaps & DDSCAPS_VIDEOMEMORY;
    desc.ddsCaps.dwCaps = inVideoMemory
                              ? DDSCAPS_TEXTURE | DDSCAPS_VIDEOMEMORY | DDSCAPS_ALLOCONLOAD
                              : DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY;
    ReportError(Owner->DirectDraw2()->CreateSurface(&desc, &DeviceSurface, nullptr),
                kMsgTexDeviceSurface);
    if (inVideoMemory) {
        desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY;
        ReportError(Owner->DirectDraw2()->CreateSurface(&desc, &WorkSurface, nullptr),
                    kMsgTexWorkSurface);
    } else {
        WorkSurface = DeviceSurface;
        WorkSurface->AddRef();
    }
    SurfacesValid = true;

    HDC memory = CreateCompatibleDC(nullptr);
    SelectObject(memory, bitmap);
    if (desc.ddpfPixelFormat.dwRGBBitCount <= 8) {
        RGBQUAD table[256];
        const UINT n = GetDIBColorTable(memory, 0, 256, table);
        PALETTEENTRY entries[256] = {};
        for (UINT i = 0; i < n; ++i)
            entries[i] = {table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue, 0};
        ReportError(Owner->DirectDraw2()->CreatePalette(DDPCAPS_8BIT, entries, &Palette, nullptr),
                    kMsgTexPalette);
        WorkSurface->SetPalette(Palette);
        DeviceSurface->SetPalette(Palette);
    }

    HDC work = nullptr;
    ReportError(WorkSurface->GetDC(&work), kMsgTexWorkDC);
    BitBlt(work, 0, 0, bm.bmWidth, bm.bmHeight, memory, 0, 0, SRCCOPY);
    WorkSurface->ReleaseDC(work);
    DeleteDC(memory);

    if (KeyX >= 0 && KeyY >= 0) {
        TDDDDGenSurface probe(Owner, WorkSurface, bm.bmWidth, bm.bmHeight);
        const DWORD key = probe.Pixels(KeyX, KeyY);
        DDCOLORKEY colorKey{key, key};
        DeviceSurface->SetColorKey(DDCKEY_SRCBLT, &colorKey);
    }

    RestoreTexture();

    HRESULT hr;
    TComRef<IDirect3DTexture2> texture(TextureOf(DeviceSurface, hr));
    ReportError(hr, kMsgTexHandle);
    if (texture)
        ReportError(texture->GetHandle(Owner->D3DDevice(), &Handle), kMsgTexHandle);

    DeleteObject(bitmap);
    ImageLoaded = true;
    WorkWrapper = std::make_unique<TDDDDGenSurface>(Owner, WorkSurface, bm.bmWidth, bm.bmHeight);
    DeviceWrapper =
        std::make_unique<TDDDDGenSurface>(Owner, DeviceSurface, bm.bmWidth, bm.bmHeight);
    Width = bm.bmWidth;
    Height = bm.bmHeight;
    this->KeyX = KeyX;
    this->KeyY = KeyY;
    FromArchive = false;
    this->FileName = FileName;
}

void TDDDDTexture::LoadFromArchiveEntry(const std::string& ArchiveName,
                                        const std::string& EntryName, int KeyX, int KeyY) {
    std::unique_ptr<TMemoryStream> entry;
    try {
        entry = ExtractFromArchive(ArchiveName, EntryName);
    } catch (const std::exception&) {
        char text[1024];
        std::snprintf(text, sizeof text, kMsgArchiveOpenFailed, ArchiveName.c_str(),
                      EntryName.c_str());
        DebugLog(text);
        return;
    }
    std::string temp;
    try {
        temp = NewTempFileName();
        entry->SaveToFile(temp);
    } catch (const Exception&) {
        if (!temp.empty())
            std::remove(temp.c_str());
        DebugLog(kMsgExpandFailed);
        return;
    }
    entry.reset();
    LoadFromBitmap(temp, KeyX, KeyY);
    std::remove(temp.c_str());
    FromArchive = true;
    this->ArchiveName = ArchiveName;
    this->EntryName = EntryName;
}

void TDDDDTexture::LoadDeviceFromWork() {
    HRESULT hr = DD_OK;
    TComRef<IDirect3DTexture2> to(TextureOf(DeviceSurface, hr));
    TComRef<IDirect3DTexture2> from(hr == DD_OK ? TextureOf(WorkSurface, hr) : nullptr);
    if (hr == DD_OK)
        hr = to->Load(from.Get());
    ReportError(hr, kMsgTexTransfer);
}

void TDDDDTexture::Transfer() {
    if (!SurfacesValid || !DeviceSurface || !WorkSurface || DeviceSurface == WorkSurface ||
        DeviceSurface->IsLost() != DD_OK)
        return;
    LoadDeviceFromWork();
}

void TDDDDTexture::RestoreTexture() {
    if (!SurfacesValid || !DeviceSurface || !WorkSurface)
        return;
    if (WorkSurface->IsLost() != DD_OK)
        ReportError(WorkSurface->Restore(), kMsgTexWorkRestore);
    if (DeviceSurface == WorkSurface)
        return;
    if (ImageLoaded && DeviceSurface->IsLost() == DD_OK)
        return;
    ReportError(DeviceSurface->Restore(), kMsgTexDeviceRestore);
    LoadDeviceFromWork();
}

} // namespace dddd
