// Inverse-distance (Shepard) estimate of the depth at a position from scattered soundings
// inside a radius window; queried from several worker threads at once.
#pragma once

#include "support/Dialogs.h"

#include <cstdint>
#include <vector>

namespace depth {

struct TPointF {
    float x, y; // longitude, latitude in degrees
};
using TPointList = std::vector<TPointF>;
using TValueList = std::vector<float>;

class TShepardInterp {
  public:
    enum class Scan { Indexed, Linear };

    // Keeps references to the two arrays; they must not change while the object lives.
    TShepardInterp(const TPointList &coord, const TValueList &value, float p, float maxRadius,
                   float minRadius, support::Dialogs *dialogs = nullptr, Scan scan = Scan::Indexed);

    // The estimate at (xcoord, ycoord). Pure and allocation-free apart from a per-thread
    // scratch list, so any number of threads may ask at once.
    float interp(float xcoord, float ycoord) const;
    // The same answer by scanning every sample in array order.
    float interpLinear(float xcoord, float ycoord) const;
    // interp(xcoord, ycoords[k]) into out[k] for every k < count, to the bit; faster for the
    // cells of one column in order, neighbours sharing most of their samples.
    void interpColumn(float xcoord, const float *ycoords, float *out, std::int32_t count) const;

    std::int32_t n = 0;
    std::int32_t ndim = 2;
    float pneg = 0;
    float maxR = 0;
    float minR = 0;

  private:
    // Samples sorted into square buckets, each holding its indexes in ascending order.
    struct BucketGrid {
        double x0 = 0, y0 = 0, cell = 0;
        std::int64_t cols = 0, rows = 0;
        struct Item {
            std::int32_t i; // sample index
            TPointF p;      // its position, kept here so that a scan reads memory in order
        };
        // Consecutive sample indexes [lo, hi) that fall into one bucket: samples along a
        // track come in runs, so a bucket holds few spans however many samples it has.
        struct Span {
            std::int32_t lo, hi;
        };
        std::vector<std::int32_t> start; // cols * rows + 1 offsets into `items`
        std::vector<Item> items;
        std::vector<std::int32_t> spanStart; // cols * rows + 1 offsets into `spans`
        std::vector<Span> spans;
        bool Empty() const { return items.empty(); }
        // withSpans: also the spans, which only a window query over the buckets reads.
        void Build(const TPointList &pts, double cellSize, bool withSpans);
        // Bucket ranges covering [x - r, x + r] x [y - r, y + r], clamped to the grid.
        bool Range(double x, double y, double r, std::int64_t &c0, std::int64_t &c1,
                   std::int64_t &r0, std::int64_t &r1) const;
    };

    // The first sample in array order within minR of the position, or -1.
    std::int32_t NearFirst(float xcoord, float ycoord) const;
    // The weighted mean over the samples within maxR, for one position.
    float Sum(float xcoord, float ycoord) const;
    // The same for the positions ycoords[cells[k]], k < lanes <= 4, one per vector lane.
    void SumLanes(float xcoord, const float *ycoords, const std::int32_t *cells, int lanes,
                  float *out) const;
    float Distance(float xcoord, float ycoord, std::int32_t i) const;
    static float Distance(float xcoord, float ycoord, TPointF q);
    static float FastDistance(float xcoord, float ycoord, TPointF q, double d2);
    // Sorts spans[from ..] by their start and joins those that continue each other.
    static void MergeSpans(std::vector<BucketGrid::Span> &spans, std::size_t from);
    // The spans of the buckets of one window, merged into ascending index order.
    const std::vector<BucketGrid::Span> &WindowSpans(std::int64_t c0, std::int64_t c1,
                                                     std::int64_t r0, std::int64_t r1) const;
    double Weight(float d) const;

    const TPointList &pts;
    const TValueList &vals;
    int power_ = 0; // p as a whole number when it is one, else 0
    bool indexed_ = false;
    bool lanes_ = false;    // interpColumn may use SumLanes
    BucketGrid near_, far_; // buckets of about minR and about maxR / 3
    std::uint64_t id_ = 0;  // tells this object's cached windows from an earlier one's
};

} // namespace depth
