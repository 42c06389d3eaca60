#pragma once

#include <QIcon>

// The program's icon in every size the build drew it: the game's yacht on a round patch of sea.
QIcon MarevoIcon();
