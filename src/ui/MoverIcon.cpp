#include "MoverIcon.h"

#include <QPainter>
#include <QPixmap>

namespace qx {

QIcon moverIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(QColor(0x1f, 0x5f, 0xa8));
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(QRectF(0, 0, size, size), size / 6.0, size / 6.0);
        // A stack of files above an arrow into a folder: statistic files being put away.
        p.setBrush(Qt::white);
        double u = size / 16.0;
        p.drawRect(QRectF(3 * u, 3 * u, 6 * u, 1.5 * u));
        p.drawRect(QRectF(3 * u, 5.5 * u, 6 * u, 1.5 * u));
        p.drawRect(QRectF(3 * u, 8 * u, 6 * u, 1.5 * u));
        QPolygonF arrow;
        arrow << QPointF(10 * u, 4 * u) << QPointF(13 * u, 7.5 * u) << QPointF(10 * u, 11 * u);
        p.drawPolygon(arrow);
        p.setBrush(QColor(0xf2, 0xb1, 0x34));
        p.drawRect(QRectF(3 * u, 11.5 * u, 10 * u, 2 * u));
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace qx
