#pragma once
// The framework's paint box: a plain area that its owner draws in its OnPaint handler.

#include <QPaintEvent>
#include <QPainter>
#include <QWidget>

#include <functional>

namespace vcl {

class TPaintBox : public QWidget {
public:
    explicit TPaintBox(QWidget* Parent = nullptr) : QWidget(Parent) {}
    // Called on the GUI thread with a painter on the box.
    std::function<void(QPainter&)> OnPaint;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        if (OnPaint)
            OnPaint(painter);
    }
};

} // namespace vcl
