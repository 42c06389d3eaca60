#include "Form2.h"

#include "ChatLines.h"
#include "GameMessages.h"
#include "ddpd/DDPD.h"
#include "platform/rtl/ShiftJis.h"

#include <QEvent>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QScrollBar>

#include <limits>

TForm2* Form2 = nullptr;

namespace {

constexpr int kPanelHeight = 34;

} // namespace

TForm2::TForm2(ddpd::TDDPD& ASession, QWidget* AMainWindow)
    : vcl::TForm(nullptr), Session(ASession), MainWindow(AMainWindow) {
    // A closed chat window is gone for good: later lines have nowhere to go.
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QString::fromUtf8("MarevoＣｈａｔ"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    QFont font(QString::fromUtf8("ＭＳ Ｐゴシック"));
    font.setPixelSize(12);
    setFont(font);

    auto* client = new QWidget(this);
    setCentralWidget(client);
    ChatMemo = new QPlainTextEdit(client);
    ChatMemo->setReadOnly(true);
    // A row is always a line of its own: a text padded to wrap cannot start one that looks like
    // an arrival or another player's words.
    ChatMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
    ChatMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    ChatMemo->setFocusPolicy(Qt::NoFocus);
    ChatMemo->move(0, 0);
    ChatMemo->viewport()->installEventFilter(this);
    Panel1 = new QWidget(client);
    Panel1->setFixedHeight(kPanelHeight);
    Button1 = new QPushButton(QString::fromUtf8("送る"), Panel1);
    Button1->setGeometry(8, 4, 75, 25);
    Button1->setDefault(true);
    Button1->setFocusPolicy(Qt::ClickFocus);
    Edit1 = new QLineEdit(Panel1);
    Edit1->setGeometry(96, 7, 257, 20);
    Edit1->setMaxLength(std::numeric_limits<int>::max());
    // Enter in the edit box presses the default button.
    connect(Edit1, &QLineEdit::returnPressed, this,
            [this] { vcl::Application->Guard([this] { Button1Click(); }); });
    connect(Button1, &QPushButton::clicked, this,
            [this] { vcl::Application->Guard([this] { Button1Click(); }); });

    SetBounds(14, 280, 383, 173);
    FormCreate();
    FormResize();
}

TForm2::~TForm2() {
    if (Form2 == this)
        Form2 = nullptr;
}

void TForm2::FormCreate() {
    ChatMemo->clear();
}

void TForm2::FormResize() {
    QWidget* client = centralWidget();
    ChatMemo->resize(client->width() - 2, ChatMemo->height());
    Panel1->resize(ChatMemo->width(), kPanelHeight);
    Edit1->resize(Panel1->width() - Button1->width() - 32, Edit1->height());
    ChatMemo->resize(ChatMemo->width(), client->height() - Panel1->height() - 2);
    Panel1->move(0, client->height() - Panel1->height());
}

void TForm2::Button1Click() {
    const TChatMessage chat{Utf8ToShiftJis(Edit1->text().toStdString())};
    const std::vector<std::uint8_t> message = EncodeGameMessage(chat);
    Session.SendData(0, message.data(), static_cast<std::int32_t>(message.size()));
    // The echo is the text as the others get it: what Shift-JIS cannot hold went out as "?".
    const std::string name = Session.LocalPlayer ? Session.LocalPlayer->LongName : std::string();
    AddLine(QString::fromStdString(ChatLine(name, ShiftJisToUtf8(chat.Text))));
    Edit1->clear();
    Edit1->setFocus();
    if (MainWindow) {
        MainWindow->activateWindow();
        MainWindow->setFocus();
    }
}

void TForm2::ChatMemoClick() {
    Edit1->setFocus();
}

void TForm2::AddLine(const QString& Line) {
    ChatMemo->appendPlainText(Line);
}

void TForm2::resizeEvent(QResizeEvent* Event) {
    vcl::TForm::resizeEvent(Event);
    FormResize();
}

void TForm2::mousePressEvent(QMouseEvent* Event) {
    vcl::TForm::mousePressEvent(Event);
    ChatMemoClick();
}

bool TForm2::eventFilter(QObject* Watched, QEvent* Event) {
    if (Watched == ChatMemo->viewport() &&
        (Event->type() == QEvent::MouseButtonPress || Event->type() == QEvent::MouseButtonDblClick))
        ChatMemoClick();
    return vcl::TForm::eventFilter(Watched, Event);
}
