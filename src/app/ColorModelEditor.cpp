#include "app/ColorModelEditor.h"

#include "support/Dialogs.h"
#include "support/FilePath.h"
#include "support/NumText.h"

#include <QBrush>
#include <QColor>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace app {

namespace {

constexpr int PreviewWidth = 360;
constexpr int PreviewHeight = 25;

// Black on light colours, white on dark ones (by perceived brightness), so every name reads.
QColor ContrastingTextColor(const QColor &background) {
    const int brightness =
        (299 * background.red() + 587 * background.green() + 114 * background.blue()) / 1000;
    return brightness < 128 ? QColor(Qt::white) : QColor(Qt::black);
}

// Paints an entry of the colour list in its own colour with its name in a contrasting one. The
// colour stays visible when the entry is selected: the selection is shown by a frame instead of the
// style's highlight, which would hide the very colour being picked.
class ColorItemDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override {
        painter->save();
        painter->fillRect(option.rect, index.data(Qt::BackgroundRole).value<QBrush>());
        painter->setPen(index.data(Qt::ForegroundRole).value<QBrush>().color());
        painter->setFont(option.font);
        painter->drawText(option.rect.adjusted(3, 0, -3, 0), Qt::AlignLeft | Qt::AlignVCenter,
                          index.data(Qt::DisplayRole).toString());
        if (option.state & QStyle::State_Selected) {
            // Black outside, white inside: visible on light and dark colours alike.
            painter->setPen(Qt::black);
            painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
            painter->setPen(Qt::white);
            painter->drawRect(option.rect.adjusted(1, 1, -2, -2));
        }
        painter->restore();
    }
};

QLabel *Named(QLabel *label, const char *name) {
    label->setObjectName(name);
    return label;
}

QPushButton *Button(const char *text, const char *name, QWidget *parent) {
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

} // namespace

TColorModelEditorForm::TColorModelEditorForm(support::Dialogs &dialogs, QWidget *parent)
    : QDialog(parent), dialogs_(dialogs) {
    setObjectName("ColorModelEditorForm");
    setWindowTitle("Color Editor");
    setModal(false);

    memColors = new QPlainTextEdit(this);
    memColors->setObjectName("memColors");
    memColors->setLineWrapMode(QPlainTextEdit::NoWrap);
    memColors->setFixedSize(180, 260);
    Label3 = Named(new QLabel("Color Model Editor", this), "Label3");
    Label3->setBuddy(memColors);

    lbColors = new QListWidget(this);
    lbColors->setObjectName("lbColors");
    lbColors->setSelectionMode(QAbstractItemView::SingleSelection);
    lbColors->setItemDelegate(new ColorItemDelegate(lbColors));
    lbColors->setFixedSize(180, 260);
    Label4 = Named(new QLabel("Color Selector", this), "Label4");
    Label4->setBuddy(lbColors);

    btnAdd = Button("<< Add", "btnAdd", this);
    btnDefault = Button("Default", "btnDefault", this);
    btnSave = Button("Save...", "btnSave", this);
    btnLoad = Button("Load...", "btnLoad", this);
    btnOK = Button("OK", "btnOK", this);
    btnOK->setDefault(true);

    GroupBox1 = new QGroupBox("Preview", this);
    GroupBox1->setObjectName("GroupBox1");
    PreviewImage = Named(new QLabel(GroupBox1), "PreviewImage");
    PreviewImage->setFixedSize(PreviewWidth, PreviewHeight);
    Label1 = Named(new QLabel("0%", GroupBox1), "Label1");
    Label2 = Named(new QLabel("100%", GroupBox1), "Label2");

    auto *memoColumn = new QVBoxLayout;
    memoColumn->addWidget(Label3);
    memoColumn->addWidget(memColors);

    auto *addColumn = new QVBoxLayout;
    addColumn->addStretch();
    addColumn->addWidget(btnAdd);
    addColumn->addStretch();

    auto *listColumn = new QVBoxLayout;
    listColumn->addWidget(Label4);
    listColumn->addWidget(lbColors);

    auto *editors = new QHBoxLayout;
    editors->addLayout(memoColumn);
    editors->addLayout(addColumn);
    editors->addLayout(listColumn);

    // The labels sit under the ends of the strip, not of the group box.
    auto *strip = new QGridLayout;
    strip->addWidget(PreviewImage, 0, 0, 1, 2);
    strip->addWidget(Label1, 1, 0, Qt::AlignLeft);
    strip->addWidget(Label2, 1, 1, Qt::AlignRight);
    auto *preview = new QHBoxLayout(GroupBox1);
    preview->addStretch();
    preview->addLayout(strip);
    preview->addStretch();

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(btnDefault);
    buttons->addWidget(btnLoad);
    buttons->addWidget(btnSave);
    buttons->addStretch();
    buttons->addWidget(btnOK);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(editors);
    layout->addWidget(GroupBox1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);

    connect(memColors, &QPlainTextEdit::textChanged, this, &TColorModelEditorForm::memColorsChange);
    connect(btnAdd, &QPushButton::clicked, this, &TColorModelEditorForm::btnAddClick);
    connect(btnDefault, &QPushButton::clicked, this, &TColorModelEditorForm::btnDefaultClick);
    connect(btnLoad, &QPushButton::clicked, this, &TColorModelEditorForm::btnLoadClick);
    connect(btnSave, &QPushButton::clicked, this, &TColorModelEditorForm::btnSaveClick);
    connect(btnOK, &QPushButton::clicked, this, &TColorModelEditorForm::btnOKClick);

    FormCreate();
}

void TColorModelEditorForm::FormCreate() {
    FPreview = QImage(PreviewWidth, PreviewHeight, QImage::Format_ARGB32);
    FPreview.fill(QColor(Qt::black));
    PreviewImage->setPixmap(QPixmap::fromImage(FPreview));

    depth::StrToArrayColor32Gradient(MemoLines(), FGradient);
    FGradientLUT.OnOrderChanged = [this] { LookupTableChanged(); };
    FGradient.FillColorLookUpTable(FGradientLUT);
    FillColorList();
    SetDefaultModel();
    DrawPreview();
}

void TColorModelEditorForm::LookupTableChanged() {
    FGradient.FillColorLookUpTable(FGradientLUT);
}

std::vector<std::string> TColorModelEditorForm::MemoLines() const {
    std::vector<std::string> lines;
    const QString text = memColors->toPlainText();
    if (text.isEmpty())
        return lines;
    QStringList parts = text.split('\n');
    if (parts.size() > 1 && parts.back().isEmpty())
        parts.removeLast();
    for (const QString &line : parts)
        lines.push_back(line.toStdString());
    return lines;
}

void TColorModelEditorForm::SetMemoLines(const std::vector<std::string> &lines) {
    QStringList parts;
    for (const std::string &line : lines)
        parts << QString::fromStdString(line);
    memColors->setPlainText(parts.join('\n')); // runs memColorsChange
}

void TColorModelEditorForm::memColorsChange() {
    depth::StrToArrayColor32Gradient(MemoLines(), FGradient);
    FGradient.FillColorLookUpTable(FGradientLUT);
    DrawPreview();
}

void TColorModelEditorForm::FillColorList() {
    lbColors->clear();
    for (const depth::TColor32Name &entry : depth::Color32Names) {
        auto *item = new QListWidgetItem(
            QString::fromUtf8(entry.Name.data(), static_cast<qsizetype>(entry.Name.size())));
        // Shown as the screen shows it: opaque, whatever the alpha byte says.
        const QColor background = QColor::fromRgb(entry.Color | 0xFF000000u);
        item->setBackground(background);
        item->setForeground(ContrastingTextColor(background));
        item->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        lbColors->addItem(item);
    }
}

void TColorModelEditorForm::SetDefaultModel() {
    SetMemoLines(depth::DefaultColorModel());
}

void TColorModelEditorForm::DrawPreview() {
    FPreview.fill(QColor(Qt::white));
    const int w = FPreview.width(), h = FPreview.height();
    {
        QPainter p(&FPreview);
        // Column x takes the table entry nearest x / (w - 1): the left edge is offset 0 and
        // the right edge offset 1. Drawn over white, so translucent stops show as such.
        for (int x = 0; x < w; ++x) {
            const double t = w > 1 ? static_cast<double>(x) / (w - 1) : 0.0;
            const auto index = static_cast<std::size_t>(std::lround(t * FGradientLUT.Mask()));
            p.setPen(QColor::fromRgba(FGradientLUT[index]));
            p.drawLine(x, 0, x, h - 1);
        }
        p.setPen(Qt::black);
        p.setBrush(Qt::NoBrush);
        p.drawRect(0, 0, w - 1, h - 1);
    }
    PreviewImage->setPixmap(QPixmap::fromImage(FPreview));
}

void TColorModelEditorForm::btnAddClick() {
    const QList<QListWidgetItem *> selected = lbColors->selectedItems();
    if (selected.isEmpty())
        return;
    const std::string name = selected.front()->text().toStdString();
    const std::string answer = dialogs_.InputBox("Offset", "Enter Color Offset (0..100)", "0");
    const std::optional<std::int32_t> value = support::TryStrToInt(answer);
    if (!value) {
        dialogs_.Error("'" + answer + "' is not a valid integer value");
        return;
    }
    const int offset = std::clamp<std::int32_t>(*value, 0, 100);
    std::vector<std::string> lines = MemoLines();
    lines.push_back(std::to_string(offset) + "% " + name);
    SetMemoLines(lines);
}

void TColorModelEditorForm::btnDefaultClick() {
    SetDefaultModel();
}

void TColorModelEditorForm::btnLoadClick() {
    const std::vector<std::string> files =
        dialogs_.OpenFiles("Open color model...", "Color Model|*.cmt");
    if (files.empty())
        return;
    std::vector<std::string> lines;
    try {
        lines = depth::LoadColorModel(files.front());
    } catch (const std::exception &e) {
        dialogs_.Error(e.what()); // the memo keeps the model it had
        return;
    }
    SetMemoLines(lines);
}

void TColorModelEditorForm::btnSaveClick() {
    const std::optional<std::string> path =
        dialogs_.SaveFile("Save color model...", "Color Model|*.cmt", "cmt");
    if (!path)
        return;
    if (!support::MayOverwrite(dialogs_, *path))
        return;
    try {
        depth::SaveColorModel(*path, MemoLines());
    } catch (const std::exception &e) {
        dialogs_.Error(e.what());
    }
}

void TColorModelEditorForm::btnOKClick() {
    hide();
    if (OnOK)
        OnOK();
}

} // namespace app
