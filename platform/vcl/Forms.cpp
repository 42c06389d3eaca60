#include "platform/vcl/Forms.h"

#include "platform/rtl/SysUtils.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTextBrowser>
#include <QTranslator>

#include <algorithm>
#include <climits>

namespace vcl {

TApplication* Application = nullptr;

namespace {

// The longest the loop waits between two idle calls that asked for more.
constexpr std::uint32_t kIdleAgainMs = 1;

} // namespace

TApplication::TApplication() {
    Application = this;
    IdleTimer.setTimerType(Qt::PreciseTimer);
    IdleTimer.setSingleShot(true);
    connect(&IdleTimer, &QTimer::timeout, this, [this] { DoIdle(); });
    qApp->installEventFilter(this);
}

TApplication::~TApplication() {
    if (qApp)
        qApp->removeEventFilter(this);
    delete HelpViewer;
    if (Application == this)
        Application = nullptr;
}

void TApplication::SetTitle(const std::string& Title) {
    FTitle = Title;
    // The name goes into the window class, through which the desktop knows the program's
    // windows. It is not made the display name: X11 would append that to every caption.
    QApplication::setApplicationName(QString::fromStdString(Title));
}

bool TApplication::HelpCommand(int Command) {
    if (Command != HELP_CONTENTS)
        return false;
    std::string path = rtl::FindFileNoCase(FHelpFile);
    if (path.empty())
        path = rtl::FindFileNoCase(FHelpFile, rtl::ExecutableFolder());
    if (path.empty() && !FDataFolder.empty())
        path = rtl::FindFileNoCase(FHelpFile, FDataFolder);
    if (path.empty()) {
        ShowMessage("ヘルプファイル " + FHelpFile + " が見つかりません");
        return false;
    }
    QFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::ReadOnly))
        return false;
    if (!HelpViewer) {
        auto* viewer = new QTextBrowser;
        viewer->setWindowTitle(QString::fromStdString(FTitle + " ヘルプ"));
        viewer->resize(480, 400);
        HelpViewer = viewer;
    }
    static_cast<QTextBrowser*>(HelpViewer)->setHtml(QString::fromUtf8(f.readAll()));
    HelpViewer->show();
    HelpViewer->raise();
    return true;
}

void TApplication::SetOnIdle(TIdleEvent Handler) {
    FOnIdle = std::move(Handler);
    IdleDueSoon = false;
    if (FOnIdle)
        ScheduleIdle(kIdleAgainMs);
    else
        IdleTimer.stop();
}

void TApplication::ScheduleIdle(std::uint32_t Ms) {
    IdleDueSoon = Ms <= kIdleAgainMs;
    IdleTimer.start(static_cast<int>(std::min<std::uint32_t>(Ms, INT_MAX)));
}

void TApplication::DoIdle() {
    IdleDueSoon = false;
    IdleTimer.stop();
    // A modal box of the default handler runs a loop of its own: no idle call inside this one.
    if (!FOnIdle || InIdle)
        return;
    bool done = true;
    IdleWake = 0;
    InIdle = true;
    Guard([&] { FOnIdle(done); });
    InIdle = false;
    if (!FOnIdle)
        return;
    if (!done)
        ScheduleIdle(kIdleAgainMs);
    else if (IdleWake > 0)
        ScheduleIdle(IdleWake);
    // else: until the next message arrives
}

bool TApplication::eventFilter(QObject* Watched, QEvent* Event) {
    // Any message other than the idle timer's own may make the idle handler want to run. What
    // the handler itself sends while it runs it has seen already.
    if (FOnIdle && !IdleDueSoon && !InIdle && Watched != &IdleTimer)
        ScheduleIdle(0);
    return QObject::eventFilter(Watched, Event);
}

void TApplication::Run() {
    if (FTerminated)
        return;
    QApplication::exec();
}

void TApplication::Terminate() {
    FTerminated = true;
    QApplication::exit(0);
}

void TApplication::ShowException(const std::exception& E) {
    if (OnShowException) {
        OnShowException(E.what());
        return;
    }
    MessageBox(nullptr, E.what(), FTitle);
}

TFrameworkApp::TFrameworkApp(int& Argc, char** Argv) : QApplication(Argc, Argv) {
    QFont::insertSubstitution(QString::fromUtf8("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"));
    QFont::insertSubstitution(QString::fromUtf8("ＭＳ ゴシック"), QStringLiteral("IPAGothic"));
    // The program speaks Japanese whatever the system's language: so do the file dialog, the
    // message boxes and the standard buttons beside its own texts. Without the translations
    // (not installed) they stay English.
    auto* translator = new QTranslator(this);
    if (translator->load(QStringLiteral("qtbase_ja"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        installTranslator(translator);
    else
        delete translator;
    setDesktopFileName(QFileInfo(applicationFilePath()).completeBaseName());
}

bool TFrameworkApp::notify(QObject* Receiver, QEvent* Event) {
    try {
        return QApplication::notify(Receiver, Event);
    } catch (const std::exception& e) {
        if (Application)
            Application->ShowException(e);
    } catch (...) {
        if (Application)
            Application->ShowException(std::runtime_error("unknown exception"));
    }
    return false;
}

void TForm::SetBounds(int Left, int Top, int Width, int Height) {
    Bounds = QRect(Left, Top, Width, Height);
    BoundsPending = !isVisible();
    move(Left, Top);
    const QMargins frame(geometry().left() - frameGeometry().left(),
                         geometry().top() - frameGeometry().top(),
                         frameGeometry().right() - geometry().right(),
                         frameGeometry().bottom() - geometry().bottom());
    resize(Width - frame.left() - frame.right(), Height - frame.top() - frame.bottom());
}

void TForm::showEvent(QShowEvent* Event) {
    QMainWindow::showEvent(Event);
    if (BoundsPending) {
        SetBounds(Bounds.left(), Bounds.top(), Bounds.width(), Bounds.height());
        BoundsPending = false;
    }
}

void ShowMessage(const std::string& Text) {
    MessageBox(nullptr, Text, Application ? Application->Title() : std::string());
}

void MessageBox(QWidget* Parent, const std::string& Text, const std::string& Caption) {
    if (Application && Application->OnMessageBox) {
        Application->OnMessageBox(Text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(Caption),
                    QString::fromStdString(Text), QMessageBox::Ok, Parent);
    box.exec();
}

} // namespace vcl
