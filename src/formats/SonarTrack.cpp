#include "formats/SonarTrack.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace formats {

namespace {

constexpr double kUnixEpoch = 25569; // 1970-01-01 in days since 1899-12-30

std::string Plural(std::uint64_t n, const char *one, const char *many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

} // namespace

TSonarTrack::TSonarTrack(std::string name) : track_(std::make_unique<model::TGPXtrk>()) {
    track_->name = std::move(name);
}

std::optional<TSonarTrack::Fault> TSonarTrack::Check(bool positionValid, double latitude,
                                                     double longitude, double depthMetres) {
    if (!positionValid)
        return NoPosition;
    // Written so that NaN fails too.
    if (!(std::fabs(latitude) <= kMaxLatitude) || !(std::fabs(longitude) <= 180))
        return BadPosition;
    if (depthMetres == 0)
        return NoDepth;
    if (!(depthMetres > 0 && depthMetres <= kMaxDepthMetres))
        return BadDepth;
    if (KeptDepth(depthMetres) == 0) // less than half a millimetre: no reading either
        return NoDepth;
    return std::nullopt;
}

double TSonarTrack::KeptDepth(double depthMetres) {
    return std::round(depthMetres * 1000.0) / 10.0;
}

support::TDateTime TSonarTrack::TimeOf(std::uint32_t startUnix, std::uint32_t milliseconds) {
    return kUnixEpoch + (double(startUnix) + double(milliseconds) / 1000.0) / 86400.0;
}

bool TSonarTrack::PlausibleStart(std::uint32_t unixSeconds) {
    return unixSeconds >= 631152000u && unixSeconds < 4102444800u;
}

void TSonarTrack::Add(double latitude, double longitude, double depthMetres,
                      support::TDateTime time) {
    if (break_ || !segment_) {
        segment_ = track_->Add(std::make_unique<model::TGPXtrkseg>());
        break_ = false;
    }
    auto p = std::make_unique<model::TGPXwpt>();
    p->Latitude = latitude;
    p->Longitude = longitude;
    p->HBdepth = KeptDepth(depthMetres);
    p->DateTime = time;
    // The segment is a sounding run: its greatest depth in whole centimetres.
    segment_->maxdepth = std::max(segment_->maxdepth, static_cast<std::int32_t>(p->HBdepth));
    segment_->Add(std::move(p));
    ++soundings_;
}

void TSonarTrack::Count(Fault fault, std::uint64_t where) {
    if (counts_[fault]++ == 0)
        first_[fault] = where;
}

void TSonarTrack::Uncount(Fault fault) {
    if (counts_[fault] > 0)
        --counts_[fault];
}

void TSonarTrack::Summarise(std::vector<std::string> &log) const {
    if (counts_[NoDepth] || counts_[NoPosition])
        log.push_back(std::to_string(counts_[NoDepth]) + " pings without depth, " +
                      std::to_string(counts_[NoPosition]) + " without position");
    if (counts_[BadPosition])
        log.push_back(Plural(counts_[BadPosition], "ping", "pings") +
                      " with a position beyond 85° of latitude or 180° of longitude left out "
                      "(the first at byte " +
                      std::to_string(first_[BadPosition]) + ")");
    if (counts_[BadDepth])
        log.push_back(Plural(counts_[BadDepth], "ping", "pings") +
                      " with a depth below 0, above 1000 m or not a number left out (the first "
                      "at byte " +
                      std::to_string(first_[BadDepth]) + ")");
    log.push_back(Plural(soundings_, "sounding", "soundings") + " in " +
                  Plural(static_cast<std::uint64_t>(track_->Count()), "segment", "segments"));
}

void TSonarTrack::MoveInto(model::TGPX &doc) {
    if (soundings_ == 0)
        return;
    doc.trk.Add(std::move(track_));
    doc.trk.filled = true;
    track_ = std::make_unique<model::TGPXtrk>();
    segment_ = nullptr;
    soundings_ = 0;
}

} // namespace formats
