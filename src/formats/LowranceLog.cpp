#include "formats/LowranceLog.h"

#include "formats/IndexRuns.h"
#include "formats/SonarTrack.h"
#include "support/AtomicFile.h"
#include "support/MappedFile.h"
#include "support/NumText.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <deque>
#include <numbers>
#include <utility>

namespace formats {

namespace {

constexpr double kPolarRadius = 6356752.3142;
constexpr std::size_t kFileHeader = 8;
constexpr std::uint16_t kPositionValid = 0x0010;
constexpr std::uint32_t kNoTime = 0xFFFFFFFF;
constexpr double kMetresPerFoot = 0.3048;
// Damaged stretches listed one by one in the log; the rest are only counted.
constexpr int kListedDamage = 20;
// Pings left out that a later frame of theirs may still turn into a sounding.
constexpr std::size_t kRecentPings = 16;

// Where the fields a depth chart needs lie in a frame header.
struct Layout {
    const char *name;
    std::uint16_t format;  // in the file header
    std::size_t fieldsEnd; // every frame header of the format holds this many bytes
    std::size_t sizeAt, channelAt, indexAt, timeAt, depthAt, eastAt, northAt, flagsAt, msAt;

    // SL3 frames of the 3D channels (above 5) have a shorter header.
    std::size_t HeaderSize(std::uint16_t channel) const {
        return format == 2 ? 144 : channel > 5 ? 128 : 168;
    }
};
constexpr Layout kSL2{"SL2", 2, 144, 28, 32, 36, 60, 64, 108, 112, 132, 140};
constexpr Layout kSL3{"SL3", 3, 128, 8, 12, 16, 40, 48, 92, 96, 116, 124};

std::uint16_t U16(std::string_view b, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                      static_cast<unsigned char>(b[at + 1]) << 8);
}
std::uint32_t U32(std::string_view b, std::size_t at) {
    std::uint32_t v = 0;
    for (std::size_t i = 4; i-- > 0;)
        v = v << 8 | static_cast<unsigned char>(b[at + i]);
    return v;
}
float F32(std::string_view b, std::size_t at) {
    return std::bit_cast<float>(U32(b, at));
}

std::string StemOf(const std::string &path) {
    std::size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

std::string LowerExt(const std::string &path) {
    std::size_t slash = path.rfind('/'), dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    return support::LowerAscii(path.substr(dot));
}

std::string Bytes(std::size_t from, std::size_t to) {
    return "bytes " + std::to_string(from) + " to " + std::to_string(to - 1);
}

class LogReader {
  public:
    LogReader(std::string_view bytes, const std::string &path, const Layout &layout,
              const ReadProgress &progress, support::MappedFile *mapped)
        : b_(bytes), path_(path), layout_(layout), pacer_(progress, mapped, bytes.size()),
          track_(StemOf(path)) {}

    ReadResult Run(model::TGPX &doc);

  private:
    enum class Frame { Ok, Bad, SizeZero, TooSmall, Beyond };

    Frame Check(std::size_t pos, std::size_t &frameSize) const;
    bool OffsetMatches(std::size_t pos) const {
        // The field holds the frame's offset in 32 bits; logs beyond 4 GiB wrap it.
        return b_.size() - pos >= 4 && U32(b_, pos) == static_cast<std::uint32_t>(pos);
    }
    std::optional<std::size_t> FindFrame(std::size_t from);
    void Take(std::size_t pos);
    void EndPing();
    void StartTime(std::size_t pos);

    std::string_view b_;
    const std::string &path_;
    const Layout &layout_;
    TReadPacer pacer_;
    TSonarTrack track_;
    ReadResult result_;

    bool timeRead_ = false;
    std::optional<std::uint32_t> start_;

    // The ping whose frames are being read: its index, and the furthest its frames got.
    bool open_ = false;
    std::uint32_t index_ = 0;
    int best_ = -1; // a TSonarTrack::Fault, or kTaken
    std::size_t bestAt_ = 0;
    static constexpr int kTaken = TSonarTrack::kFaults;
    TIndexRuns taken_;
    std::deque<std::pair<std::uint32_t, TSonarTrack::Fault>> recent_;
};

LogReader::Frame LogReader::Check(std::size_t pos, std::size_t &frameSize) const {
    if (b_.size() - pos < layout_.fieldsEnd || !OffsetMatches(pos))
        return Frame::Bad;
    frameSize = U16(b_, pos + layout_.sizeAt);
    if (frameSize == 0)
        return Frame::SizeZero;
    if (frameSize < layout_.HeaderSize(U16(b_, pos + layout_.channelAt)))
        return Frame::TooSmall;
    if (frameSize > b_.size() - pos)
        return Frame::Beyond;
    return Frame::Ok;
}

std::optional<std::size_t> LogReader::FindFrame(std::size_t from) {
    std::size_t frameSize = 0;
    for (std::size_t p = from; p + layout_.fieldsEnd <= b_.size(); ++p) {
        if ((p & 0xFFFFF) == 0 && !pacer_.At(p))
            return std::nullopt;
        if (static_cast<unsigned char>(b_[p]) == (p & 0xFF) && Check(p, frameSize) == Frame::Ok)
            return p;
    }
    return std::nullopt;
}

void LogReader::StartTime(std::size_t pos) {
    timeRead_ = true;
    const std::uint32_t t = U32(b_, pos + layout_.timeAt);
    if (t == kNoTime)
        result_.log.push_back("The log holds no GPS time: the soundings have no time.");
    else if (!TSonarTrack::PlausibleStart(t))
        result_.log.push_back("The log's start time (" + std::to_string(t) +
                              ") is not a time: the soundings have no time.");
    else
        start_ = t;
}

void LogReader::EndPing() {
    if (!open_ || best_ == kTaken)
        return;
    const auto fault = static_cast<TSonarTrack::Fault>(best_);
    track_.Count(fault, bestAt_);
    if (fault == TSonarTrack::NoPosition || fault == TSonarTrack::BadPosition)
        track_.Break();
    recent_.emplace_back(index_, fault);
    if (recent_.size() > kRecentPings)
        recent_.pop_front();
}

void LogReader::Take(std::size_t pos) {
    if (!timeRead_)
        StartTime(pos);
    const std::uint32_t index = U32(b_, pos + layout_.indexAt);
    if (open_ && index == index_ && best_ == kTaken)
        return;
    if (!open_ || index != index_) {
        if (taken_.Contains(index)) // a late channel of a ping already kept
            return;
        EndPing();
        open_ = true;
        index_ = index;
        best_ = -1;
        // A late channel of a ping counted as left out: it is that ping again.
        auto it = std::find_if(recent_.begin(), recent_.end(),
                               [&](const auto &r) { return r.first == index; });
        if (it != recent_.end()) {
            track_.Uncount(it->second);
            best_ = it->second;
            recent_.erase(it);
        }
    }
    const bool valid = (U16(b_, pos + layout_.flagsAt) & kPositionValid) != 0;
    const double lat = LowranceLatitude(static_cast<std::int32_t>(U32(b_, pos + layout_.northAt)));
    const double lon = LowranceLongitude(static_cast<std::int32_t>(U32(b_, pos + layout_.eastAt)));
    const double depth = double(F32(b_, pos + layout_.depthAt)) * kMetresPerFoot;
    if (auto fault = TSonarTrack::Check(valid, lat, lon, depth)) {
        if (*fault > best_) {
            best_ = *fault;
            bestAt_ = pos;
        }
        return;
    }
    const std::uint32_t ms = U32(b_, pos + layout_.msAt);
    track_.Add(lat, lon, depth, start_ ? TSonarTrack::TimeOf(*start_, ms) : 0);
    taken_.Insert(index);
    best_ = kTaken;
}

ReadResult LogReader::Run(model::TGPX &doc) {
    std::size_t pos = kFileHeader, frameSize = 0;
    int damaged = 0;
    bool isLog = OffsetMatches(pos);
    while (pos < b_.size()) {
        if (!pacer_.At(pos))
            break;
        const Frame f = Check(pos, frameSize);
        if (f == Frame::Ok) {
            isLog = true;
            Take(pos);
            pos += frameSize;
            continue;
        }
        const std::size_t left = b_.size() - pos;
        if (isLog && f == Frame::Bad && left < layout_.fieldsEnd && !OffsetMatches(pos)) {
            result_.log.push_back(std::to_string(left) + " bytes after the last frame ignored");
            break;
        }
        const std::optional<std::size_t> next = FindFrame(pos + 1);
        if (pacer_.Cancelled())
            break;
        if (!isLog && !next) {
            result_.error = ReadError{path_ + ": not an " + layout_.name + " file", 0};
            result_.log.push_back(result_.error->text);
            return std::move(result_);
        }
        isLog = true;
        std::string what =
            f == Frame::SizeZero ? "a frame of size 0"
            : f == Frame::TooSmall
                ? "a frame of size " + std::to_string(frameSize) + ", smaller than its header"
            : f == Frame::Beyond
                ? "a frame of " + std::to_string(frameSize) + " bytes, beyond the end of the file"
            : left < layout_.fieldsEnd ? "a frame header cut off by the end of the file"
                                       : "no frame";
        if (!next) {
            const bool cut = f == Frame::Beyond || (f == Frame::Bad && OffsetMatches(pos));
            result_.error = ReadError{
                path_ + ": " +
                    (cut ? "the last frame, at byte " + std::to_string(pos) + ", is cut off"
                         : "damaged from byte " + std::to_string(pos) +
                               " to the end, no frame found there") +
                    "; what came before it was read",
                pos};
            result_.log.push_back(result_.error->text);
            break;
        }
        if (++damaged <= kListedDamage)
            result_.log.push_back("Damaged: " + what + " at byte " + std::to_string(pos) + "; " +
                                  Bytes(pos, *next) + " skipped");
        track_.Break();
        pos = *next;
    }
    if (pacer_.Cancelled() || !pacer_.Done()) {
        result_.error = ReadError{path_ + ": reading cancelled", pacer_.Position()};
        return std::move(result_);
    }
    EndPing();
    if (damaged > kListedDamage)
        result_.log.push_back(std::to_string(damaged) + " damaged stretches skipped in all");
    track_.Summarise(result_.log);
    track_.MoveInto(doc);
    result_.loaded = true;
    return std::move(result_);
}

ReadResult Refuse(const std::string &text) {
    ReadResult r;
    r.error = ReadError{text, 0};
    r.log.push_back(text);
    return r;
}

ReadResult ReadLog(std::string_view bytes, const std::string &path, model::TGPX &doc,
                   const ReadProgress &progress, support::MappedFile *mapped) {
    const std::string ext = LowerExt(path);
    const Layout &expected = ext == ".sl3" ? kSL3 : kSL2;
    if (ext == ".slg" || (bytes.size() >= 2 && U16(bytes, 0) == 1))
        return Refuse(path + ": SLG logs (.slg) are not supported; only SL2 (.sl2) and SL3 "
                             "(.sl3) logs can be read");
    const std::uint16_t format = bytes.size() >= kFileHeader ? U16(bytes, 0) : 0;
    if (format != 2 && format != 3)
        return Refuse(path + ": not an " + expected.name + " file");
    const Layout &layout = format == 2 ? kSL2 : kSL3;
    std::vector<std::string> note;
    if (&layout != &expected)
        note.push_back(path + ": the header says " + layout.name + "; read as " + layout.name);
    ReadResult r = LogReader(bytes, path, layout, progress, mapped).Run(doc);
    r.log.insert(r.log.begin(), note.begin(), note.end());
    return r;
}

} // namespace

double LowranceLongitude(std::int32_t easting) {
    return easting / kPolarRadius * 180.0 / std::numbers::pi;
}

double LowranceLatitude(std::int32_t northing) {
    return (2.0 * std::atan(std::exp(northing / kPolarRadius)) - std::numbers::pi / 2) * 180.0 /
           std::numbers::pi;
}

ReadResult ReadLowranceLogBytes(std::string_view bytes, const std::string &path, model::TGPX &doc,
                                const ReadProgress &progress) {
    return ReadLog(bytes, path, doc, progress, nullptr);
}

ReadResult ReadLowranceLog(const std::string &path, model::TGPX &doc,
                           const ReadProgress &progress) {
    if (LowerExt(path) == ".slg")
        return Refuse(path + ": SLG logs (.slg) are not supported; only SL2 (.sl2) and SL3 "
                             "(.sl3) logs can be read");
    try {
        support::MappedFile file(path);
        return ReadLog(file.View(), path, doc, progress, &file);
    } catch (const support::FileError &e) {
        return Refuse(e.what());
    }
}

} // namespace formats
