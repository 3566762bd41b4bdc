// A horizontal slider that also marks a selection from its minimum up to SelEnd, drawn
// as a band under the groove: the interpolator's thread slider shows with it how many
// worker chains of a run are still alive.
#pragma once

#include <QSlider>

namespace app {

class TSelectionSlider : public QSlider {
  public:
    explicit TSelectionSlider(QWidget *parent = nullptr);

    int SelEnd() const { return selEnd_; }
    void SetSelEnd(int end); // at or below the minimum: no selection shown

  protected:
    void paintEvent(QPaintEvent *e) override;

  private:
    int selEnd_ = 0;
};

} // namespace app
