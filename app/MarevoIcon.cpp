#include "MarevoIcon.h"

#include <QDir>

QIcon MarevoIcon() {
    QIcon icon;
    for (const QFileInfo& file : QDir(QStringLiteral(":/icons")).entryInfoList(QDir::Files))
        icon.addFile(file.filePath());
    return icon;
}
