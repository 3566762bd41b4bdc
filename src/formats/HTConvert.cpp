#include "formats/HTConvert.h"

#include "support/AtomicFile.h"
#include "support/Rounding.h"
#include "support/TextCodec.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <stdexcept>
#include <utility>
#include <vector>

namespace formats {

namespace {

constexpr long double kRadius = 6378388.0L;
constexpr long double kHalfCircumference = 20038297.0L;
constexpr long double kLatitudeFactor = 0.9932811271773375L;
constexpr long double kPi = 3.14159265358979323846264338327950288L;
constexpr long double kDeg = kPi / 180.0L;

// The unit's marker after every segment; it moves nothing.
struct Record {
    std::int16_t dE, dN;
    std::uint16_t depth;
};
constexpr Record kSeparator[3] = {{0x7FFF, 0x7FFF, 0}, {-0x8000, -0x8000, 0}, {0, 0, 0}};
constexpr std::int64_t kMaxStep = THTConvert::kMaxStep;

void PutU16(std::string &b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<char>(v >> 8);
    b[at + 1] = static_cast<char>(v & 0xFF);
}
void PutU32(std::string &b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (24 - 8 * i));
}
std::uint16_t GetU16(std::string_view b, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) << 8 |
                                      static_cast<unsigned char>(b[at + 1]));
}
std::uint32_t GetU32(std::string_view b, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v = v << 8 | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
    return v;
}

std::uint32_t LocalTimeAsUtc() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return static_cast<std::uint32_t>(timegm(&local));
}

struct SegmentsTooFarApart {};

struct Position {
    std::int32_t E, N;
    std::uint16_t depth;
};

// The larger of the easting and northing changes between two positions.
std::int64_t Distance(std::int32_t E1, std::int32_t N1, std::int32_t E2, std::int32_t N2) {
    return std::max(std::llabs(std::int64_t{E2} - E1), std::llabs(std::int64_t{N2} - N1));
}

// Depth in whole centimetres as the unit stores it; what does not fit 16 bits is clamped
// rather than wrapped into a wrong depth.
std::uint16_t StoredDepth(double hbDepth) {
    if (!(hbDepth > 0))
        return 0;
    return static_cast<std::uint16_t>(std::min(std::trunc(hbDepth), 65535.0));
}

// The name as the unit stores it: one byte per character, at most 20. A character below
// U+0800 keeps the low 8 bits of its code, a longer one (or a malformed byte) becomes '?'.
std::string NameBytes(const std::string &utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size() && out.size() < 20;) {
        const char32_t cp = support::NextUtf8(utf8, i);
        out += cp < 0x800 ? static_cast<char>(cp & 0xFF) : '?';
    }
    return out;
}

} // namespace

THTConvert::THTConvert(model::TGPX *GPX, std::string TrackName, std::string FileName,
                       support::LogLine log)
    : GPXdata(GPX), sTrackName(std::move(TrackName)), sFileName(std::move(FileName)),
      Now(LocalTimeAsUtc), log_(std::move(log)) {}

std::int32_t THTConvert::LongitudeToEasting(double longitude) {
    return support::Round32(static_cast<long double>(longitude) / 180.0L * kHalfCircumference);
}

std::int32_t THTConvert::LatitudeToNorthing(double latitude) {
    long double psi = std::atan(kLatitudeFactor * std::tan(latitude * kDeg));
    return support::Round32(kRadius * std::log(std::tan(kPi / 4 + psi / 2)));
}

double THTConvert::EastingToLongitude(std::int32_t easting) {
    return static_cast<double>(easting / kHalfCircumference * 180.0L);
}

double THTConvert::NorthingToLatitude(std::int32_t northing) {
    long double psi = std::atan(std::sinh(northing / kRadius));
    return static_cast<double>(std::atan(std::tan(psi) / kLatitudeFactor) / kDeg);
}

bool THTConvert::SegmentsJoin(const model::TGPXwpt &from, const model::TGPXwpt &to) {
    try {
        return Distance(LongitudeToEasting(from.Longitude), LatitudeToNorthing(from.Latitude),
                        LongitudeToEasting(to.Longitude),
                        LatitudeToNorthing(to.Latitude)) <= kMaxStep;
    } catch (const std::range_error &) {
        return true;
    }
}

bool THTConvert::ConvertToHT() {
    ErrorText.clear();
    if (!GPXdata || GPXdata->trk.Empty())
        return false;
    model::TGPX &doc = *GPXdata;

    // All segments into the first track: the later tracks from the last, each from its
    // last segment.
    model::TGPXtrk &first = *doc.trk.First();
    for (int t = doc.trk.Count() - 1; t >= 1; --t) {
        model::TGPXtrk &track = *doc.trk[t];
        for (int s = track.Count() - 1; s >= 0; --s)
            first.Add(track.Extract(s));
    }

    // One walk counts the positions; only when they fit does a second one store records.
    std::vector<Record> records;
    Position firstPos{}, lastPos{};
    auto walk = [&](bool store) {
        std::size_t n = 0;
        Position previous{};
        for (const auto &track : doc.trk.Items())
            for (const auto &segment : track->Items()) {
                if (segment->Empty())
                    continue;
                bool startsSegment = true;
                for (const auto &p : segment->Items()) {
                    Position cur{LongitudeToEasting(p->Longitude), LatitudeToNorthing(p->Latitude),
                                 StoredDepth(p->HBdepth)};
                    const bool segmentStart = std::exchange(startsSegment, false);
                    if (n == 0) {
                        firstPos = previous = cur;
                        n = 1;
                        continue;
                    }
                    // A change beyond 16 bits would wrap and send the track across the map.
                    // Inside a segment the track walks there in steps on its own straight
                    // line; steps between segments would draw a line that is not there.
                    const std::int64_t dE = std::int64_t{cur.E} - previous.E;
                    const std::int64_t dN = std::int64_t{cur.N} - previous.N;
                    const std::int64_t far = Distance(previous.E, previous.N, cur.E, cur.N);
                    if (segmentStart && far > kMaxStep)
                        throw SegmentsTooFarApart();
                    const std::int64_t steps =
                        std::max<std::int64_t>(1, (far + kMaxStep - 1) / kMaxStep);
                    n += static_cast<std::size_t>(steps);
                    if (store) {
                        const Position from = previous;
                        for (std::int64_t i = 1; i <= steps; ++i) {
                            Position step = cur;
                            if (i < steps) {
                                step.E = static_cast<std::int32_t>(from.E + dE * i / steps);
                                step.N = static_cast<std::int32_t>(from.N + dN * i / steps);
                                step.depth =
                                    StoredDepth(from.depth + (double(cur.depth) - from.depth) *
                                                                 double(i) / double(steps));
                            }
                            records.push_back({static_cast<std::int16_t>(step.E - previous.E),
                                               static_cast<std::int16_t>(step.N - previous.N),
                                               step.depth});
                            previous = step;
                        }
                    }
                    previous = cur;
                }
                n += 3;
                if (store)
                    records.insert(records.end(), std::begin(kSeparator), std::end(kSeparator));
            }
        lastPos = previous;
        return n;
    };

    std::size_t n = 0;
    try {
        doc.ComputeMetaBounds();
        n = walk(false);
    } catch (const std::range_error &) {
        return Fail("Position out of range for an HT file.");
    } catch (const SegmentsTooFarApart &) {
        static_assert(kMaxStep == 32000, "the message states the limit");
        return Fail("Tracks more than 32000 Mercator units (about 32 km at the equator, "
                    "less toward the poles) apart cannot be written into one HT file.");
    }
    if (n == 0)
        return false; // no point to write
    if (log_)
        log_("HTCOnvert: number of points to write: " + std::to_string(n));
    if (n > static_cast<std::size_t>(kMaxPositions)) {
        return Fail("Too much points to write.");
    }
    walk(true);

    std::int32_t west = 0, south = 0, east = 0, north = 0;
    try {
        west = LongitudeToEasting(doc.metadata.bounds.minlon);
        south = LatitudeToNorthing(doc.metadata.bounds.minlat);
        east = LongitudeToEasting(doc.metadata.bounds.maxlon);
        north = LatitudeToNorthing(doc.metadata.bounds.maxlat);
    } catch (const std::range_error &) {
        return Fail("Position out of range for an HT file.");
    }

    std::string file(kFileSize, '\0');
    file[0] = 1;
    file[1] = 3;
    PutU16(file, 8, static_cast<std::uint16_t>(n));
    PutU32(file, 12, Now());
    // Coordinates as two's complement: west of Greenwich and south of the equator too.
    auto put = [&](std::size_t at, std::int32_t v) {
        PutU32(file, at, static_cast<std::uint32_t>(v));
    };
    put(16, firstPos.E);
    put(20, firstPos.N);
    put(24, lastPos.E);
    put(28, lastPos.N);
    put(32, west);
    put(36, south);
    put(40, east);
    put(44, north);
    std::string name = NameBytes(sTrackName);
    std::copy(name.begin(), name.end(), file.begin() + 48);
    for (std::size_t i = 0; i < records.size(); ++i) {
        std::size_t at = kHeaderSize + i * kRecordSize;
        PutU16(file, at, static_cast<std::uint16_t>(records[i].dE));
        PutU16(file, at + 2, static_cast<std::uint16_t>(records[i].dN));
        PutU16(file, at + 4, records[i].depth);
    }
    support::AtomicFileWriter out(sFileName);
    out.Write(file);
    out.Commit();
    return true;
}

bool THTConvert::ReadHT() {
    if (!GPXdata)
        return false;
    return ReadHTBytes(support::ReadWholeFile(sFileName));
}

bool THTConvert::ReadHTBytes(std::string_view bytes) {
    ErrorText.clear();
    if (!GPXdata)
        return false;
    if (bytes.size() != kFileSize) {
        return Fail(sFileName + ": wrong file size.");
    }
    const std::uint32_t n = GetU16(bytes, 8);
    const std::uint32_t capacity = (kFileSize - kHeaderSize) / kRecordSize;
    if (bytes[0] != 1 || bytes[1] != 3 || (n > 0 && n - 1 > capacity)) {
        return Fail(sFileName + ": error in file header.");
    }
    std::int32_t E = static_cast<std::int32_t>(GetU32(bytes, 16));
    std::int32_t N = static_cast<std::int32_t>(GetU32(bytes, 20));
    for (std::size_t i = 48; i < 68; ++i)
        if (bytes[i] != 0)
            support::AppendUtf8(sTrackName, static_cast<unsigned char>(bytes[i])); // Latin-1

    auto record = [&](std::uint32_t i) {
        std::size_t at = kHeaderSize + i * kRecordSize;
        return Record{static_cast<std::int16_t>(GetU16(bytes, at)),
                      static_cast<std::int16_t>(GetU16(bytes, at + 2)), GetU16(bytes, at + 4)};
    };
    auto isSeparatorAt = [&](std::uint32_t i) {
        if (i + 3 > n - 1)
            return false;
        for (std::uint32_t k = 0; k < 3; ++k) {
            Record r = record(i + k);
            if (r.dE != kSeparator[k].dE || r.dN != kSeparator[k].dN || r.depth != 0)
                return false;
        }
        return true;
    };
    auto makePoint = [&](std::uint16_t depth) {
        auto p = std::make_unique<model::TGPXwpt>();
        p->Longitude = EastingToLongitude(E);
        p->Latitude = NorthingToLatitude(N);
        p->HBdepth = depth;
        return p;
    };

    auto track = std::make_unique<model::TGPXtrk>();
    track->name = sTrackName;
    auto segment = std::make_unique<model::TGPXtrkseg>();
    if (n >= 1)
        segment->Add(makePoint(0)); // the header's first position, which has no depth
    for (std::uint32_t i = 0; n >= 2 && i < n - 1; ++i) {
        if (isSeparatorAt(i)) {
            track->Add(std::move(segment));
            segment = std::make_unique<model::TGPXtrkseg>();
            i += 2;
            continue;
        }
        Record r = record(i);
        E = static_cast<std::int32_t>(static_cast<std::uint32_t>(E) +
                                      static_cast<std::uint32_t>(r.dE));
        N = static_cast<std::int32_t>(static_cast<std::uint32_t>(N) +
                                      static_cast<std::uint32_t>(r.dN));
        segment->Add(makePoint(r.depth));
    }
    if (!segment->Empty() || track->Empty())
        track->Add(std::move(segment));
    GPXdata->trk.Add(std::move(track));
    GPXdata->trk.filled = true;
    return true;
}

ReadResult ReadHTFile(const std::string &path, model::TGPX &doc, const TReadOptions &) {
    ReadResult r;
    THTConvert reader(&doc, "", path, [&](const std::string &line) { r.log.push_back(line); });
    try {
        r.loaded = reader.ReadHT();
    } catch (const std::exception &e) {
        r.error = ReadError{e.what()};
    }
    if (!r.loaded && !r.error)
        r.error = ReadError{reader.ErrorText.empty() ? "File not loaded" : reader.ErrorText};
    return r;
}

} // namespace formats
