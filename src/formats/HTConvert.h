// HT track files: the sonar unit's binary tracks of exactly 131080 bytes, positions as
// whole metres on a Mercator projection, 6-byte delta records, big-endian throughout.
#pragma once

#include "formats/ReadResult.h"
#include "model/GPX.h"
#include "support/Message.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace formats {

class THTConvert {
  public:
    static constexpr std::size_t kFileSize = 131080;
    static constexpr std::size_t kHeaderSize = 68;
    static constexpr std::size_t kRecordSize = 6;
    static constexpr int kMaxPositions = 20000;
    // Largest change of easting or northing this writer puts into one record, in the
    // file's own Mercator units (metres at the equator, fewer on the ground toward the
    // poles): well inside 16 bits, so that no written record looks like a separator.
    static constexpr std::int32_t kMaxStep = 32000;

    THTConvert(model::TGPX *GPX, std::string TrackName, std::string FileName,
               support::LogLine log = nullptr);

    model::TGPX *GPXdata;
    std::string sTrackName;
    std::string sFileName;
    // Why the last ConvertToHT or ReadHT returned false ("" when there was nothing to
    // write); the caller shows it.
    std::string ErrorText;

    // Writes every track of GPXdata into one file; gathers all segments into the first
    // track on the way. False (and no file) when there is nothing or too much to write.
    bool ConvertToHT();
    // Appends the file as one track; false when the file is not an HT file.
    bool ReadHT();
    bool ReadHTBytes(std::string_view bytes); // ReadHT on bytes already read

    // Seconds since 1970 of the local date and time taken as universal time.
    std::function<std::uint32_t()> Now;

    static std::int32_t LongitudeToEasting(double longitude);
    static std::int32_t LatitudeToNorthing(double latitude);
    static double EastingToLongitude(std::int32_t easting);
    static double NorthingToLatitude(std::int32_t northing);

    // True when a segment starting at `to` can follow one ending at `from` in one file:
    // no more than kMaxStep apart in easting and northing. A position no file can hold
    // does not count against it; ConvertToHT reports that one itself.
    static bool SegmentsJoin(const model::TGPXwpt &from, const model::TGPXwpt &to);

  private:
    bool Fail(const std::string &text) {
        ErrorText = text;
        return false;
    }
    support::LogLine log_;
};

// The registry's reader: the file as one track.
ReadResult ReadHTFile(const std::string &path, model::TGPX &doc, const TReadOptions &options);

} // namespace formats
