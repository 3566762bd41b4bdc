#include "depth/Project.h"

#include "mapview/BandRaster.h"
#include "mapview/Shorelines.h"
#include "support/NumText.h"

#include <algorithm>
#include <utility>

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
    const mapview::TShorelines shores = mapview::BuildShorelines(
        GPXdata, GPXView.Viewport(), MaskArray->array_width, MaskArray->array_height);
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
    const std::vector<double> offsets = TrackOffsetsCm(Surveys, GPXdata.trk.Count());
    GatherSoundings(GPXdata, frame, InCoord, InDepth, HasLevelOffsets() ? &offsets : nullptr);
}

TStripeJob TProject::PrepareRun(const TShepardInterp &interp) {
    if (MaxDepth <= 0)
        throw InterpolationRefused(
            "No sounding deeper than 0 cm: there is no depth to interpolate.");
    ChartFrame = GPXView.Viewport();
    ChartMaxDepth = MaxDepth;
    InterpResultArray.SetSize(ChartFrame.Width, ChartFrame.Height);
    return TStripeJob{&InterpResultArray, &MaskArray->MaskArray, &interp, ChartFrame,
                      ChartMaxDepth};
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
                                        QImage *DebugImage,
                                        const std::function<TColor32(float)> &DepthColor,
                                        TDepthUnit unit) {
    return BuildContours(IsoData, GPXdata, ChartFrame, InterpResultArray, ChartMask, ChartMaxDepth,
                         IsoStartText, IsoStepText, DebugImage, DepthColor, unit);
}

TContourSummary TProject::TraceContours(std::int32_t IsoStart, std::int32_t IsoStep,
                                        TDepthUnit unit) {
    return BuildContours(IsoData, GPXdata, ChartFrame, InterpResultArray, ChartMask, ChartMaxDepth,
                         IsoStart, IsoStep, nullptr, {}, unit);
}

void TProject::AddSurvey(const std::string &name, int firstTrack) {
    const int count = GPXdata.trk.Count() - firstTrack;
    if (count <= 0)
        return;
    TSurvey survey = MakeSurvey(GPXdata, name, firstTrack, count);
    if (survey.Soundings == 0)
        return; // outlines only: no water level to correct
    Surveys.push_back(std::move(survey));
    std::vector<const model::TGPXtrk *> tracks;
    for (int t = firstTrack; t < GPXdata.trk.Count(); ++t)
        tracks.push_back(GPXdata.trk[t]);
    surveyTracks_.push_back(std::move(tracks));
}

// A survey's tracks are found by address: deleted ones (kept by the edit history) drop out
// of its range, and come back with an undo.
void TProject::SyncSurveys() {
    for (std::size_t k = 0; k < Surveys.size(); ++k) {
        int first = -1, count = 0;
        for (int t = 0; t < GPXdata.trk.Count(); ++t)
            if (std::find(surveyTracks_[k].begin(), surveyTracks_[k].end(), GPXdata.trk[t]) !=
                surveyTracks_[k].end()) {
                if (first < 0)
                    first = t;
                ++count;
            }
        Surveys[k].FirstTrack =
            std::max(first, 0); // a file's tracks stay together: deletes keep the order
        Surveys[k].TrackCount = count;
        CountSurvey(GPXdata, Surveys[k]);
    }
}

void TProject::ForgetRemovedTracks() {
    std::vector<TSurvey> surveys;
    std::vector<std::vector<const model::TGPXtrk *>> tracks;
    for (std::size_t k = 0; k < Surveys.size(); ++k) {
        std::vector<const model::TGPXtrk *> kept;
        for (const model::TGPXtrk *t : surveyTracks_[k])
            if (GPXdata.trk.IndexOf(t) >= 0)
                kept.push_back(t);
        if (kept.empty())
            continue;
        surveys.push_back(Surveys[k]);
        tracks.push_back(std::move(kept));
    }
    Surveys = std::move(surveys);
    surveyTracks_ = std::move(tracks);
}

bool TProject::HasLevelOffsets() const {
    return std::any_of(Surveys.begin(), Surveys.end(),
                       [](const TSurvey &s) { return s.OffsetCm != 0; });
}

std::unique_ptr<model::TGPX> TProject::CorrectedCopy() const {
    auto copy = std::make_unique<model::TGPX>();
    copy->trk.CopyFrom(GPXdata.trk);
    const std::vector<double> offsets = TrackOffsetsCm(Surveys, copy->trk.Count());
    for (int t = 0; t < copy->trk.Count(); ++t)
        if (offsets[static_cast<std::size_t>(t)] != 0)
            for (const auto &s : copy->trk[t]->Items())
                if (s->maxdepth != 0)
                    for (const auto &p : s->Items())
                        if (p->HBdepth > 0)
                            p->HBdepth += offsets[static_cast<std::size_t>(t)];
    return copy;
}

void TProject::Clear() {
    GPXdata.Clear();
    IsoData.Clear();
    Surveys.clear();
    surveyTracks_.clear();
    InCoord.clear();
    InDepth.clear();
    MaxDepth = 0;
    DiscardChart();
}

void TProject::DiscardChart() {
    InterpResultArray.SetSize(0, 0);
    ChartMask = mapview::TMaskArray(0, 0);
    ChartShorelines.clear();
}

void GatherRunSamples(TProject &project, const TInterpolationSettings &settings) {
    if (project.MaxDepth <= 0)
        throw InterpolationRefused(
            "No sounding deeper than 0 cm: there is no depth to interpolate.");
    project.ShorelineMasks();
    project.GatherSamples(project.Band(settings.ExtrapolationRadius));
}

void InterpolateSamples(TProject &project, const TInterpolationSettings &settings,
                        support::LogLine log) {
    if (!log)
        log = [](const std::string &) {};
    log("Interpolate: Working on " + std::to_string(project.InCoord.size()) + " samples");
    log("Interpolate: maxDontCareRadius is " + support::FloatToStrG15(settings.maxDontCareRadius));
    log("Interpolate: minDontCareRadius is " + support::FloatToStrG15(settings.minDontCareRadius));
    const TShepardInterp interp(project.InCoord, project.InDepth,
                                static_cast<float>(settings.Style), settings.maxDontCareRadius,
                                settings.minDontCareRadius, nullptr, settings.Scan);
    TStripeRunner(project.PrepareRun(interp), settings.ThreadsRun, settings.ThreadsTasks).Run(log);
    project.KeepChart();
    project.Smooth(settings.SmoothingRuns);
}

void RunInterpolation(TProject &project, const TInterpolationSettings &settings,
                      support::LogLine log) {
    GatherRunSamples(project, settings);
    InterpolateSamples(project, settings, std::move(log));
}

} // namespace depth
