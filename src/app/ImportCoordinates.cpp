#include "app/ImportCoordinates.h"

#include "formats/ShapefileImport.h"
#include "formats/shapefile.h"
#include "support/Dialogs.h"

#include <QButtonGroup>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include <exception>

namespace app {

namespace {

// A radio group: a titled box whose buttons carry their item index as id.
QGroupBox *MakeRadioGroup(QWidget *parent, const char *name, const QString &title,
                          const QStringList &items, QButtonGroup *&group) {
    auto *box = new QGroupBox(title, parent);
    box->setObjectName(name);
    auto *layout = new QVBoxLayout(box);
    group = new QButtonGroup(box);
    for (int i = 0; i < items.size(); ++i) {
        auto *button = new QRadioButton(items[i], box);
        group->addButton(button, i);
        layout->addWidget(button);
    }
    group->button(0)->setChecked(true);
    return box;
}

QLineEdit *MakeNumberEdit(QWidget *parent, const char *name, const QString &text, bool allowMinus) {
    auto *edit = new QLineEdit(text, parent);
    edit->setObjectName(name);
    // Digits only; the offsets may also be negative (the default x offset is). The empty
    // text stays typeable and is reported when "OK" parses it.
    const QRegularExpression pattern(allowMinus ? QStringLiteral("-?[0-9]*")
                                                : QStringLiteral("[0-9]*"));
    edit->setValidator(new QRegularExpressionValidator(pattern, edit));
    return edit;
}

} // namespace

TImportCoordinatesForm::TImportCoordinatesForm(formats::TShapefile &SHP, support::Dialogs &dialogs,
                                               QWidget *parent)
    : QDialog(parent), SHPdata(SHP), dialogs_(dialogs) {
    setObjectName("ImportCoordinatesForm");
    setWindowTitle("Import Coordinates");

    CoordinatesFormat = MakeRadioGroup(this, "CoordinatesFormat", "Coordinates Format",
                                       {"Degrees WGS84", "UTM"}, CoordinatesFormatItems);

    // The UTM options stay editable whichever format is chosen.
    UTMOptions = new QGroupBox("UTM Import Options", this);
    UTMOptions->setObjectName("UTMOptions");
    UTMOptionsXOffset = MakeNumberEdit(UTMOptions, "UTMOptionsXOffset", "-500000", true);
    UTMOptionsYOffset = MakeNumberEdit(UTMOptions, "UTMOptionsYOffset", "0", true);
    UTMOptionsZone = MakeNumberEdit(UTMOptions, "UTMOptionsZone", "33", false);
    UTMOptionsHemisphere = MakeRadioGroup(UTMOptions, "UTMOptionsHemisphere", "Hemisphere",
                                          {"North", "South"}, UTMOptionsHemisphereItems);
    auto *utmLayout = new QFormLayout(UTMOptions);
    utmLayout->addRow("x offset", UTMOptionsXOffset);
    utmLayout->addRow("y offset", UTMOptionsYOffset);
    utmLayout->addRow("Zone", UTMOptionsZone);
    utmLayout->addRow(UTMOptionsHemisphere);

    btnOK = new QPushButton("OK", this);
    btnOK->setObjectName("btnOK");
    btnOK->setDefault(true);
    btnCancel = new QPushButton("Cancel", this);
    btnCancel->setObjectName("btnCancel");
    connect(btnOK, &QPushButton::clicked, this, &TImportCoordinatesForm::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &TImportCoordinatesForm::btnCancelClick);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(CoordinatesFormat);
    layout->addWidget(UTMOptions);
    layout->addLayout(buttons);
    // A fixed dialog border: the size follows the contents and cannot be dragged.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
}

void TImportCoordinatesForm::btnOKClick() {
    try {
        formats::ImportCoordinatesOK(
            SHPdata, CoordinatesFormatItems->checkedId(), UTMOptionsXOffset->text().toStdString(),
            UTMOptionsYOffset->text().toStdString(), UTMOptionsZone->text().toStdString(),
            UTMOptionsHemisphereItems->checkedId());
    } catch (const std::exception &e) {
        // Nothing has been converted yet: every text is parsed before the first point.
        dialogs_.Error(e.what());
        return;
    }
    accept();
}

void TImportCoordinatesForm::btnCancelClick() {
    reject();
}

} // namespace app
