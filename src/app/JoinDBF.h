// "Import Database": picks the table column holding each polyline's depth, previews it and writes
// the depths.
#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace formats {
class TShapefile;
}
namespace support {
class Dialogs;
}

namespace app {

// Shown modally by the shapefile loader after "Import Coordinates". There is no cancel
// button: closing by the title bar leaves every Depth at 0.
class TJoinDBFForm : public QDialog {
    Q_OBJECT

  public:
    TJoinDBFForm(formats::TShapefile &SHP, support::Dialogs &dialogs, QWidget *parent = nullptr);

    // The selected field becomes the depth source and the preview is refreshed.
    void ListBoxClick();
    // An emptied multiplier is put back to "1"; the preview follows the multiplier.
    void edtScaleChange();
    // Writes the depths and closes; on a count mismatch or a text that is not a number
    // the messages are shown and the dialog stays open.
    void btnOKClick();

  private:
    void FillFieldList();
    void UpdatePreview();

    formats::TShapefile &SHPdata;
    support::Dialogs &dialogs_;
    // Index into DatabaseFields of the field named in SelectedEntry; kept as an index so
    // that two columns with the same name stay distinct.
    int FSelectedField = -1;

    QListWidget *ListBox;
    QLineEdit *SelectedEntry;
    QLineEdit *edtScale;
    QPlainTextEdit *memPreview;
    QPushButton *btnOK;
    // Shapes with Z (PointZ, PolyLineZ, ...): each point's depth from its Z times the factor
    // (cm; negative when Z is an elevation) instead of a column. Hidden for shapes without Z.
    QCheckBox *cbDepthFromZ;
    QLineEdit *edtZScale;
};

} // namespace app
