#include "mapview/GPXDraw.h"

#include "mapview/BandRaster.h"
#include "mapview/RasterLine.h"
#include "mapview/Shorelines.h"

#include "support/Rounding.h"

#include <QPainter>
#include <QPen>
#include <QPolygonF>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <stdexcept>

namespace mapview {

namespace {

constexpr long double kLongitudeFactor = TGPXDraw::k;

std::int32_t Fit32(std::int64_t v) {
    return TViewport::Fit32(v);
}

QColor ToQColor(TColor32 c) {
    return QColor::fromRgba(c);
}

// Holds back the image control's repaints for the lifetime of the guard.
struct UpdateGuard {
    TImageControl *image;
    explicit UpdateGuard(TImageControl *i) : image(i) {
        if (image)
            image->BeginUpdate();
    }
    ~UpdateGuard() {
        if (image)
            image->EndUpdate();
    }
};

void SetPixelClipped(QImage &img, std::int64_t x, std::int64_t y, TColor32 color) {
    if (x >= 0 && y >= 0 && x < img.width() && y < img.height())
        reinterpret_cast<QRgb *>(img.scanLine(static_cast<int>(y)))[x] = color;
}

} // namespace

TGPXDraw::TGPXDraw() {
    ShadowMap = QImage(0, 0, QImage::Format_ARGB32);
    Clear();
}

void TGPXDraw::SetWidth(std::int32_t value) {
    fWidth = value;
    if (ShadowMapEnabled)
        ShadowMap = QImage(std::max(fWidth, 0), std::max(fHeight, 0), QImage::Format_ARGB32);
}

void TGPXDraw::SetHeight(std::int32_t value) {
    fHeight = value;
    if (ShadowMapEnabled)
        ShadowMap = QImage(std::max(fWidth, 0), std::max(fHeight, 0), QImage::Format_ARGB32);
}

void TGPXDraw::Clear() {
    BBox.Clear();
    BBox.Rm = 0;
    filled = false;
    mLog.clear();
    MouseMode = mmMove;
    MouseX = MouseY = LastX = LastY = 0;
    // The document may be emptied right after: no reference into it may stay.
    wptSelection = nullptr;
    wptListSelecion = nullptr;
    if (GPXd)
        GPXd->Selection.Clear();
    if (Image) {
        Image->Bitmap.fill(ToQColor(Options.BackGroundColor));
        Image->Repaint();
    }
    SetWidth(0);
    SetHeight(0);
}

void TGPXDraw::Resize(std::int32_t iWidth, std::int32_t iHeight) {
    SetWidth(iWidth);
    SetHeight(iHeight);
}

void TGPXDraw::Resize(const TRect &r) {
    Resize(Fit32(std::llabs(r.Right - r.Left)), Fit32(std::llabs(r.Bottom - r.Top)));
}

void TGPXDraw::CalcRm(bool OverSize) {
    if (BBox.E == BBox.O || BBox.N == BBox.S)
        return;
    BBox.Rx = static_cast<double>(
        std::fabs(static_cast<long double>(fWidth) / (static_cast<long double>(BBox.E) - BBox.O)));
    BBox.Ry = static_cast<double>(
        std::fabs(static_cast<long double>(fHeight) / (static_cast<long double>(BBox.N) - BBox.S)));
    long double byWidth = BBox.Rx / kLongitudeFactor;
    long double m = byWidth < BBox.Ry ? byWidth : static_cast<long double>(BBox.Ry);
    BBox.Rm = static_cast<double>(OverSize ? m / 1.01L : m);
}

void TGPXDraw::ResetBBox(bool Center, bool OverSize) {
    BBox.Clear();
    BBox.Rm = 0;
    if (GPXd) {
        GPXd->wpt.CalcBBox(true);
        if (GPXd->wpt.BBox.Complete)
            BBox.Add(GPXd->wpt.BBox);
        for (const auto &r : GPXd->rte.Items()) {
            r->CalcBBox(true);
            if (r->BBox.Complete)
                BBox.Add(r->BBox);
        }
        for (const auto &t : GPXd->trk.Items())
            for (const auto &s : t->Items()) {
                s->CalcBBox(true);
                if (s->BBox.Complete)
                    BBox.Add(s->BBox);
            }
    }
    if (BBox.E == BBox.O || BBox.N == BBox.S)
        return;
    CalcRm(OverSize);
    if (Center) {
        const long double rm = BBox.Rm;
        std::int64_t dx =
            std::llabs(support::Round(fWidth - (static_cast<long double>(BBox.E) - BBox.O) * rm *
                                                   kLongitudeFactor) /
                       2);
        std::int64_t dy = std::llabs(
            support::Round(fHeight - (static_cast<long double>(BBox.N) - BBox.S) * rm) / 2);
        BBox.N = static_cast<double>(BBox.N + dy / rm);
        BBox.S = static_cast<double>(BBox.S - dy / rm);
        BBox.O = static_cast<double>(BBox.O - dx / (rm * kLongitudeFactor));
        BBox.E = static_cast<double>(BBox.E + dx / (rm * kLongitudeFactor));
    }
    BBox.Complete = true;
}

double TGPXDraw::XToLo(std::int32_t X) const {
    return Viewport().XToLo(X);
}
double TGPXDraw::YToLa(std::int32_t Y) const {
    return Viewport().YToLa(Y);
}
std::int32_t TGPXDraw::LoToX(double Longitude) const {
    return Viewport().LoToX(Longitude);
}
std::int32_t TGPXDraw::LaToY(double Latitude) const {
    return Viewport().LaToY(Latitude);
}

bool TGPXDraw::IsOnScreen(const model::TPoint4D2 &p) const {
    std::int32_t x = Point4D2ToX(p), y = Point4D2ToY(p);
    return x >= 0 && x <= fWidth && y >= 0 && y <= fHeight;
}

bool TGPXDraw::RectToFrame(const TRect &r, Frame &out) {
    if (!BBox.Complete)
        return false;
    if (BBox.Rm == 0)
        CalcRm(false);
    const std::int32_t maxY = Fit32(std::max(r.Top, r.Bottom)),
                       minY = Fit32(std::min(r.Top, r.Bottom));
    const std::int32_t maxX = Fit32(std::max(r.Right, r.Left)),
                       minX = Fit32(std::min(r.Right, r.Left));
    out.N = YToLa(Fit32(std::int64_t{fHeight} - maxY));
    out.S = YToLa(Fit32(std::int64_t{fHeight} - minY));
    out.E = XToLo(maxX);
    out.O = XToLo(minX);
    return !(out.E == out.O || out.N == out.S);
}

bool TGPXDraw::ZoomTo(const TRect &ZoomRect) {
    Frame f{};
    if (!RectToFrame(ZoomRect, f))
        return false;
    BBox.N = f.N, BBox.S = f.S, BBox.E = f.E, BBox.O = f.O;
    CalcRm(false);
    return true;
}

bool TGPXDraw::ZoomIn() {
    std::int64_t dx = support::Trunc(fWidth * 0.15L / 2), dy = support::Trunc(fHeight * 0.15L / 2);
    return ZoomTo({dx, fHeight - dy, fWidth - dx, dy});
}

bool TGPXDraw::ZoomOut() {
    std::int64_t dx = support::Trunc(fWidth * 0.15L / 2), dy = support::Trunc(fHeight * 0.15L / 2);
    return ZoomTo({-dx, fHeight + dy, fWidth + dx, -dy});
}

bool TGPXDraw::ZoomMouseTo(std::int32_t X, std::int32_t Y) {
    return ZoomTo({std::min(X, MouseX), std::int64_t{fHeight} - std::min(Y, MouseY),
                   std::max(X, MouseX), std::int64_t{fHeight} - std::max(Y, MouseY)});
}

bool TGPXDraw::ZoomAt(std::int32_t X, std::int32_t Y, double factor) {
    if (!BBox.Complete || BBox.Rm == 0 || fWidth <= 0 || fHeight <= 0 || !std::isfinite(factor) ||
        factor <= 0)
        return false;
    const long double rm = static_cast<long double>(BBox.Rm) * factor;
    constexpr long double kFinest = 1e8L; // pixels per degree: about 1 mm a pixel
    if (rm > kFinest || fHeight / rm > 180.0L)
        return false;
    // The anchor in degrees before the scale changes, then the frame laid out around it
    // at the new scale; Rm is set, not recomputed, so the anchor keeps its pixel exactly.
    const long double lo = XToLo(X), la = YToLa(Y);
    BBox.O = static_cast<double>(lo - X / (rm * kLongitudeFactor));
    BBox.E = static_cast<double>(BBox.O + fWidth / (rm * kLongitudeFactor));
    BBox.S = static_cast<double>(la - (std::int64_t{fHeight} - Y) / rm);
    BBox.N = static_cast<double>(BBox.S + fHeight / rm);
    BBox.Rm = static_cast<double>(rm);
    BBox.Rx = static_cast<double>(rm * kLongitudeFactor);
    BBox.Ry = BBox.Rm;
    return true;
}

void TGPXDraw::MoveFromTo(std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2) {
    ZoomTo({std::int64_t{X1} - X2, std::int64_t{Y2} - Y1, std::int64_t{fWidth} + X1 - X2,
            std::int64_t{fHeight} + Y2 - Y1});
}

void TGPXDraw::MoveMouseTo(std::int32_t X2, std::int32_t Y2) {
    if (!(MouseX == 0 && MouseY == 0))
        MoveFromTo(MouseX, MouseY, X2, Y2);
    MouseX = X2;
    MouseY = Y2;
}

void TGPXDraw::DrawSelectionRect(std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2,
                                 TColor32 Color) {
    if (!Image)
        return;
    if (X1 > X2)
        std::swap(X1, X2);
    if (Y1 > Y2)
        std::swap(Y1, Y2);
    if (X1 != X2 && Y1 != Y2) {
        QImage &img = Image->Bitmap;
        const std::int64_t right = std::int64_t{X2} - 1, bottom = std::int64_t{Y2} - 1;
        const std::int64_t x0 = std::max<std::int64_t>(X1, 0),
                           x1 = std::min<std::int64_t>(right, img.width() - 1);
        const std::int64_t y0 = std::max<std::int64_t>(Y1, 0),
                           y1 = std::min<std::int64_t>(bottom, img.height() - 1);
        for (std::int64_t x = x0; x <= x1; ++x) {
            SetPixelClipped(img, x, Y1, Color);
            SetPixelClipped(img, x, bottom, Color);
        }
        for (std::int64_t y = y0; y <= y1; ++y) {
            SetPixelClipped(img, X1, y, Color);
            SetPixelClipped(img, right, y, Color);
        }
    }
    Image->Repaint();
}

void TGPXDraw::DrawMouseSelectionRectTo(std::int32_t X2, std::int32_t Y2, TColor32 Color) {
    DrawSelectionRect(MouseX, MouseY, X2, Y2, Color);
}

// ---------------------------------------------------------------- drawing

void TGPXDraw::Redraw(bool GenerateAll) {
    if (!Image || !GPXd)
        return;
    {
        UpdateGuard guard(Image);
        Image->Bitmap.fill(ToQColor(Options.BackGroundColor));
        // The band is computed as a value; the shadow map only shows it.
        if (GenerateAll && ShadowMapEnabled)
            ShadowMap =
                BandImage(ComputeBand(*GPXd, Viewport(), ShadowMapTrackWidth), ShadowMapTrackColor);
        // Selected segments in a second pass, so that they lie on top.
        for (bool selectedPass : {false, true})
            for (int t = 0; t < GPXd->trk.Count(); ++t) {
                depthOffset_ = static_cast<std::size_t>(t) < TrackDepthOffsets.size()
                                   ? TrackDepthOffsets[static_cast<std::size_t>(t)]
                                   : 0.0;
                for (const auto &s : GPXd->trk[t]->Items())
                    if (s->Enabled() && GPXd->Selection.IsInSelection(s.get()) == selectedPass)
                        DrawPointList(*s, selectedPass, GenerateAll);
            }
        depthOffset_ = 0;
        if (ShowFlags)
            DrawFlags();
    }
    Image->Repaint();
}

void TGPXDraw::DrawFlags() {
    if (!BBox.Complete)
        return;
    auto plot = [&](std::int64_t px, std::int64_t py) {
        SetPixelClipped(Image->Bitmap, px, py, 0xFFFF0000);
    };
    for (const auto &t : GPXd->trk.Items())
        for (const auto &s : t->Items())
            for (const auto &p : s->Items())
                if (p->Flagged && IsOnScreen(*p)) {
                    const std::int64_t x = Point4D2ToX(*p), y = Point4D2ToY(*p);
                    LineWithoutEnd(x - 3, y - 3, x + 4, y + 4, plot);
                    LineWithoutEnd(x + 3, y - 3, x - 4, y + 4, plot);
                }
}

bool TGPXDraw::DrawPointList(const model::TGPXwptList &Track, bool Selected, bool GenerateAll) {
    return DrawPointList(Track, 0, Track.Count() - 1, Selected, GenerateAll);
}

bool TGPXDraw::DrawPointList(const model::TGPXwptList &Track, std::int32_t pFrom, std::int32_t PTo,
                             bool Selected, bool GenerateAll) {
    if (Track.Empty() || !BBox.Complete || !Image)
        return false;
    (void)GenerateAll; // the band is drawn by Redraw from ComputeBand
    QPainter image(&Image->Bitmap);
    image.setRenderHint(QPainter::Antialiasing, true);
    auto stroke = [](QPainter &p, const QPolygonF &line, TColor32 color, double width, bool round) {
        QPen pen(ToQColor(color), width, Qt::SolidLine, round ? Qt::RoundCap : Qt::FlatCap,
                 round ? Qt::RoundJoin : Qt::MiterJoin);
        pen.setMiterLimit(4);
        p.setPen(pen);
        p.drawPolyline(line);
    };
    // Pixel (x, y) is the cell whose centre is (x + 0.5, y + 0.5) on the raster.
    auto pixel = [&](const model::TPoint4D2 &p) {
        return QPointF(Point4D2ToX(p) + 0.5, Point4D2ToY(p) + 0.5);
    };
    const model::TGPXwpt *prev = Track.Get(pFrom);
    QPointF b = pixel(*prev);
    for (std::int32_t i = pFrom + 1; i <= PTo; ++i) {
        const model::TGPXwpt *cur = Track.Get(i);
        const QPointF a = b;
        b = pixel(*cur);
        if (prev->HBdepth > 0) {
            // Without a level offset the depth is coloured as recorded, to the bit.
            const double depth = depthOffset_ == 0 ? prev->HBdepth : prev->HBdepth + depthOffset_;
            float offset = MaxDepth > 0 ? static_cast<float>(depth / MaxDepth) : 1.0f;
            TColor32 color = DepthColor ? DepthColor(offset) : DepthColorDeep;
            stroke(image, QPolygonF({a, b}), color, Selected ? 2.0 * TrackWidth : TrackWidth,
                   Selected);
        } else {
            stroke(image, QPolygonF({a, b}), Selected ? Options.SelectedColor : DepthColorShallow,
                   Selected ? 2.0 * TrackWidth : TrackWidth, Selected);
        }
        prev = cur;
    }
    return true;
}

bool TGPXDraw::DrawPoint4D(const model::TPoint4D2 *Point4D, TColor32 Color, std::int32_t Shape,
                           const std::string &) {
    if (!Point4D || !Image || !IsOnScreen(*Point4D))
        return false;
    const std::int64_t x = Point4D2ToX(*Point4D), y = Point4D2ToY(*Point4D);
    if (Shape == 2) {
        auto plot = [&](std::int64_t px, std::int64_t py) {
            SetPixelClipped(Image->Bitmap, px, py, Color);
        };
        LineWithoutEnd(x - 10, y - 10, x + 10, y + 11, plot);
        LineWithoutEnd(x + 10, y - 10, x - 10, y + 11, plot);
    }
    return true;
}

// ---------------------------------------------------------------- picking and cutting

void TGPXDraw::SelectForCutSelected(const model::TPoint4D2 &Where) {
    if (!GPXd || GPXd->Selection.Count() != 1)
        return;
    const model::TGPXSelection::Entry &e = GPXd->Selection.Entries().front();
    const model::TGPXwptList *list = nullptr;
    if (auto *r = std::get_if<model::TGPXrte *>(&e))
        list = *r;
    else if (auto *s = std::get_if<model::TGPXtrkseg *>(&e))
        list = *s;
    if (!list)
        return;
    if (model::TGPXwpt *p = list->FindClosestPoint(Where.Longitude, Where.Latitude))
        wptSelection = p;
}

void TGPXDraw::CutterTo(const TRect &CutterRect, model::TEdit *edit) {
    if (!GPXd)
        return;
    Frame f{};
    if (!RectToFrame(CutterRect, f))
        return;
    auto inside = [&](const model::TGPXwpt &p) { return p.IsInBox(f.E, f.O, f.S, f.N); };
    auto remove = [&](auto &list, int index) {
        if (edit)
            edit->Remove(list, index);
        else
            list.FreeAndDelete(index);
    };
    auto cutList = [&](model::TGPXwptList &list) {
        for (int i = list.Count() - 1; i >= 0; --i)
            if (inside(*list.Get(i)))
                remove(list, i);
    };
    cutList(GPXd->wpt);
    for (int r = GPXd->rte.Count() - 1; r >= 0; --r) {
        cutList(*GPXd->rte[r]);
        if (GPXd->rte[r]->Empty())
            remove(GPXd->rte, r);
    }
    for (int t = GPXd->trk.Count() - 1; t >= 0; --t) {
        model::TGPXtrk &track = *GPXd->trk[t];
        for (int s = track.Count() - 1; s >= 0; --s) {
            cutList(*track[s]);
            if (track[s]->Empty())
                remove(track, s);
        }
        if (track.Empty())
            remove(GPXd->trk, t);
    }
}

void TGPXDraw::CutterMouseTo(std::int32_t X, std::int32_t Y, model::TEdit *edit) {
    CutterTo({std::min(X, MouseX), std::int64_t{fHeight} - std::min(Y, MouseY), std::max(X, MouseX),
              std::int64_t{fHeight} - std::max(Y, MouseY)},
             edit);
}

// ---------------------------------------------------------------- shorelines

void TGPXDraw::GenerateAllShorelinePolygons() {
    if (!Image || !GPXd)
        return;
    TShorelines shores = BuildShorelines(*GPXd, Viewport(), MaskArray ? MaskArray->array_width : 0,
                                         MaskArray ? MaskArray->array_height : 0);
    ShorelinePolygons = std::move(shores.Polygons);
    ShorelinePolygonsFloat = std::move(shores.PolygonsFloat);
    nPolygon = static_cast<std::int32_t>(ShorelinePolygons.size()) - 1;
    if (MaskArray)
        *MaskArray = std::move(shores.Mask);
    if (ShoreArray) {
        ShoreArray->Clear();
        for (const auto &poly : ShorelinePolygons)
            for (std::size_t i = 0; i + 1 < poly.size(); ++i)
                ShoreArray->DrawLine(poly[i].X, poly[i].Y, poly[i + 1].X, poly[i + 1].Y);
    }
}

void TGPXDraw::GenerateShorelinePolygons(const model::TGPXwptList &Track) {
    const std::size_t before = ShorelinePolygons.size();
    AppendShorelinePolygon(Track, Viewport(), ShorelinePolygons, ShorelinePolygonsFloat,
                           ShoreArray);
    nPolygon += static_cast<std::int32_t>(ShorelinePolygons.size() - before);
}

} // namespace mapview
