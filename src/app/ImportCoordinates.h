// "Import Coordinates": asks whether a shapefile's X and Y are WGS84 degrees or UTM and converts
// UTM in place.
#pragma once

#include <QDialog>

class QButtonGroup;
class QGroupBox;
class QLineEdit;
class QPushButton;

namespace formats {
class TShapefile;
}
namespace support {
class Dialogs;
}

namespace app {

// Shown modally by the shapefile loader, which reads whatever the dialog left in SHP.
class TImportCoordinatesForm : public QDialog {
    Q_OBJECT

  public:
    TImportCoordinatesForm(formats::TShapefile &SHP, support::Dialogs &dialogs,
                           QWidget *parent = nullptr);

    // Converts if "UTM" is chosen and closes; a text that is not an integer is shown in an
    // error box and the dialog stays open with nothing converted.
    void btnOKClick();
    // Closes without converting.
    void btnCancelClick();

  private:
    formats::TShapefile &SHPdata;
    support::Dialogs &dialogs_;

    QGroupBox *CoordinatesFormat;
    QButtonGroup *CoordinatesFormatItems; // ids are the item indexes: 0 degrees, 1 UTM
    QGroupBox *UTMOptions;
    QLineEdit *UTMOptionsXOffset;
    QLineEdit *UTMOptionsYOffset;
    QLineEdit *UTMOptionsZone;
    QGroupBox *UTMOptionsHemisphere;
    QButtonGroup *UTMOptionsHemisphereItems; // 0 north, 1 south
    QPushButton *btnOK;
    QPushButton *btnCancel;
};

} // namespace app
