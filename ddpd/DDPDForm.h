#pragma once
// The connection dialog: pick a provider, see the sessions it finds and who is in each, type a
// player name, then create a session or join the selected one. It has no logic of its own
// beyond enabling controls and calling the session component, and telling the player, in a
// message box, why a search, a look at a session, a create or a join failed; the dialog then
// stays open for another try.

#include "platform/vcl/PaintBox.h"

#include <QComboBox>
#include <QDialog>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <cstdint>
#include <memory>
#include <mutex>

namespace ddpd {

class TDDPD;
class TDDPDAnimationThread;

// Dialog results.
inline constexpr int mrNone = 0;
inline constexpr int mrOk = 1;
inline constexpr int mrCancel = 2;
inline constexpr int mrAbort = 3;

// A list box that reports clicks (and keyboard moves) the way the framework's OnClick does.
// While it holds no item it shows EmptyText, if any, inside itself.
class TDDPDListBox : public QListWidget {
public:
    using QListWidget::QListWidget;
    std::function<void()> OnClick;
    void SetEmptyText(const QString& Text);
    const QString& EmptyText() const { return Empty; }

protected:
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void keyReleaseEvent(QKeyEvent* Event) override;
    void paintEvent(QPaintEvent* Event) override;

private:
    QString Empty;
};

class TDDPDForm : public QDialog {
public:
    explicit TDDPDForm(QWidget* Parent = nullptr);
    ~TDDPDForm() override;

    QLabel* Label1;
    QComboBox* ServiceProviderBox;
    QGroupBox* GroupBox1;
    TDDPDListBox* SessionList;
    QGroupBox* GroupBox2;
    QListWidget* PlayerList;
    QLabel* Label2;
    QLineEdit* PlayerNameEdit;
    QPushButton* CancelBtn;
    QPushButton* NewSessionBtn;
    QPushButton* JoinSessionBtn;
    QFrame* Bevel1;
    vcl::TPaintBox* PaintBox1;
    QLabel* Image1;
    std::unique_ptr<TDDPDAnimationThread> AnimationThread;
    TDDPD* DDPD = nullptr;

    void FormShow();
    void SessionListClick();
    void ServiceProviderBoxChange();
    void PlayerNameEditChange() {}
    void NewSessionBtnClick();
    void JoinSessionBtnClick();
    void PaintBox1Paint(QPainter& Canvas);

    // The emblem frame shown (0 at rest), shared with the animation thread under the paint lock.
    std::int32_t GetFrame();
    void SetFrame(std::int32_t Value);
    // Any thread: asks the GUI thread to repaint the emblem.
    void RequestEmblemRepaint();
    // The 768 x 32 strip of 24 emblem frames.
    const QImage& EmblemStrip() const { return Strip; }

    // Cancel and closing the window end with mrCancel.
    void reject() override;

protected:
    void showEvent(QShowEvent* Event) override;
    void done(int Result) override;

private:
    void StopAnimation();
    // A modal message box over the dialog, captioned like it.
    void TellPlayer(const std::string& Text);
    // The name typed, or nothing (and the player told) when the service cannot carry it.
    bool TypedName(std::string& Name);
    std::mutex PaintLock;
    std::int32_t Frame = 0;
    QImage Strip;
};

} // namespace ddpd
