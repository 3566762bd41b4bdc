#include "depth/ShepardThread.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace depth {

TStripe StripeBounds(std::int32_t width, std::int32_t ThreadsTasks, std::int32_t t) {
    const std::int32_t last = width - 1;
    const std::int32_t s = ThreadsTasks > 0 ? last / ThreadsTasks : 0;
    const std::int32_t xStart = s * (t - 1);
    const std::int32_t xStop = t < ThreadsTasks ? s * t - 1 : last;
    return {xStart, xStop};
}

void ComputeStripe(const TStripeJob &job, TStripe stripe, const std::function<void()> &StepProgress) {
    const std::int32_t H = job.Values->Height();
    for (std::int32_t x = stripe.xStart; x <= stripe.xStop; ++x) {
        if (StepProgress)
            StepProgress();
        float *column = (*job.Values)[x];
        const std::uint8_t *shadow = (*job.ShadowArray)[x];
        const float lon = static_cast<float>(job.View.XToLo(x));
        for (std::int32_t k = 1; k <= H; ++k) {
            const std::int32_t y = H - k;
            if (!shadow[y])
                continue;
            const float lat = static_cast<float>(job.View.YToLa(y));
            column[y] = static_cast<float>(static_cast<long double>(job.ShepardInterp->interp(lon, lat)) /
                                           job.MaxDepth);
        }
    }
}

TStripeScheduler::TStripeScheduler(std::int32_t width, std::int32_t threadsRun,
                                   std::int32_t threadsTasks, support::LogLine log)
    : ThreadsRun(std::max(1, std::min(threadsRun, std::max(threadsTasks, 1)))),
      ThreadsTasks(std::max(threadsTasks, 1)), width_(width), log_(std::move(log)) {
    if (!log_)
        log_ = [](const std::string &) {};
}

std::vector<TStripe> TStripeScheduler::Start() {
    log_("Interpolate: #Tasks: " + std::to_string(ThreadsTasks));
    ThreadsRunning = ThreadsRun;
    std::vector<TStripe> first;
    for (std::int32_t t = 1; t <= ThreadsRun; ++t) {
        ThreadsID = t;
        TStripe s = StripeBounds(width_, ThreadsTasks, t);
        log_("Interpolate: Start Thread: " + std::to_string(s.xStart) + "     " +
             std::to_string(s.xStop));
        first.push_back(s);
    }
    return first;
}

std::optional<TStripe> TStripeScheduler::Done() {
    if (ThreadsID < ThreadsTasks) {
        ++ThreadsID;
        TStripe s = StripeBounds(width_, ThreadsTasks, ThreadsID);
        log_("Add Thread: " + std::to_string(s.xStart) + "     " + std::to_string(s.xStop));
        return s;
    }
    --ThreadsRunning;
    return std::nullopt;
}

void RunStripesBlocking(const TStripeJob &job, TStripeScheduler &scheduler,
                        const std::function<void()> &StepProgress) {
    std::mutex m;
    std::condition_variable cv;
    std::deque<std::size_t> finished; // slots of workers whose stripe is done
    std::vector<std::thread> workers;
    workers.reserve(static_cast<std::size_t>(scheduler.ThreadsTasks));
    std::mutex progressMutex;
    auto progress = [&] {
        std::lock_guard<std::mutex> lock(progressMutex);
        if (StepProgress)
            StepProgress();
    };
    auto launch = [&](TStripe s) {
        workers.emplace_back([&, s, slot = workers.size()] {
            ComputeStripe(job, s, progress);
            std::lock_guard<std::mutex> lock(m);
            finished.push_back(slot);
            cv.notify_one();
        });
    };
    for (TStripe s : scheduler.Start())
        launch(s);
    while (!scheduler.Finished()) {
        std::size_t slot;
        {
            std::unique_lock<std::mutex> lock(m);
            cv.wait(lock, [&] { return !finished.empty(); });
            slot = finished.front();
            finished.pop_front();
        }
        workers[slot].join(); // the worker has ended; its completion is handled here
        if (std::optional<TStripe> next = scheduler.Done())
            launch(*next);
    }
}

} // namespace depth
