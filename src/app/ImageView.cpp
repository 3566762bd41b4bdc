#include "app/ImageView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

namespace app {

TImageView::TImageView(QWidget *parent) : QWidget(parent) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    Control.SetSize(1, 1);
    Control.Bitmap.fill(QColor::fromRgba(0xFF000000));
    Control.RepaintHook = [this] { update(); };
}

void TImageView::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    p.drawImage(0, 0, Control.Bitmap);
    for (const Layer &l : Layers) {
        p.setOpacity(l.masterAlpha / 255.0);
        p.drawImage(0, 0, l.image);
    }
}

void TImageView::mousePressEvent(QMouseEvent *e) {
    if (OnMouseDown)
        OnMouseDown(e);
}

void TImageView::mouseMoveEvent(QMouseEvent *e) {
    if (OnMouseMove)
        OnMouseMove(e);
}

void TImageView::mouseReleaseEvent(QMouseEvent *e) {
    if (OnMouseUp)
        OnMouseUp(e);
}

void TImageView::wheelEvent(QWheelEvent *e) {
    if (OnWheel)
        OnWheel(e);
    else
        QWidget::wheelEvent(e);
}

void TImageView::resizeEvent(QResizeEvent *) {
    // The raster follows the control without being cleared.
    QImage resized(std::max(width(), 1), std::max(height(), 1), QImage::Format_ARGB32);
    resized.fill(QColor::fromRgba(0xFF000000));
    {
        QPainter p(&resized);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(0, 0, Control.Bitmap);
    }
    Control.Bitmap = resized;
    if (OnResize)
        OnResize();
}

} // namespace app
