// "Change Save Order": the list of track names and "### New File ###" markers of a grouped HT
// export.
#pragma once

#include <QDialog>

class QLabel;
class QListWidget;
class QPushButton;

namespace depth {
class TChangeSaveOrder;
}

namespace app {

// Shows the list of a depth::TChangeSaveOrder and edits it through that object: after
// every button the list box is refilled from Items and ItemIndex. Closing by the title
// bar keeps the edits but skips the cleaning that "OK" does.
class TChangeSaveOrderForm : public QDialog {
    Q_OBJECT

  public:
    explicit TChangeSaveOrderForm(depth::TChangeSaveOrder &order, QWidget *parent = nullptr);

    void btnUpClick();
    void btnDownClick();
    void btnAddFileClick();
    void btnRemoveClick();
    // Cleans the list and closes the dialog.
    void btnOKClick();

    // Refills the list box from the object; for callers that change it while shown.
    void FillList();

  private:
    void lbTracksSelectionChange();

    depth::TChangeSaveOrder &FOrder;

    QLabel *Label1;
    QListWidget *lbTracks;
    QPushButton *btnOK;
    QPushButton *btnUp;
    QPushButton *btnDown;
    QPushButton *btnAddFile;
    QPushButton *btnRemove;
};

} // namespace app
