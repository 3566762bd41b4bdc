// "Color Editor": the colour model as text lines, named colours to add, ".cmt" files and a preview
// strip.
#pragma once

#include "depth/ColorModel.h"

#include <QDialog>
#include <QImage>

#include <functional>
#include <string>
#include <vector>

class QGroupBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace support {
class Dialogs;
}

namespace app {

// Created once at start-up and only shown and hidden after that: it owns the one colour
// model every drawing reads (FGradient). Not modal, so the maps stay usable while editing.
class TColorModelEditorForm : public QDialog {
    Q_OBJECT

  public:
    explicit TColorModelEditorForm(support::Dialogs &dialogs, QWidget *parent = nullptr);

    depth::TColor32Gradient FGradient;
    depth::TColor32LookupTable FGradientLUT{depth::TColor32LookupTable::DefaultOrder};

    // Set by the main window: redraws whatever reads the model once "OK" is pressed.
    std::function<void()> OnOK;

    // Any change of the memo's text: the gradient, its table and the preview follow at once.
    void memColorsChange();
    // Only with a colour selected: asks for its offset (0..100) and appends "<n>% <name>".
    void btnAddClick();
    void btnDefaultClick();
    void btnLoadClick();
    void btnSaveClick();
    void btnOKClick();

    void DrawPreview();
    void SetDefaultModel();
    void FillColorList();

  private:
    void FormCreate();
    void LookupTableChanged();
    // The memo's lines as a list box would count them: an empty memo has none and a
    // final line break does not start another line.
    std::vector<std::string> MemoLines() const;
    void SetMemoLines(const std::vector<std::string> &lines);

    support::Dialogs &dialogs_;
    QImage FPreview;

    QLabel *Label3;
    QPlainTextEdit *memColors;
    QLabel *Label4;
    QListWidget *lbColors;
    QPushButton *btnAdd;
    QPushButton *btnDefault;
    QPushButton *btnSave;
    QPushButton *btnLoad;
    QPushButton *btnOK;
    QGroupBox *GroupBox1;
    QLabel *PreviewImage;
    QLabel *Label1;
    QLabel *Label2;
};

} // namespace app
