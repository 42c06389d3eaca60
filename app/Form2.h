#pragma once
// The chat window: a read-only log of chat, arrival and departure lines above a one-line edit
// box and its send button.

#include "platform/vcl/Forms.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>

namespace ddpd {
class TDDPD;
}

class TForm2 : public vcl::TForm {
    Q_OBJECT
public:
    // Session sends the typed text; MainWindow gets the focus back after each send.
    TForm2(ddpd::TDDPD& Session, QWidget* MainWindow);
    ~TForm2() override;

    QPlainTextEdit* ChatMemo = nullptr;
    QWidget* Panel1 = nullptr;
    QPushButton* Button1 = nullptr;
    QLineEdit* Edit1 = nullptr;

    void FormCreate();
    void FormResize();
    void Button1Click();
    void ChatMemoClick();

    // Appends one line at the end of the log.
    void AddLine(const QString& Line);

protected:
    void resizeEvent(QResizeEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    ddpd::TDDPD& Session;
    QWidget* MainWindow;
};

// The chat window while one is open, else nullptr.
extern TForm2* Form2;
