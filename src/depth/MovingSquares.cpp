#include "depth/MovingSquares.h"

#include "mapview/RasterLine.h"
#include "support/NumText.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <utility>

namespace depth {

namespace {

constexpr TColor32 kFrameColor = 0xFFFF0000;

bool Horizontal(TStep s) {
    return s == stLeft || s == stRight;
}
bool Vertical(TStep s) {
    return s == stUp || s == stDown;
}

std::string LevelName(std::int64_t level) {
    return "ISO " + std::to_string(level) + " cm";
}

// A depth of 0 would make every relative level infinite, and a non-positive step would
// never leave the level loop: refuse both before anything is traced.
void CheckLevels(std::int32_t MaxDepth, std::int32_t DepthStep) {
    if (MaxDepth <= 0)
        throw ContourBuildError(
            "Contour Builder: the project has no depth soundings deeper than 0 cm, so there is "
            "nothing to trace. Load sounding tracks with depths and interpolate first.");
    if (DepthStep <= 0)
        throw ContourBuildError("Contour Builder: the step size must be at least 1 cm (it is " +
                                std::to_string(DepthStep) + " cm).");
}

std::int32_t ParseBox(std::string_view text) {
    std::optional<std::int32_t> v = support::TryStrToInt(text);
    if (!v)
        throw ContourBuildError("\"" + std::string(text) + "\" is not a valid integer value");
    return *v;
}

} // namespace

TMovingSquares::TMovingSquares(model::TGPX &GPX, const mapview::TViewport &TrackSource,
                               const TMatSingle &InterpArray,
                               const mapview::TBooleanArray &MaskArray)
    : IsoData(&GPX), Tracks(TrackSource), Width(InterpArray.Width()), Height(InterpArray.Height()),
      FMaskArray(&MaskArray), FInterpArray(&InterpArray) {}

void TMovingSquares::GenerateISO(std::int32_t MinDepth, std::int32_t MaxDepth,
                                 std::int32_t DepthStep) {
    CheckLevels(MaxDepth, DepthStep);
    // 64-bit levels: MaxDepth + 1 and level + DepthStep must not wrap.
    std::vector<TLevel> levels;
    const std::int64_t lastLevel = std::int64_t{MaxDepth} + 1;
    for (std::int64_t level = MinDepth; level <= lastLevel; level += DepthStep)
        levels.push_back({static_cast<double>(level), LevelName(level)});
    GenerateISO(levels, MaxDepth);
}

void TMovingSquares::GenerateISO(const std::vector<TLevel> &levels, std::int32_t MaxDepth) {
    CheckLevels(MaxDepth, 1);
    // The outermost ring of cells counts as neither deep nor water for the walk.
    IsoWalkRange = {1, Width - 2, 1, Height - 2};

    const std::function<TColor32(float)> &penColor = DepthColor;

    // Sized once; every cell is rewritten for each level.
    PointProcessed.SetSize(Width, Height);
    IsoArray.SetSize(Width, Height);
    FPiece.reserve(1024);

    for (const TLevel &level : levels) {
        if (DebugImage)
            FPenColor = penColor ? penColor(static_cast<float>(level.Cm / MaxDepth)) : 0xFFFFFFFF;

        // Double is exact enough here: a level/MaxDepth quotient never rounds onto a float
        // cell value for any realistic MaxDepth, so "deeper" stays strict.
        const double threshold = level.Cm / static_cast<double>(MaxDepth);
        for (std::int32_t x = 0; x < Width; ++x) {
            const float *depthCol = (*FInterpArray)[x];
            const std::uint8_t *maskCol = (*FMaskArray)[x];
            std::uint8_t *processedCol = PointProcessed[x];
            std::uint8_t *isoCol = IsoArray[x];
            for (std::int32_t y = 0; y < Height; ++y) {
                processedCol[y] = maskCol[y] ? 0 : 1; // only water vertices may start a line
                isoCol[y] = threshold < static_cast<double>(depthCol[y]) ? 1 : 0; // NaN: not deep
            }
        }

        laststartP = {0, 0};
        while (FindStartPoint()) {
            TraceIsoLine(level, startP.X, startP.Y);
            laststartP = startP;
        }
    }

    PointProcessed = mapview::TBooleanArray();
    IsoArray = mapview::TBooleanArray();
    FPiece = std::vector<TVector>();
}

bool TMovingSquares::FindStartPoint() {
    for (std::int32_t x = laststartP.X; x <= Width - 2; ++x) {
        std::uint8_t *processedCol = PointProcessed[x];
        const std::uint8_t *isoCol = IsoArray[x];
        for (std::int32_t y = (x == laststartP.X ? laststartP.Y : 0); y <= Height - 2; ++y) {
            if (processedCol[y])
                continue;
            processedCol[y] = 1;
            // Upper edge of a deep region; read directly, not through the walk range.
            if (y > 0 && isoCol[y] && !isoCol[y - 1]) {
                startP = {x, y};
                return true;
            }
        }
    }
    return false;
}

void TMovingSquares::SetNextStep(std::int32_t x, std::int32_t y) {
    previousStep = nextStep;
    const int code = (IsoAt(x - 1, y - 1) ? 1 : 0) | (IsoAt(x, y - 1) ? 2 : 0) |
                     (IsoAt(x - 1, y) ? 4 : 0) | (IsoAt(x, y) ? 8 : 0);
    switch (code) {
    case 1:
        nextStep = stUp;
        break;
    case 2:
        nextStep = stRight;
        break;
    case 3:
        nextStep = stRight;
        break;
    case 4:
        nextStep = stLeft;
        break;
    case 5:
        nextStep = stUp;
        break;
    // Saddles: keep following the cell the walk came along, so diagonal neighbours stay
    // separate regions.
    case 6:
        nextStep = previousStep == stUp ? stLeft : stRight;
        break;
    case 7:
        nextStep = stRight;
        break;
    case 8:
        nextStep = stDown;
        break;
    case 9:
        nextStep = previousStep == stRight ? stUp : stDown;
        break;
    case 10:
        nextStep = stDown;
        break;
    case 11:
        nextStep = stDown;
        break;
    case 12:
        nextStep = stLeft;
        break;
    case 13:
        nextStep = stUp;
        break;
    case 14:
        nextStep = stLeft;
        break;
    default:
        nextStep = stNone;
        break; // 0 and 15: not on a boundary
    }
}

void TMovingSquares::TraceIsoLine(const TLevel &level, std::int32_t startX, std::int32_t startY) {
    std::int32_t x = startX, y = startY;
    std::unique_ptr<model::TGPXtrk> track; // made when its first piece is kept
    bool havePiece = false;
    bool inWater = false;
    bool fresh = true;
    FPiece.clear();

    // Each boundary edge is walked at most once per line, so a walk longer than four edges
    // per vertex is broken; end it rather than loop.
    const std::int64_t maxSteps = 4 * (std::int64_t{Width} + 1) * (std::int64_t{Height} + 1);

    for (std::int64_t steps = 0;; ++steps) {
        SetNextStep(x, y);
        const std::int32_t px = x, py = y;
        switch (nextStep) {
        case stUp:
            --y;
            break;
        case stLeft:
            --x;
            break;
        case stDown:
            ++y;
            break;
        case stRight:
            ++x;
            break;
        case stNone:
            return; // code 0 or 15: the line is abandoned
        }
        // The walk range keeps vertices inside 1 ... Width-1, 1 ... Height-1; the bounds
        // check only guards PointProcessed against a broken walk.
        if (steps >= maxSteps || x < 0 || y < 0 || x >= Width || y >= Height)
            return;

        const bool wasInWater = inWater;
        inWater = MaskAt(x - 1, y - 1) && MaskAt(x, y - 1) && MaskAt(x - 1, y) && MaskAt(x, y);
        PointProcessed[x][y] = 1;

        if (!wasInWater && inWater) {
            // The piece starts one step outside the water so the line reaches the shore.
            FPiece.clear();
            FPiece.push_back({px, py});
            havePiece = true;
            fresh = true;
            if (DebugImage) {
                DebugFrame(px - 2, py - 2, px + 2, py + 2, kFrameColor);
                FPenPos = {px, py};
            }
        }

        if (inWater) {
            if (DebugImage)
                DebugLineTo(x, y);
            if (!FPiece.empty()) {
                if (fresh) {
                    fresh = false;
                } else if (previousStep == nextStep) {
                    FPiece.pop_back(); // middle of a straight run
                } else if ((Horizontal(previousStep) && Vertical(nextStep)) ||
                           (Vertical(previousStep) && Horizontal(nextStep))) {
                    // Cut the corner and keep the vertex after it, so staircases become
                    // diagonals through every second vertex.
                    FPiece.pop_back();
                    fresh = true;
                }
            }
            FPiece.push_back({x, y});
        }

        const bool atStart = x == startX && y == startY;
        if (wasInWater && (!inWater || atStart) && havePiece) {
            if (FPiece.size() > 4) {
                if (!track)
                    track = std::make_unique<model::TGPXtrk>();
                track->name = level.Name;
                auto seg = std::make_unique<model::TGPXtrkseg>();
                seg->Reserve(FPiece.size());
                for (const TVector &v : FPiece) {
                    auto p = std::make_unique<model::TGPXwpt>();
                    p->Longitude = Tracks.XToLo(v.X);
                    p->Latitude = Tracks.YToLa(v.Y);
                    p->HBdepth = level.Cm;
                    seg->Add(std::move(p));
                }
                track->Add(std::move(seg));
            }
            FPiece.clear();
            havePiece = false;
        }

        if (atStart)
            break;
    }

    if (track && track->Count() > 0)
        IsoData->trk.Add(std::move(track));
}

void TMovingSquares::DebugPixel(std::int64_t x, std::int64_t y, TColor32 color) {
    if (x < 0 || y < 0 || x >= DebugImage->width() || y >= DebugImage->height())
        return;
    if (DebugImage->format() == QImage::Format_ARGB32 ||
        DebugImage->format() == QImage::Format_RGB32)
        reinterpret_cast<QRgb *>(DebugImage->scanLine(static_cast<int>(y)))[x] = color;
    else
        DebugImage->setPixel(static_cast<int>(x), static_cast<int>(y), color);
}

// A line from the pen position to (x, y) without its end pixel; the pen moves there.
void TMovingSquares::DebugLineTo(std::int32_t x, std::int32_t y) {
    mapview::LineWithoutEnd(FPenPos.X, FPenPos.Y, x, y, [&](std::int64_t px, std::int64_t py) {
        DebugPixel(px, py, FPenColor);
    });
    FPenPos = {x, y};
}

// The border pixels of the rectangle x1 ... x2, y1 ... y2 (inclusive).
void TMovingSquares::DebugFrame(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                                TColor32 color) {
    for (std::int64_t x = x1; x <= x2; ++x) {
        DebugPixel(x, y1, color);
        DebugPixel(x, y2, color);
    }
    for (std::int64_t y = std::int64_t{y1} + 1; y < y2; ++y) {
        DebugPixel(x1, y, color);
        DebugPixel(x2, y, color);
    }
}

void CopyShorelineTracks(const model::TGPXtrkList &Source, model::TGPXtrkList &Target) {
    // Counts taken first, so copying a list into itself ends.
    const int trackCount = Source.Count();
    for (int t = 0; t < trackCount; ++t) {
        const model::TGPXtrk &track = *Source.Get(t);
        const int segCount = track.Count();
        for (int s = 0; s < segCount; ++s) {
            const model::TGPXtrkseg &seg = *track.Get(s);
            if (seg.maxdepth != 0)
                continue;
            auto copy = std::make_unique<model::TGPXtrk>();
            copy->name = "Shoreline";
            auto segCopy = std::make_unique<model::TGPXtrkseg>();
            segCopy->CopyFrom(seg);
            copy->Add(std::move(segCopy));
            Target.Add(std::move(copy));
        }
    }
}

std::int64_t CountPoints(const model::TGPX &Doc, std::int32_t Addend) {
    std::int64_t n = 0;
    for (const auto &t : Doc.trk.Items())
        for (const auto &s : t->Items())
            n += std::int64_t{s->Count()} + Addend;
    return n;
}

std::string TContourSummary::NumIsoTracksText() const {
    return "# Tracks: " + std::to_string(NumTracks);
}

std::string TContourSummary::GeneratedPointsText() const {
    return "# Points: " + std::to_string(NumPoints);
}

namespace {

// The build in its fixed order; `levels` yields (start, step) and may throw once the
// shorelines are in place, as the edit boxes are read only then.
template <class Levels>
TContourSummary Build(model::TGPX &IsoData, const model::TGPX &Project,
                      const mapview::TViewport &GPXView, const TMatSingle &InterpResultArray,
                      const mapview::TMaskArray &MaskArray, std::int32_t MaxDepth,
                      QImage *DebugImage, const std::function<TColor32(float)> &DepthColor,
                      TDepthUnit unit, Levels levels) {
    IsoData.Clear();
    CopyShorelineTracks(Project.trk, IsoData.trk);

    auto [start, step] = levels();
    CheckLevels(MaxDepth, step);
    if (MaskArray.array_width != InterpResultArray.Width() ||
        MaskArray.array_height != InterpResultArray.Height())
        throw ContourBuildError(
            "Contour Builder: the water mask (" + std::to_string(MaskArray.array_width) + " x " +
            std::to_string(MaskArray.array_height) + ") does not match the depth grid (" +
            std::to_string(InterpResultArray.Width()) + " x " +
            std::to_string(InterpResultArray.Height()) + "); run the interpolator again.");

    TMovingSquares tracer(IsoData, GPXView, InterpResultArray, MaskArray.MaskArray);
    tracer.DebugImage = DebugImage;
    tracer.DepthColor = DepthColor;
    if (unit == TDepthUnit::Metres) {
        tracer.GenerateISO(start, MaxDepth, step);
    } else { // levels at whole feet, each exactly N x 30.48 cm
        std::vector<TMovingSquares::TLevel> feet;
        for (double cm : ContourLevelsCm(unit, start, step, MaxDepth))
            feet.push_back({cm, ContourTrackName(cm, unit)});
        tracer.GenerateISO(feet, MaxDepth);
    }

    TContourSummary summary;
    summary.NumTracks = IsoData.trk.Count();
    summary.NumPoints = CountPoints(IsoData, 3);
    return summary;
}

} // namespace

TContourSummary BuildContours(model::TGPX &IsoData, const model::TGPX &Project,
                              const mapview::TViewport &GPXView,
                              const TMatSingle &InterpResultArray,
                              const mapview::TMaskArray &MaskArray, std::int32_t MaxDepth,
                              std::string_view IsoStartText, std::string_view IsoStepText,
                              QImage *DebugImage, const std::function<TColor32(float)> &DepthColor,
                              TDepthUnit unit) {
    return Build(IsoData, Project, GPXView, InterpResultArray, MaskArray, MaxDepth, DebugImage,
                 DepthColor, unit, [&] {
                     const std::int32_t step = ParseBox(IsoStepText); // the step box is read first
                     const std::int32_t start = ParseBox(IsoStartText);
                     return std::pair{start, step};
                 });
}

TContourSummary BuildContours(model::TGPX &IsoData, const model::TGPX &Project,
                              const mapview::TViewport &GPXView,
                              const TMatSingle &InterpResultArray,
                              const mapview::TMaskArray &MaskArray, std::int32_t MaxDepth,
                              std::int32_t IsoStart, std::int32_t IsoStep, QImage *DebugImage,
                              const std::function<TColor32(float)> &DepthColor, TDepthUnit unit) {
    return Build(IsoData, Project, GPXView, InterpResultArray, MaskArray, MaxDepth, DebugImage,
                 DepthColor, unit, [&] {
                     return std::pair{IsoStart, IsoStep};
                 });
}

} // namespace depth
