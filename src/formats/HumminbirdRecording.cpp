#include "formats/HumminbirdRecording.h"

#include "formats/SonarTrack.h"
#include "support/AtomicFile.h"
#include "support/MappedFile.h"
#include "support/NumText.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <optional>
#include <utility>

namespace formats {

namespace {

constexpr double kRadius = 6378388.0;
constexpr double kLatitudeFactor = 1.0067642927;
constexpr char kMagic[4] = {'\xC0', '\xDE', '\xAB', '\x21'};
constexpr char kHeaderEnd = '\x21';
// Longer than any record header met (152 bytes on the largest units): beyond it the
// header is damaged.
constexpr std::size_t kMaxHeader = 1024;
constexpr std::size_t kIndexEntry = 8;
constexpr std::size_t kDatRead = 256; // what is read of a .DAT file
constexpr int kListedDamage = 20;

std::uint32_t BE32(std::string_view b, std::size_t at) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i)
        v = v << 8 | static_cast<unsigned char>(b[at + i]);
    return v;
}

bool IsDat(std::string_view dat) {
    // 0xC1 on most units, 0xC3 on the Solix series.
    return !dat.empty() && (dat[0] == '\xC1' || dat[0] == '\xC3');
}

std::string FileName(const std::string &path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Stem(const std::string &path) {
    std::string name = FileName(path);
    std::size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

std::string Bytes(std::size_t from, std::size_t to) {
    return "bytes " + std::to_string(from) + " to " + std::to_string(to - 1);
}

ReadResult Refuse(const std::string &text) {
    ReadResult r;
    r.error = ReadError{text, 0};
    r.log.push_back(text);
    return r;
}

// The fields of one record header that a depth chart needs.
struct Record {
    enum Status { Ok, NotRecord, Cut, Broken } status = NotRecord;
    std::size_t end = 0; // after the echo samples; 0 when the header gives no count
    std::size_t headerEnd = 0;
    std::optional<std::uint32_t> ms, depth;
    std::optional<std::int32_t> easting, northing;
};

class BeamReader {
  public:
    BeamReader(std::string_view son, const std::string &datPath, const std::string &sonPath,
               const ReadProgress &progress, support::MappedFile *mapped)
        : son_(son), sonPath_(sonPath), pacer_(progress, mapped, son.size()),
          track_(Stem(datPath)) {}

    ReadResult Run(std::string_view dat, std::optional<std::string_view> idx,
                   const std::string &idxName, model::TGPX &doc);

  private:
    Record Parse(std::size_t pos) const;
    std::optional<std::size_t> FindRecord(std::size_t from);
    void Take(const Record &r, std::size_t pos);
    // Reads record after record from `pos` to the end; false when cancelled.
    bool Sequential(std::size_t pos);
    // Reads the records the index lists; returns where sequential reading goes on.
    std::size_t Indexed(std::string_view idx, const std::string &idxName);

    std::string_view son_;
    const std::string &sonPath_;
    TReadPacer pacer_;
    TSonarTrack track_;
    ReadResult result_;
    std::optional<std::uint32_t> start_;
    std::size_t records_ = 0;
    int damaged_ = 0;
    bool indexDamaged_ = false;
};

Record BeamReader::Parse(std::size_t pos) const {
    Record r;
    const std::size_t size = son_.size();
    const std::size_t left = size - pos;
    if (std::memcmp(son_.data() + pos, kMagic, std::min<std::size_t>(left, 4)) != 0)
        return r; // NotRecord
    if (left < 4) {
        r.status = Record::Cut;
        return r;
    }
    std::optional<std::uint32_t> count;
    std::size_t p = pos + 4;
    const std::size_t limit = pos + std::min(kMaxHeader, left);
    for (;;) {
        if (p >= limit) {
            r.status = p >= size ? Record::Cut : Record::Broken;
            return r;
        }
        const unsigned char tag = static_cast<unsigned char>(son_[p]);
        if (tag == static_cast<unsigned char>(kHeaderEnd))
            break;
        const std::size_t width = tag >= 0x80 ? 4 : 1;
        if (size - p < 1 + width) {
            r.status = Record::Cut;
            return r;
        }
        if (width == 4) {
            const std::uint32_t v = BE32(son_, p + 1);
            switch (tag) {
            case 0x81:
                r.ms = v;
                break;
            case 0x82:
                r.easting = static_cast<std::int32_t>(v);
                break;
            case 0x83:
                r.northing = static_cast<std::int32_t>(v);
                break;
            case 0x87:
                r.depth = v;
                break;
            case 0xA0:
                count = v;
                break;
            default:
                break;
            }
        }
        p += 1 + width;
    }
    r.headerEnd = p + 1;
    if (count) {
        if (*count > size - r.headerEnd) {
            r.status = Record::Cut;
            return r;
        }
        r.end = r.headerEnd + *count;
    }
    r.status = Record::Ok;
    return r;
}

std::optional<std::size_t> BeamReader::FindRecord(std::size_t from) {
    const std::size_t size = son_.size();
    while (from < size) {
        const std::size_t chunk = std::min<std::size_t>(size - from, std::size_t{1} << 20);
        if (!pacer_.At(from))
            return std::nullopt;
        const std::string_view window =
            son_.substr(from, chunk + std::min<std::size_t>(3, size - from - chunk));
        const std::size_t at = window.find(std::string_view(kMagic, 4));
        if (at != std::string_view::npos)
            return from + at;
        from += chunk;
    }
    return std::nullopt;
}

void BeamReader::Take(const Record &r, std::size_t pos) {
    ++records_;
    const bool valid = r.easting && r.northing;
    const double lat = valid ? HumminbirdLatitude(*r.northing) : 0;
    const double lon = valid ? HumminbirdLongitude(*r.easting) : 0;
    // Tenths of a metre; a value above 2^31 is a negative one.
    const double depth = r.depth ? static_cast<std::int32_t>(*r.depth) / 10.0 : 0;
    if (auto fault = TSonarTrack::Check(valid, lat, lon, depth)) {
        track_.Count(*fault, pos);
        if (*fault == TSonarTrack::NoPosition || *fault == TSonarTrack::BadPosition)
            track_.Break();
        return;
    }
    track_.Add(lat, lon, depth, start_ && r.ms ? TSonarTrack::TimeOf(*start_, *r.ms) : 0);
}

bool BeamReader::Sequential(std::size_t pos) {
    const std::size_t size = son_.size();
    while (pos < size) {
        if (!pacer_.At(pos))
            return false;
        const Record r = Parse(pos);
        if (r.status == Record::Ok) {
            Take(r, pos);
            if (r.end != 0) {
                pos = r.end;
                continue;
            }
            // No sample count: the next record is where the next header starts.
            const std::optional<std::size_t> next = FindRecord(r.headerEnd);
            if (pacer_.Cancelled())
                return false;
            pos = next.value_or(size);
            continue;
        }
        const std::optional<std::size_t> next = FindRecord(pos + 1);
        if (pacer_.Cancelled())
            return false;
        if (!next) {
            std::string text =
                r.status == Record::Cut
                    ? "the last record, at byte " + std::to_string(pos) + ", is cut off"
                    : "damaged from byte " + std::to_string(pos) +
                          " to the end, no record found there";
            result_.error =
                ReadError{sonPath_ + ": " + text + "; what came before it was read", pos};
            result_.log.push_back(result_.error->text);
            return true;
        }
        const char *what = r.status == Record::Cut ? "a record reaching beyond the end of the file"
                           : r.status == Record::Broken ? "a record header without its end"
                                                        : "no record";
        if (++damaged_ <= kListedDamage)
            result_.log.push_back("Damaged: " + std::string(what) + " at byte " +
                                  std::to_string(pos) + "; " + Bytes(pos, *next) + " skipped");
        track_.Break();
        pos = *next;
    }
    return true;
}

std::size_t BeamReader::Indexed(std::string_view idx, const std::string &idxName) {
    if (idx.size() % kIndexEntry != 0)
        result_.log.push_back(idxName + ": " + std::to_string(idx.size() % kIndexEntry) +
                              " bytes after the last entry ignored");
    const std::size_t entries = idx.size() / kIndexEntry;
    std::size_t done = 0; // where the records read so far end
    for (std::size_t k = 0; k < entries; ++k) {
        const std::size_t pos = BE32(idx, k * kIndexEntry + 4);
        if (!pacer_.At(pos))
            return done;
        Record r;
        if (pos >= done && pos < son_.size())
            r = Parse(pos);
        if (r.status == Record::Cut) { // the record by record reading says where
            indexDamaged_ = true;
            return pos;
        }
        if (r.status != Record::Ok) {
            result_.log.push_back(idxName + " is damaged: entry " + std::to_string(k) + " (byte " +
                                  std::to_string(k * kIndexEntry) + ") points to no record of " +
                                  FileName(sonPath_) + "; reading record by record from byte " +
                                  std::to_string(done));
            indexDamaged_ = true;
            return done;
        }
        Take(r, pos);
        // Without a sample count the record ends where the next one starts.
        done = r.end != 0 ? r.end : FindRecord(r.headerEnd).value_or(son_.size());
    }
    return done;
}

ReadResult BeamReader::Run(std::string_view dat, std::optional<std::string_view> idx,
                           const std::string &idxName, model::TGPX &doc) {
    if (dat.size() >= 24) {
        const std::uint32_t t = BE32(dat, 20);
        if (TSonarTrack::PlausibleStart(t))
            start_ = t;
    }
    if (!start_)
        result_.log.push_back("The recording has no start time: the soundings have no time.");

    std::size_t from = 0;
    if (idx) {
        from = Indexed(*idx, idxName);
        const std::size_t indexed = records_;
        if (!pacer_.Cancelled() && Sequential(from) && !indexDamaged_ && records_ > indexed)
            result_.log.push_back(std::to_string(records_ - indexed) + " records beyond those of " +
                                  idxName + " read");
    } else {
        Sequential(0);
    }
    if (pacer_.Cancelled() || !pacer_.Done()) {
        result_.error = ReadError{sonPath_ + ": reading cancelled", pacer_.Position()};
        return std::move(result_);
    }
    if (records_ == 0 && !son_.empty() && !son_.starts_with(std::string_view(kMagic, 4))) {
        result_.error = ReadError{sonPath_ + ": not a Humminbird sonar file (no record found)", 0};
        result_.log.push_back(result_.error->text);
        return std::move(result_);
    }
    if (damaged_ > kListedDamage)
        result_.log.push_back(std::to_string(damaged_) + " damaged stretches skipped in all");
    track_.Summarise(result_.log);
    track_.MoveInto(doc);
    result_.loaded = true;
    return std::move(result_);
}

// The folder entry whose name is `name` in any case; nullopt when there is none.
std::optional<std::filesystem::path> FindNoCase(const std::filesystem::path &folder,
                                                const std::string &name, bool wantFolder) {
    std::error_code ec;
    const std::filesystem::path exact = folder / name;
    if (wantFolder ? std::filesystem::is_directory(exact, ec)
                   : std::filesystem::is_regular_file(exact, ec))
        return exact;
    for (const auto &entry : std::filesystem::directory_iterator(folder, ec)) {
        if (!support::EqualsNoCase(entry.path().filename().string(), name))
            continue;
        if (wantFolder ? entry.is_directory(ec) : entry.is_regular_file(ec))
            return entry.path();
    }
    return std::nullopt;
}

} // namespace

double HumminbirdLongitude(std::int32_t easting) {
    return easting / kRadius * 180.0 / std::numbers::pi;
}

double HumminbirdLatitude(std::int32_t northing) {
    const double mercator = 2.0 * std::atan(std::exp(northing / kRadius)) - std::numbers::pi / 2;
    return std::atan(std::tan(mercator) * kLatitudeFactor) * 180.0 / std::numbers::pi;
}

ReadResult ReadHumminbirdBeam(std::string_view dat, std::string_view son,
                              std::optional<std::string_view> idx, const std::string &datPath,
                              const std::string &sonPath, model::TGPX &doc,
                              const ReadProgress &progress) {
    if (!IsDat(dat))
        return Refuse(datPath + ": not a Humminbird recording (.DAT) file");
    std::string idxName = Stem(sonPath) + ".IDX";
    return BeamReader(son, datPath, sonPath, progress, nullptr).Run(dat, idx, idxName, doc);
}

ReadResult ReadHumminbirdRecording(const std::string &datPath, model::TGPX &doc,
                                   const ReadProgress &progress) {
    namespace fs = std::filesystem;
    std::string dat;
    {
        std::ifstream in(datPath, std::ios::binary);
        if (!in)
            return Refuse("Cannot open file \"" + datPath + "\"");
        dat.resize(kDatRead);
        in.read(dat.data(), static_cast<std::streamsize>(dat.size()));
        dat.resize(static_cast<std::size_t>(in.gcount()));
    }
    if (!IsDat(dat))
        return Refuse(datPath + ": not a Humminbird recording (.DAT) file");

    const fs::path datFile(datPath);
    const fs::path parent = datFile.has_parent_path() ? datFile.parent_path() : fs::path(".");
    const std::string stem = Stem(datPath);
    const std::optional<fs::path> folder = FindNoCase(parent, stem, true);
    if (!folder)
        return Refuse(datPath + ": the recording's folder " +
                      (datFile.parent_path() / stem).string() +
                      " with its sonar files (.SON, .IDX) is missing");
    std::optional<fs::path> sonFile;
    std::string beam;
    for (const char *b : {"B001", "B000"})
        if ((sonFile = FindNoCase(*folder, std::string(b) + ".SON", false))) {
            beam = b;
            break;
        }
    if (!sonFile)
        return Refuse(datPath + ": no B001.SON or B000.SON in the recording's folder " +
                      folder->string());
    const std::optional<fs::path> idxFile = FindNoCase(*folder, beam + ".IDX", false);

    try {
        std::vector<std::string> note;
        support::MappedFile son(sonFile->string());
        std::optional<support::MappedFile> idx;
        if (idxFile)
            idx.emplace(idxFile->string());
        else
            note.push_back(beam + ".IDX is missing: " + sonFile->filename().string() +
                           " is read record by record");
        note.insert(note.begin(), "Beam " + beam + ": " + sonFile->string());
        ReadResult r =
            BeamReader(son.View(), datPath, sonFile->string(), progress, &son)
                .Run(dat, idx ? std::optional<std::string_view>(idx->View()) : std::nullopt,
                     idxFile ? idxFile->filename().string() : beam + ".IDX", doc);
        r.log.insert(r.log.begin(), note.begin(), note.end());
        return r;
    } catch (const support::FileError &e) {
        return Refuse(e.what());
    }
}

} // namespace formats
