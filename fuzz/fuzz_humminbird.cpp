// Humminbird recordings: a beam's .SON and .IDX files split from one input (see
// fuzzutil::SplitTwo), read with a fixed .DAT once through the index and once record by
// record, and checked for what the reader promises; the first read is then taken through
// "Add Files..." and "depthwright-batch convert" (which writes files, so only once).
#include "FuzzUtil.h"

#include "formats/HumminbirdRecording.h"

namespace {

std::string Dat() {
    std::string d(64, '\0');
    d[0] = '\xC1';
    d.replace(20, 4, "\x52\x69\xAD\x2C"); // 2013-10-24 23:28:44 UTC
    return d;
}

void Read(std::string_view son, std::optional<std::string_view> idx, bool convert) {
    static const std::string dat = Dat();
    model::TGPX doc;
    const formats::ReadResult r =
        formats::ReadHumminbirdBeam(dat, son, idx, "R00001.DAT", "R00001/B001.SON", doc);
    fuzzutil::CheckSoundings(r, doc);
    if (!r.loaded || !convert || doc.trk.Empty())
        return;
    fuzzutil::SettleLikeTheLoader(doc);
    fuzzutil::ConvertLikeTheBatchTool(doc);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const auto [son, idx] = fuzzutil::SplitTwo(fuzzutil::AsText(data, size));
    Read(son, idx, true);
    Read(son, std::nullopt, false);
    // The .DAT alone decides whether the recording is one.
    model::TGPX doc;
    if (formats::ReadHumminbirdBeam(son, {}, std::nullopt, "x.DAT", "x/B001.SON", doc).loaded &&
        !(!son.empty() && (son[0] == '\xC1' || son[0] == '\xC3')))
        fuzzutil::Fail("a .DAT that is none was read");
    return 0;
}
