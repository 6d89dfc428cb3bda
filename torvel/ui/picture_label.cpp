#include "picture_label.h"

#include <QPainter>
#include <QStyle>

void TPictureLabel::paintEvent(QPaintEvent* event) {
    const QPixmap picture = pixmap();
    if (picture.isNull()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    drawFrame(&painter);
    style()->drawItemPixmap(&painter, contentsRect(), static_cast<int>(alignment()), picture);
}
