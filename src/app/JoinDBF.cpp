#include "app/JoinDBF.h"

#include "support/NumText.h"

#include "formats/ShapefileImport.h"
#include "formats/shapefile.h"
#include "support/Dialogs.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScrollBar>
#include <QVBoxLayout>

#include <exception>
#include <string>
#include <vector>

namespace app {

namespace {

QVBoxLayout *Labelled(const QString &caption, QWidget *control) {
    auto *label = new QLabel(caption);
    label->setBuddy(control);
    auto *column = new QVBoxLayout;
    column->addWidget(label);
    column->addWidget(control);
    return column;
}

} // namespace

TJoinDBFForm::TJoinDBFForm(formats::TShapefile &SHP, support::Dialogs &dialogs, QWidget *parent)
    : QDialog(parent), SHPdata(SHP), dialogs_(dialogs) {
    setObjectName("JoinDBFForm");
    setWindowTitle("Import Database");

    ListBox = new QListWidget(this);
    ListBox->setObjectName("ListBox");
    ListBox->setSelectionMode(QAbstractItemView::SingleSelection);

    SelectedEntry = new QLineEdit(this);
    SelectedEntry->setObjectName("SelectedEntry");
    SelectedEntry->setReadOnly(true);

    edtScale = new QLineEdit("1", this);
    edtScale->setObjectName("edtScale");
    edtScale->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), edtScale));

    memPreview = new QPlainTextEdit(this);
    memPreview->setObjectName("memPreview");
    memPreview->setReadOnly(true);
    memPreview->setLineWrapMode(QPlainTextEdit::NoWrap);
    memPreview->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memPreview->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    btnOK = new QPushButton("OK", this);
    btnOK->setObjectName("btnOK");
    btnOK->setDefault(true);

    cbDepthFromZ = new QCheckBox("Depth from Z, times", this);
    cbDepthFromZ->setObjectName("cbDepthFromZ");
    cbDepthFromZ->setToolTip("Each point's Z times this factor is its depth in cm (100 for metres, "
                             "-100 when Z is an elevation)");
    edtZScale = new QLineEdit("100", this);
    edtZScale->setObjectName("edtZScale");
    auto *zRow = new QHBoxLayout;
    zRow->addWidget(cbDepthFromZ);
    zRow->addWidget(edtZScale);
    cbDepthFromZ->setVisible(SHP.HasZ());
    edtZScale->setVisible(SHP.HasZ());

    // Selection changes, not clicks: keyboard choices count too, and the current item Qt
    // sets when the list takes the focus does not pick a field.
    connect(ListBox, &QListWidget::itemSelectionChanged, this, &TJoinDBFForm::ListBoxClick);
    // textChanged, not textEdited: putting "1" back must run the handler again.
    connect(edtScale, &QLineEdit::textChanged, this, &TJoinDBFForm::edtScaleChange);
    connect(btnOK, &QPushButton::clicked, this, &TJoinDBFForm::btnOKClick);

    auto *right = new QVBoxLayout;
    right->addLayout(Labelled("Selected as source for depth", SelectedEntry));
    right->addLayout(Labelled("Multiplier", edtScale));
    right->addLayout(Labelled("Preview ABS(depth) / cm", memPreview));
    right->addLayout(zRow);

    auto *columns = new QHBoxLayout;
    columns->addLayout(Labelled("Available Entries", ListBox));
    columns->addLayout(right);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOK);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);

    FillFieldList();
}

void TJoinDBFForm::FillFieldList() {
    for (const formats::TDBFDatabaseFields &field : SHPdata.DatabaseFields)
        ListBox->addItem(QString::fromStdString(field.ShownName()));
}

void TJoinDBFForm::ListBoxClick() {
    // The selection, not the current row: Qt signals a new selection before it moves the
    // current item.
    const QList<QListWidgetItem *> selected = ListBox->selectedItems();
    if (selected.isEmpty())
        return; // a selection cleared by Ctrl+click keeps the field chosen before
    FSelectedField = ListBox->row(selected.front());
    SelectedEntry->setText(selected.front()->text());
    UpdatePreview();
}

void TJoinDBFForm::edtScaleChange() {
    const QString text = edtScale->text();
    const std::string kept = formats::ScaleAfterEdit(text.toStdString());
    if (kept != text.toStdString()) {
        edtScale->setText(QString::fromStdString(kept)); // runs this handler again
        // Selected, so that the next digit typed replaces the "1" instead of joining it.
        edtScale->selectAll();
    }
    UpdatePreview();
}

void TJoinDBFForm::UpdatePreview() {
    if (SelectedEntry->text().isEmpty() || FSelectedField < 0)
        return;
    std::vector<std::string> lines;
    std::string error;
    try {
        formats::DepthPreview(SHPdata.DatabaseFields.at(static_cast<std::size_t>(FSelectedField)),
                              edtScale->text().toStdString(), lines);
    } catch (const std::exception &e) {
        error = e.what(); // the lines made before the bad value are still shown
    }
    QStringList shown;
    for (const std::string &line : lines)
        shown << QString::fromStdString(line);
    memPreview->setPlainText(shown.join('\n'));
    memPreview->moveCursor(QTextCursor::Start);
    memPreview->verticalScrollBar()->setValue(0);
    if (!error.empty())
        dialogs_.Error(error);
}

void TJoinDBFForm::btnOKClick() {
    SHPdata.DepthFromZScale.reset();
    if (cbDepthFromZ->isChecked()) {
        const std::optional<double> scale = support::TryStrToFloat(edtZScale->text().toStdString());
        if (!scale || *scale == 0) {
            dialogs_.Error("\"" + edtZScale->text().toStdString() + "\" is not a factor for Z");
            return;
        }
        SHPdata.DepthFromZScale = *scale;
    }
    const int field = SelectedEntry->text().isEmpty() ? -1 : FSelectedField;
    bool close = false;
    try {
        support::TMessages shown;
        close = formats::JoinDBFOK(SHPdata, field, edtScale->text().toStdString(), shown);
        dialogs_.Show(shown);
    } catch (const std::exception &e) {
        dialogs_.Error(e.what()); // depths set before the bad value stay
        return;
    }
    if (close)
        accept();
}

} // namespace app
