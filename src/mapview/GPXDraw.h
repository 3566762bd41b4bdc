// A map view: binds a GPX document to a raster of W x H pixels, projects positions to
// pixels and back, fits, zooms and pans, draws the tracks and the shadow band, picks
// and cuts points, and builds the shoreline polygons and masks.
#pragma once

#include "mapview/ImageControl.h"
#include "mapview/MaskArray.h"
#include "mapview/Viewport.h"
#include "model/EditHistory.h"
#include "model/GPX.h"

#include <QImage>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace mapview {

using TColor32 = std::uint32_t;

enum TMouseMode {
    mmNone,
    mmMove,
    mmZoom,
    mmPickAnything,
    mmPickRoute,
    mmPickTrack,
    mmPickWaypoint,
    mmCut,
    mmCutSelected,
    mmBind,
    mmPlantWayPoint,
    mmDeleteTrackPoint,
    mmCutter,
    mmCutterSelected,
    mmCutterOutside,
    mmCutterOutsideSelected
};

// A pixel rectangle; 64-bit so that pan and zoom arithmetic never wraps.
struct TRect {
    std::int64_t Left = 0, Top = 0, Right = 0, Bottom = 0;
};

struct TDrawOptions {
    bool AskBeforeDelete = true;
    TColor32 BackGroundColor = 0xFFC0C0C0;
    TColor32 WayPointColor = 0xFF0000FF;
    TColor32 TrackColor = 0;
    TColor32 RouteColor = 0xFF7F7F00;
    TColor32 SelectedColor = 0xFFFF0000;
    TColor32 CutPointColor = 0xFFFF0000;
    bool RightClicSelects = true;
    bool ShowComputedSpeed = true;
    bool ShowGPXData = false;
    bool DrawPLStart = false;
    bool TREZoomReset = false;
    std::int32_t TREPointDraw = 0;
    bool ExtensionLineColor = false;
    bool UseGarminIcons = false;
    bool IconsAreTransparent = false;
};

class TGPXDraw {
  public:
    // One degree of longitude is k times as wide on the map as one of latitude is tall.
    static constexpr long double k = TViewport::k;

    TGPXDraw();
    virtual ~TGPXDraw() = default;
    TGPXDraw(const TGPXDraw &) = delete;
    TGPXDraw &operator=(const TGPXDraw &) = delete;

    TImageControl *Image = nullptr; // not owned
    QImage ShadowMap;
    TArrayOfArrayOfFloatPoint ShorelinePolygonsFloat;
    TArrayOfArrayOfPoint ShorelinePolygons;
    TMaskArray *MaskArray = nullptr;  // not owned
    TMaskArray *ShoreArray = nullptr; // not owned
    model::TGPX *GPXd = nullptr;      // not owned
    bool filled = false;
    model::TBBox BBox;
    std::int32_t MouseX = 0, MouseY = 0;
    std::int32_t LastX = 0, LastY = 0;
    TMouseMode MouseMode = mmMove;
    std::vector<std::string> mLog;
    model::TGPXwptList *wptListSelecion = nullptr;
    model::TGPXwpt *wptSelection = nullptr;
    TDrawOptions Options;
    bool IsDebug = false;
    bool TrackRouteEdition = false;
    std::int32_t TrackWidth = 2;
    TColor32 DepthColorShallow = 0xFFFF0000;
    TColor32 DepthColorDeep = 0xFF0000FF;
    bool ShadowMapEnabled = false;
    std::int32_t ShadowMapTrackWidth = 30;
    TColor32 ShadowMapTrackColor = 0xFF000000;
    std::int32_t MaxDepth = 1500;
    // The depth colour model: colour at relative depth (0 surface, 1 MaxDepth).
    std::function<TColor32(float)> DepthColor;
    // Per track index, centimetres added to its depths before they are coloured (the level
    // offset of the survey it belongs to); empty: none.
    std::vector<double> TrackDepthOffsets;
    // Soundings flagged as spikes get a red cross above the tracks.
    bool ShowFlags = false;

    std::int32_t Width() const { return fWidth; }
    std::int32_t Height() const { return fHeight; }
    void SetWidth(std::int32_t value);
    void SetHeight(std::int32_t value);
    TRect ClientRect() const { return {0, 0, fWidth, fHeight}; }
    std::int32_t PolygonCount() const { return nPolygon + 1; }

    void Clear();
    void Resize(std::int32_t iWidth, std::int32_t iHeight);
    void Resize(const TRect &Rect);
    void CalcRm(bool OverSize);
    // The current frame as a value (see TViewport).
    TViewport Viewport() const { return TViewport{BBox, fWidth, fHeight}; }
    void ResetBBox(bool Center, bool OverSize);

    double XToLo(std::int32_t X) const;
    double YToLa(std::int32_t Y) const;
    std::int32_t LoToX(double Longitude) const; // throws std::range_error beyond 32 bits
    std::int32_t LaToY(double Latitude) const;
    std::int32_t Point4D2ToX(const model::TPoint4D2 &p) const { return LoToX(p.Longitude); }
    std::int32_t Point4D2ToY(const model::TPoint4D2 &p) const { return LaToY(p.Latitude); }
    bool IsOnScreen(const model::TPoint4D2 &Point4D) const;

    bool ZoomTo(const TRect &ZoomRect);
    bool ZoomIn();
    bool ZoomOut();
    bool ZoomMouseTo(std::int32_t X, std::int32_t Y);
    // Scales the map by `factor` (above 1 magnifies) about pixel (X, Y): the position under
    // it stays there. False, and the frame kept, when there is no frame or the scale would
    // leave the range where pixels fit 32 bits (finer than 1 mm) or the earth fits the map.
    bool ZoomAt(std::int32_t X, std::int32_t Y, double factor);
    void MoveFromTo(std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2);
    void MoveMouseTo(std::int32_t X2, std::int32_t Y2);
    void DrawSelectionRect(std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2,
                           TColor32 Color);
    void DrawMouseSelectionRectTo(std::int32_t X2, std::int32_t Y2, TColor32 Color);

    // Drawing
    void Redraw(bool GenerateAll);
    bool DrawPointList(const model::TGPXwptList &Track, bool Selected, bool GenerateAll);
    bool DrawPointList(const model::TGPXwptList &Track, std::int32_t pFrom, std::int32_t PTo,
                       bool Selected, bool GenerateAll);
    bool DrawPoint4D(const model::TPoint4D2 *Point4D, TColor32 Color, std::int32_t Shape,
                     const std::string &Symbol);

    // Picking and cutting
    void SelectForCutSelected(const model::TPoint4D2 &Where);
    // With `edit`, every point, route, segment and track taken out is kept there for undo.
    void CutterTo(const TRect &CutterRect, model::TEdit *edit = nullptr);
    void CutterMouseTo(std::int32_t X, std::int32_t Y, model::TEdit *edit = nullptr);

    // Shorelines and masks
    void GenerateAllShorelinePolygons();
    void GenerateShorelinePolygons(const model::TGPXwptList &Track);

  private:
    struct Frame {
        double N, S, E, O;
    };
    bool RectToFrame(const TRect &r, Frame &out);

    std::int32_t fWidth = 0;
    std::int32_t fHeight = 0;
    std::int32_t nPolygon = -1;
    double depthOffset_ = 0; // of the track being drawn
    void DrawFlags();
};

} // namespace mapview
