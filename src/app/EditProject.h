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

    // What a node stands for.
    using NodeObject = std::variant<std::monostate, model::TGPX *, model::TGPXtrkList *,
                                    model::TGPXtrk *, model::TGPXtrkseg *>;
    NodeObject ObjectOf(QTreeWidgetItem *node) const;

    void RefreshTV();
    void tvItemsChange();
    void btnDeleteEntryClick();
    void btnDeleteSampleClick();
    void btnDeleteAreaClick();

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
};

} // namespace app
