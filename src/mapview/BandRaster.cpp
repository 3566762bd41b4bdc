#include "mapview/BandRaster.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace mapview {

namespace {

struct Interval {
    double lo, hi;
};

// One segment a-b of the band with what every row needs of it, worked out once.
struct Capsule {
    QPointF a, b;
    double r, len, ux, uy;
    Capsule(QPointF a_, QPointF b_, double r_) : a(a_), b(b_), r(r_) {
        const double dx = b.x() - a.x(), dy = b.y() - a.y();
        len = std::hypot(dx, dy);
        ux = len > 0 ? dx / len : 0, uy = len > 0 ? dy / len : 0;
    }
};

// The x interval where the row line y = yc meets the capsule of radius r around a-b
// (a convex set, so the meeting is one interval, the union of the discs' and the strip's).
bool CapsuleRow(const Capsule &k, double yc, Interval &out) {
    const QPointF a = k.a, b = k.b;
    const double r = k.r;
    double lo = std::numeric_limits<double>::infinity(), hi = -lo;
    for (QPointF c : {a, b}) {
        double dy = yc - c.y();
        if (std::fabs(dy) <= r) {
            double half = std::sqrt(r * r - dy * dy);
            lo = std::min(lo, c.x() - half);
            hi = std::max(hi, c.x() + half);
        }
    }
    if (k.len > 0) {
        // Points p = (x, yc) with 0 <= t <= 1 (projection) and |distance| <= r: each
        // condition is linear in x, so the strip meets the row in one interval.
        const double ux = k.ux, uy = k.uy, len = k.len;
        double xlo = -std::numeric_limits<double>::infinity(), xhi = -xlo;
        auto slab = [&](double coefX, double constant, double min, double max) {
            // min <= coefX * x + constant <= max
            if (coefX == 0) {
                if (constant < min || constant > max)
                    xlo = 1, xhi = 0;
                return;
            }
            double x1 = (min - constant) / coefX, x2 = (max - constant) / coefX;
            xlo = std::max(xlo, std::min(x1, x2));
            xhi = std::min(xhi, std::max(x1, x2));
        };
        // t * len = ux * (x - ax) + uy * (yc - ay)
        slab(ux, -ux * a.x() + uy * (yc - a.y()), 0, len);
        // signed distance = -uy * (x - ax) + ux * (yc - ay)
        slab(-uy, uy * a.x() + ux * (yc - a.y()), -r, r);
        if (xlo <= xhi) {
            lo = std::min(lo, xlo);
            hi = std::max(hi, xhi);
        }
    }
    if (!(lo <= hi))
        return false;
    out = {lo, hi};
    return true;
}

// Adds iv to a row. Neighbouring segments of a track meet a row in overlapping intervals,
// so one that overlaps the last is merged into it: the union stays the same and a dense
// track leaves a handful of intervals per row instead of one per segment.
void AddToRow(std::vector<Interval> &row, Interval iv) {
    if (!row.empty()) {
        Interval &last = row.back();
        if (iv.lo <= last.hi && last.lo <= iv.hi) {
            last.lo = std::min(last.lo, iv.lo);
            last.hi = std::max(last.hi, iv.hi);
            return;
        }
    }
    row.push_back(iv);
}

} // namespace

void FillRoundBand(int W, int H, const std::vector<QPointF> &line, double width,
                   const std::function<void(int y, int from, int to)> &fillRow) {
    if (line.size() < 2 || W <= 0 || H <= 0 || !(width > 0))
        return;
    const double r = width / 2;
    double minY = line[0].y(), maxY = minY;
    for (const QPointF &p : line)
        minY = std::min(minY, p.y()), maxY = std::max(maxY, p.y());
    // Pixel row y has its centre at y + 0.5.
    const int y0 = std::max(0, static_cast<int>(std::ceil(minY - r - 0.5)));
    const int y1 = std::min(H - 1, static_cast<int>(std::floor(maxY + r - 0.5)));
    if (y0 > y1)
        return;
    std::vector<std::vector<Interval>> rows(static_cast<std::size_t>(y1 - y0 + 1));
    for (std::size_t i = 0; i + 1 < line.size(); ++i) {
        const QPointF a = line[i], b = line[i + 1];
        if (!std::isfinite(a.x()) || !std::isfinite(a.y()) || !std::isfinite(b.x()) ||
            !std::isfinite(b.y()))
            continue;
        const int from =
            std::max(y0, static_cast<int>(std::ceil(std::min(a.y(), b.y()) - r - 0.5)));
        const int to = std::min(y1, static_cast<int>(std::floor(std::max(a.y(), b.y()) + r - 0.5)));
        const Capsule capsule(a, b, r);
        Interval iv{};
        for (int y = from; y <= to; ++y)
            if (CapsuleRow(capsule, y + 0.5, iv))
                AddToRow(rows[static_cast<std::size_t>(y - y0)], iv);
    }
    for (int y = y0; y <= y1; ++y) {
        auto &ivs = rows[static_cast<std::size_t>(y - y0)];
        if (ivs.empty())
            continue;
        std::sort(ivs.begin(), ivs.end(),
                  [](const Interval &p, const Interval &q) { return p.lo < q.lo; });
        auto fill = [&](double lo, double hi) {
            // pixels x with lo <= x + 0.5 <= hi
            double from = std::max(0.0, std::ceil(lo - 0.5)),
                   to = std::min(W - 1.0, std::floor(hi - 0.5));
            if (from <= to)
                fillRow(y, static_cast<int>(from), static_cast<int>(to));
        };
        double lo = ivs[0].lo, hi = ivs[0].hi;
        for (std::size_t k = 1; k < ivs.size(); ++k) {
            if (ivs[k].lo > hi) {
                fill(lo, hi);
                lo = ivs[k].lo;
            }
            hi = std::max(hi, ivs[k].hi);
        }
        fill(lo, hi);
    }
}

TBooleanArray ComputeBand(const model::TGPX &doc, const TViewport &frame, double width) {
    TBooleanArray band;
    band.SetSize(frame.Width, frame.Height);
    if (!frame.BBox.Complete)
        return band;
    auto fill = [&](int y, int from, int to) {
        for (int x = from; x <= to; ++x)
            band[x][y] = 1;
    };
    // Pixel (x, y) is the cell whose centre is (x + 0.5, y + 0.5) on the raster.
    auto pixel = [&](const model::TPoint4D2 &p) {
        return QPointF(frame.LoToX(p.Longitude) + 0.5, frame.LaToY(p.Latitude) + 0.5);
    };
    // A run of consecutive pieces with depth is filled at once (a wide stroke per piece
    // made large surveys take seconds).
    std::vector<QPointF> run;
    auto flush = [&] {
        FillRoundBand(frame.Width, frame.Height, run, width, fill);
        run.clear();
    };
    for (const auto &t : doc.trk.Items())
        for (const auto &s : t->Items()) {
            if (!s->Enabled() || s->Empty())
                continue;
            const model::TGPXwpt *prev = s->Get(0);
            QPointF b = pixel(*prev);
            // A lone sounding (a point file's, say) has no piece; it gets the band's round end.
            if (s->Count() == 1 && prev->HBdepth > 0) {
                run = {b, b};
                flush();
                continue;
            }
            for (int i = 1; i < s->Count(); ++i) {
                const model::TGPXwpt *cur = s->Get(i);
                const QPointF a = b;
                b = pixel(*cur);
                if (prev->HBdepth > 0) {
                    if (run.empty())
                        run.push_back(a);
                    run.push_back(b);
                } else {
                    flush();
                }
                prev = cur;
            }
            flush();
        }
    return band;
}

QImage BandImage(const TBooleanArray &band, std::uint32_t color) {
    QImage image(band.Width(), band.Height(), QImage::Format_ARGB32);
    image.fill(QColor::fromRgba(0xFFFFFFFF));
    for (int y = 0; y < band.Height(); ++y) {
        auto *row = reinterpret_cast<std::uint32_t *>(image.scanLine(y));
        for (int x = 0; x < band.Width(); ++x)
            if (band[x][y])
                row[x] = color;
    }
    return image;
}

} // namespace mapview
