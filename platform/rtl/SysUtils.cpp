#include "platform/rtl/SysUtils.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace rtl {

std::string ExecutableFolder() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        return "./";
    std::string folder = exe.parent_path().string();
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

namespace {

bool EqualNoCase(const std::string& A, const std::string& B) {
    return A.size() == B.size() && std::equal(A.begin(), A.end(), B.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

std::string FindFileNoCase(const std::string& Name, const std::string& Folder) {
    if (Name.empty())
        return {};
    const fs::path dir = Folder.empty() ? fs::path(".") : fs::path(Folder);
    std::error_code ec;
    const fs::path exact = Folder.empty() ? fs::path(Name) : dir / Name;
    if (fs::is_regular_file(exact, ec))
        return exact.string();
    // Only the last component is matched loosely; a name with folders must exist as given.
    if (fs::path(Name).has_parent_path())
        return {};
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        if (EqualNoCase(it->path().filename().string(), Name) && it->is_regular_file(ec))
            return Folder.empty() ? it->path().filename().string() : it->path().string();
    }
    return {};
}

} // namespace rtl
