#include "app/SelectionSlider.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>

namespace app {

TSelectionSlider::TSelectionSlider(QWidget *parent) : QSlider(Qt::Horizontal, parent) {}

void TSelectionSlider::SetSelEnd(int end) {
    if (end == selEnd_)
        return;
    selEnd_ = end;
    update();
}

void TSelectionSlider::paintEvent(QPaintEvent *e) {
    QSlider::paintEvent(e);
    if (selEnd_ <= minimum() || maximum() <= minimum())
        return;
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    const QRect groove =
        style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderGroove, this);
    const QRect handle =
        style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, this);
    // Handle centres at the two ends of the range, as the style places them.
    const int span = groove.width() - handle.width();
    auto xOf = [&](int v) {
        return groove.left() + handle.width() / 2 +
               QStyle::sliderPositionFromValue(minimum(), maximum(), v, span, opt.upsideDown);
    };
    const int x0 = xOf(minimum()), x1 = xOf(std::min(selEnd_, maximum()));
    QPainter p(this);
    p.fillRect(QRect(QPoint(x0, groove.bottom() + 2), QPoint(x1, groove.bottom() + 4)),
               palette().color(QPalette::Highlight));
}

} // namespace app
