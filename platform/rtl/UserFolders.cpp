#include "platform/rtl/UserFolders.h"

#include "platform/rtl/SysUtils.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace rtl {

namespace {

std::string WithSlash(std::string Folder) {
    if (Folder.empty() || Folder.back() != '/')
        Folder += '/';
    return Folder;
}

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    std::vector<char> buffer(16384);
    passwd entry{}, *found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir)
        return found->pw_dir;
    return "/";
}

} // namespace

std::string UserFolder(TUserFolder Which) {
    const char* variable = Which == TUserFolder::Data ? "XDG_DATA_HOME" : "XDG_STATE_HOME";
    if (const char* value = std::getenv(variable); value && value[0] == '/')
        return WithSlash(value);
    return WithSlash(WithSlash(HomeFolder()) +
                     (Which == TUserFolder::Data ? ".local/share" : ".local/state"));
}

bool MakeUserFolder(const std::string& Folder) {
    std::error_code ec;
    fs::path made;
    for (const fs::path& part : fs::path(Folder)) {
        made /= part;
        if (part.empty() || fs::is_directory(made, ec))
            continue;
        if (::mkdir(made.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    return fs::is_directory(Folder, ec);
}

std::string LogFolderFor(const std::string& ExecutableFolder, const std::string& StateHome,
                         const std::string& Name) {
    if (::access(ExecutableFolder.c_str(), W_OK) == 0)
        return WithSlash(ExecutableFolder);
    const std::string folder = WithSlash(WithSlash(StateHome) + Name);
    // A folder that cannot be made shows when the log is opened there.
    MakeUserFolder(folder);
    return folder;
}

std::string LogFolder() {
    const std::string exe = ExecutableFolder();
    std::error_code ec;
    std::string name = fs::read_symlink("/proc/self/exe", ec).filename().string();
    if (ec || name.empty())
        name = "program";
    return LogFolderFor(exe, UserFolder(TUserFolder::State), name);
}

} // namespace rtl
