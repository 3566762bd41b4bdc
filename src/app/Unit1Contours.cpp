// The "Contour Builder" page: tracing the contours, the contour view with its navigation,
// and the exports (HT files, GPX, image) and "Make HT File..." of the project page.
#include "app/Unit1.h"

#include "app/ChangeSaveOrder.h"
#include "depth/ContourExport.h"
#include "depth/MovingSquares.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabWidget>

namespace app {

void TForm1::ConnectContourPage() {
    ShowSaveOrder = [this](depth::TChangeSaveOrder &order) {
        TChangeSaveOrderForm dialog(order, this);
        dialog.exec();
    };
    connect(btnIsoMap, &QPushButton::clicked, this, [this] { Guarded([&] { btnIsoMapClick(); }); });
    connect(btnCreateHT, &QPushButton::clicked, this,
            [this] { Guarded([&] { btnCreateHTClick(); }); });
    connect(btnIsoSaveGPX, &QPushButton::clicked, this,
            [this] { Guarded([&] { btnIsoSaveGPXClick(); }); });
    connect(btnIsoSaveBMP, &QPushButton::clicked, this, [this] {
        Guarded([&] {
            const mapview::TViewport frame = IsoView.Viewport();
            SaveImage(IsoImage->Control.Bitmap, cbIsoLegend->isChecked(), &frame);
        });
    });
    connect(btnActionHTFile, &QPushButton::clicked, this,
            [this] { Guarded([&] { btnActionHTFileClick(); }); });
    connect(btnHtFit, &QPushButton::clicked, this, [this] { Guarded([&] { btnHtFitClick(); }); });
    connect(btnHtZoom, &QPushButton::clicked, this, [this] { btnHtZoomClick(); });
    IsoImage->setCursor(Qt::SizeAllCursor);
    IsoImage->OnMouseDown = [this](QMouseEvent *e) { Guarded([&] { IsoImageMouseDown(e); }); };
    IsoImage->OnMouseMove = [this](QMouseEvent *e) { Guarded([&] { IsoImageMouseMove(e); }); };
    IsoImage->OnMouseUp = [this](QMouseEvent *e) { Guarded([&] { IsoImageMouseUp(e); }); };
    IsoImage->OnResize = [this] { Guarded([&] { IsoImageResize(); }); };
}

void TForm1::UpdateIsoImage() {
    IsoView.GPXd = &IsoData;
    IsoLoaded = true;
    IsoView.MaxDepth = MaxDepth;
    IsoView.Image = &IsoImage->Control;
    IsoView.SetWidth(IsoImage->width());
    IsoView.SetHeight(IsoImage->height());
    IsoView.filled = false;
    IsoView.ResetBBox(true, true);
    IsoView.Redraw(false);
}

void TForm1::btnIsoMapClick() {
    btnIsoMap->setEnabled(false);
    IsoView.Clear();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    struct Finally {
        TForm1 &f;
        ~Finally() {
            f.btnIsoMap->setEnabled(true);
            QApplication::restoreOverrideCursor();
        }
    };
    {
        Finally done{*this};
        depth::TContourSummary summary = Project.TraceContours(
            edtIsoStart->text().toStdString(), edtIsoStep->text().toStdString(),
            &imgDebug->Control.Bitmap, [this](float o) { return FGradient().ColorAt(o); }, Unit());
        lblNumIsoTracks->setText(QString::fromStdString(summary.NumIsoTracksText()));
        lblGeneratedPoints->setText(QString::fromStdString(summary.GeneratedPointsText()));
    }
    LeaveIsoMouseMode();
    UpdateIsoImage();
    IsoView.ResetBBox(true, true);
    IsoView.Redraw(false);
    for (QPushButton *b : {btnIsoSaveBMP, btnIsoSaveGPX, btnCreateHT, btnHtFit, btnHtZoom})
        b->setEnabled(true);
    ShowPage(TabHTBuilder, true);
}

void TForm1::btnCreateHTClick() {
    depth::THTExport exporter(*Dialogs, [this](const std::string &l) { Log(l); });
    exporter.TrackName = edtTrackName->text().toStdString();
    if (Dialogs == &qtDialogs_) // the real dialog proposes 000.ht, 001.ht, ...
        exporter.SaveFileAs = [this](const std::string &title, const std::string &filter,
                                     const std::string &ext, const std::string &proposed) {
            return qtDialogs_.SaveFileProposing(title, filter, ext, proposed);
        };
    depth::btnCreateHTClick(IsoData, exporter, cbManualOrder->isChecked(), ShowSaveOrder);
    lblWritePoints->setText("# Written: " + QString::number(exporter.Written.size()) + " files, " +
                            QString::number(exporter.PointsWritten) + " points");
    if (!exporter.Written.empty())
        SetStatus(0, SavedHTText(exporter.Written, exporter.PointsWritten));
}

void TForm1::btnIsoSaveGPXClick() {
    std::string path;
    if (depth::btnIsoSaveGPXClick(IsoData, FileLoaded, *Dialogs, Unit(), &path))
        SetStatus(0, SavedText(path, IsoData));
}

void TForm1::btnActionHTFileClick() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    depth::btnActionHTFileClick(GPXdata, IsoData);
    UpdateIsoImage();
    ShowPage(TabHTBuilder, true);
    PageControl->setCurrentWidget(TabHTBuilder);
    QApplication::restoreOverrideCursor();
    for (QPushButton *b : {btnCreateHT, btnHtFit, btnHtZoom})
        b->setEnabled(true);
}

void TForm1::btnHtFitClick() {
    if (!IsoLoaded)
        return;
    IsoView.ResetBBox(true, true);
    IsoView.Redraw(false);
}

void TForm1::LeaveIsoMouseMode() {
    IsoView.MouseMode = mapview::mmMove;
    IsoImage->setCursor(Qt::SizeAllCursor);
    btnHtZoom->setDown(false);
}

void TForm1::btnHtZoomClick() {
    if (!IsoLoaded)
        return;
    IsoView.MouseMode = mapview::mmZoom;
    IsoImage->setCursor(Qt::CrossCursor);
    btnHtZoom->setDown(true);
}

void TForm1::IsoImageMouseDown(QMouseEvent *e) {
    if (!FileLoaded)
        return;
    IsoView.MouseX = MousePixel(e).x();
    IsoView.MouseY = MousePixel(e).y();
}

void TForm1::IsoImageMouseMove(QMouseEvent *e) {
    const QPoint p = MousePixel(e);
    const std::int32_t x = p.x(), y = p.y();
    NoteLastPosition(IsoView, p);
    if (!IsoLoaded)
        return;
    ShowPosition(IsoView.Viewport(), p);
    if (!(e->buttons() & Qt::LeftButton))
        return;
    if (IsoView.MouseMode == mapview::mmMove) {
        IsoView.MoveMouseTo(x, y);
        IsoView.Redraw(false);
    } else if (IsoView.MouseMode == mapview::mmZoom) {
        IsoView.Redraw(false);
        IsoView.DrawMouseSelectionRectTo(x, y, IsoView.Options.SelectedColor);
    }
}

void TForm1::IsoImageMouseUp(QMouseEvent *e) {
    const std::int32_t x = MousePixel(e).x(), y = MousePixel(e).y();
    if (IsoView.MouseMode == mapview::mmZoom) {
        if (!(e->modifiers() & Qt::AltModifier))
            LeaveIsoMouseMode();
        IsoView.ZoomMouseTo(x, y);
        IsoView.Redraw(false);
    } else if (IsoView.MouseMode != mapview::mmMove) {
        LeaveIsoMouseMode();
        IsoView.Redraw(false);
    }
}

void TForm1::IsoImageResize() {
    IsoImage->Control.Bitmap.fill(QColor::fromRgba(0xFF000000));
    if (!IsoLoaded)
        return;
    IsoImage->Control.Bitmap.fill(QColor::fromRgba(IsoView.Options.BackGroundColor));
    IsoView.Resize(mapview::TRect{0, 0, IsoImage->width(), IsoImage->height()});
    IsoView.Redraw(false);
}

} // namespace app
