// The interpolation run's stripes: the grid is cut into stripes of whole columns, at most
// ThreadsRun workers compute one stripe each at a time, and every finished worker is
// replaced by one for the next stripe until all are done.
#pragma once

#include "depth/Grid.h"
#include "depth/ShepardInterp.h"
#include "mapview/MaskArray.h"
#include "mapview/Viewport.h"
#include "support/Dialogs.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace depth {

struct TStripe {
    std::int32_t xStart, xStop; // inclusive; empty when xStop < xStart
};

// Stripe t (1-based) of ThreadsTasks over a grid of `width` columns.
TStripe StripeBounds(std::int32_t width, std::int32_t ThreadsTasks, std::int32_t t);

// What every worker reads, and the grid it writes (its own columns only; no locks).
struct TStripeJob {
    TMatSingle *Values = nullptr;
    const mapview::TBooleanArray *ShadowArray = nullptr;
    const TShepardInterp *ShepardInterp = nullptr;
    mapview::TViewport View; // the frame the run started with
    std::int32_t MaxDepth = 1;
};

// One worker's stripe: column by column, each bottom row up; StepProgress once per column.
void ComputeStripe(const TStripeJob &job, TStripe stripe, const std::function<void()> &StepProgress);

// The user-interface side of a run: hands out stripes and counts the worker chains.
class TStripeScheduler {
  public:
    TStripeScheduler(std::int32_t width, std::int32_t threadsRun, std::int32_t threadsTasks,
                     support::LogLine log = nullptr);

    std::int32_t ThreadsRun;
    std::int32_t ThreadsTasks;
    std::int32_t ThreadsID = 0;
    std::int32_t ThreadsRunning = 0;

    std::vector<TStripe> Start();     // the first ThreadsRun stripes
    std::optional<TStripe> Done();    // a worker ended: the next stripe, or none
    bool Finished() const { return ThreadsRunning == 0; }

  private:
    std::int32_t width_;
    support::LogLine log_;
};

// Runs the stripes on threads of their own; the calling thread takes the part of the
// user-interface thread and handles every completion, starting the next stripe.
// StepProgress is called on the workers, one at a time.
void RunStripesBlocking(const TStripeJob &job, TStripeScheduler &scheduler,
                        const std::function<void()> &StepProgress);

} // namespace depth
