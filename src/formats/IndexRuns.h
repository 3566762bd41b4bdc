// A set of 32-bit indexes kept as runs of consecutive values. Sonar logs number their
// pings in order, so the pings already kept form a few runs between the pings without a
// sounding: ten million pings need thousands of runs instead of a hash entry each.
#pragma once

#include <cstdint>
#include <iterator>
#include <map>

namespace formats {

class TIndexRuns {
  public:
    bool Contains(std::uint32_t i) const {
        auto next = runs_.upper_bound(i);
        return next != runs_.begin() && i < std::prev(next)->second;
    }

    void Insert(std::uint32_t i) {
        // Indexes come in increasing order nearly always: extend or follow the last run
        // without a search.
        if (!runs_.empty()) {
            auto last = std::prev(runs_.end());
            if (i == last->second) {
                ++last->second;
                return;
            }
            if (i > last->second) {
                runs_.emplace_hint(runs_.end(), i, std::uint64_t{i} + 1);
                return;
            }
        }
        auto next = runs_.upper_bound(i);
        if (next != runs_.begin()) {
            auto prev = std::prev(next);
            if (i < prev->second)
                return; // already in
            if (i == prev->second) {
                ++prev->second;
                if (next != runs_.end() && next->first == prev->second) {
                    prev->second = next->second;
                    runs_.erase(next);
                }
                return;
            }
        }
        if (next != runs_.end() && next->first == std::uint64_t{i} + 1) {
            const std::uint64_t end = next->second;
            runs_.erase(next);
            runs_.emplace(i, end);
            return;
        }
        runs_.emplace(i, std::uint64_t{i} + 1);
    }

    std::size_t Runs() const { return runs_.size(); }

  private:
    std::map<std::uint32_t, std::uint64_t> runs_; // first index -> one past the last
};

} // namespace formats
