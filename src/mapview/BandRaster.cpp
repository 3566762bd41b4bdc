#include "mapview/BandRaster.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <thread>

namespace mapview {

namespace {

constexpr std::size_t kPiecesPerThread = 20000;

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

void FillRoundBands(int W, int H, const std::vector<std::vector<QPointF>> &lines, double width,
                    const std::function<void(int y, int from, int to)> &fillRow) {
    if (W <= 0 || H <= 0 || !(width > 0))
        return;
    const double r = width / 2;
    double minY = std::numeric_limits<double>::infinity(), maxY = -minY;
    std::size_t pieces = 0;
    for (const std::vector<QPointF> &line : lines) {
        if (line.size() < 2)
            continue;
        pieces += line.size() - 1;
        for (const QPointF &p : line)
            if (std::isfinite(p.y()))
                minY = std::min(minY, p.y()), maxY = std::max(maxY, p.y());
    }
    if (!(minY <= maxY))
        return;
    // Pixel row y has its centre at y + 0.5.
    const int y0 = std::max(0, static_cast<int>(std::max(-1.0, std::ceil(minY - r - 0.5))));
    const int y1 =
        std::min(H - 1, static_cast<int>(std::min<double>(H, std::floor(maxY + r - 0.5))));
    if (y0 > y1)
        return;
    std::vector<std::vector<Interval>> rows(static_cast<std::size_t>(y1 - y0 + 1));
    // The intervals of rows rowFrom..rowTo, piece by piece in the lines' order.
    auto addRows = [&](int rowFrom, int rowTo) {
        for (const std::vector<QPointF> &line : lines)
            for (std::size_t i = 0; i + 1 < line.size(); ++i) {
                const QPointF a = line[i], b = line[i + 1];
                if (!std::isfinite(a.x()) || !std::isfinite(a.y()) || !std::isfinite(b.x()) ||
                    !std::isfinite(b.y()))
                    continue;
                const int from = std::max(
                    rowFrom,
                    static_cast<int>(std::max(-1.0, std::ceil(std::min(a.y(), b.y()) - r - 0.5))));
                const int to =
                    std::min(rowTo, static_cast<int>(std::min<double>(
                                        H, std::floor(std::max(a.y(), b.y()) + r - 0.5))));
                if (from > to)
                    continue;
                const Capsule capsule(a, b, r);
                Interval iv{};
                for (int y = from; y <= to; ++y)
                    if (CapsuleRow(capsule, y + 0.5, iv))
                        AddToRow(rows[static_cast<std::size_t>(y - y0)], iv);
            }
    };
    // A row's list depends on the pieces and their order only, so rows shared out among
    // threads get the lists one thread would make. A season of soundings is millions of
    // pieces of fifty rows each; a small survey is not worth a thread.
    const int threads = static_cast<int>(
        std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1,
                                std::clamp<std::size_t>(pieces / kPiecesPerThread, 1, 64)));
    std::vector<std::thread> helpers;
    const int share = (y1 - y0 + threads) / threads;
    for (int t = 1; t < threads; ++t)
        helpers.emplace_back(addRows, std::min(y1 + 1, y0 + t * share),
                             std::min(y1, y0 + (t + 1) * share - 1));
    addRows(y0, std::min(y1, y0 + share - 1));
    for (std::thread &h : helpers)
        h.join();
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
    // The runs of consecutive pieces with depth, filled together as one union (a wide
    // stroke per piece made large surveys take seconds).
    std::vector<std::vector<QPointF>> runs(1);
    auto endRun = [&] {
        if (!runs.back().empty())
            runs.emplace_back();
    };
    for (const auto &t : doc.trk.Items())
        for (const auto &s : t->Items()) {
            if (!s->Enabled() || s->Empty())
                continue;
            const model::TGPXwpt *prev = s->Get(0);
            QPointF b = pixel(*prev);
            // A lone sounding (a point file's, say) has no piece; it gets the band's round end.
            if (s->Count() == 1 && prev->HBdepth > 0) {
                runs.back() = {b, b};
                endRun();
                continue;
            }
            for (int i = 1; i < s->Count(); ++i) {
                const model::TGPXwpt *cur = s->Get(i);
                const QPointF a = b;
                b = pixel(*cur);
                if (prev->HBdepth > 0) {
                    if (runs.back().empty())
                        runs.back().push_back(a);
                    runs.back().push_back(b);
                } else {
                    endRun();
                }
                prev = cur;
            }
            endRun();
        }
    FillRoundBands(frame.Width, frame.Height, runs, width, fill);
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
