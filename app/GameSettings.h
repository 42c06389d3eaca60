#pragma once
// What the game remembers between runs, in the user's configuration folder. Every value is
// checked when read: a file that is missing, damaged or unreadable, or a value of the wrong kind
// or out of range, gives the default for that value and nothing else.

#include "platform/ddraw/FramePlacement.h"

#include <cstdint>
#include <string>

struct TGameSettings {
    // The window's outer bounds; Width 0 when none are kept (the form's own then stand).
    int Left = 0, Top = 0, Width = 0, Height = 0;
    std::uint8_t ViewMode = 2; // 0 on board (R), 1 from above (U), 2 from astern (F)
    bool SmoothMotion = false;
    TFrameScaling Scaling = TFrameScaling::PixelPerfect;
    // The connection method as the connection dialog lists it; empty for none.
    std::string Connection;
    // The last host address typed for TCP/IP, and the last internet lobby server.
    std::string Address;
    std::string Lobby;

    friend bool operator==(const TGameSettings&, const TGameSettings&) = default;
};

// $XDG_CONFIG_HOME/marevo/marevo.conf, or ~/.config/marevo/marevo.conf when it is not set.
std::string GameSettingsFile();
TGameSettings ReadGameSettings(const std::string& File);
// Makes the folder when needed; false when the file could not be written whole.
bool WriteGameSettings(const std::string& File, const TGameSettings& Settings);
