#include "depth/ShepardThread.h"

#include <utility>

namespace depth {

TStripe StripeBounds(std::int32_t width, std::int32_t ThreadsTasks, std::int32_t t) {
    const std::int32_t last = width - 1;
    const std::int32_t s = ThreadsTasks > 0 ? last / ThreadsTasks : 0;
    const std::int32_t xStart = s * (t - 1);
    const std::int32_t xStop = t < ThreadsTasks ? s * t - 1 : last;
    return {xStart, xStop};
}

void ComputeStripe(const TStripeJob &job, TStripe stripe, const std::function<bool()> &column) {
    const std::int32_t H = job.Values->Height();
    // One column's cells to estimate, bottom row first, and their estimates.
    std::vector<std::int32_t> rows;
    std::vector<float> lats, estimates;
    for (std::int32_t x = stripe.xStart; x <= stripe.xStop; ++x) {
        if (column && !column())
            return;
        float *values = (*job.Values)[x];
        const std::uint8_t *shadow = (*job.ShadowArray)[x];
        const float lon = static_cast<float>(job.View.XToLo(x));
        rows.clear();
        lats.clear();
        for (std::int32_t k = 1; k <= H; ++k) {
            const std::int32_t y = H - k;
            if (shadow[y]) {
                rows.push_back(y);
                lats.push_back(static_cast<float>(job.View.YToLa(y)));
            }
        }
        estimates.resize(rows.size());
        job.ShepardInterp->interpColumn(lon, lats.data(), estimates.data(),
                                        static_cast<std::int32_t>(rows.size()));
        for (std::size_t j = 0; j < rows.size(); ++j)
            values[rows[j]] =
                static_cast<float>(static_cast<long double>(estimates[j]) / job.MaxDepth);
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

TStripeRunner::TStripeRunner(const TStripeJob &job, std::int32_t threadsRun,
                             std::int32_t threadsTasks)
    : job_(job), scheduler_(job.Values->Width(), threadsRun, threadsTasks,
                            [this](const std::string &line) { log_.push_back(line); }) {}

TStripeRunner::~TStripeRunner() {
    Cancel();
    Wait();
}

void TStripeRunner::Start(std::function<void()> finished) {
    finished_ = std::move(finished);
    started_ = true;
    std::vector<TStripe> first;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        first = scheduler_.Start();
        running_.store(scheduler_.ThreadsRunning, std::memory_order_release);
    }
    workers_.reserve(first.size());
    for (TStripe s : first)
        workers_.emplace_back([this, s] { Chain(s); });
}

// One worker chain: its stripe, then the next one the scheduler hands out, until none is
// left. The chain that ends last reports the end of the run.
void TStripeRunner::Chain(TStripe stripe) {
    auto column = [this] {
        if (cancelled_.load(std::memory_order_relaxed))
            return false;
        columnsDone_.fetch_add(1, std::memory_order_relaxed);
        return true;
    };
    for (;;) {
        ComputeStripe(job_, stripe, column);
        std::optional<TStripe> next;
        bool last = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            next = cancelled_.load(std::memory_order_relaxed) ? std::nullopt : scheduler_.Done();
            if (!next) {
                if (cancelled_.load(std::memory_order_relaxed))
                    --scheduler_.ThreadsRunning;
                last = scheduler_.Finished();
            }
        }
        if (next) {
            stripe = *next;
            continue;
        }
        if (last && finished_)
            finished_();
        running_.fetch_sub(1, std::memory_order_release); // the chain's last act
        return;
    }
}

void TStripeRunner::Run(const support::LogLine &log) {
    Start(nullptr);
    Wait();
    for (const std::string &line : TakeLog())
        if (log)
            log(line);
}

void TStripeRunner::Wait() {
    for (std::thread &w : workers_)
        if (w.joinable())
            w.join();
}

std::vector<std::string> TStripeRunner::TakeLog() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(log_, {});
}

} // namespace depth
