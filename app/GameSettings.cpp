#include "GameSettings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace {

// A screen of 16k pixels is the largest the toolkit handles; a window larger than that, or a
// place further off, is no window a player left there.
constexpr int kLargest = 16384;
constexpr int kSmallest = 64;
// Longer than any host name (255) with room; a longer value is no address the player typed.
constexpr qsizetype kLongestText = 1024;

// Key's value when it is a whole number in Low..High, else Default.
int Whole(const QSettings& S, const char* Key, int Low, int High, int Default) {
    bool ok = false;
    const int v = S.value(QString::fromLatin1(Key)).toString().toInt(&ok);
    return ok && v >= Low && v <= High ? v : Default;
}

std::string Text(const QSettings& S, const char* Key) {
    const QVariant v = S.value(QString::fromLatin1(Key));
    if (!v.canConvert<QString>())
        return {};
    const QString s = v.toString();
    return s.size() <= kLongestText ? s.toStdString() : std::string();
}

} // namespace

std::string GameSettingsFile() {
    return (QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
            QStringLiteral("/marevo/marevo.conf"))
        .toStdString();
}

TGameSettings ReadGameSettings(const std::string& File) {
    TGameSettings s;
    const QString path = QString::fromStdString(File);
    if (!QFileInfo(path).isFile())
        return s;
    QSettings file(path, QSettings::IniFormat);
    // A file the reader could not make sense of is set aside whole: half of one is no better.
    if (file.status() != QSettings::NoError)
        return s;
    s.Width = Whole(file, "window/width", kSmallest, kLargest, 0);
    s.Height = Whole(file, "window/height", kSmallest, kLargest, 0);
    if (s.Width == 0 || s.Height == 0) {
        s.Width = s.Height = 0;
    } else {
        s.Left = Whole(file, "window/left", -kLargest, kLargest, 0);
        s.Top = Whole(file, "window/top", -kLargest, kLargest, 0);
    }
    s.ViewMode = static_cast<std::uint8_t>(Whole(file, "view/mode", 0, 2, s.ViewMode));
    s.SmoothMotion = Whole(file, "view/smooth", 0, 1, 0) == 1;
    s.Scaling = static_cast<TFrameScaling>(
        Whole(file, "view/scaling", 0, kFrameScalingCount - 1, static_cast<int>(s.Scaling)));
    s.Connection = Text(file, "connection/method");
    s.Address = Text(file, "connection/address");
    s.Lobby = Text(file, "connection/lobby");
    return s;
}

bool WriteGameSettings(const std::string& File, const TGameSettings& Settings) {
    const QString path = QString::fromStdString(File);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSettings file(path, QSettings::IniFormat);
    // Numbers as text: the reader takes only whole numbers it can read back the same way.
    auto put = [&](const char* Key, int Value) {
        file.setValue(QString::fromLatin1(Key), QString::number(Value));
    };
    file.clear();
    if (Settings.Width > 0 && Settings.Height > 0) {
        put("window/left", Settings.Left);
        put("window/top", Settings.Top);
        put("window/width", Settings.Width);
        put("window/height", Settings.Height);
    }
    put("view/mode", Settings.ViewMode);
    put("view/smooth", Settings.SmoothMotion ? 1 : 0);
    put("view/scaling", static_cast<int>(Settings.Scaling));
    file.setValue(QStringLiteral("connection/method"), QString::fromStdString(Settings.Connection));
    file.setValue(QStringLiteral("connection/address"), QString::fromStdString(Settings.Address));
    file.setValue(QStringLiteral("connection/lobby"), QString::fromStdString(Settings.Lobby));
    file.sync();
    return file.status() == QSettings::NoError;
}
