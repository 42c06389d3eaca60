// The bitmap loaders and pixel access of the surface wrapper.
#include "DDDDCanvas.h"
#include "DdddDebug.h"
#include "LoaderMessages.h"
#include "QDArc.h"
#include "dddd/DDDD.h"
#include "dddd/DDDDGenSurface.h"
#include "platform/image/BmpFile.h"
#include "platform/rtl/FileStream.h"
#include "platform/rtl/MemoryStream.h"
#include "platform/vcl/Bitmap.h"
#include "platform/vcl/DibSection.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace dddd {

namespace {

constexpr std::size_t kColorTableSize = 1024;

std::uint32_t Le(const std::uint8_t* P, int Bytes) {
    std::uint32_t v = 0;
    for (int i = Bytes - 1; i >= 0; --i)
        v = v << 8 | P[i];
    return v;
}

// ReadBuffer that says whether it got everything instead of raising.
bool ReadAll(TStream& Stream, void* Buffer, std::int64_t Count) {
    try {
        Stream.ReadBuffer(Buffer, Count);
        return true;
    } catch (const EStreamError&) {
        return false;
    }
}

// The coded rows would be copied as if they were indices: spelled out as the plain file a paint
// program could have saved instead, they load as every other 8-bit file does. Null when the
// file cannot be decoded.
std::unique_ptr<TMemoryStream> SpelledOut(TStream& Stream, std::int64_t Start) {
    Stream.SetPosition(Start);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(Stream.Size() - Start));
    vcl::TDibSection dib;
    if (!ReadAll(Stream, bytes.data(), static_cast<std::int64_t>(bytes.size())) ||
        !vcl::DecodeDib(bytes.data(), bytes.size(), dib)) {
        return nullptr;
    }
    const QImage& image = dib.Image;
    TBmpShape shape;
    shape.Width = image.width();
    shape.Height = image.height();
    shape.BitCount = 8;
    for (QRgb c : image.colorTable())
        shape.Palette.push_back(c & 0xFFFFFFu);
    shape.Palette.resize(256, 0);
    const std::size_t stride = BmpStride(image.width(), 8);
    std::vector<std::uint8_t> rows(stride * static_cast<std::size_t>(image.height()), 0);
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(rows.data() + stride * static_cast<std::size_t>(image.height() - 1 - y),
                    image.constScanLine(y), static_cast<std::size_t>(image.width()));
    const std::vector<std::uint8_t> plain = EncodeBmpFile(shape, rows);
    auto spelled = std::make_unique<TMemoryStream>();
    spelled->WriteBuffer(plain.data(), static_cast<std::int64_t>(plain.size()));
    spelled->SetPosition(0);
    return spelled;
}

} // namespace

DWORD TDDDDGenSurface::Pixels(int X, int Y) {
    if (X < 0 || X > Width - 1 || Y < 0 || Y > Height - 1) {
        DebugLog(kMsgPixelOutside);
        return 0;
    }
    DDSURFACEDESC d{};
    d.dwSize = sizeof d;
    if (Surface->Lock(nullptr, &d, DDLOCK_WAIT | DDLOCK_READONLY, nullptr) != DD_OK)
        return 0;
    DWORD value = 0;
    // The wrapper's size is what it was told; the locked memory is what there is.
    if (static_cast<DWORD>(X) < d.dwWidth && static_cast<DWORD>(Y) < d.dwHeight) {
        const auto* p =
            static_cast<const BYTE*>(d.lpSurface) + static_cast<std::ptrdiff_t>(Y) * d.lPitch;
        switch (d.ddpfPixelFormat.dwRGBBitCount / 8) {
        case 1:
            value = p[X];
            break;
        case 2:
            value = Le(p + 2 * X, 2);
            break;
        case 3:
            value = Le(p + 3 * X, 3);
            break;
        case 4:
            value = Le(p + 4 * X, 4);
            break;
        default:
            break;
        }
    }
    Surface->Unlock(nullptr);
    return value;
}

void TDDDDGenSurface::LoadFromStream(TStream& Stream) {
    if (IsLost())
        return;
    const std::int64_t start = Stream.Position();
    std::uint8_t file[kBmpFileHeaderSize];
    if (!ReadAll(Stream, file, sizeof file)) {
        DebugLog(kMsgBmpHeaderUnreadable);
        return;
    }
    TBmpHeader header;
    if (!ReadBmpFileHeader(file, header)) {
        DebugLog(kMsgBmpStrange);
        return;
    }
    // The loader reads a fixed 40 bytes of information header, whatever size it states.
    std::uint8_t info[kBmpInfoHeaderSize];
    if (!ReadAll(Stream, info, sizeof info) || !ReadBmpInfoHeader(info, header)) {
        DebugLog(kMsgBmpReadError);
        return;
    }
    const int bytesPerPixel = Owner->ScreenBitCount() / 8;
    const std::int32_t bmpWidth = header.Width;
    const std::int32_t bmpHeight = header.RawHeight;
    const std::uint32_t bmpBits = header.BitCount;

    if (bmpBits == 8 && bytesPerPixel == 1 && header.Compression == kBmpRle8) {
        if (const auto spelled = SpelledOut(Stream, start))
            LoadFromStream(*spelled);
        else
            DebugLog(kMsgBmpReadError);
        return;
    }
    if (bmpBits == 8 && bytesPerPixel == 1) {
        // The indices are copied as they are: the colour table is read past, not applied.
        std::uint8_t table[kColorTableSize];
        if (!ReadAll(Stream, table, sizeof table)) {
            DebugLog(kMsgBmpReadError);
            return;
        }
        Stream.SetPosition(start + header.OffBits);
        const std::int64_t fileStride = (static_cast<std::int64_t>(bmpWidth) + 3) & ~3;
        const std::int64_t rowBytes =
            (static_cast<std::int64_t>(bmpWidth) * bytesPerPixel + 3) & ~3;
        DDSURFACEDESC d{};
        d.dwSize = sizeof d;
        ReportError(Surface->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), kMsgBmpLock);
        const std::int64_t copyBytes =
            std::max<std::int64_t>(0, std::min<std::int64_t>(rowBytes, d.lPitch));
        const std::int64_t rows = std::min<std::int64_t>(d.dwHeight, bmpHeight);
        // A row that the stream cannot hold is a failed read, before anything is allocated.
        const bool rowsFit =
            fileStride >= 0 && (rows <= 0 || fileStride <= Stream.Size() - Stream.Position());
        std::vector<std::uint8_t> row(rowsFit && rows > 0 ? static_cast<std::size_t>(fileStride)
                                                          : 0);
        // The file's first row is the picture's bottom row: it goes to the surface's last row.
        // Without rows there is no last row to point at.
        auto* dest = rows > 0 ? static_cast<BYTE*>(d.lpSurface) +
                                    static_cast<std::ptrdiff_t>(d.dwHeight - 1) * d.lPitch
                              : nullptr;
        for (std::int64_t y = 0; y < rows; ++y, dest -= d.lPitch) {
            if (!rowsFit || !ReadAll(Stream, row.data(), fileStride)) {
                DebugLog(kMsgBmpReadError);
                Surface->Unlock(nullptr);
                return;
            }
            std::memcpy(dest, row.data(),
                        static_cast<std::size_t>(std::min(copyBytes, fileStride)));
        }
        ReportError(Surface->Unlock(nullptr), kMsgBmpUnlock);
        return;
    }

    // Back to where the file began, which need not be the stream's start.
    Stream.SetPosition(start);
    vcl::TBitmap bitmap;
    try {
        bitmap.LoadFromStream(Stream);
    } catch (const Exception&) {
        DebugLog(kMsgBmpInvalid);
        return;
    }
    TDDDDCanvas canvas(this);
    canvas.CopyRect({0, 0, Width, Height}, bitmap.Canvas(),
                    {0, 0, bitmap.Width(), bitmap.Height()});
}

void TDDDDGenSurface::LoadFromFile(const std::string& FileName) {
    std::unique_ptr<TFileStream> file;
    try {
        file = std::make_unique<TFileStream>(FileName, fmOpenRead);
    } catch (const Exception&) {
        DebugLog(FileName + kMsgFileNotFound);
        return;
    }
    LoadFromStream(*file);
}

void TDDDDGenSurface::LoadFromArchive(const std::string& ArchiveName,
                                      const std::string& EntryName) {
    std::unique_ptr<TMemoryStream> entry;
    try {
        entry = ExtractFromArchive(ArchiveName, EntryName);
    } catch (const std::exception&) {
        DebugLog(kMsgArchiveBitmapFailed);
        return;
    }
    LoadFromStream(*entry);
}

} // namespace dddd
