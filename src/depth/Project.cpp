#include "depth/Project.h"

#include "mapview/BandRaster.h"
#include "mapview/Shorelines.h"
#include "support/NumText.h"

namespace depth {

TProject::TProject()
    : MaskArray(std::make_unique<mapview::TMaskArray>(0, 0)),
      ShoreArray(std::make_unique<mapview::TMaskArray>(0, 0)) {
    GPXView.GPXd = &GPXdata;
    GPXView.MaskArray = MaskArray.get();
    GPXView.ShoreArray = ShoreArray.get();
}

void TProject::SetMaskSize(std::int32_t width, std::int32_t height) {
    MaskArray->Resize(width, height);
    ShoreArray->Resize(width, height);
}

void TProject::Fit() {
    GPXView.filled = false;
    GPXView.ResetBBox(true, true);
}

void TProject::ShorelineMasks() {
    const mapview::TShorelines shores =
        mapview::BuildShorelines(GPXdata, GPXView.Viewport(), MaskArray->array_width, MaskArray->array_height);
    *MaskArray = shores.Mask;
    *ShoreArray = shores.Shore;
    GPXView.ShorelinePolygons = shores.Polygons;
    GPXView.ShorelinePolygonsFloat = shores.PolygonsFloat;
}

mapview::TBooleanArray TProject::Band(std::int32_t width) const {
    return mapview::ComputeBand(GPXdata, GPXView.Viewport(), width);
}

void TProject::GatherSamples(const mapview::TBooleanArray &band) {
    InCoord.clear();
    InDepth.clear();
    const mapview::TViewport frame = GPXView.Viewport();
    UpdateMaskAndShoreSamples(frame, band, *MaskArray, *ShoreArray, InCoord, InDepth);
    ShoreSamples = InCoord.size();
    GatherSoundings(GPXdata, frame, InCoord, InDepth);
}

TStripeJob TProject::PrepareRun(const TShepardInterp &interp) {
    if (MaxDepth <= 0)
        throw InterpolationRefused("No sounding deeper than 0 cm: there is no depth to interpolate.");
    ChartFrame = GPXView.Viewport();
    ChartMaxDepth = MaxDepth;
    InterpResultArray.SetSize(ChartFrame.Width, ChartFrame.Height);
    return TStripeJob{&InterpResultArray, &MaskArray->MaskArray, &interp, ChartFrame, ChartMaxDepth};
}

void TProject::KeepChart() {
    ChartMask = *MaskArray;
    ChartShorelines = GPXView.ShorelinePolygonsFloat;
}

void TProject::Smooth(std::int32_t runs) {
    for (std::int32_t k = 0; k < runs; ++k)
        SmoothArray(InterpResultArray, ChartMask);
}

TContourSummary TProject::TraceContours(std::string_view IsoStartText, std::string_view IsoStepText,
                                        QImage *DebugImage, const std::function<TColor32(float)> &DepthColor) {
    return BuildContours(IsoData, GPXdata, ChartFrame, InterpResultArray, ChartMask, ChartMaxDepth, IsoStartText,
                         IsoStepText, DebugImage, DepthColor);
}

TContourSummary TProject::TraceContours(std::int32_t IsoStart, std::int32_t IsoStep) {
    return BuildContours(IsoData, GPXdata, ChartFrame, InterpResultArray, ChartMask, ChartMaxDepth, IsoStart,
                         IsoStep);
}

void TProject::DiscardChart() {
    InterpResultArray.SetSize(0, 0);
    ChartMask = mapview::TMaskArray(0, 0);
    ChartShorelines.clear();
}

void RunInterpolation(TProject &project, const TInterpolationSettings &settings, support::LogLine log) {
    if (!log)
        log = [](const std::string &) {};
    if (project.MaxDepth <= 0)
        throw InterpolationRefused("No sounding deeper than 0 cm: there is no depth to interpolate.");
    project.ShorelineMasks();
    project.GatherSamples(project.Band(settings.ExtrapolationRadius));
    log("Interpolate: Working on " + std::to_string(project.InCoord.size()) + " samples");
    log("Interpolate: maxDontCareRadius is " + support::FloatToStrG15(settings.maxDontCareRadius));
    log("Interpolate: minDontCareRadius is " + support::FloatToStrG15(settings.minDontCareRadius));
    const TShepardInterp interp(project.InCoord, project.InDepth, static_cast<float>(settings.Style),
                                settings.maxDontCareRadius, settings.minDontCareRadius, nullptr, settings.Scan);
    TStripeRunner(project.PrepareRun(interp), settings.ThreadsRun, settings.ThreadsTasks).Run(log);
    project.KeepChart();
    project.Smooth(settings.SmoothingRuns);
}

} // namespace depth
