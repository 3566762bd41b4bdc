// The "Interpolator" page: the settings and their band preview, the run on worker
// threads, the depth chart with its read-out, and saving images.
#include "app/Unit1.h"

#include "app/ColorModelEditor.h"
#include "app/EditProject.h"

#include "depth/DepthChart.h"
#include "depth/Interpolation.h"
#include "support/ImageFiles.h"
#include "support/NumText.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QThread>

#include <filesystem>

namespace app {

namespace {

// Thrown on a worker when the window closes during a run: the stripe ends at once.
struct RunCancelled {};

} // namespace

void TForm1::ConnectInterpolatorPage() {
    connect(udInterpolationWidth, &QSpinBox::valueChanged, this, [this] {
        if (FileLoaded)
            Guarded([&] { UpdateInterpolatorSettings(); });
    });
    connect(udDontCareRadius, &QSpinBox::valueChanged, this, [this] { edtDontCareRadiusChange(); });
    connect(btnInterpolate, &QPushButton::clicked, this, [this] { Guarded([&] { btnInterpolateClick(); }); });
    connect(btnInterpolSaveBMP, &QPushButton::clicked, this,
            [this] { Guarded([&] { SaveImage(InterpolatedImage->Control.Bitmap); }); });
    connect(btnActionISOChart, &QPushButton::clicked, this, [this] { btnActionISOChartClick(); });
    InterpolatedImage->OnMouseMove = [this](QMouseEvent *e) { Guarded([&] { InterpolatedImageMouseMove(e); }); };
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
    AvrgPixelDistance = depth::AveragePixelDistance(GPXView);
    GPXView.ShadowMapTrackWidth = udInterpolationWidth->value();
    GPXView.Redraw(true);
    depth::UpdateMaskAndShoreSamples(GPXView, *MaskArray, *ShoreArray, InCoord, InDepth);
    ShadowMap = GPXView.ShadowMap.copy();
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
    depth::DontCareRadii(GPXView, udDontCareRadius->value(), maxDontCareRadius, minDontCareRadius);
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
        throw depth::InterpolationRefused("No sounding deeper than 0 cm: there is no depth to interpolate.");
    QApplication::setOverrideCursor(Qt::WaitCursor);
    SetRunning(true);
    btnInterpolate->setEnabled(false);
    pbInterpolate->setValue(0);
    pbInterpolate->show();

    InterpLoaded = false; // nothing draws or reads the grid while the workers write it
    InterpResultArray.SetSize(0, 0);
    InCoord.clear();
    InDepth.clear();
    // The band at the radius the box shows, also when the page's refresh has not run.
    GPXView.ShadowMapTrackWidth = udInterpolationWidth->value();
    GPXView.Redraw(true);
    GPXView.GenerateAllShorelinePolygons();
    depth::UpdateMaskAndShoreSamples(GPXView, *MaskArray, *ShoreArray, InCoord, InDepth);
    ShadowMap = GPXView.ShadowMap.copy();
    GPXView.ShadowMapTrackWidth = udInterpolationWidth->value();
    depth::GatherSoundings(GPXView, InCoord, InDepth);
    // Both radii as the boxes show them now (a radius box that a refresh overwrote, or that
    // stopped following after a first run, would make the box do nothing).
    if (AvrgPixelDistance == 0)
        AvrgPixelDistance = depth::AveragePixelDistance(GPXView);
    depth::DontCareRadii(GPXView, udDontCareRadius->value(), maxDontCareRadius, minDontCareRadius);
    Log("Interpolate: Working on " + std::to_string(InCoord.size()) + " samples");
    Log("Interpolate: maxDontCareRadius is " + support::FloatToStrG15(maxDontCareRadius));
    Log("Interpolate: minDontCareRadius is " + support::FloatToStrG15(minDontCareRadius));
    ShepardInterp = std::make_unique<depth::TShepardInterp>(
        InCoord, InDepth, static_cast<float>(tbInterpolatorStyle->value()), maxDontCareRadius,
        minDontCareRadius, Dialogs);
    InterpResultArray.SetSize(GPXView.Width(), GPXView.Height());
    pbInterpolate->setMaximum(std::max(GPXView.Width() - 1, 1));
    // The run keeps its frame and depth scale: the chart, its read-out and its contours
    // stay where the grid was computed whatever the map does afterwards.
    ChartFrame = GPXView.Viewport();
    ChartMaxDepth = MaxDepth;

    job_ = depth::TStripeJob{&InterpResultArray, &MaskArray->MaskArray, ShepardInterp.get(), ChartFrame, ChartMaxDepth};
    cancelRun_ = false;
    scheduler_ = std::make_unique<depth::TStripeScheduler>(
        GPXView.Width(), tbInterpolateThrds->value(), 4 * static_cast<int>(GetCPUCount()),
        [this](const std::string &l) { Log(l); });
    for (depth::TStripe s : scheduler_->Start())
        StartStripe(s);
    tbInterpolateThrds->SetSelEnd(scheduler_->ThreadsRunning);
}

// A worker computes one stripe and ends; its completion reaches this thread through the
// event queue, which starts the next stripe. Progress is a synchronous call per column.
void TForm1::StartStripe(depth::TStripe stripe) {
    auto step = [this] {
        if (cancelRun_)
            throw RunCancelled();
        QMetaObject::invokeMethod(
            this, [this] { pbInterpolate->setValue(pbInterpolate->value() + 1); },
            Qt::BlockingQueuedConnection);
    };
    QThread *worker = QThread::create([this, stripe, step] {
        try {
            depth::ComputeStripe(job_, stripe, step);
        } catch (const RunCancelled &) {
        }
        stripesEnded_.fetch_add(1, std::memory_order_release);
    });
    ++workersAlive_;
    connect(worker, &QThread::finished, this, [this, worker] {
        (void)stripesEnded_.load(std::memory_order_acquire);
        worker->deleteLater();
        --workersAlive_;
        InterpolationThreadDone();
    });
    worker->start();
}

void TForm1::InterpolationThreadDone() {
    if (!scheduler_)
        return;
    if (cancelRun_) {
        if (workersAlive_ == 0)
            scheduler_.reset();
        return;
    }
    if (std::optional<depth::TStripe> next = scheduler_->Done())
        StartStripe(*next);
    tbInterpolateThrds->SetSelEnd(scheduler_->ThreadsRunning);
    if (scheduler_->Finished())
        FinishInterpolation();
}

void TForm1::FinishInterpolation() {
    scheduler_.reset();
    ShepardInterp.reset();
    ChartMask = *MaskArray;
    ChartShorelines = GPXView.ShorelinePolygonsFloat;
    for (int k = 0; k < udSmoothingRuns->value(); ++k)
        depth::SmoothArray(InterpResultArray, ChartMask);
    SetRunning(false);
    QApplication::restoreOverrideCursor();
    btnInterpolate->setEnabled(true);
    // Hidden before the chart is drawn: the image is back at its full size then.
    pbInterpolate->hide();
    InterpLoaded = true;
    DrawInterpolatedImage();
    btnInterpolSaveBMP->setEnabled(true);
    btnActionISOChart->setEnabled(true);
    btnIsoMap->setEnabled(true);
}

void TForm1::closeEvent(QCloseEvent *e) {
    // The workers read the grid, the masks and the view: stop them and wait for them
    // before any of it goes away. Their progress calls need this thread, so it keeps
    // handling events while it waits.
    if (!MayDiscardChanges()) {
        e->ignore();
        return;
    }
    if (Interpolating()) {
        cancelRun_ = true;
        while (workersAlive_ > 0) {
            QApplication::processEvents(QEventLoop::AllEvents, 20);
            QThread::msleep(5);
        }
        scheduler_.reset();
        ShepardInterp.reset();
        SetRunning(false);
        QApplication::restoreOverrideCursor();
    }
    QMainWindow::closeEvent(e);
}

void TForm1::DrawInterpolatedImage() {
    if (!InterpLoaded)
        return;
    InterpolatedImage->Layers.clear();
    depth::DrawInterpolatedImage(InterpolatedImage->Control.Bitmap, InterpResultArray, ChartMask,
                                 FGradient(), ChartShorelines,
                                 0xFF000000u | ((clShallowWater & 0xFF) << 16) | (clShallowWater & 0xFF00) |
                                     ((clShallowWater >> 16) & 0xFF));
    InterpolatedImage->update();
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
        const double metres = static_cast<double>(InterpResultArray[x][y]) * ChartMaxDepth / 100.0;
        SetStatus(0, "Depth: " + support::FloatToStrF(metres, 4, 2) + " m");
    } else {
        SetStatus(0, "undiscovered area...");
    }
}

void TForm1::SaveImage(const QImage &image) {
    if (!FileLoaded)
        return;
    std::optional<std::string> path =
        Dialogs->SaveFile("Save image", "Bitmap Image|*.bmp|JPEG Image|*.jpg", "bmp");
    if (!path)
        return;
    std::error_code ec;
    if (std::filesystem::exists(*path, ec) && !Dialogs->AskYesNo("Overwrite " + *path + " ?"))
        return;
    try {
        support::SaveImage(*path, reinterpret_cast<const std::uint32_t *>(image.constBits()),
                           image.width(), image.height(),
                           static_cast<std::size_t>(image.bytesPerLine()) / 4);
    } catch (const support::UnsupportedImageExtension &e) {
        Dialogs->Error(e.what(), support::BoxButton::Cancel);
    }
}

void TForm1::btnActionISOChartClick() {
    ShowPage(TabHTBuilder, true);
    PageControl->setCurrentWidget(TabHTBuilder);
}

} // namespace app
