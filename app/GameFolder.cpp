#include "GameFolder.h"

#include "platform/rtl/SysUtils.h"
#include "platform/rtl/UserFolders.h"

#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr const char* kSampleTextures[] = {"HALTEX.BMP", "SPINTEX.BMP"};

// Copies through a temporary name, so a copy cut short never looks like a texture.
void Seed(const fs::path& Folder, const std::vector<fs::path>& Samples) {
    for (const char* name : kSampleTextures) {
        for (const fs::path& from : Samples) {
            const std::string source = rtl::FindFileNoCase(name, from.string());
            if (source.empty())
                continue;
            std::error_code ec;
            const fs::path part = Folder / (std::string(name) + ".part");
            if (fs::copy_file(source, part, fs::copy_options::overwrite_existing, ec))
                fs::rename(part, Folder / name, ec);
            if (ec)
                fs::remove(part, ec);
            break;
        }
    }
}

} // namespace

fs::path GameFolderPath() {
    return fs::path(rtl::UserFolder(rtl::TUserFolder::Data)) / "marevo";
}

std::vector<fs::path> DataFolders() {
    const fs::path exe = rtl::ExecutableFolder();
    return {exe, (exe / MAREVO_DATA_FROM_BIN).lexically_normal()};
}

std::string EnterGameFolder(const fs::path& Folder, const std::vector<fs::path>& Samples) {
    std::error_code ec;
    if (!fs::exists(Folder, ec)) {
        if (!rtl::MakeUserFolder(Folder.string()))
            return "ゲームフォルダ " + Folder.string() +
                   " を作れません。始めたフォルダで遊びます。";
        Seed(Folder, Samples);
    }
    fs::current_path(Folder, ec);
    if (ec)
        return "ゲームフォルダ " + Folder.string() + " に入れません。始めたフォルダで遊びます。";
    return {};
}
