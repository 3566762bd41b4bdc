// The main window's project map: adding files, saving the project, fitting and zooming,
// and the mouse on the map in each mouse mode.
#include "app/Unit1.h"

#include "app/EditProject.h"
#include "app/ImportCoordinates.h"
#include "app/JoinDBF.h"
#include "depth/FormatRegistry.h"
#include "depth/MovingSquares.h"
#include "depth/ProjectLoader.h"
#include "formats/GPXFile.h"
#include "support/AtomicFile.h"
#include "support/FilePath.h"
#include "support/NumText.h"

#include <QApplication>
#include <QCheckBox>
#include <QMouseEvent>
#include <QProgressDialog>
#include <QPushButton>

#include <filesystem>

namespace app {

namespace {

// The hourglass for the lifetime of the guard.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

} // namespace

void TForm1::btnAddFilesClick() {
    try {
        std::vector<std::string> files = Dialogs->OpenFiles("Open project...", depth::OpenFilter());
        if (!files.empty())
            AddFiles(files);
    } catch (const std::exception &e) {
        Dialogs->Error(e.what());
    }
}

void TForm1::AddFiles(const std::vector<std::string> &files) {
    if (Interpolating())
        return; // a run reads the project; loading waits until it ends
    WaitCursor wait;
    depth::TProjectLoader loader(GPXdata, [this](const std::string &l) { Log(l); });
    loader.Options.Read.PrepareShapefile = [this](formats::TShapefile &shp) {
        Dialogs->Show(shp.Messages); // what the reads found, before the import dialogs
        shp.Messages.clear();
        TImportCoordinatesForm coordinates(shp, *Dialogs, this);
        coordinates.exec();
        TJoinDBFForm table(shp, *Dialogs, this);
        table.exec();
    };
    // A number the user types for a segment or file: "Cancel" gives 0, a text that is not
    // an integer fails that file.
    auto askInteger = [this](const std::string &caption, const std::string &prompt) {
        const std::string answer = Dialogs->InputBox(caption, prompt, "0");
        const std::optional<std::int32_t> v = support::TryStrToInt(answer);
        if (!v)
            throw std::runtime_error("\"" + answer + "\" is not a valid integer value");
        return *v;
    };
    loader.InterpolatorEnabled = btnInterpolate->isEnabled();
    // Long reads (sonar recordings, big CSV files) show their progress and can be cancelled;
    // a cancelled file adds nothing.
    QProgressDialog progress(this);
    progress.setWindowTitle("Add Files...");
    progress.setCancelButtonText("Cancel");
    progress.setRange(0, 1000);
    progress.setMinimumDuration(400);
    progress.setWindowModality(Qt::WindowModal);
    progress.setAutoReset(false);
    progress.reset();
    std::string reading;
    loader.Options.Read.Progress = [&](std::uint64_t done, std::uint64_t total) {
        progress.setLabelText(QString::fromStdString("Reading " + support::FileNameOf(reading)));
        progress.setValue(total ? static_cast<int>(done * 1000 / total) : 0); // also handles events
        return !progress.wasCanceled();
    };
    // Every chosen file is read, also after one that failed; the failures are named, each
    // with its reason, in one box after the last file.
    std::vector<std::string> failed;
    bool added = false;
    for (const std::string &file : files) {
        // The check boxes count as they stand when each file is read.
        loader.Options.DepthFor = nullptr;
        loader.Options.OffsetFor = nullptr;
        if (cbAddDepth->isChecked())
            loader.Options.DepthFor = [&](const std::string &what) {
                return askInteger("Apply depth to dataset", what + " Depth [cm]:");
            };
        if (cbAddOffset->isChecked())
            loader.Options.OffsetFor = [&](const std::string &what) {
                return askInteger("Add value to dataset", what + " Add Depth [cm]:");
            };
        reading = file;
        try {
            const int before = GPXdata.trk.Count();
            if (loader.LoadFile(file) == 0) {
                added = true;
                Project.AddSurvey(support::FileNameOf(file), before);
            } else
                failed.push_back(file + (support::FileExists(file) ? "" : ": file not found"));
        } catch (const depth::UnsupportedExtension &e) {
            failed.push_back(e.what()); // "File extension not supported: " and the path
        } catch (const std::exception &e) {
            if (progress.wasCanceled()) // the user's choice, not a fault of the file
                break;
            failed.push_back(file + ": " + e.what());
        }
    }
    progress.reset();
    if (!failed.empty()) {
        std::string text = "Error while loading file.";
        for (const std::string &f : failed)
            text += "\n" + f;
        Dialogs->Error(text);
    }
    for (const std::string &w : loader.Warnings) // damaged files: what was read is kept
        Dialogs->Warning(w);
    if (!added)
        return;
    DiscardChart(); // the chart was made without the new tracks
    // What was added is shown, also when a later file failed.
    MaxDepth = loader.MaxDepth;
    GPXView.MaxDepth = MaxDepth;
    btnInterpolate->setEnabled(loader.InterpolatorEnabled);
    FileLoaded = true;
    GPXView.GPXd = &GPXdata;
    GPXView.Image = &GPXImage->Control;
    GPXView.SetWidth(GPXImage->width());
    GPXView.SetHeight(GPXImage->height());
    GPXView.filled = false;
    GPXView.ResetBBox(true, true);
    ShowLevelOffsets();
    GPXView.Redraw(false);
    UpdateStatistics();
    if (EditProjectForm)
        EditProjectForm->RefreshTV();
    for (QPushButton *b :
         {btnTrkFit, btnTrkZoom, btnTrkZoomIn, btnTrkZoomOut, btnTrkSaveGPX, btnSurveys})
        b->setEnabled(true);
    FreezeSize();
}

void TForm1::btnTrkSaveGPXClick() {
    Guarded([&] {
        if (!FileLoaded)
            return;
        std::optional<std::string> path =
            Dialogs->SaveFile("Save current project...", "GPX file|*.gpx", "gpx");
        if (!path)
            return;
        const bool exists = support::FileExists(*path);
        if (!support::MayOverwrite(*Dialogs, *path))
            return;
        if (support::LowerExtension(*path) != ".gpx") {
            Dialogs->Error("File extension not supported: " + *path, support::BoxButton::Cancel);
            return;
        }
        if (exists) {
            std::filesystem::path backup(*path);
            backup.replace_extension(".bak");
            // A failed backup is not reported; made atomically, it cannot cost the old one.
            try {
                support::CopyFileAtomically(*path, backup.string());
            } catch (const support::FileError &) {
            }
        }
        // The recorded depths stay in the project unless the user asks for the corrected ones.
        std::unique_ptr<model::TGPX> corrected;
        if (Project.HasLevelOffsets() &&
            Dialogs->AskYesNo("Write the depths corrected by the surveys' level offsets? (No "
                              "writes the depths as recorded.)"))
            corrected = Project.CorrectedCopy();
        formats::TGPXFile writer;
        writer.GPXd = corrected ? corrected.get() : &GPXdata;
        writer.ExportGPX(*path);
        SetStatus(0, SavedText(*path, *writer.GPXd));
        Modified = false;
        History.Clear(); // what is saved can no longer be undone
        Project.ForgetRemovedTracks();
    });
}

void TForm1::btnTrkFitClick() {
    Guarded([&] {
        GPXView.ResetBBox(true, true);
        GPXView.Redraw(false);
        UpdateStatistics();
    });
}

void TForm1::btnTrkZoomInClick() {
    Guarded([&] {
        GPXView.ZoomIn();
        GPXView.Redraw(false);
        UpdateStatistics();
    });
}

void TForm1::btnTrkZoomOutClick() {
    Guarded([&] {
        GPXView.ZoomOut();
        GPXView.Redraw(false);
        UpdateStatistics();
    });
}

void TForm1::SetMouseMode(mapview::TMouseMode mode, QPushButton *button,
                          const std::string &status) {
    if (modeButton_ && modeButton_ != button)
        modeButton_->setStyleSheet("");
    GPXView.MouseMode = mode;
    GPXImage->setCursor(mode == mapview::mmDeleteTrackPoint ? Qt::PointingHandCursor
                                                            : Qt::CrossCursor);
    button->setStyleSheet("color: red");
    modeButton_ = button;
    SetStatus(0, status);
}

void TForm1::LeaveMouseMode(QPushButton *button) {
    GPXView.MouseMode = mapview::mmMove;
    PickToFlag = false;
    GPXImage->setCursor(Qt::SizeAllCursor);
    if (button)
        button->setStyleSheet("");
    if (modeButton_ == button)
        modeButton_ = nullptr;
}

void TForm1::btnTrkZoomClick() {
    if (GPXView.MouseMode == mapview::mmZoom) {
        LeaveMouseMode(btnTrkZoom);
        SetStatus(0, "");
    } else {
        SetMouseMode(mapview::mmZoom, btnTrkZoom, "Select area to zoom in...");
    }
}

QPoint TForm1::MousePixel(QMouseEvent *e) {
    return {static_cast<int>(e->position().x()), static_cast<int>(e->position().y())};
}

// (0, 0) means "no position" to the view, so it is never stored.
void TForm1::NoteLastPosition(mapview::TGPXDraw &view, QPoint p) {
    if (!(p.x() == 0 && p.y() == 0)) {
        view.LastX = p.x();
        view.LastY = p.y();
    }
}

model::TPoint4D2 TForm1::ShowPosition(const mapview::TViewport &frame, QPoint p) {
    model::TPoint4D2 where;
    where.Longitude = frame.XToLo(p.x());
    where.Latitude = frame.YToLa(p.y());
    SetStatus(5, where.Coord());
    return where;
}

void TForm1::GPXImageMouseDown(QMouseEvent *e) {
    if (!FileLoaded)
        return;
    GPXView.MouseX = MousePixel(e).x();
    GPXView.MouseY = MousePixel(e).y();
}

void TForm1::GPXImageMouseMove(QMouseEvent *e) {
    const QPoint p = MousePixel(e);
    const std::int32_t x = p.x(), y = p.y();
    NoteLastPosition(GPXView, p);
    if (!FileLoaded)
        return;
    const model::TPoint4D2 where = ShowPosition(GPXView.Viewport(), p);
    const bool left = e->buttons() & Qt::LeftButton;
    if (left) {
        switch (GPXView.MouseMode) {
        case mapview::mmMove:
            GPXView.MoveMouseTo(x, y);
            GPXView.Redraw(false);
            break;
        case mapview::mmZoom:
        case mapview::mmCutter:
            GPXView.Redraw(false);
            GPXView.DrawMouseSelectionRectTo(x, y, GPXView.Options.SelectedColor);
            break;
        default:
            break;
        }
    } else if (e->buttons() == Qt::NoButton && GPXView.MouseMode == mapview::mmDeleteTrackPoint) {
        GPXView.SelectForCutSelected(where);
        GPXView.Redraw(false);
        if (model::TGPXwpt *p = GPXView.wptSelection) {
            GPXView.DrawPoint4D(p, GPXView.Options.CutPointColor, 2, "");
            GPXImage->update();
            SetStatus(0,
                      "Delete Point at " + p->Coord() + ", Depth: " + SampleDepthText(p->HBdepth));
        }
    }
}

void TForm1::GPXImageMouseUp(QMouseEvent *e) {
    const QPoint p = MousePixel(e);
    const std::int32_t x = p.x(), y = p.y();
    NoteLastPosition(GPXView, p);
    if (!FileLoaded || Interpolating())
        return;
    // Alt keeps "Zoom Area", "Delete Area..." and "Delete Sample..." on for the next one.
    const bool keep = e->modifiers() & Qt::AltModifier;
    switch (GPXView.MouseMode) {
    case mapview::mmMove:
        GPXView.MoveMouseTo(x, y);
        GPXView.Redraw(false);
        break;
    case mapview::mmZoom:
        if (!keep)
            LeaveMouseMode(btnTrkZoom);
        GPXView.ZoomMouseTo(x, y);
        GPXView.Redraw(false);
        UpdateStatistics();
        break;
    case mapview::mmCutter: {
        if (!keep)
            LeaveMouseMode(EditProjectForm ? EditProjectForm->btnDeleteArea : nullptr);
        const std::int64_t before = depth::CountPoints(GPXdata, 0);
        model::TEdit edit;
        GPXView.CutterMouseTo(x, y, &edit);
        GPXView.wptSelection = nullptr; // it may have been cut
        GPXdata.Selection.Clear();
        GPXView.Redraw(false);
        if (EditProjectForm)
            EditProjectForm->RefreshTV(); // emptied tracks and segments are gone
        const std::int64_t removed = before - depth::CountPoints(GPXdata, 0);
        edit.Name = "Deleted " + std::to_string(removed) + " points in the area";
        if (edit.Empty())
            SetStatus(0, "");
        ApplyEdit(std::move(edit));
        break;
    }
    case mapview::mmDeleteTrackPoint: {
        const bool flagging = PickToFlag; // "Flag Sample..." picks like "Delete Sample..."
        if (!keep)
            LeaveMouseMode(modeButton_);
        model::TGPXwptList *list = nullptr;
        if (!GPXdata.Selection.Entries().empty()) {
            const auto &entry = GPXdata.Selection.Entries().front();
            if (auto *r = std::get_if<model::TGPXrte *>(&entry))
                list = *r;
            else if (auto *s = std::get_if<model::TGPXtrkseg *>(&entry))
                list = *s;
        }
        model::TEdit edit(flagging ? "Flagged 1 sounding" : "Deleted 1 sample");
        if (list && GPXView.wptSelection) {
            int index = list->IndexOf(GPXView.wptSelection);
            if (index >= 0 && flagging)
                edit.SetFlag(*GPXView.wptSelection, true);
            else if (index >= 0)
                edit.Remove(*list, index);
            GPXView.wptSelection = nullptr;
        }
        GPXView.Redraw(false);
        if (edit.Empty())
            SetStatus(0, "");
        ApplyEdit(std::move(edit));
        break;
    }
    default:
        LeaveMouseMode(nullptr);
        GPXView.Redraw(false);
        break;
    }
}

} // namespace app
