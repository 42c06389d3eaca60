#include "AddressDialog.h"
#include "platform/dplay/AddressMemory.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace dplay {

namespace {

std::string& Remembered() {
    static std::string address;
    return address;
}

std::string& RememberedLobby() {
    static std::string server = MAREVO_LOBBY;
    return server;
}

bool Ask(const char* Title, const char* Prompt, std::string& Answer) {
    QDialog dialog;
    dialog.setObjectName(QStringLiteral("DPlayAddressDialog"));
    dialog.setWindowTitle(QString::fromUtf8(Title));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QString::fromUtf8(Prompt)));
    auto* edit = new QLineEdit;
    edit->setObjectName(QStringLiteral("AddressEdit"));
    edit->setMaxLength(255);
    // Offered selected, so that typing anew replaces it.
    edit->setText(QString::fromStdString(Answer));
    edit->selectAll();
    layout->addWidget(edit);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    Answer = edit->text().trimmed().toStdString();
    return true;
}

} // namespace

std::string LastHostAddress() {
    return Remembered();
}

void SetLastHostAddress(const std::string& Address) {
    Remembered() = Address;
}

std::string LastLobbyServer() {
    return RememberedLobby();
}

void SetLastLobbyServer(const std::string& Server) {
    if (!Server.empty())
        RememberedLobby() = Server;
}

bool AskHostAddress(std::string& Address) {
    return Ask("TCP/IP 接続",
               "接続先のホスト名または IP アドレスを入力してください。\n"
               "空欄のままにすると、ローカルネットワーク上のセッションを探します。",
               Address);
}

bool AskLobbyServer(std::string& Server) {
    return Ask("インターネット (ロビー) 接続", "ロビーサーバーの名前を入力してください。",
               Server) &&
           !Server.empty();
}

} // namespace dplay
