#pragma once
// The player's own game folder, for a game started from the desktop's menu (which starts it in
// the home folder): a folder under the user's data folder, made on first start and seeded with
// the sample hull and spinnaker textures, then made the current directory.

#include <filesystem>
#include <string>
#include <vector>

// <XDG data home>/marevo
std::filesystem::path GameFolderPath();

// The folders the program's own files may lie in, in the order they are looked in: beside the
// program (a build folder), then the installed data folder.
std::vector<std::filesystem::path> DataFolders();

// Makes Folder when it does not exist and copies the sample "HALTEX.BMP" and "SPINTEX.BMP"
// into it from the first of Samples that has each; an existing folder is left as the player
// keeps it. Then makes Folder the current directory. Returns a message for the player, empty
// when the game plays in Folder.
std::string EnterGameFolder(const std::filesystem::path& Folder,
                            const std::vector<std::filesystem::path>& Samples);
