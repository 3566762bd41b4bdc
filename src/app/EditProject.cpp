#include "app/EditProject.h"

#include "app/Unit1.h"
#include "depth/MovingSquares.h"
#include "support/NumText.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

namespace app {

namespace {
// A node keeps the index of its object in nodeObjects_ under this role.
constexpr int kObjectRole = Qt::UserRole + 1;
} // namespace

TEditProjectForm::TEditProjectForm(TForm1 &main) : QDialog(&main), main_(main) {
    setObjectName("EditProjectForm");
    setWindowTitle("Edit Project");
    setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setModal(false);
    setFixedSize(295, 430);
    auto *row = new QHBoxLayout(this);
    auto *left = new QVBoxLayout;
    left->addWidget(new QLabel("Visible Tracks"));
    tvItems = new QTreeWidget;
    tvItems->setObjectName("tvItems");
    tvItems->setHeaderHidden(true);
    tvItems->setIndentation(10); // the tool window is narrow
    left->addWidget(tvItems, 1);
    row->addLayout(left, 1);
    auto *buttons = new QVBoxLayout;
    auto button = [&](const char *name, const char *caption, const QString &hint) {
        auto *b = new QPushButton(caption);
        b->setObjectName(name);
        b->setToolTip(hint);
        buttons->addWidget(b);
        return b;
    };
    btnAddFiles = button("btnAddFiles", "Add Files...", main.btnAddFiles->toolTip());
    btnSaveProject = button("btnSaveProject", "Save Project...", main.btnTrkSaveGPX->toolTip());
    btnDeleteEntry = button("btnDeleteEntry", "Delete Entry", "Delete the selected item");
    btnDeleteArea = button("btnDeleteArea", "Delete Area...",
                           "Delete all depth reading in an area to select in the map");
    btnDeleteSample =
        button("btnDeleteSample", "Delete Sample...",
               "Select an item to edit and delete a specific depth reading in the map.");
    buttons->addSpacing(8);
    btnFindSpikes = button("btnFindSpikes", "Find Spikes",
                           "Flag the soundings that leave their track's run as spikes");
    btnPreviousSpike = button("btnPreviousSpike", "< Spike", "Show the previous flagged sounding");
    btnNextSpike = button("btnNextSpike", "Spike >", "Show the next flagged sounding");
    btnKeepSounding =
        button("btnKeepSounding", "Keep Sounding", "The sounding shown is real: remove its flag");
    btnFlagSample = button("btnFlagSample", "Flag Sample...",
                           "Select a sounding in the map to flag as a spike");
    btnClearFlags = button("btnClearFlags", "Clear Flags", "Remove every flag");
    btnDeleteFlagged =
        button("btnDeleteFlagged", "Delete Flagged", "Delete every flagged sounding");
    buttons->addStretch(1);
    btnClose = button("btnClose", "OK", "Close the project window");
    row->addLayout(buttons);
    // Enter presses "OK", never "Add Files..." (which a push button would take as default).
    for (QPushButton *b :
         {btnAddFiles, btnSaveProject, btnDeleteEntry, btnDeleteArea, btnDeleteSample})
        b->setAutoDefault(false);
    btnClose->setDefault(true);

    connect(tvItems, &QTreeWidget::currentItemChanged, this, [this] { tvItemsChange(); });
    connect(btnAddFiles, &QPushButton::clicked, this, [this] { main_.btnAddFilesClick(); });
    connect(btnSaveProject, &QPushButton::clicked, this, [this] { main_.btnTrkSaveGPXClick(); });
    connect(btnDeleteEntry, &QPushButton::clicked, this, [this] { btnDeleteEntryClick(); });
    connect(btnDeleteArea, &QPushButton::clicked, this, [this] { btnDeleteAreaClick(); });
    connect(btnDeleteSample, &QPushButton::clicked, this, [this] { btnDeleteSampleClick(); });
    connect(btnClose, &QPushButton::clicked, this, [this] { Close(); });
    connect(btnFindSpikes, &QPushButton::clicked, this, [this] {
        main_.FindSpikes();
        spikeIndex_ = -1;
    });
    connect(btnPreviousSpike, &QPushButton::clicked, this, [this] { StepSpike(-1); });
    connect(btnNextSpike, &QPushButton::clicked, this, [this] { StepSpike(+1); });
    connect(btnKeepSounding, &QPushButton::clicked, this, [this] { btnKeepSoundingClick(); });
    connect(btnFlagSample, &QPushButton::clicked, this, [this] { btnFlagSampleClick(); });
    connect(btnClearFlags, &QPushButton::clicked, this, [this] { btnClearFlagsClick(); });
    connect(btnDeleteFlagged, &QPushButton::clicked, this, [this] { btnDeleteFlaggedClick(); });
}

TEditProjectForm::NodeObject TEditProjectForm::ObjectOf(QTreeWidgetItem *node) const {
    if (!node)
        return {};
    bool ok = false;
    const int index = node->data(0, kObjectRole).toInt(&ok);
    if (!ok || index < 0 || static_cast<std::size_t>(index) >= nodeObjects_.size())
        return {};
    return nodeObjects_[static_cast<std::size_t>(index)];
}

QTreeWidgetItem *TEditProjectForm::AddNode(QTreeWidgetItem *parent, const QString &text,
                                           NodeObject object) {
    auto *node = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tvItems);
    node->setText(0, text);
    node->setData(0, kObjectRole, static_cast<int>(nodeObjects_.size()));
    nodeObjects_.push_back(object);
    return node;
}

void TEditProjectForm::RefreshTV() {
    const QSignalBlocker block(tvItems);
    tvItems->clear();
    nodeObjects_.clear();
    if (!main_.FileLoaded)
        return;
    model::TGPX &doc = main_.GPXdata;
    QTreeWidgetItem *root = AddNode(nullptr, "Current Project", &doc);
    // The track list shows whenever it holds tracks, also after a file without any.
    if (doc.trk.filled || !doc.trk.Empty()) {
        QTreeWidgetItem *list =
            AddNode(root, "Tracks (" + QString::number(doc.trk.Count()) + ")", &doc.trk);
        for (int t = 0; t < doc.trk.Count(); ++t) {
            model::TGPXtrk *track = doc.trk[t];
            QString name = track->name.empty() ? "Track " + QString::number(t + 1)
                                               : QString::fromStdString(track->name);
            QTreeWidgetItem *node = AddNode(list, name, track);
            for (int s = 0; s < track->Count(); ++s)
                AddNode(node, "Segment " + QString::number(s + 1), (*track)[s]);
        }
    }
    tvItems->expandAll();
    SelectNodeOfSelection();
}

void TEditProjectForm::SelectNodeOfSelection() {
    const auto &entries = main_.GPXdata.Selection.Entries();
    if (entries.empty())
        return;
    const auto *segment = std::get_if<model::TGPXtrkseg *>(&entries.front());
    if (!segment)
        return;
    for (QTreeWidgetItemIterator it(tvItems); *it; ++it) {
        const NodeObject object = ObjectOf(*it);
        if (const auto *s = std::get_if<model::TGPXtrkseg *>(&object); s && *s == *segment) {
            tvItems->setCurrentItem(*it);
            return;
        }
    }
}

void TEditProjectForm::tvItemsChange() {
    NodeObject object = ObjectOf(tvItems->currentItem());
    if (std::holds_alternative<std::monostate>(object))
        return;
    model::TGPXSelection &selection = main_.GPXdata.Selection;
    selection.Clear();
    // Only waypoints, routes and segments can be selected for drawing; tracks, the list and
    // the root are kept by the tree's own choice. The map follows either way, so no segment
    // stays drawn wide that the tree no longer points at.
    if (auto *s = std::get_if<model::TGPXtrkseg *>(&object))
        selection.Add(*s);
    main_.RedrawProjectMap();
}

void TEditProjectForm::btnDeleteEntryClick() {
    if (main_.Interpolating())
        return;
    NodeObject object = ObjectOf(tvItems->currentItem());
    if (std::holds_alternative<std::monostate>(object))
        return;
    std::string what = "the selected item";
    if (auto *t = std::get_if<model::TGPXtrk *>(&object))
        what = "the selected track \"" + (*t)->name + "\"";
    else if (std::holds_alternative<model::TGPXtrkseg *>(object))
        what = "the selected track segment";
    if (!main_.Dialogs->AskYesNo("Are you sure that you want to delete " + what + " ?"))
        return;
    model::TGPX &doc = main_.GPXdata;
    const std::int64_t before = depth::CountPoints(doc, 0);
    model::TEdit edit;
    if (auto *t = std::get_if<model::TGPXtrk *>(&object)) {
        int index = doc.trk.IndexOf(*t);
        if (index >= 0)
            edit.Remove(doc.trk, index);
    } else if (auto *s = std::get_if<model::TGPXtrkseg *>(&object)) {
        for (const auto &track : doc.trk.Items()) {
            int index = track->IndexOf(*s);
            if (index >= 0) {
                edit.Remove(*track, index);
                break;
            }
        }
    }
    doc.Selection.Clear();
    main_.GPXView.wptSelection = nullptr; // it may have belonged to what was removed
    RefreshTV();
    main_.RedrawProjectMap();
    edit.Name =
        "Deleted " + what + " (" + std::to_string(before - depth::CountPoints(doc, 0)) + " points)";
    main_.ApplyEdit(std::move(edit));
}

namespace {

std::vector<model::TGPXwpt *> Flagged(const model::TGPX &doc) {
    std::vector<model::TGPXwpt *> out;
    for (const auto &t : doc.trk.Items())
        for (const auto &s : t->Items())
            for (const auto &p : s->Items())
                if (p->Flagged)
                    out.push_back(p.get());
    return out;
}

} // namespace

void TEditProjectForm::StepSpike(int direction) {
    if (!main_.FileLoaded || main_.Interpolating())
        return;
    const std::vector<model::TGPXwpt *> flagged = Flagged(main_.GPXdata);
    if (flagged.empty()) {
        spike_ = nullptr;
        main_.SetStatus(0, "No flagged soundings");
        return;
    }
    const int n = static_cast<int>(flagged.size());
    spikeIndex_ =
        spikeIndex_ < 0 ? (direction > 0 ? 0 : n - 1) : ((spikeIndex_ + direction) % n + n) % n;
    spike_ = flagged[static_cast<std::size_t>(spikeIndex_)];
    mapview::TGPXDraw &view = main_.GPXView;
    view.MoveFromTo(view.LoToX(spike_->Longitude), view.LaToY(spike_->Latitude), view.Width() / 2,
                    view.Height() / 2);
    main_.RedrawProjectMap();
    view.DrawPoint4D(spike_, view.Options.CutPointColor, 2, "");
    main_.SetStatus(0, "Spike " + std::to_string(spikeIndex_ + 1) + " of " + std::to_string(n) +
                           " at " + spike_->Coord() +
                           ", Depth: " + main_.SampleDepthText(spike_->HBdepth));
}

void TEditProjectForm::btnKeepSoundingClick() {
    if (!spike_ || !spike_->Flagged || main_.Interpolating())
        return;
    model::TEdit edit("Kept 1 sounding");
    edit.SetFlag(*spike_, false);
    spike_ = nullptr;
    --spikeIndex_; // the next one moves into its place
    main_.ApplyEdit(std::move(edit));
    main_.RedrawProjectMap();
}

void TEditProjectForm::btnFlagSampleClick() {
    if (!main_.FileLoaded || main_.Interpolating())
        return;
    if (!std::holds_alternative<model::TGPXtrkseg *>(ObjectOf(tvItems->currentItem()))) {
        main_.Dialogs->Error("No track in list selcted.");
        return;
    }
    main_.PickToFlag = true;
    main_.SetMouseMode(mapview::mmDeleteTrackPoint, btnFlagSample, "Select sample to flag...");
}

void TEditProjectForm::btnClearFlagsClick() {
    if (!main_.FileLoaded || main_.Interpolating())
        return;
    model::TEdit edit("Cleared every flag");
    for (model::TGPXwpt *p : Flagged(main_.GPXdata))
        edit.SetFlag(*p, false);
    spike_ = nullptr;
    spikeIndex_ = -1;
    main_.ApplyEdit(std::move(edit));
    main_.RedrawProjectMap();
}

void TEditProjectForm::btnDeleteFlaggedClick() {
    if (!main_.FileLoaded || main_.Interpolating())
        return;
    model::TGPX &doc = main_.GPXdata;
    model::TEdit edit;
    for (const auto &t : doc.trk.Items())
        for (const auto &s : t->Items())
            for (int i = s->Count() - 1; i >= 0; --i)
                if (s->Get(i)->Flagged)
                    edit.Remove(*s, i);
    edit.Name = "Deleted " + std::to_string(edit.Steps()) + " flagged soundings";
    spike_ = nullptr;
    spikeIndex_ = -1;
    doc.Selection.Clear();
    main_.GPXView.wptSelection = nullptr;
    main_.ApplyEdit(std::move(edit));
    RefreshTV();
    main_.RedrawProjectMap();
}

void TEditProjectForm::btnDeleteSampleClick() {
    if (!main_.FileLoaded || main_.Interpolating())
        return;
    NodeObject object = ObjectOf(tvItems->currentItem());
    if (std::holds_alternative<std::monostate>(object))
        return;
    if (!std::holds_alternative<model::TGPXtrkseg *>(object)) {
        main_.Dialogs->Error("No track in list selcted.");
        return;
    }
    if (main_.GPXView.MouseMode == mapview::mmDeleteTrackPoint) {
        main_.LeaveMouseMode(btnDeleteSample);
        main_.SetStatus(0, "");
        main_.RedrawProjectMap();
    } else {
        main_.SetMouseMode(mapview::mmDeleteTrackPoint, btnDeleteSample,
                           "Select sample to delete...");
    }
}

void TEditProjectForm::btnDeleteAreaClick() {
    if (!main_.FileLoaded || main_.Interpolating())
        return;
    if (main_.GPXView.MouseMode == mapview::mmCutter) {
        main_.LeaveMouseMode(btnDeleteArea);
        main_.SetStatus(0, "");
    } else {
        main_.SetMouseMode(mapview::mmCutter, btnDeleteArea, "Select area to delete...");
    }
}

void TEditProjectForm::Close() {
    if (main_.GPXView.GPXd)
        main_.GPXdata.Selection.Clear();
    const QSignalBlocker block(tvItems);
    tvItems->setCurrentItem(nullptr);
    hide();
}

void TEditProjectForm::closeEvent(QCloseEvent *e) {
    Close();
    e->ignore(); // hidden, never destroyed before the program ends
}

} // namespace app
