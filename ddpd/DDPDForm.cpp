#include "DDPDForm.h"

#include "DDPDAnimationThread.h"
#include "DDPDEmblem.h"
#include "DDPDFailureText.h"
#include "ddpd/DDPD.h"
#include "platform/rtl/InertText.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyle>

namespace ddpd {

namespace {

QString Q(const char* Utf8) {
    return QString::fromUtf8(Utf8);
}

template <class W> W* Place(W* Widget, int Left, int Top, int Width, int Height) {
    Widget->setGeometry(Left, Top, Width, Height);
    return Widget;
}

} // namespace

void TDDPDListBox::mouseReleaseEvent(QMouseEvent* Event) {
    QListWidget::mouseReleaseEvent(Event);
    if (Event->button() == Qt::LeftButton && OnClick)
        OnClick();
}

void TDDPDListBox::keyReleaseEvent(QKeyEvent* Event) {
    QListWidget::keyReleaseEvent(Event);
    const int k = Event->key();
    if ((k == Qt::Key_Up || k == Qt::Key_Down || k == Qt::Key_Home || k == Qt::Key_End ||
         k == Qt::Key_PageUp || k == Qt::Key_PageDown) &&
        OnClick)
        OnClick();
}

void TDDPDListBox::SetEmptyText(const QString& Text) {
    Empty = Text;
    viewport()->update();
}

void TDDPDListBox::paintEvent(QPaintEvent* Event) {
    QListWidget::paintEvent(Event);
    if (count() > 0 || Empty.isEmpty())
        return;
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(viewport()->rect().adjusted(4, 4, -4, -4), Qt::AlignCenter | Qt::TextWordWrap,
                     Empty);
}

TDDPDForm::TDDPDForm(QWidget* Parent) : QDialog(Parent) {
    setObjectName(QStringLiteral("DDPDForm"));
    setWindowTitle(Q("接続"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(512, 306);
    QFont font(Q("ＭＳ Ｐゴシック"));
    font.setPixelSize(12);
    setFont(font);

    // Created in the order of the form description: the tab order follows it.
    Label1 = Place(new QLabel(Q("接続方法"), this), 28, 12, 48, 12);
    ServiceProviderBox = Place(new QComboBox(this), 84, 8, 353, 20);
    ServiceProviderBox->addItem(Q("接続方法を選んでください"));
    GroupBox1 = Place(new QGroupBox(Q("セッション"), this), 12, 68, 237, 185);
    SessionList = Place(new TDDPDListBox(GroupBox1), 4, 12, 229, 133);
    SessionList->addItem(QString());
    GroupBox2 = Place(new QGroupBox(Q("参加しているプレーヤ"), this), 256, 68, 241, 185);
    PlayerList = Place(new QListWidget(GroupBox2), 4, 12, 233, 169);
    PlayerList->setEnabled(false);
    Label2 = Place(new QLabel(Q("プレイヤー名"), this), 8, 40, 67, 12);
    PlayerNameEdit = Place(new QLineEdit(this), 84, 36, 353, 20);
    CancelBtn = Place(new QPushButton(Q("キャンセル"), this), 404, 268, 89, 29);
    CancelBtn->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    CancelBtn->setAutoDefault(false);
    NewSessionBtn = Place(new QPushButton(Q("新規セッション"), GroupBox1), 136, 152, 89, 25);
    NewSessionBtn->setAutoDefault(false);
    JoinSessionBtn = Place(new QPushButton(Q("参加"), GroupBox1), 16, 152, 89, 25);
    JoinSessionBtn->setAutoDefault(false);
    JoinSessionBtn->setEnabled(false);
    Bevel1 = Place(new QFrame(this), 450, 15, 36, 36);
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    PaintBox1 = Place(new vcl::TPaintBox(this), 452, 16, 32, 32);
    Image1 = Place(new QLabel(this), 4, 268, 768, 32);
    Strip = LoadEmblemStrip();
    Image1->setPixmap(QPixmap::fromImage(Strip));
    Image1->hide();

    setTabOrder(ServiceProviderBox, SessionList);
    setTabOrder(SessionList, NewSessionBtn);
    setTabOrder(NewSessionBtn, JoinSessionBtn);
    setTabOrder(JoinSessionBtn, PlayerList);
    setTabOrder(PlayerList, PlayerNameEdit);
    setTabOrder(PlayerNameEdit, CancelBtn);

    connect(ServiceProviderBox, &QComboBox::activated, this,
            [this] { ServiceProviderBoxChange(); });
    SessionList->OnClick = [this] { SessionListClick(); };
    connect(PlayerNameEdit, &QLineEdit::textChanged, this, [this] { PlayerNameEditChange(); });
    connect(NewSessionBtn, &QPushButton::clicked, this, [this] { NewSessionBtnClick(); });
    connect(JoinSessionBtn, &QPushButton::clicked, this, [this] { JoinSessionBtnClick(); });
    connect(CancelBtn, &QPushButton::clicked, this, [this] { reject(); });
    PaintBox1->OnPaint = [this](QPainter& canvas) { PaintBox1Paint(canvas); };

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

TDDPDForm::~TDDPDForm() {
    StopAnimation();
}

void TDDPDForm::showEvent(QShowEvent* Event) {
    QDialog::showEvent(Event);
    if (!Event->spontaneous())
        FormShow();
}

void TDDPDForm::FormShow() {
    SessionList->clear();
    SessionList->SetEmptyText({});
    PlayerList->clear();
    ServiceProviderBox->clear();
    ServiceProviderBox->addItem(Q("(接続方法を選んでください)"));
    if (DDPD && DDPD->Connections)
        for (int i = 0; i < DDPD->Connections->Count(); ++i)
            ServiceProviderBox->addItem(QString::fromStdString(DDPD->Connections->Strings(i)));
    ServiceProviderBox->setCurrentIndex(0);
    // Shown chosen, not yet searched: a search may ask questions the player did not ask for.
    if (DDPD && !DDPD->PreferredConnection.empty()) {
        const int remembered =
            ServiceProviderBox->findText(QString::fromStdString(DDPD->PreferredConnection));
        if (remembered > 0)
            ServiceProviderBox->setCurrentIndex(remembered);
    }
    GroupBox1->setEnabled(false);
    PlayerNameEdit->clear();
    NewSessionBtn->setEnabled(false);
}

void TDDPDForm::StopAnimation() {
    AnimationThread.reset();
}

void TDDPDForm::ServiceProviderBoxChange() {
    const int item = ServiceProviderBox->currentIndex();
    if (item <= 0 || !DDPD)
        return;
    StopAnimation();
    SetFrame(0);
    AnimationThread = std::make_unique<TDDPDAnimationThread>(this);
    std::int32_t result;
    try {
        result = DDPD->SelectConnection(item - 1);
    } catch (const EDDPD& e) {
        // The dialog stays open so that another provider can be tried; a player who cancelled
        // the address question knows why already.
        StopAnimation();
        SessionList->clear();
        SessionList->SetEmptyText({});
        GroupBox1->setEnabled(false);
        NewSessionBtn->setEnabled(false);
        if (e.Code != DPERR_USERCANCEL)
            TellPlayer(ConnectFailureText(TConnectStep::Search, e));
        return;
    }
    StopAnimation();
    if (result != 0) {
        done(mrAbort);
        return;
    }
    SessionList->clear();
    if (DDPD->Sessions)
        for (int i = 0; i < DDPD->Sessions->Count(); ++i)
            SessionList->addItem(QString::fromStdString(InertText(DDPD->Sessions->Strings(i))));
    SessionList->SetEmptyText(SessionList->count() == 0 ? Q(kNoSessionFoundText) : QString());
    GroupBox1->setEnabled(true);
    NewSessionBtn->setEnabled(true);
}

void TDDPDForm::SessionListClick() {
    const int index = SessionList->selectedItems().isEmpty() ? -1 : SessionList->currentRow();
    if (index >= 0 && DDPD) {
        try {
            DDPD->ListSessionPlayers(index);
            std::vector<std::string> names;
            if (DDPD->Players)
                DDPD->Players->GetNames(names);
            PlayerList->clear();
            for (const auto& n : names)
                PlayerList->addItem(QString::fromStdString(InertText(n)));
        } catch (const EDDPD& e) {
            // Most often the session has ended or filled up since the search: say so and let
            // the player search again or pick another.
            PlayerList->clear();
            JoinSessionBtn->setEnabled(false);
            TellPlayer(ConnectFailureText(TConnectStep::List, e));
            return;
        }
    }
    JoinSessionBtn->setEnabled(index >= 0);
}

bool TDDPDForm::TypedName(std::string& Name) {
    Name = PlayerNameEdit->text().toStdString();
    if (TDDPD::NameFits(Name))
        return true;
    TellPlayer(kNameTooLongText);
    return false;
}

void TDDPDForm::NewSessionBtnClick() {
    std::string n;
    if (!TypedName(n))
        return;
    try {
        DDPD->CreateSession(n, n, n);
    } catch (const EDDPD& e) {
        TellPlayer(ConnectFailureText(TConnectStep::Create, e));
        return;
    }
    done(mrOk);
}

void TDDPDForm::JoinSessionBtnClick() {
    const int index = SessionList->selectedItems().isEmpty() ? -1 : SessionList->currentRow();
    if (index < 0)
        return;
    std::string n;
    if (!TypedName(n))
        return;
    try {
        DDPD->JoinSession(index, n, n);
    } catch (const EDDPD& e) {
        TellPlayer(ConnectFailureText(TConnectStep::Join, e));
        return;
    }
    done(mrOk);
}

void TDDPDForm::TellPlayer(const std::string& Text) {
    QMessageBox box(QMessageBox::Warning, windowTitle(), QString::fromStdString(Text),
                    QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("DDPDFailureBox"));
    box.exec();
}

void TDDPDForm::PaintBox1Paint(QPainter& Canvas) {
    std::lock_guard<std::mutex> g(PaintLock);
    Canvas.drawImage(QRect(0, 0, 32, 32), Strip, QRect(32 * Frame, 0, 32, 32));
}

std::int32_t TDDPDForm::GetFrame() {
    std::lock_guard<std::mutex> g(PaintLock);
    return Frame;
}

void TDDPDForm::SetFrame(std::int32_t Value) {
    std::lock_guard<std::mutex> g(PaintLock);
    Frame = Value;
}

void TDDPDForm::RequestEmblemRepaint() {
    QMetaObject::invokeMethod(
        PaintBox1, [box = PaintBox1] { box->update(); }, Qt::QueuedConnection);
}

void TDDPDForm::reject() {
    done(mrCancel);
}

void TDDPDForm::done(int Result) {
    // No thread touches the dialog once it is closed.
    StopAnimation();
    QDialog::done(Result);
}

} // namespace ddpd
