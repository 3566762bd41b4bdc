// Spikes in sonar soundings: readings that leave the bottom their neighbours along the
// track trace (fish, weed or a thermocline above it; a lost bottom or a double echo below
// it). They are flagged, never deleted, so the user can review each one and undo it.
#pragma once

#include "model/GPX.h"

#include <cstdint>
#include <span>
#include <vector>

namespace depth {

enum class TSpikeSensitivity { Low, Normal, High };

struct TDespikeOptions {
    TSpikeSensitivity Sensitivity = TSpikeSensitivity::Normal;
    // Centimetres; deeper readings are flagged. The default is deeper than any lake.
    double MaxDepth = 200000;
};

// Judges one run of readings in recording order: depths in centimetres, positions in
// degrees, all of the same length (beyond the shortest, nothing is read or flagged).
// `flagged` comes in with the flags already set (such readings are nobody's neighbour) and
// goes out with the new ones; returns their number. A reading that is not positive (0 is
// no reading), not finite or deeper than MaxDepth is flagged outright; one without a valid
// position is left alone.
std::int64_t FindSpikes(std::span<const double> depth, std::span<const double> lon,
                        std::span<const double> lat, std::span<std::uint8_t> flagged,
                        const TDespikeOptions &options = {});

// A segment of soundings: maxdepth set, or some point with a depth.
bool HoldsSoundings(const model::TGPXtrkseg &segment);

// Flags the spikes of the segment, or of every segment of soundings in the document;
// returns how many readings were newly flagged.
std::int64_t FlagSpikes(model::TGPXtrkseg &segment, const TDespikeOptions &options = {});
std::int64_t FlagSpikes(model::TGPX &doc, const TDespikeOptions &options = {});

// A flagged reading, located independently of any file.
struct TFlaggedSounding {
    std::int32_t Segment = 0; // among all track segments of the document, in document order
    std::int32_t Point = 0;   // within its segment
    double Longitude = 0, Latitude = 0;
    double Depth = 0; // centimetres
};

// The flagged track points in document order.
std::vector<TFlaggedSounding> FlaggedSoundings(const model::TGPX &doc);
std::int64_t CountFlagged(const model::TGPX &doc);
// Unflags every point of the document (waypoints and routes too); returns how many were.
std::int64_t ClearFlags(model::TGPX &doc);

} // namespace depth
