#include "app/GradientPanel.h"

#include <QColor>
#include <QMouseEvent>
#include <QPainter>

namespace app {

TGradientPanel::TGradientPanel(QWidget *parent) : QLabel("Gradient", parent) {
    setObjectName("sbPanel3");
}

void TGradientPanel::SetGradient(const depth::TColor32Gradient *gradient) {
    FGradient = gradient;
    update();
}

int TGradientPanel::PanelAt(const std::vector<int> &widths, int x) {
    long long right = 0; // a sum of ints: kept wide so that no width can wrap it
    for (std::size_t i = 0; i < widths.size(); ++i) {
        right += widths[i];
        if (right > x)
            return static_cast<int>(i);
    }
    return static_cast<int>(widths.size()) - 1;
}

void TGradientPanel::paintEvent(QPaintEvent *event) {
    if (FGradient == nullptr) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter p(this);
    const int w = width(), h = height();
    for (int x = 0; x < w; ++x) {
        const float offset = static_cast<float>(x) / static_cast<float>(w);
        // Opaque, as a screen pen is: a translucent stop must not let the bar show through.
        p.setPen(QColor::fromRgb(FGradient->ColorAt(offset) | 0xFF000000u));
        p.drawLine(x, 0, x, h - 1);
    }
}

void TGradientPanel::mousePressEvent(QMouseEvent *event) {
    event->setAccepted(event->button() == Qt::LeftButton);
}

void TGradientPanel::mouseReleaseEvent(QMouseEvent *event) {
    // A click is a press and a release on the panel, as with a button.
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        event->accept();
        if (OnClick)
            OnClick();
    } else {
        event->ignore();
    }
}

} // namespace app
