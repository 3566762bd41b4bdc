// The soundings of one sonar recording as its reader finds them: checked, gathered into
// one track with a segment per stretch of valid positions, and the pings left out counted
// for the log. Shared by the readers of the sonar units' own recordings.
#pragma once

#include "formats/ReadResult.h"
#include "model/GPX.h"
#include "support/DateTime.h"
#include "support/MappedFile.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace formats {

class TSonarTrack {
  public:
    // Why a ping gave no sounding, in the order its values are checked: a ping that got
    // further on one channel than on another counts with the later fault.
    enum Fault { NoPosition, BadPosition, NoDepth, BadDepth, kFaults };

    static constexpr double kMaxLatitude = 85;
    static constexpr double kMaxDepthMetres = 1000;

    explicit TSonarTrack(std::string name);

    // nullopt when the values make a sounding.
    static std::optional<Fault> Check(bool positionValid, double latitude, double longitude,
                                      double depthMetres);
    // The depth in centimetres as a sounding keeps it, to 0.1 cm.
    static double KeptDepth(double depthMetres);
    // Days since 1899-12-30 of a recording's start (Unix seconds) plus milliseconds.
    static support::TDateTime TimeOf(std::uint32_t startUnix, std::uint32_t milliseconds);
    // Whether a start time read from a file can be one (1990 to 2099); units without a
    // time of their own leave other values there.
    static bool PlausibleStart(std::uint32_t unixSeconds);

    // A sounding whose values passed Check; time 0 = none. The depth is kept to 0.1 cm.
    void Add(double latitude, double longitude, double depthMetres, support::TDateTime time);
    // A ping left out; `where` is the byte of its record, kept for the first of each fault.
    void Count(Fault fault, std::uint64_t where);
    // A ping counted as left out turned out to have a sounding after all.
    void Uncount(Fault fault);
    // The next sounding starts a new segment.
    void Break() { break_ = true; }

    std::size_t Soundings() const { return soundings_; }
    // The counts of pings left out, and the soundings kept, as log lines.
    void Summarise(std::vector<std::string> &log) const;
    // Appends the track to the document when it holds a sounding.
    void MoveInto(model::TGPX &doc);

  private:
    std::unique_ptr<model::TGPXtrk> track_;
    model::TGPXtrkseg *segment_ = nullptr;
    bool break_ = true;
    std::size_t soundings_ = 0;
    std::uint64_t counts_[kFaults] = {};
    std::uint64_t first_[kFaults] = {};
};

// Reports progress now and then while a file is walked from its start to its end, and hands
// the mapped pages behind the walk back to the system, so a recording of many gigabytes
// never stays resident.
class TReadPacer {
  public:
    TReadPacer(const ReadProgress &progress, support::MappedFile *mapped, std::uint64_t total)
        : progress_(progress), mapped_(mapped), total_(total) {}

    // False once the read is cancelled.
    bool At(std::uint64_t pos) {
        pos_ = pos;
        if (mapped_ && pos >= nextRelease_) {
            mapped_->ReleaseBefore(static_cast<std::size_t>(pos));
            nextRelease_ = pos + kReleaseStep;
        }
        if (progress_ && pos >= nextProgress_ && !cancelled_) {
            nextProgress_ = pos + kProgressStep;
            cancelled_ = !progress_(pos, total_);
        }
        return !cancelled_;
    }
    // The last report, with everything read.
    bool Done() {
        if (progress_ && !cancelled_)
            cancelled_ = !progress_(total_, total_);
        return !cancelled_;
    }
    bool Cancelled() const { return cancelled_; }
    std::uint64_t Position() const { return pos_; } // the last one given to At

  private:
    static constexpr std::uint64_t kProgressStep = std::uint64_t{8} << 20;
    static constexpr std::uint64_t kReleaseStep = std::uint64_t{16} << 20;
    const ReadProgress &progress_;
    support::MappedFile *mapped_;
    std::uint64_t total_;
    std::uint64_t nextProgress_ = 0, nextRelease_ = kReleaseStep, pos_ = 0;
    bool cancelled_ = false;
};

} // namespace formats
