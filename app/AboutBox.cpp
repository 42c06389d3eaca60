#include "AboutBox.h"

#include "MarevoIcon.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

TAboutBox::TAboutBox(QWidget* Parent) : QDialog(Parent) {
    setWindowTitle(QString::fromUtf8("ﾊﾞｰｼﾞｮﾝ情報"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    setWindowIcon(MarevoIcon());

    auto* icon = new QLabel;
    icon->setPixmap(MarevoIcon().pixmap(32, 32));
    auto* lines = new QVBoxLayout;
    for (const char* text : {"Marevo", "Version 0.4(試作)", "風上と風下を読んで走る帆走ゲーム",
                             "ネットワークで最大4人まで一緒に遊べます", "Copyright © Marevo"}) {
        auto* label = new QLabel(QString::fromUtf8(text));
        label->setObjectName(QString::fromUtf8(text));
        lines->addWidget(label);
    }
    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addLayout(lines);

    auto* ok = new QPushButton(QStringLiteral("OK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(ok, 0, Qt::AlignHCenter);

    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}
