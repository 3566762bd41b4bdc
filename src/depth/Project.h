// The project both programs work on, and the steps of its pipeline: fit the map, build the
// shoreline masks, compute the band, gather the samples, run the interpolation, smooth,
// trace the contours. Each step is a plain call that reads and returns values; the desktop
// program calls the steps from its handlers (and runs the workers off its thread), the
// batch tool calls them in a row, so the two cannot drift apart.
#pragma once

#include "depth/Grid.h"
#include "depth/Interpolation.h"
#include "depth/MovingSquares.h"
#include "depth/ShepardInterp.h"
#include "depth/ShepardThread.h"
#include "depth/Surveys.h"
#include "mapview/GPXDraw.h"
#include "mapview/Viewport.h"
#include "model/GPX.h"

#include <cstdint>
#include <memory>

namespace depth {

class TProject {
  public:
    TProject();
    TProject(const TProject &) = delete;
    TProject &operator=(const TProject &) = delete;

    model::TGPX GPXdata;       // the loaded tracks
    model::TGPX IsoData;       // the traced contours
    mapview::TGPXDraw GPXView; // the project map: its frame, and its drawing
    // The water mask and the shore raster on the map's pixel grid.
    std::unique_ptr<mapview::TMaskArray> MaskArray, ShoreArray;
    TPointList InCoord;
    TValueList InDepth;
    std::size_t ShoreSamples = 0; // the first samples are the shore cells at depth 0
    TMatSingle InterpResultArray;
    std::int32_t MaxDepth = 0; // the project's greatest depth, whole centimetres

    // The chart of the last run and what it was made with: its frame, depth scale, narrowed
    // water mask and shorelines. Zoom, pan or new settings afterwards leave it as it is.
    mapview::TViewport ChartFrame;
    std::int32_t ChartMaxDepth = 0;
    mapview::TMaskArray ChartMask{0, 0};
    mapview::TArrayOfArrayOfFloatPoint ChartShorelines;
    bool HasChart() const { return !InterpResultArray.Empty(); }

    // Each loaded file of soundings is a survey with its level offset; gathering the
    // samples adds the offset to the survey's depths (the document keeps the recorded ones).
    std::vector<TSurvey> Surveys;
    // After a load: the tracks from firstTrack on, that the file added, are a new survey.
    void AddSurvey(const std::string &name, int firstTrack);
    // After an edit: each survey's tracks found again (deleted ones gone), its soundings
    // recounted; a survey without tracks is dropped.
    void SyncSurveys();
    bool HasLevelOffsets() const;
    // After the edit history ends (its removed tracks are released): each survey keeps only
    // the tracks that are in the project, so no released address is ever taken for one.
    void ForgetRemovedTracks();
    // The tracks with every survey's offset added to its soundings, for a save of the
    // corrected depths.
    std::unique_ptr<model::TGPX> CorrectedCopy() const;

    // The masks at the map's raster size (the window's image, the batch tool's --size).
    void SetMaskSize(std::int32_t width, std::int32_t height);
    // Fits the map's frame around every track, with a margin.
    void Fit();
    // Shoreline polygons, the water mask they enclose and the shore raster.
    void ShorelineMasks();
    // The band of the given width (pixels) around the soundings, in the map's frame.
    mapview::TBooleanArray Band(std::int32_t width) const;
    // Narrows the water mask to the band and gathers the samples anew: a sample of depth 0
    // for every shore cell, then every sounding strictly inside the frame.
    void GatherSamples(const mapview::TBooleanArray &band);
    // Fixes the run's frame and depth scale and sizes the grid; the job fills it with
    // `interp`. Throws InterpolationRefused when MaxDepth is not positive.
    TStripeJob PrepareRun(const TShepardInterp &interp);
    // After the workers: the chart keeps the run's mask and shorelines.
    void KeepChart();
    void Smooth(std::int32_t runs);
    // The contours of the chart (see BuildContours), from the edit boxes' texts or numbers.
    TContourSummary TraceContours(std::string_view IsoStartText, std::string_view IsoStepText,
                                  QImage *DebugImage = nullptr,
                                  const std::function<TColor32(float)> &DepthColor = {},
                                  TDepthUnit unit = TDepthUnit::Metres);
    TContourSummary TraceContours(std::int32_t IsoStart, std::int32_t IsoStep,
                                  TDepthUnit unit = TDepthUnit::Metres);
    // Forgets the chart (after a load or an edit it no longer shows the project).
    void DiscardChart();
    // Empties the project: tracks, surveys, chart and contours.
    void Clear();

  private:
    std::vector<std::vector<const model::TGPXtrk *>> surveyTracks_; // parallel to Surveys
};

// "Start Interpolator" in one call, the workers on threads of their own: masks, band,
// samples, the run, the chart kept and smoothed. It is GatherRunSamples then
// InterpolateSamples, which the batch tool calls apart to time them apart.
void RunInterpolation(TProject &project, const TInterpolationSettings &settings,
                      support::LogLine log);
// Refuses a project without depth (InterpolationRefused), then the masks, the band and the
// samples.
void GatherRunSamples(TProject &project, const TInterpolationSettings &settings);
// The grid from the samples gathered, the chart kept and smoothed.
void InterpolateSamples(TProject &project, const TInterpolationSettings &settings,
                        support::LogLine log);

} // namespace depth
