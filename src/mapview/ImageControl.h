// The raster a map view draws on, with a repaint hook: the desktop program shows it in a
// widget, the batch tool and the tests use it bare.
#pragma once

#include <QImage>

#include <functional>

namespace mapview {

class TImageControl {
  public:
    TImageControl() = default;
    TImageControl(int width, int height) { SetSize(width, height); }

    QImage Bitmap;
    std::function<void()> RepaintHook;

    void SetSize(int width, int height) {
        Bitmap = QImage(std::max(width, 0), std::max(height, 0), QImage::Format_ARGB32);
        Bitmap.fill(0);
    }
    // Repaints are held back between BeginUpdate and EndUpdate and done once at the end.
    void BeginUpdate() { ++updating_; }
    void EndUpdate() {
        if (updating_ > 0)
            --updating_;
    }
    void Repaint() {
        if (updating_ == 0 && RepaintHook)
            RepaintHook();
    }

  private:
    int updating_ = 0;
};

} // namespace mapview
