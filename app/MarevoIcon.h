#pragma once

#include <QIcon>

// The program's icon: a white sail and a red hull on a round patch of sea.
QIcon MarevoIcon();
