// The status bar's gradient strip (panel 3): the colour model from 0% at the left to 100% at the
// right.
#pragma once

#include "depth/ColorModel.h"

#include <QLabel>

#include <functional>
#include <vector>

namespace app {

// Without a gradient it is a plain label ("Gradient"). A click on it is a click on panel 3,
// which the main window answers by showing the colour model editor.
class TGradientPanel : public QLabel {
    Q_OBJECT

  public:
    explicit TGradientPanel(QWidget *parent = nullptr);

    // The model to show; not owned (the colour model editor's FGradient). Repaints.
    void SetGradient(const depth::TColor32Gradient *gradient);
    const depth::TColor32Gradient *Gradient() const { return FGradient; }

    std::function<void()> OnClick;

    // The status bar panel under x for panels of these widths, laid side by side from 0:
    // the first whose right edge lies beyond x; right of all of them, the last one.
    // -1 when there are no panels.
    static int PanelAt(const std::vector<int> &widths, int x);

  protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

  private:
    const depth::TColor32Gradient *FGradient = nullptr;
};

} // namespace app
