#include "tests/yacht/ScenePicture.h"

#include "platform/com/ComRef.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

TPicture TPicture::Mirrored() const {
    TPicture m = *this;
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x)
            m.Pixels[std::size_t(y) * Width + x] = At(Width - 1 - x, y);
    return m;
}

TPicture Photograph(TDrawYacht& Scene, int Width, int Height) {
    TMemoryTarget memory(Width, Height, 16);
    {
        TComRef<IDirect3DRMDevice2> device;
        TComRef<IDirect3DRMViewport> viewport;
        CreateDeviceOnTarget(memory.Source(), device.Out());
        device->SetQuality(D3DRMRENDER_GOURAUD);
        Scene.D3DRM()->CreateViewport(device.Get(), Scene.CameraFrame, 0, 0, Width, Height, viewport.Out());
        viewport->SetBack(5000);
        viewport->Clear();
        viewport->Render(Scene.SceneFrame);
        device->Update();
    }

    TPicture picture;
    picture.Width = Width;
    picture.Height = Height;
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x)
            picture.Pixels.push_back(memory.At(x, y));
    return picture;
}

namespace {

std::string GoldenPath(const std::string& Name) {
    return std::string(MAREVO_SOURCE_DIR) + "/tests/yacht/golden/" + Name + ".ppm";
}

// Binary PPM: "P6 width height 255" and RGB triples, top row first.
void WritePpm(const TPicture& Picture, const std::string& Path) {
    std::ofstream file(Path, std::ios::binary | std::ios::trunc);
    file << "P6\n" << Picture.Width << " " << Picture.Height << "\n255\n";
    for (const std::uint32_t p : Picture.Pixels) {
        const char rgb[] = {char(TPicture::Red(p)), char(TPicture::Green(p)),
                            char(TPicture::Blue(p))};
        file.write(rgb, 3);
    }
}

bool ReadPpm(const std::string& Path, TPicture& Picture) {
    std::ifstream file(Path, std::ios::binary);
    std::string magic;
    int max = 0;
    if (!(file >> magic >> Picture.Width >> Picture.Height >> max) || magic != "P6" || max != 255 ||
        Picture.Width <= 0 || Picture.Height <= 0 || Picture.Width > 4096 || Picture.Height > 4096)
        return false;
    file.get();
    Picture.Pixels.clear();
    for (int i = 0; i < Picture.Width * Picture.Height; ++i) {
        unsigned char rgb[3];
        if (!file.read(reinterpret_cast<char*>(rgb), 3))
            return false;
        Picture.Pixels.push_back((std::uint32_t(rgb[0]) << 16) | (rgb[1] << 8) | rgb[2]);
    }
    return true;
}

} // namespace

std::string CompareWithGolden(const TPicture& Picture, const std::string& Name) {
    const std::string path = GoldenPath(Name);
    if (const char* regenerate = std::getenv("MAREVO_REGENERATE_GOLDEN");
        regenerate && std::string(regenerate) == "1") {
        WritePpm(Picture, path);
        return {};
    }
    TPicture golden;
    if (!ReadPpm(path, golden))
        return "no golden image " + path + " (MAREVO_REGENERATE_GOLDEN=1 writes it)";
    if (golden.Width != Picture.Width || golden.Height != Picture.Height)
        return "golden image " + path + " has another size";
    // A pixel differs when a channel is off by more than 24; at most 1 % may.
    int differing = 0;
    for (std::size_t i = 0; i < golden.Pixels.size(); ++i) {
        const std::uint32_t a = golden.Pixels[i], b = Picture.Pixels[i];
        if (std::abs(TPicture::Red(a) - TPicture::Red(b)) > 24 ||
            std::abs(TPicture::Green(a) - TPicture::Green(b)) > 24 ||
            std::abs(TPicture::Blue(a) - TPicture::Blue(b)) > 24)
            ++differing;
    }
    if (differing * 100 > static_cast<int>(golden.Pixels.size())) {
        const std::string actual =
            (std::filesystem::temp_directory_path() / (Name + ".actual.ppm")).string();
        WritePpm(Picture, actual);
        std::ostringstream message;
        message << differing << " pixels differ from " << path << "; this picture is in " << actual;
        return message.str();
    }
    return {};
}
