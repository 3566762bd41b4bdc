#include "formats/CsvSoundings.h"

#include "formats/SonarTrack.h"
#include "support/AtomicFile.h"
#include "support/MappedFile.h"
#include "support/NumText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace formats {

namespace {

// Lines looked at to find the separator, and the bytes in which a zero byte marks a
// file that is not text.
constexpr std::size_t kSampleLines = 20;
constexpr std::size_t kSampleBytes = 64 * 1024;
constexpr double kMaxDepthMetres = 12000; // deeper than any sea
constexpr std::size_t kMaxNumberText = 64;
constexpr double kMetresPerFoot = 0.3048;
constexpr char kBlanks = 0; // the separator "runs of blanks"

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// A field without the blanks around it and without its quotes.
std::string_view Unquote(std::string_view s) {
    s = TrimBlanks(s);
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"')
        s = TrimBlanks(s.substr(1, s.size() - 2));
    return s;
}

// The file's lines; "\n", "\r\n" and a lone "\r" each end one.
class LineReader {
  public:
    explicit LineReader(std::string_view text) : text_(text) {}

    bool Next(std::string_view &line) {
        if (pos_ >= text_.size())
            return false;
        start_ = pos_;
        std::size_t i = pos_;
        while (i < text_.size() && text_[i] != '\n' && text_[i] != '\r')
            ++i;
        line = text_.substr(pos_, i - pos_);
        if (i < text_.size())
            i += text_[i] == '\r' && i + 1 < text_.size() && text_[i + 1] == '\n' ? 2 : 1;
        pos_ = i;
        ++number_;
        return true;
    }
    std::size_t Number() const { return number_; } // of the line Next gave last, from 1
    std::size_t Start() const { return start_; }   // its byte offset
    std::size_t Pos() const { return pos_; }

  private:
    std::string_view text_;
    std::size_t pos_ = 0, start_ = 0, number_ = 0;
};

// Calls take(index, field) for the fields 0 .. last of the line, raw (blanks and quotes
// kept); a quoted field may hold the separator. Fields past `last` are not looked at.
template <class Take>
void SplitFields(std::string_view line, char sep, std::size_t last, Take take) {
    std::size_t i = 0, index = 0;
    if (sep == kBlanks) {
        while (index <= last) {
            while (i < line.size() && IsBlank(line[i]))
                ++i;
            if (i == line.size())
                return;
            const std::size_t from = i;
            while (i < line.size() && !IsBlank(line[i]))
                ++i;
            take(index++, line.substr(from, i - from));
        }
        return;
    }
    while (index <= last) {
        const std::size_t from = i;
        while (i < line.size() && IsBlank(line[i]))
            ++i;
        if (i < line.size() && line[i] == '"') {
            // To the closing quote ("" is a quote inside), then on to the separator.
            for (++i; i < line.size(); ++i)
                if (line[i] == '"') {
                    if (i + 1 < line.size() && line[i + 1] == '"')
                        ++i;
                    else
                        break;
                }
        }
        while (i < line.size() && line[i] != sep)
            ++i;
        take(index++, line.substr(from, i - from));
        if (i == line.size())
            return;
        ++i; // past the separator
    }
}

// A decimal number with "." (or "," when the comma separates no fields), an optional
// sign and exponent; never the locale's form. Infinities and NaN are no numbers.
bool ParseNumber(std::string_view text, bool decimalComma, double &out) {
    text = Unquote(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-')
            return false;
    }
    if (text.empty() || text.size() > kMaxNumberText)
        return false;
    char buffer[kMaxNumberText];
    if (decimalComma && text.find(',') != std::string_view::npos) {
        std::memcpy(buffer, text.data(), text.size());
        std::replace(buffer, buffer + text.size(), ',', '.');
        text = std::string_view(buffer, text.size());
    }
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size() && std::isfinite(out);
}

// Semicolons, tabs or commas when more than half the sample lines hold them (in that order:
// a semicolon file may use decimal commas), else runs of blanks.
char DetectSeparator(const std::vector<std::string_view> &sample) {
    for (char c : {';', '\t', ','}) {
        std::size_t holding = 0;
        for (std::string_view line : sample)
            holding += line.find(c) != std::string_view::npos;
        if (2 * holding > sample.size())
            return c;
    }
    return kBlanks;
}

std::string SeparatorName(char sep) {
    switch (sep) {
    case ';':
        return "semicolons";
    case '\t':
        return "tabs";
    case ',':
        return "commas";
    default:
        return "blanks";
    }
}

struct Columns {
    std::size_t lon = 0, lat = 1, depth = 2;
    double toMetres = 1;
    std::string depthName = "depth in metres";
};

enum class Role { None, Lat, Lon, Depth };

Role RoleOf(std::string_view name, double &toMetres) {
    const std::string n = support::LowerAscii(std::string(name));
    if (n == "lat" || n == "latitude" || n == "y")
        return Role::Lat;
    if (n == "lon" || n == "lng" || n == "long" || n == "longitude" || n == "x")
        return Role::Lon;
    if (n == "depth" || n == "depth_m" || n == "z") {
        toMetres = 1;
        return Role::Depth;
    }
    if (n == "depth_cm") {
        toMetres = 0.01;
        return Role::Depth;
    }
    if (n == "depth_ft") {
        toMetres = kMetresPerFoot;
        return Role::Depth;
    }
    return Role::None;
}

// The columns a header row names; nullopt when the line names none of them (it is no
// header). `missing` tells which of the three it lacks, if any.
std::optional<Columns> ReadHeader(std::string_view line, char sep, std::string &missing) {
    std::optional<std::size_t> lat, lon, depth;
    Columns c;
    SplitFields(line, sep, static_cast<std::size_t>(-2),
                [&](std::size_t index, std::string_view field) {
                    double toMetres = 1;
                    const std::string_view name = Unquote(field);
                    switch (RoleOf(name, toMetres)) {
                    case Role::Lat:
                        if (!lat)
                            lat = index;
                        break;
                    case Role::Lon:
                        if (!lon)
                            lon = index;
                        break;
                    case Role::Depth:
                        if (!depth) {
                            depth = index;
                            c.toMetres = toMetres;
                            c.depthName = std::string(name);
                        }
                        break;
                    case Role::None:
                        break;
                    }
                });
    if (!lat && !lon && !depth)
        return std::nullopt;
    missing.clear();
    if (!lat)
        missing = "latitude column (lat, latitude or y)";
    else if (!lon)
        missing = "longitude column (lon, lng, long, longitude or x)";
    else if (!depth)
        missing = "depth column (depth, depth_m, depth_cm, depth_ft or z)";
    else {
        c.lat = *lat;
        c.lon = *lon;
        c.depth = *depth;
    }
    return c;
}

// Lines left out for one reason: how many, and the first.
struct Skipped {
    std::size_t count = 0, firstLine = 0;
    void Add(std::size_t line) {
        if (count++ == 0)
            firstLine = line;
    }
    std::string Text(const char *one, const char *many) const {
        return std::to_string(count) + " " + (count == 1 ? one : many) +
               " skipped (the first is line " + std::to_string(firstLine) + ")";
    }
};

const char *const kBadPosition[2] = {
    "line with a position beyond 90° of latitude or 180° of longitude",
    "lines with a position beyond 90° of latitude or 180° of longitude"};
const char *const kBadDepth[2] = {"line with a depth beyond 12000 m",
                                  "lines with a depth beyond 12000 m"};

std::string StemOf(const std::string &path) {
    std::size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

ReadResult Refuse(const std::string &text, std::uint64_t where = 0) {
    ReadResult r;
    r.error = ReadError{text, where};
    r.log.push_back(text);
    return r;
}

ReadResult Read(std::string_view bytes, const std::string &path, model::TGPX &doc,
                const ReadProgress &progress, support::MappedFile *mapped) {
    const std::string notCsv = path + ": not a CSV file";
    std::size_t offset = 0;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        offset = 3; // a byte order mark
    const std::string_view text = bytes.substr(offset);
    if (text.substr(0, kSampleBytes).find('\0') != std::string_view::npos)
        return Refuse(notCsv);

    std::vector<std::string_view> sample;
    {
        LineReader lines(text);
        std::string_view line;
        while (sample.size() < kSampleLines && lines.Pos() < kSampleBytes && lines.Next(line))
            if (!TrimBlanks(line).empty())
                sample.push_back(line);
    }
    if (sample.empty())
        return Refuse(notCsv);
    const char sep = DetectSeparator(sample);
    const bool decimalComma = sep != ',';

    Columns columns;
    bool header = false, anySounding = false;
    std::size_t numeric = 0; // lines whose three values are numbers, kept or not
    Skipped notNumbers, badPosition, badDepth;
    std::size_t above = 0, below = 0; // depths below 0 and above 0

    auto segment = std::make_unique<model::TGPXtrkseg>();
    TReadPacer pacer(progress, mapped, bytes.size());
    LineReader lines(text);
    std::string_view line;
    while (lines.Next(line)) {
        if (!pacer.At(offset + lines.Start()))
            break;
        if (TrimBlanks(line).empty())
            continue;
        // A header is the first line that names a column, before any line of numbers.
        if (!header && numeric == 0) {
            std::string missing;
            if (std::optional<Columns> named = ReadHeader(line, sep, missing)) {
                if (!missing.empty())
                    return Refuse(path + ": the header names no " + missing,
                                  offset + lines.Start());
                columns = *named;
                header = true;
                continue;
            }
        }
        const std::size_t last = std::max({columns.lat, columns.lon, columns.depth});
        std::string_view fields[3];
        bool present[3] = {false, false, false};
        SplitFields(line, sep, last, [&](std::size_t index, std::string_view field) {
            const std::size_t wanted[3] = {columns.lon, columns.lat, columns.depth};
            for (int k = 0; k < 3; ++k)
                if (index == wanted[k]) {
                    fields[k] = field;
                    present[k] = true;
                }
        });
        double lon = 0, lat = 0, depth = 0;
        if (!present[0] || !present[1] || !present[2] ||
            !ParseNumber(fields[0], decimalComma, lon) ||
            !ParseNumber(fields[1], decimalComma, lat) ||
            !ParseNumber(fields[2], decimalComma, depth)) {
            notNumbers.Add(lines.Number());
            continue;
        }
        ++numeric;
        if (!(std::fabs(lat) <= 90) || !(std::fabs(lon) <= 180)) {
            badPosition.Add(lines.Number());
            continue;
        }
        const double metres = depth * columns.toMetres;
        if (!(std::fabs(metres) <= kMaxDepthMetres)) {
            badDepth.Add(lines.Number());
            continue;
        }
        auto p = std::make_unique<model::TGPXwpt>();
        p->Longitude = lon;
        p->Latitude = lat;
        p->HBdepth = TSonarTrack::KeptDepth(metres); // signed for now, settled below
        above += p->HBdepth < 0;
        below += p->HBdepth > 0;
        segment->Add(std::move(p));
        anySounding = true;
    }
    if (pacer.Cancelled() || !pacer.Done())
        return Refuse(path + ": reading cancelled", pacer.Position());

    ReadResult r;
    if (!anySounding) {
        if (numeric == 0 && !header)
            return Refuse(notCsv);
        if (numeric > 0) {
            r = Refuse(path + ": no line holds a sounding: positions must be longitude and "
                              "latitude in degrees, depths at most 12000 m");
            if (badPosition.count)
                r.log.push_back(badPosition.Text(kBadPosition[0], kBadPosition[1]));
            if (badDepth.count)
                r.log.push_back(badDepth.Text(kBadDepth[0], kBadDepth[1]));
            return r;
        }
    }

    r.log.push_back(path + ": " + SeparatorName(sep) + " between the values; " +
                    (header ? "columns named in the header, " : "no header: ") +
                    "longitude in column " + std::to_string(columns.lon + 1) + ", latitude in " +
                    std::to_string(columns.lat + 1) + ", " + columns.depthName + " in " +
                    std::to_string(columns.depth + 1));
    if (notNumbers.count)
        r.log.push_back(notNumbers.Text("line that is not numbers", "lines that are not numbers"));
    if (badPosition.count)
        r.log.push_back(badPosition.Text(kBadPosition[0], kBadPosition[1]));
    if (badDepth.count)
        r.log.push_back(badDepth.Text(kBadDepth[0], kBadDepth[1]));
    // Depths are positive down. A file whose depths are all below 0 gives elevations (as
    // terrain models do): they are turned round. In a file of both, those below 0 lie
    // above the water and are depth 0 there.
    if (above > 0) {
        const bool elevations = below == 0;
        for (const auto &p : segment->Items())
            if (p->HBdepth < 0)
                p->HBdepth = elevations ? -p->HBdepth : 0;
        r.log.push_back(elevations ? "All depths are below 0: read as elevations, the depth is "
                                     "their size"
                                   : std::to_string(above) +
                                         " depths below 0 (above the water) read as 0");
    }
    std::int32_t maxdepth = 0;
    for (const auto &p : segment->Items())
        maxdepth = std::max(maxdepth, static_cast<std::int32_t>(p->HBdepth));
    segment->maxdepth = maxdepth;
    const std::size_t soundings = static_cast<std::size_t>(segment->Count());
    r.log.push_back(std::to_string(soundings) + (soundings == 1 ? " sounding" : " soundings") +
                    " in " + (soundings ? "1 segment" : "no segment"));
    if (soundings > 0) {
        auto track = std::make_unique<model::TGPXtrk>();
        track->name = StemOf(path);
        track->Add(std::move(segment));
        doc.trk.Add(std::move(track));
        doc.trk.filled = true;
    }
    r.loaded = true;
    return r;
}

} // namespace

ReadResult ReadCsvSoundingsBytes(std::string_view bytes, const std::string &path, model::TGPX &doc,
                                 const ReadProgress &progress) {
    return Read(bytes, path, doc, progress, nullptr);
}

ReadResult ReadCsvSoundings(const std::string &path, model::TGPX &doc,
                            const ReadProgress &progress) {
    try {
        support::MappedFile file(path);
        return Read(file.View(), path, doc, progress, &file);
    } catch (const support::FileError &e) {
        return Refuse(e.what());
    }
}

} // namespace formats
