// Iso-depth lines from the depth grid (marching-squares walk) and the contour build shared by the
// desktop program and the batch tool.
#pragma once

#include "depth/ColorModel.h"
#include "depth/Grid.h"
#include "depth/Units.h"
#include "mapview/MaskArray.h"
#include "mapview/Viewport.h"
#include "model/GPX.h"

#include <QImage>

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace depth {

// A contour build that cannot run (no depth, bad step, text that is not a number, grid and
// mask that do not match). The caller shows the message; the contour document then holds
// whatever was built before the check (the shoreline copies).
class ContourBuildError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct TVector {
    std::int32_t X = 0;
    std::int32_t Y = 0;
    friend bool operator==(const TVector &, const TVector &) = default;
};

struct TArea {
    std::int32_t xmin = 0;
    std::int32_t xmax = 0;
    std::int32_t ymin = 0;
    std::int32_t ymax = 0;
};

enum TStep : std::uint8_t { stNone, stUp, stLeft, stDown, stRight };

// Traces, for every level, the boundary of the cells deeper than the level and stores the
// pieces that run through water as tracks "ISO %d cm" of IsoData. Vertex (x, y) is the
// corner shared by the cells (x-1, y-1), (x, y-1), (x-1, y) and (x, y).
class TMovingSquares {
  public:
    // The grid and the mask are read only and must outlive the tracer; the mask must cover
    // the grid (Width x Height).
    TMovingSquares(model::TGPX &GPX, const mapview::TViewport &TrackSource,
                   const TMatSingle &InterpArray, const mapview::TBooleanArray &MaskArray);
    TMovingSquares(const TMovingSquares &) = delete;
    TMovingSquares &operator=(const TMovingSquares &) = delete;

    // Levels MinDepth, MinDepth + DepthStep, ... while level <= MaxDepth + 1 (centimetres),
    // ascending; appends the tracks to IsoData. Throws ContourBuildError when MaxDepth or
    // DepthStep is 0 or less, before anything is traced.
    void GenerateISO(std::int32_t MinDepth, std::int32_t MaxDepth, std::int32_t DepthStep);
    // One traced level: its depth in centimetres (a fraction for levels in feet) and the
    // name of its tracks.
    struct TLevel {
        double Cm;
        std::string Name;
    };
    // The given levels, in order, over a grid scaled by MaxDepth (> 0).
    void GenerateISO(const std::vector<TLevel> &levels, std::int32_t MaxDepth);

    model::TGPX *IsoData;      // not owned
    mapview::TViewport Tracks; // converts vertices to positions: the frame the grid was made in
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    // When set, the walk is drawn on it (best in Format_ARGB32); not owned.
    QImage *DebugImage = nullptr;
    // Pen colour of the debug drawing per level (relative depth 0 ... 1); unset, opaque white.
    std::function<TColor32(float)> DepthColor;

  private:
    bool IsoAt(std::int32_t x, std::int32_t y) const {
        return x >= IsoWalkRange.xmin && x <= IsoWalkRange.xmax && y >= IsoWalkRange.ymin &&
               y <= IsoWalkRange.ymax && IsoArray[x][y] != 0;
    }
    bool MaskAt(std::int32_t x, std::int32_t y) const {
        return x >= IsoWalkRange.xmin && x <= IsoWalkRange.xmax && y >= IsoWalkRange.ymin &&
               y <= IsoWalkRange.ymax && (*FMaskArray)[x][y] != 0;
    }
    bool FindStartPoint();
    void SetNextStep(std::int32_t x, std::int32_t y);
    void TraceIsoLine(const TLevel &level, std::int32_t startX, std::int32_t startY);

    // Debug raster
    void DebugPixel(std::int64_t x, std::int64_t y, TColor32 color);
    void DebugLineTo(std::int32_t x, std::int32_t y);
    void DebugFrame(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                    TColor32 color);

    TVector startP;
    TVector laststartP;
    TStep nextStep = stNone;
    TStep previousStep = stNone;
    mapview::TBooleanArray PointProcessed;
    mapview::TBooleanArray IsoArray;
    TArea IsoWalkRange;
    const mapview::TBooleanArray *FMaskArray;
    const TMatSingle *FInterpArray;

    // The current water piece as vertices; turned into track points only when kept.
    std::vector<TVector> FPiece;
    TColor32 FPenColor = 0xFFFFFFFF;
    TVector FPenPos;
};

// For every segment of the source whose maxdepth is 0, in track and segment order, a new
// track "Shoreline" holding a copy of it is appended to the target.
void CopyShorelineTracks(const model::TGPXtrkList &Source, model::TGPXtrkList &Target);

// Sum over all segments of all tracks of (number of points + Addend).
std::int64_t CountPoints(const model::TGPX &Doc, std::int32_t Addend);

// What "Start Contour Builder" shows after a build.
struct TContourSummary {
    std::int32_t NumTracks = 0;              // tracks of the contour document, shorelines included
    std::int64_t NumPoints = 0;              // CountPoints(document, 3)
    std::string NumIsoTracksText() const;    // "# Tracks: %d"
    std::string GeneratedPointsText() const; // "# Points: %d"
};

// The contour build of "Start Contour Builder": empties IsoData, copies the project's
// shorelines into it, then traces the levels from IsoStart by IsoStep up to MaxDepth (the
// project's greatest depth, centimetres) over the grid, the narrowed water mask and the
// frame the grid was made in. The texts are those of the edit boxes, read step first; one
// that is not a whole number throws ContourBuildError after the shorelines are copied, as
// do a MaxDepth or a step of 0 or less. The caller clears and refits the contour view.
// In feet the start and step are whole feet and the levels lie at exactly N x 30.48 cm,
// in tracks named "ISO N ft".
TContourSummary BuildContours(model::TGPX &IsoData, const model::TGPX &Project,
                              const mapview::TViewport &Frame, const TMatSingle &InterpResultArray,
                              const mapview::TMaskArray &MaskArray, std::int32_t MaxDepth,
                              std::string_view IsoStartText, std::string_view IsoStepText,
                              QImage *DebugImage = nullptr,
                              const std::function<TColor32(float)> &DepthColor = {},
                              TDepthUnit unit = TDepthUnit::Metres);

// The same with the start depth and the step already as numbers (the batch tool).
TContourSummary BuildContours(model::TGPX &IsoData, const model::TGPX &Project,
                              const mapview::TViewport &Frame, const TMatSingle &InterpResultArray,
                              const mapview::TMaskArray &MaskArray, std::int32_t MaxDepth,
                              std::int32_t IsoStart, std::int32_t IsoStep,
                              QImage *DebugImage = nullptr,
                              const std::function<TColor32(float)> &DepthColor = {},
                              TDepthUnit unit = TDepthUnit::Metres);

} // namespace depth
