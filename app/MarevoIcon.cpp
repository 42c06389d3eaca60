#include "app/MarevoIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

QPixmap Draw(int Size) {
    QPixmap pm(Size, Size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(Size / 32.0, Size / 32.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(24, 86, 160));
    p.drawEllipse(QRectF(1, 1, 30, 30));
    QPainterPath main;
    main.moveTo(16, 5);
    main.lineTo(16, 22);
    main.lineTo(6, 22);
    main.closeSubpath();
    QPainterPath jib;
    jib.moveTo(17.5, 8);
    jib.cubicTo(24, 13, 25, 18, 24, 22);
    jib.lineTo(17.5, 22);
    jib.closeSubpath();
    p.setBrush(Qt::white);
    p.drawPath(main);
    p.drawPath(jib);
    QPainterPath hull;
    hull.moveTo(5, 23.5);
    hull.lineTo(27, 23.5);
    hull.lineTo(23, 27);
    hull.lineTo(9, 27);
    hull.closeSubpath();
    p.setBrush(QColor(200, 40, 40));
    p.drawPath(hull);
    return pm;
}

} // namespace

QIcon MarevoIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64})
        icon.addPixmap(Draw(size));
    return icon;
}
