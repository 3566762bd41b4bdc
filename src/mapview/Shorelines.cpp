#include "mapview/Shorelines.h"

namespace mapview {

void AppendShorelinePolygon(const model::TGPXwptList &Track, const TViewport &frame,
                            TArrayOfArrayOfPoint &polygons,
                            TArrayOfArrayOfFloatPoint &polygonsFloat, TMaskArray *shore) {
    if (Track.Empty() || !frame.BBox.Complete)
        return;
    TArrayOfPoint &poly = polygons.emplace_back();
    TArrayOfFloatPoint &polyF = polygonsFloat.emplace_back();
    auto append = [&](TPoint p) {
        poly.push_back(p);
        polyF.push_back({static_cast<float>(p.X), static_cast<float>(p.Y)});
    };
    auto pixel = [&](const model::TGPXwpt &p) {
        return TPoint{frame.LoToX(p.Longitude), frame.LaToY(p.Latitude)};
    };
    const model::TGPXwpt *prev = Track.Get(0);
    for (int i = 0; i < Track.Count(); ++i) {
        const model::TGPXwpt *cur = Track.Get(i);
        const TPoint s = pixel(*prev);
        if (poly.empty())
            append(s);
        const TPoint z = pixel(*cur);
        if (!(z == s) || i == Track.Count() - 1) {
            append(z);
            if (shore)
                shore->DrawLine(s.X, s.Y, z.X, z.Y);
        }
        prev = cur;
    }
}

TShorelines BuildShorelines(const model::TGPX &doc, const TViewport &frame, std::int32_t maskWidth,
                            std::int32_t maskHeight) {
    TShorelines out;
    out.Mask = TMaskArray(maskWidth, maskHeight);
    out.Shore = TMaskArray(maskWidth, maskHeight);
    for (const auto &t : doc.trk.Items())
        for (const auto &s : t->Items())
            if (s->maxdepth == 0)
                AppendShorelinePolygon(*s, frame, out.Polygons, out.PolygonsFloat, &out.Shore);
    out.Mask.DrawShorelineAndIslands(out.Polygons);
    return out;
}

} // namespace mapview
