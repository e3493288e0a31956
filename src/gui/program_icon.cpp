#include "gui/program_icon.h"

#include <QPainter>
#include <QPixmap>

namespace clinora {

namespace {

// Drawn on a 40 x 40 grid, scaled to `size`.
QPixmap Mark(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 40.0, size / 40.0);
    p.setPen(QPen(QColor(0, 70, 140), 3));
    p.setBrush(QColor(225, 238, 250));
    p.drawEllipse(QRectF(3, 3, 34, 34));
    p.translate(20, 20);
    p.rotate(-20);
    p.setPen(QPen(QColor(0, 70, 140), 2));
    p.setBrush(QColor(120, 200, 90));
    p.drawRoundedRect(QRectF(-13, -4, 26, 8), 4, 4);
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(-3, -3, 6, 6));
    return pixmap;
}

}  // namespace

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 40, 48, 64, 128}) icon.addPixmap(Mark(size));
    return icon;
}

}  // namespace clinora
