#pragma once
// The folders a user's programs keep their files in (the XDG base directories), and the folder
// the debug logs go to. Strings are UTF-8; every folder is returned with its trailing slash.

#include <string>

namespace rtl {

enum class TUserFolder {
    Data,  // $XDG_DATA_HOME, else ~/.local/share
    State, // $XDG_STATE_HOME, else ~/.local/state
};

// The base folder, whether or not it exists yet. A variable that is unset, empty or not an
// absolute path counts as unset; without HOME the password database names the home folder.
std::string UserFolder(TUserFolder Which);

// Makes Folder and any missing parents; the ones it makes are for the user alone (0700).
// False when it is not a folder afterwards.
bool MakeUserFolder(const std::string& Folder);

// Where a program keeps its debug logs: ExecutableFolder when the program may write there,
// otherwise Name's folder under StateHome, which is made when missing. Both with trailing
// slashes.
std::string LogFolderFor(const std::string& ExecutableFolder, const std::string& StateHome,
                         const std::string& Name);
// LogFolderFor the running executable, its own name and the user's state folder.
std::string LogFolder();

} // namespace rtl
