// Small sonar recordings written by the tests themselves: Lowrance-family logs (.sl2,
// .sl3) frame by frame, and Humminbird .DAT / .SON / .IDX files record by record.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

namespace sonarfix {

inline void PutLE(std::string &b, std::size_t at, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        b[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
}
inline void AppendBE(std::string &b, std::uint32_t v) {
    for (int i = 3; i >= 0; --i)
        b += static_cast<char>(v >> (8 * i));
}

// Whole metres of the logs' Mercator (R = polar radius) for a position in degrees.
inline std::int32_t LowranceEasting(double lon) {
    return static_cast<std::int32_t>(std::lround(lon * std::numbers::pi / 180 * 6356752.3142));
}
inline std::int32_t LowranceNorthing(double lat) {
    return static_cast<std::int32_t>(std::lround(
        6356752.3142 * std::log(std::tan(std::numbers::pi / 4 + lat * std::numbers::pi / 360))));
}

struct Frame {
    std::uint32_t index = 0;
    std::uint16_t channel = 0;
    float depthFeet = 10;
    double lat = 59.1, lon = 12.3;
    bool positionValid = true;
    std::uint32_t ms = 0;
    std::uint32_t startTime = 0xFFFFFFFF; // Unix seconds; 0xFFFFFFFF = no GPS time
    std::uint16_t echoBytes = 40;
};

// The byte offset of each frame written, for tests that damage one.
struct Log {
    std::string bytes;
    std::vector<std::size_t> frames;
};

// A log of `format` 2 (SL2) or 3 (SL3): the 8-byte header and the frames.
inline Log WriteLog(const std::vector<Frame> &frames, int format = 2) {
    const bool sl2 = format == 2;
    Log log;
    log.bytes.assign(8, '\0');
    PutLE(log.bytes, 0, static_cast<std::uint16_t>(format), 2);
    PutLE(log.bytes, 2, 1, 2);
    PutLE(log.bytes, 4, 3200, 2);
    for (const Frame &f : frames) {
        const std::size_t at = log.bytes.size();
        const std::size_t header = sl2 ? 144 : f.channel > 5 ? 128 : 168;
        std::string h(header, '\0');
        auto put = [&](std::size_t sl2At, std::size_t sl3At, std::uint64_t v, int bytes) {
            PutLE(h, sl2 ? sl2At : sl3At, v, bytes);
        };
        put(0, 0, static_cast<std::uint32_t>(at), 4);
        put(28, 8, header + f.echoBytes, 2);
        put(32, 12, f.channel, 2);
        put(34, 44, f.echoBytes, sl2 ? 2 : 4);
        put(36, 16, f.index, 4);
        put(60, 40, f.startTime, 4);
        put(64, 48, std::bit_cast<std::uint32_t>(f.depthFeet), 4);
        put(108, 92, static_cast<std::uint32_t>(LowranceEasting(f.lon)), 4);
        put(112, 96, static_cast<std::uint32_t>(LowranceNorthing(f.lat)), 4);
        put(132, 116, f.positionValid ? 0x0010 | 0x0080 : 0x0080, 2);
        put(140, 124, f.ms, 4);
        log.frames.push_back(at);
        log.bytes += h;
        log.bytes.append(f.echoBytes, '\x5A'); // echo samples, which the reader skips
    }
    return log;
}

// ------------------------------------------------------------------ Humminbird

inline std::int32_t HumminbirdEasting(double lon) {
    return static_cast<std::int32_t>(std::lround(lon * std::numbers::pi / 180 * 6378388.0));
}
inline std::int32_t HumminbirdNorthing(double lat) {
    const double phi = std::atan(std::tan(lat * std::numbers::pi / 180) / 1.0067642927);
    return static_cast<std::int32_t>(
        std::lround(6378388.0 * std::log(std::tan(std::numbers::pi / 4 + phi / 2))));
}

struct Ping {
    std::uint32_t depthDecimetres = 25;
    double lat = 36.88, lon = -111.51;
    bool position = true;
    std::uint32_t ms = 0;
    std::uint32_t samples = 30;
    bool count = true; // the header gives the number of samples
};

// A 64-byte .DAT of the 9xx/11xx units.
inline std::string WriteDat(std::uint32_t startUnix) {
    std::string d(64, '\0');
    d[0] = '\xC1';
    for (int i = 0; i < 4; ++i)
        d[20 + static_cast<std::size_t>(i)] = static_cast<char>(startUnix >> (24 - 8 * i));
    d.replace(32, 10, "R00001.SON");
    return d;
}

struct Beam {
    std::string son, idx;
    std::vector<std::size_t> records;
};

// Records with the 9xx header layout (tags 80 to A0, then 0x21 and the samples) and the
// index of 8-byte entries (milliseconds, record offset).
inline Beam WriteBeam(const std::vector<Ping> &pings, std::uint8_t beam = 1) {
    Beam b;
    std::uint32_t n = 0;
    for (const Ping &p : pings) {
        const std::size_t at = b.son.size();
        b.records.push_back(at);
        b.son += "\xC0\xDE\xAB\x21";
        b.son += '\x80';
        AppendBE(b.son, n++);
        b.son += '\x81';
        AppendBE(b.son, p.ms);
        if (p.position) {
            b.son += '\x82';
            AppendBE(b.son, static_cast<std::uint32_t>(HumminbirdEasting(p.lon)));
            b.son += '\x83';
            AppendBE(b.son, static_cast<std::uint32_t>(HumminbirdNorthing(p.lat)));
        }
        b.son += '\x84';
        AppendBE(b.son, 0x00010000u | 1234);
        b.son += '\x87';
        AppendBE(b.son, p.depthDecimetres);
        b.son += '\x50';
        b.son += static_cast<char>(beam);
        b.son += '\x92';
        AppendBE(b.son, 200000);
        if (p.count) {
            b.son += '\xA0';
            AppendBE(b.son, p.samples);
        }
        b.son += '\x21';
        b.son.append(p.samples, '\x21'); // samples that look like header ends
        AppendBE(b.idx, p.ms);
        AppendBE(b.idx, static_cast<std::uint32_t>(at));
    }
    return b;
}

} // namespace sonarfix
