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

} // namespace

std::string LastHostAddress() {
    return Remembered();
}

void SetLastHostAddress(const std::string& Address) {
    Remembered() = Address;
}

bool AskHostAddress(std::string& Address) {
    QDialog dialog;
    dialog.setObjectName(QStringLiteral("DPlayAddressDialog"));
    dialog.setWindowTitle(QString::fromUtf8("TCP/IP 接続"));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(
        QString::fromUtf8("接続先のホスト名または IP アドレスを入力してください。\n"
                          "空欄のままにすると、ローカルネットワーク上のセッションを探します。")));
    auto* edit = new QLineEdit;
    edit->setObjectName(QStringLiteral("AddressEdit"));
    edit->setMaxLength(255);
    // Offered selected, so that typing anew replaces it.
    edit->setText(QString::fromStdString(Address));
    edit->selectAll();
    layout->addWidget(edit);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    Address = edit->text().trimmed().toStdString();
    return true;
}

} // namespace dplay
