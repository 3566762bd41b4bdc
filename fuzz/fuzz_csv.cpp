// Text tables of soundings: the input read as a .csv file and checked for what the reader
// promises (a file not loaded adds nothing; every sounding has a position in degrees and a
// depth from 0 to 12000 m; a cancelled read adds nothing), then taken through "Add
// Files..." and "depthwright-batch convert".
#include "FuzzUtil.h"

#include "formats/CsvSoundings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string_view in = fuzzutil::AsText(data, size);
    model::TGPX doc;
    const formats::ReadResult r = formats::ReadCsvSoundingsBytes(in, "input.csv", doc);
    if (!r.loaded && (!doc.trk.Empty() || !r.error))
        fuzzutil::Fail("a read that did not load added tracks or gave no error");
    for (const auto &t : doc.trk.Items()) {
        if (t->Count() != 1 || t->First()->Empty())
            fuzzutil::Fail("not one segment of soundings");
        for (const auto &p : t->First()->Items())
            if (!(std::fabs(p->Latitude) <= 90) || !(std::fabs(p->Longitude) <= 180) ||
                !(p->HBdepth >= 0 && p->HBdepth <= 1200000) ||
                p->HBdepth > t->First()->maxdepth + 1)
                fuzzutil::Fail("a sounding at " + std::to_string(p->Latitude) + " " +
                               std::to_string(p->Longitude) + " depth " +
                               std::to_string(p->HBdepth));
    }

    model::TGPX cancelled;
    const formats::ReadResult c = formats::ReadCsvSoundingsBytes(
        in, "input.csv", cancelled, [](std::uint64_t, std::uint64_t) { return false; });
    if (c.loaded || !cancelled.trk.Empty())
        fuzzutil::Fail("a cancelled read added soundings");

    if (!r.loaded || doc.trk.Empty())
        return 0;
    fuzzutil::SettleLikeTheLoader(doc);
    fuzzutil::ConvertLikeTheBatchTool(doc);
    return 0;
}
