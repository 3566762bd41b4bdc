// The interpolation run's stripes: the grid is cut into stripes of whole columns, at most
// ThreadsRun workers compute one stripe each at a time, and every finished worker is
// replaced by one for the next stripe until all are done.
#pragma once

#include "depth/Grid.h"
#include "depth/ShepardInterp.h"
#include "mapview/MaskArray.h"
#include "mapview/Viewport.h"
#include "support/Dialogs.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
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

// One worker's stripe: column by column, each bottom row up. `column` is called before each
// column and may return false to stop the stripe there (a cancelled run).
void ComputeStripe(const TStripeJob &job, TStripe stripe,
                   const std::function<bool()> &column = nullptr);

// The user-interface side of a run: hands out stripes and counts the worker chains.
class TStripeScheduler {
  public:
    TStripeScheduler(std::int32_t width, std::int32_t threadsRun, std::int32_t threadsTasks,
                     support::LogLine log = nullptr);

    std::int32_t ThreadsRun;
    std::int32_t ThreadsTasks;
    std::int32_t ThreadsID = 0;
    std::int32_t ThreadsRunning = 0;

    std::vector<TStripe> Start();  // the first ThreadsRun stripes
    std::optional<TStripe> Done(); // a worker ended: the next stripe, or none
    bool Finished() const { return ThreadsRunning == 0; }

  private:
    std::int32_t width_;
    support::LogLine log_;
};

// Runs a job's stripes on worker threads: at most ThreadsRun at once, each worker chain
// taking the next stripe from the scheduler as its stripe ends. Run() blocks until the
// grid is done (batch tool, tests); Start() returns at once and calls `finished` on the
// last worker as its last act, while the caller polls ColumnsDone() and ThreadsRunning()
// for progress. Cancel() stops every worker after its current column. The job's inputs
// must stay unchanged until the run has ended (Wait()).
class TStripeRunner {
  public:
    TStripeRunner(const TStripeJob &job, std::int32_t threadsRun, std::int32_t threadsTasks);
    ~TStripeRunner(); // cancels and waits
    TStripeRunner(const TStripeRunner &) = delete;
    TStripeRunner &operator=(const TStripeRunner &) = delete;

    // The scheduler's log lines go to `log` on the calling thread once the run has ended.
    void Run(const support::LogLine &log);
    void Start(std::function<void()> finished);
    void Cancel() { cancelled_.store(true, std::memory_order_relaxed); }
    void Wait(); // joins every worker; afterwards all the workers wrote can be read
    bool Ended() const { return ThreadsRunning() == 0 && started_; }

    std::int32_t ColumnsDone() const { return columnsDone_.load(std::memory_order_relaxed); }
    std::int32_t ThreadsRunning() const { return running_.load(std::memory_order_acquire); }
    std::int32_t ThreadsRun() const { return scheduler_.ThreadsRun; }
    // The scheduler's lines so far ("Interpolate: #Tasks: …", "Add Thread: …"), taken once.
    std::vector<std::string> TakeLog();

  private:
    void Chain(TStripe first);
    TStripeJob job_;
    TStripeScheduler scheduler_; // guarded by mutex_
    std::mutex mutex_;
    std::vector<std::string> log_; // guarded by mutex_
    std::vector<std::thread> workers_;
    std::function<void()> finished_;
    std::atomic<bool> cancelled_{false};
    std::atomic<std::int32_t> columnsDone_{0};
    std::atomic<std::int32_t> running_{0};
    bool started_ = false;
};

} // namespace depth
