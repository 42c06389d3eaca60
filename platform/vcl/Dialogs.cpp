#include "platform/vcl/Dialogs.h"

#include <QFileDialog>
#include <QString>
#include <QStringList>

namespace vcl {

std::string QtFilterOf(const std::string& Filter) {
    const QStringList parts = QString::fromStdString(Filter).split('|');
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i];
        const QString pattern = QString(parts[i + 1]).replace(';', ' ');
        out << (description.contains('(') ? description : description + " (" + pattern + ")");
    }
    return out.join(";;").toStdString();
}

bool TOpenPictureDialog::Execute(QWidget* Parent) {
    std::string picked;
    if (OnExecute) {
        picked = OnExecute();
    } else {
        picked = QFileDialog::getOpenFileName(Parent, QString(), QString(),
                                              QString::fromStdString(QtFilterOf(Filter)))
                     .toStdString();
    }
    if (picked.empty())
        return false;
    FileName = picked;
    return true;
}

} // namespace vcl
