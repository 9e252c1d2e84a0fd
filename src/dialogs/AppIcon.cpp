#include "AppIcon.h"

#include <QPainter>
#include <QPixmap>

namespace nimbary {

QIcon AppIcon() {
    static const QIcon icon = [] {
        QIcon ic;
        for (int size : {16, 32, 64}) {
            QPixmap pm(size, size);
            pm.fill(Qt::transparent);
            QPainter p(&pm);
            p.setRenderHint(QPainter::Antialiasing);
            p.scale(size / 64.0, size / 64.0);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(255, 190, 40));
            p.drawEllipse(QPointF(24, 24), 16, 16);
            p.setBrush(QColor(0, 102, 255));
            p.drawEllipse(QPointF(30, 42), 14, 12);
            p.drawEllipse(QPointF(44, 38), 14, 14);
            p.drawRoundedRect(QRectF(16, 40, 44, 14), 7, 7);
            ic.addPixmap(pm);
        }
        return ic;
    }();
    return icon;
}

}  // namespace nimbary
