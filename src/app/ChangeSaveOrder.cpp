#include "app/ChangeSaveOrder.h"

#include "depth/ContourExport.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <string>

namespace app {

namespace {

QPushButton *Button(const char *text, const char *name, QWidget *parent) {
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

} // namespace

TChangeSaveOrderForm::TChangeSaveOrderForm(depth::TChangeSaveOrder &order, QWidget *parent)
    : QDialog(parent), FOrder(order) {
    setObjectName("ChangeSaveOrderForm");
    setWindowTitle("Change Save Order");

    lbTracks = new QListWidget(this);
    lbTracks->setObjectName("lbTracks");
    lbTracks->setSelectionMode(QAbstractItemView::SingleSelection);
    lbTracks->setFixedSize(220, 260);
    Label1 = new QLabel("Available Datasets", this);
    Label1->setObjectName("Label1");
    Label1->setBuddy(lbTracks);

    btnOK = Button("OK", "btnOK", this);
    btnOK->setDefault(true);
    btnUp = Button("Move Up", "btnUp", this);
    btnDown = Button("Move Down", "btnDown", this);
    btnAddFile = Button("Add New File", "btnAddFile", this);
    btnRemove = Button("Remove", "btnRemove", this);

    auto *listColumn = new QVBoxLayout;
    listColumn->addWidget(Label1);
    listColumn->addWidget(lbTracks);

    auto *buttons = new QVBoxLayout;
    buttons->addSpacing(Label1->sizeHint().height());
    buttons->addWidget(btnUp);
    buttons->addWidget(btnDown);
    buttons->addWidget(btnAddFile);
    buttons->addWidget(btnRemove);
    buttons->addStretch();
    buttons->addWidget(btnOK);

    auto *layout = new QHBoxLayout(this);
    layout->addLayout(listColumn);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);

    connect(lbTracks, &QListWidget::itemSelectionChanged, this,
            &TChangeSaveOrderForm::lbTracksSelectionChange);
    connect(btnUp, &QPushButton::clicked, this, &TChangeSaveOrderForm::btnUpClick);
    connect(btnDown, &QPushButton::clicked, this, &TChangeSaveOrderForm::btnDownClick);
    connect(btnAddFile, &QPushButton::clicked, this, &TChangeSaveOrderForm::btnAddFileClick);
    connect(btnRemove, &QPushButton::clicked, this, &TChangeSaveOrderForm::btnRemoveClick);
    connect(btnOK, &QPushButton::clicked, this, &TChangeSaveOrderForm::btnOKClick);

    FillList();
}

void TChangeSaveOrderForm::FillList() {
    // Blocked, so that clearing and refilling the box does not write a passing selection
    // back into ItemIndex.
    const QSignalBlocker blocker(lbTracks);
    lbTracks->clear();
    for (const std::string &item : FOrder.Items)
        lbTracks->addItem(QString::fromStdString(item));
    if (FOrder.ItemIndex >= 0 && FOrder.ItemIndex < lbTracks->count()) {
        lbTracks->setCurrentRow(FOrder.ItemIndex, QItemSelectionModel::ClearAndSelect);
    } else {
        lbTracks->clearSelection();
        lbTracks->setCurrentRow(-1);
    }
}

void TChangeSaveOrderForm::lbTracksSelectionChange() {
    // The selection, not the current row: the current item Qt sets when the box takes the
    // focus selects nothing.
    const QList<QListWidgetItem *> selected = lbTracks->selectedItems();
    FOrder.ItemIndex = selected.isEmpty() ? -1 : lbTracks->row(selected.front());
}

void TChangeSaveOrderForm::btnUpClick() {
    FOrder.btnUpClick();
    FillList();
}

void TChangeSaveOrderForm::btnDownClick() {
    FOrder.btnDownClick();
    FillList();
}

void TChangeSaveOrderForm::btnAddFileClick() {
    FOrder.btnAddFileClick();
    FillList();
}

void TChangeSaveOrderForm::btnRemoveClick() {
    FOrder.btnRemoveClick();
    FillList();
}

void TChangeSaveOrderForm::btnOKClick() {
    FOrder.btnOKClick();
    FillList();
    accept();
}

} // namespace app
