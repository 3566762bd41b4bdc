// The "Interpolator" page: the settings and their band preview, the run on worker
// threads, the depth chart with its read-out, and saving images.
#include "app/Unit1.h"

#include "app/ColorModelEditor.h"
#include "app/EditProject.h"

#include "depth/DepthChart.h"
#include "depth/GisExport.h"
#include "depth/Interpolation.h"
#include "depth/Legend.h"
#include "mapview/BandRaster.h"
#include "support/FilePath.h"
#include "support/ImageFiles.h"
#include "support/NumText.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDate>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>

#include <filesystem>

namespace app {

void TForm1::ConnectInterpolatorPage() {
    connect(udInterpolationWidth, &QSpinBox::valueChanged, this, [this] {
        if (FileLoaded)
            Guarded([&] { UpdateInterpolatorSettings(); });
    });
    connect(udDontCareRadius, &QSpinBox::valueChanged, this, [this] { edtDontCareRadiusChange(); });
    connect(btnInterpolate, &QPushButton::clicked, this,
            [this] { Guarded([&] { btnInterpolateClick(); }); });
    connect(btnInterpolSaveBMP, &QPushButton::clicked, this, [this] {
        Guarded([&] {
            SaveImage(InterpolatedImage->Control.Bitmap, cbLegend->isChecked(), &ChartFrame);
        });
    });
    connect(btnActionISOChart, &QPushButton::clicked, this, [this] { btnActionISOChartClick(); });
    InterpolatedImage->OnMouseMove = [this](QMouseEvent *e) {
        Guarded([&] { InterpolatedImageMouseMove(e); });
    };
    // The image changes size when the progress bar shows or hides: the chart is drawn again
    // at the new size, so it always covers the whole image.
    InterpolatedImage->OnResize = [this] { Guarded([&] { RefreshInterpolatedImage(); }); };
}

void TForm1::edtDontCareRadiusChange() {
    lblDontCareRadius->setText(QString::fromStdString(
        depth::PixelLengthLabel(udDontCareRadius->value(), AvrgPixelDistance)));
}

void TForm1::UpdateInterpolatorSettings() {
    if (!FileLoaded || Interpolating())
        return;
    AvrgPixelDistance = depth::AveragePixelDistance(GPXView.Viewport());
    GPXView.ShadowMapTrackWidth = udInterpolationWidth->value();
    ShadowMap = mapview::BandImage(Project.Band(udInterpolationWidth->value()),
                                   GPXView.ShadowMapTrackColor);
    if (InterpLoaded)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    DrawBandPreview();
    lblInterpolationWidth->setText(QString::fromStdString(
        depth::PixelLengthLabel(udInterpolationWidth->value(), AvrgPixelDistance)));
    {
        const QSignalBlocker block(udDontCareRadius);
        udDontCareRadius->setValue(udInterpolationWidth->value());
    }
    edtDontCareRadiusChange();
    depth::DontCareRadii(GPXView.Viewport(), udDontCareRadius->value(), maxDontCareRadius,
                         minDontCareRadius);
    QApplication::restoreOverrideCursor();
}

// The band preview: the project map with the shadow band blended over it.
void TForm1::DrawBandPreview() {
    InterpolatedImage->Layers.clear();
    InterpolatedImage->Control.Bitmap = GPXImage->Control.Bitmap.copy();
    InterpolatedImage->Layers.push_back({ShadowMap.copy(), 50});
    InterpolatedImage->update();
}

void TForm1::RefreshInterpolatedImage() {
    if (InterpLoaded)
        DrawInterpolatedImage();
    else if (FileLoaded && !Interpolating() && !ShadowMap.isNull())
        DrawBandPreview();
}

void TForm1::SetRunning(bool running) {
    // The workers read the samples, the mask and the interpolator and write the grid:
    // nothing the user can reach may change or read them until the run ends. Closing
    // the window still works and stops the run.
    PageControl->setEnabled(!running);
    sbMain->setEnabled(!running);
    if (EditProjectForm)
        EditProjectForm->setEnabled(!running);
    ColorModelEditorForm->setEnabled(!running);
}

void TForm1::btnInterpolateClick() {
    if (!FileLoaded || Interpolating())
        return;
    if (MaxDepth <= 0)
        throw depth::InterpolationRefused(
            "No sounding deeper than 0 cm: there is no depth to interpolate.");
    QApplication::setOverrideCursor(Qt::WaitCursor);
    SetRunning(true);
    btnInterpolate->setEnabled(false);
    pbInterpolate->setValue(0);
    pbInterpolate->show();

    InterpLoaded = false; // nothing draws or reads the grid while the workers write it
    Project.DiscardChart();
    // The band at the radius the box shows, also when the page's refresh has not run.
    GPXView.ShadowMapTrackWidth = udInterpolationWidth->value();
    const mapview::TBooleanArray band = Project.Band(udInterpolationWidth->value());
    ShadowMap = mapview::BandImage(band, GPXView.ShadowMapTrackColor);
    Project.ShorelineMasks();
    Project.GatherSamples(band);
    // Both radii as the boxes show them now (a radius box that a refresh overwrote, or that
    // stopped following after a first run, would make the box do nothing).
    if (AvrgPixelDistance == 0)
        AvrgPixelDistance = depth::AveragePixelDistance(GPXView.Viewport());
    depth::DontCareRadii(GPXView.Viewport(), udDontCareRadius->value(), maxDontCareRadius,
                         minDontCareRadius);
    Log("Interpolate: Working on " + std::to_string(InCoord.size()) + " samples");
    Log("Interpolate: maxDontCareRadius is " + support::FloatToStrG15(maxDontCareRadius));
    Log("Interpolate: minDontCareRadius is " + support::FloatToStrG15(minDontCareRadius));
    ShepardInterp = std::make_unique<depth::TShepardInterp>(
        InCoord, InDepth, static_cast<float>(tbInterpolatorStyle->value()), maxDontCareRadius,
        minDontCareRadius, Dialogs);
    // The run keeps its frame and depth scale: the chart, its read-out and its contours
    // stay where the grid was computed whatever the map does afterwards.
    const depth::TStripeJob job = Project.PrepareRun(*ShepardInterp);
    pbInterpolate->setMaximum(std::max(job.View.Width, 1)); // one step per column
    runner_ = std::make_unique<depth::TStripeRunner>(job, tbInterpolateThrds->value(),
                                                     4 * static_cast<int>(GetCPUCount()));
    // The last worker hands the end of the run to this thread through its event queue.
    runner_->Start([this] {
        QMetaObject::invokeMethod(
            this, [this] { FinishInterpolation(); }, Qt::QueuedConnection);
    });
    if (!runProgress_) {
        runProgress_ = new QTimer(this);
        runProgress_->setInterval(50);
        connect(runProgress_, &QTimer::timeout, this, [this] { ShowRunProgress(); });
    }
    runProgress_->start();
    tbInterpolateThrds->SetSelEnd(runner_->ThreadsRun()); // every chain starts at once
}

// The progress bar and the thread slider's band follow the workers' counters.
void TForm1::ShowRunProgress() {
    if (!runner_)
        return;
    for (const std::string &line : runner_->TakeLog())
        Log(line);
    pbInterpolate->setValue(runner_->ColumnsDone());
    tbInterpolateThrds->SetSelEnd(runner_->ThreadsRunning());
}

void TForm1::FinishInterpolation() {
    if (!runner_)
        return;      // the run was cancelled before its end arrived
    runner_->Wait(); // joined: everything the workers wrote is ours now
    runProgress_->stop();
    ShowRunProgress();
    runner_.reset();
    ShepardInterp.reset();
    Project.KeepChart();
    Project.Smooth(udSmoothingRuns->value());
    coverage_ = depth::TMatSingle();
    SetRunning(false);
    QApplication::restoreOverrideCursor();
    btnInterpolate->setEnabled(true);
    // Hidden before the chart is drawn: the image is back at its full size then.
    pbInterpolate->hide();
    InterpLoaded = true;
    DrawInterpolatedImage();
    for (QPushButton *b :
         {btnInterpolSaveBMP, btnActionISOChart, btnIsoMap, btnExportGrid, btnExportKMZ})
        b->setEnabled(true);
}

void TForm1::closeEvent(QCloseEvent *e) {
    if (!MayDiscardChanges()) {
        e->ignore();
        return;
    }
    // The workers read the grid, the masks and the samples: stop them and wait for them
    // before any of it goes away.
    if (Interpolating()) {
        runner_->Cancel();
        runner_->Wait();
        runProgress_->stop();
        runner_.reset();
        ShepardInterp.reset();
        SetRunning(false);
        pbInterpolate->hide();
        btnInterpolate->setEnabled(true);
        QApplication::restoreOverrideCursor();
    }
    QMainWindow::closeEvent(e);
}

void TForm1::DrawInterpolatedImage() {
    if (!InterpLoaded)
        return;
    InterpolatedImage->Layers.clear();
    depth::DrawInterpolatedImage(InterpolatedImage->Control.Bitmap, InterpResultArray, ChartMask,
                                 FGradient(), Project.ChartShorelines,
                                 0xFF000000u | ((clShallowWater & 0xFF) << 16) |
                                     (clShallowWater & 0xFF00) | ((clShallowWater >> 16) & 0xFF));
    if (cbCoverage->isChecked())
        depth::DrawUncoveredCells(InterpolatedImage->Control.Bitmap,
                                  depth::UncoveredCells(Coverage(), ChartMask, udCoverage->value()),
                                  depth::TCoverageStyle::Hatched);
    InterpolatedImage->update();
}

const depth::TMatSingle &TForm1::Coverage() {
    if (coverage_.Empty()) {
        // The soundings only: the shore samples come first and would make every shore measured.
        const std::span<const depth::TPointF> soundings(InCoord.data() + Project.ShoreSamples,
                                                        InCoord.size() - Project.ShoreSamples);
        coverage_ = depth::SoundingDistance(ChartFrame, soundings);
    }
    return coverage_;
}

void TForm1::btnExportGridClick() {
    if (!InterpLoaded)
        return;
    std::optional<std::string> path = Dialogs->SaveFile("Export grid", "GeoTIFF|*.tif", "tif");
    if (!path || !support::MayOverwrite(*Dialogs, *path))
        return;
    depth::WriteGridGeoTIFF(*path, InterpResultArray, ChartMask, ChartFrame, Project.ChartMaxDepth,
                            Coverage());
    SetStatus(0, "Saved " + support::FileNameOf(*path));
}

void TForm1::btnExportKMZClick() {
    if (!InterpLoaded)
        return;
    std::optional<std::string> path =
        Dialogs->SaveFile("Export KMZ", "Google Earth overlay|*.kmz", "kmz");
    if (!path || !support::MayOverwrite(*Dialogs, *path))
        return;
    // The chart at the grid's size, as shown, with the contours traced from it.
    QImage chart(ChartFrame.Width, ChartFrame.Height, QImage::Format_ARGB32);
    depth::DrawInterpolatedImage(chart, InterpResultArray, ChartMask, FGradient(),
                                 Project.ChartShorelines);
    if (cbCoverage->isChecked())
        depth::DrawUncoveredCells(chart,
                                  depth::UncoveredCells(Coverage(), ChartMask, udCoverage->value()),
                                  depth::TCoverageStyle::Hatched);
    depth::WriteKMZ(*path, chart, ChartMask, ChartFrame, IsoData);
    SetStatus(0, "Saved " + support::FileNameOf(*path));
}

void TForm1::InterpolatedImageMouseMove(QMouseEvent *e) {
    if (!FileLoaded)
        return;
    const QPoint p = MousePixel(e);
    const std::int32_t x = p.x(), y = p.y();
    ShowPosition(InterpLoaded ? ChartFrame : GPXView.Viewport(), p);
    if (!InterpLoaded)
        return;
    if (ChartMask.InRaster(x, y) && ChartMask.Get(x, y) && x < InterpResultArray.Width() &&
        y < InterpResultArray.Height()) {
        // The grid holds depth / MaxDepth of its run; shown in metres like the sample read-out.
        const double cm = static_cast<double>(InterpResultArray[x][y]) * Project.ChartMaxDepth;
        if (Unit() == depth::TDepthUnit::Metres)
            SetStatus(0, "Depth: " + support::FloatToStrF(cm / 100.0, 4, 2) + " m");
        else
            SetStatus(0,
                      "Depth: " +
                          support::FloatToStrF(depth::CmToUnit(cm, depth::TDepthUnit::Feet), 4, 2) +
                          " ft");
    } else {
        SetStatus(0, "undiscovered area...");
    }
}

void TForm1::SaveImage(const QImage &shown, bool legend, const mapview::TViewport *frame) {
    if (!FileLoaded)
        return;
    std::optional<std::string> path =
        Dialogs->SaveFile("Save image", "Bitmap Image|*.bmp|JPEG Image|*.jpg", "bmp");
    if (!path)
        return;
    if (!support::MayOverwrite(*Dialogs, *path))
        return;
    const QImage image =
        legend && frame
            ? depth::AddLegend(shown, FGradient(), Project.ChartMaxDepth, *frame, Unit(),
                               QDate::currentDate().toString(Qt::ISODate).toStdString())
            : shown;
    try {
        support::SaveImage(*path, reinterpret_cast<const std::uint32_t *>(image.constBits()),
                           image.width(), image.height(),
                           static_cast<std::size_t>(image.bytesPerLine()) / 4);
        SetStatus(0, SavedImageText(*path, image.width(), image.height()));
    } catch (const support::UnsupportedImageExtension &e) {
        Dialogs->Error(e.what(), support::BoxButton::Cancel);
    }
}

void TForm1::btnActionISOChartClick() {
    ShowPage(TabHTBuilder, true);
    PageControl->setCurrentWidget(TabHTBuilder);
}

} // namespace app
