#include "formats/PointConverter.h"

#include <utility>

namespace formats {

xml::Tree &TPointConverter::NextTree() {
    if (filling_.used == filling_.trees.size())
        filling_.trees.emplace_back();
    xml::Tree &tree = filling_.trees[filling_.used];
    tree.Clear();
    return tree;
}

void TPointConverter::Submit() {
    if (++filling_.used == kBatch)
        HandOver();
}

// Gives the full batch to the worker, started on the first one, and takes back a batch
// the worker has finished with.
void TPointConverter::HandOver() {
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!worker_.joinable())
            worker_ = std::thread([this] { Work(); });
        changed_.wait(lock, [this] { return !pending_; });
        std::swap(filling_, handed_);
        pending_ = true;
    }
    changed_.notify_all();
    filling_.used = 0;
}

void TPointConverter::Work() {
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [this] { return pending_ || done_; });
            if (!pending_)
                return;
            std::swap(handed_, working_);
            pending_ = false;
        }
        changed_.notify_all();
        ConvertAll(working_);
    }
}

void TPointConverter::ConvertAll(Batch &batch) {
    for (std::size_t i = 0; i < batch.used && !error_; ++i) {
        try {
            convert_(batch.trees[i].Root(), list_);
        } catch (...) {
            error_ = std::current_exception();
        }
    }
    batch.used = 0;
}

std::exception_ptr TPointConverter::Finish() {
    if (finished_)
        return error_;
    finished_ = true;
    if (!worker_.joinable()) {
        ConvertAll(filling_);
        return error_;
    }
    if (filling_.used > 0)
        HandOver();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        done_ = true;
    }
    changed_.notify_all();
    worker_.join();
    return error_;
}

} // namespace formats
