// A raster shown at scale 1, with layers blended over it, that reports mouse and resize
// events: the map images of the main window and the debug image.
#pragma once

#include "mapview/ImageControl.h"

#include <QImage>
#include <QWidget>

#include <functional>
#include <vector>

namespace app {

class TImageView : public QWidget {
  public:
    explicit TImageView(QWidget *parent = nullptr);

    mapview::TImageControl Control; // the raster; repainting it repaints the widget

    struct Layer {
        QImage image;
        int masterAlpha = 255; // of 255
    };
    std::vector<Layer> Layers;

    std::function<void(QMouseEvent *)> OnMouseDown, OnMouseMove, OnMouseUp;
    std::function<void()> OnResize;
    std::function<void(QWheelEvent *)> OnWheel; // without it the wheel goes to the parent

  protected:
    void paintEvent(QPaintEvent *) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void resizeEvent(QResizeEvent *) override;
    void wheelEvent(QWheelEvent *e) override;
};

} // namespace app
