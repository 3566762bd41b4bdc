// The project editing dialog: the project's tracks in a tree, "Delete Entry", and the
// switches of the map's mouse modes for deleting samples and areas.
#pragma once

#include <QDialog>

#include <variant>
#include <vector>

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace model {
class TGPX;
class TGPXwpt;
class TGPXtrk;
class TGPXtrkList;
class TGPXtrkseg;
} // namespace model

namespace app {

class TForm1;

class TEditProjectForm : public QDialog {
  public:
    explicit TEditProjectForm(TForm1 &main);

    QTreeWidget *tvItems;
    QPushButton *btnAddFiles, *btnSaveProject, *btnDeleteEntry, *btnDeleteArea, *btnDeleteSample,
        *btnClose;
    // Review of the soundings flagged as spikes.
    QPushButton *btnFindSpikes, *btnPreviousSpike, *btnNextSpike, *btnKeepSounding, *btnFlagSample,
        *btnClearFlags, *btnDeleteFlagged;

    // What a node stands for.
    using NodeObject = std::variant<std::monostate, model::TGPX *, model::TGPXtrkList *,
                                    model::TGPXtrk *, model::TGPXtrkseg *>;
    NodeObject ObjectOf(QTreeWidgetItem *node) const;

    void RefreshTV();
    void tvItemsChange();
    void btnDeleteEntryClick();
    void btnDeleteSampleClick();
    void btnDeleteAreaClick();
    // Steps through the flagged soundings (+1 next, -1 previous), centring the map on each.
    void StepSpike(int direction);
    void btnKeepSoundingClick(); // the spike shown is a real depth: its flag goes
    void btnFlagSampleClick();   // pick a sounding on the map to flag
    void btnClearFlagsClick();
    void btnDeleteFlaggedClick(); // the flagged soundings go for good (undoable)

    // Escape closes the dialog as "OK" does.
    void reject() override { Close(); }

  protected:
    void closeEvent(QCloseEvent *e) override;

  private:
    QTreeWidgetItem *AddNode(QTreeWidgetItem *parent, const QString &text, NodeObject object);
    void Close();
    // The node of the segment the project's selection holds, so that tree and map agree.
    void SelectNodeOfSelection();
    TForm1 &main_;
    std::vector<NodeObject> nodeObjects_; // what each node stands for, by the index it keeps
    model::TGPXwpt *spike_ = nullptr;     // the flagged sounding shown
    int spikeIndex_ = -1;
};

} // namespace app
