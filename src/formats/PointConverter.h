// Turns the parsed trees of a list's points into model points on a second thread while
// the parser reads on: in a big GPX file parsing and converting take about as long each.
// Points are converted in file order; after the first content error the rest are dropped,
// as a reading point by point skips them. Lists shorter than one batch are converted on
// the caller's thread when it calls Finish, so small files start no thread.
#pragma once

#include "model/GPX.h"
#include "support/Xml.h"

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace formats {

class TPointConverter {
  public:
    using Convert = void (*)(xml::Node point, model::TGPXwptList &list);

    TPointConverter(model::TGPXwptList &list, Convert convert) : list_(list), convert_(convert) {}
    TPointConverter(const TPointConverter &) = delete;
    TPointConverter &operator=(const TPointConverter &) = delete;
    // Converts what was submitted: a parse error leaves the points before it in the list.
    ~TPointConverter() { Finish(); }

    // An empty tree to parse the next point into.
    xml::Tree &NextTree();
    // The point parsed into the last NextTree() is complete: it will be converted.
    void Submit();
    // Converts everything submitted, waits for it and returns the first content error.
    std::exception_ptr Finish();

  private:
    static constexpr std::size_t kBatch = 1024;
    struct Batch {
        std::vector<xml::Tree> trees; // kept between uses: a refilled tree allocates nothing
        std::size_t used = 0;
    };

    void HandOver();
    void ConvertAll(Batch &batch);
    void Work();

    model::TGPXwptList &list_;
    Convert convert_;
    std::exception_ptr error_; // touched only by the thread converting
    bool finished_ = false;

    Batch filling_; // the parser's
    Batch handed_;  // waiting for the worker
    Batch working_; // the worker's
    bool pending_ = false, done_ = false;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::thread worker_;
};

} // namespace formats
