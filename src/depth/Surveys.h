// Surveys: each loaded file is one survey, the soundings of one outing at that day's water
// level. Their level offsets are estimated where tracks of different surveys cross
// (crossover analysis) and brought to the level of one reference survey.
//
// Sign: a survey's offset is ADDED to its recorded depths (corrected = recorded + offset).
// On a day when the water stood 12 cm higher than on the reference day every depth reads
// 12 cm deeper, so that survey's offset is -12 cm. The reference survey's offset is 0.
#pragma once

#include "model/GPX.h"
#include "support/Dialogs.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace depth {

struct TSurvey {
    std::string Name;                   // the file's name
    double FirstTime = 0, LastTime = 0; // days since 1899-12-30 of its soundings; 0 = none
    std::int64_t Soundings = 0;
    double OffsetCm = 0; // added to its recorded depths; 0 at load
    // The tracks the file added to the project: trk[FirstTrack .. FirstTrack + TrackCount - 1].
    // Ranges of different surveys do not overlap; a range reaching past the project's
    // tracks is cut to them.
    int FirstTrack = 0, TrackCount = 0;
};

// A survey over the given tracks, its soundings counted and its date range taken from them.
// A sounding is a point deeper than 0 in a segment whose maxdepth is not 0 (not an outline).
TSurvey MakeSurvey(const model::TGPX &project, const std::string &name, int firstTrack,
                   int trackCount);
// Recounts the soundings and the date range after the survey's tracks changed.
void CountSurvey(const model::TGPX &project, TSurvey &survey);

// Per track index 0 .. trackCount - 1, the offset of the survey that holds it (0 for none):
// what gathering the samples adds to each point's depth.
std::vector<double> TrackOffsetsCm(const std::vector<TSurvey> &surveys, int trackCount);

struct TLevelSettings {
    double MaxPairDistanceM = 3;    // soundings of two surveys closer than this form a pair
    double GradientWindowM = 5;     // along-track slope fitted over neighbours this far each side
    double MaxGradientCmPerM = 5;   // pairs where either track is steeper are left out
    double MadFactor = 3;           // differences within this many MADs of the median are kept
    std::int64_t MinCrossings = 10; // fewer pairs between two surveys do not link them
    int Threads = 0; // for the pair search; 0 = one per logical processor (same result)
};

struct TLevelEstimate {
    double OffsetCm = 0, SigmaCm = 0; // offset to add, and its standard error
    std::int64_t Crossings = 0;       // pairs used on all links of this survey
    bool Connected = false; // linked to the reference survey by crossings (the reference too)
};

// One estimate per survey, in the order given, relative to surveys[reference]. Per pair of
// surveys the robust mean of the depth differences at their crossings; then all offsets by
// weighted least squares with the reference held at 0. Surveys without a chain of crossings
// to the reference get offset 0 and Connected false. Logs one "Levels: " line per survey
// and one for each problem; nothing here changes the surveys or the project.
std::vector<TLevelEstimate> EstimateLevelOffsets(const model::TGPX &project,
                                                 const std::vector<TSurvey> &surveys,
                                                 std::size_t reference,
                                                 const TLevelSettings &settings = {},
                                                 support::LogLine log = nullptr);

// Sets OffsetCm of every connected survey; the others keep theirs.
void ApplyLevelEstimates(std::vector<TSurvey> &surveys,
                         const std::vector<TLevelEstimate> &estimates);

} // namespace depth
