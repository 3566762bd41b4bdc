// Lowrance-family sonar logs: the input read as an .sl2 and as an .sl3 file (the header's
// format field picks the frame layout either way) and checked for what the reader promises;
// the first read is then taken through "Add Files..." and "depthwright-batch convert"
// (which writes files, so only once). A read cancelled at its first progress report must
// add nothing.
#include "FuzzUtil.h"

#include "formats/LowranceLog.h"

namespace {

void Read(std::string_view bytes, const std::string &name, bool convert) {
    model::TGPX doc;
    const formats::ReadResult r = formats::ReadLowranceLogBytes(bytes, name, doc);
    fuzzutil::CheckSoundings(r, doc);

    model::TGPX cancelled;
    const formats::ReadResult c = formats::ReadLowranceLogBytes(
        bytes, name, cancelled, [](std::uint64_t, std::uint64_t) { return false; });
    if (c.loaded || !cancelled.trk.Empty())
        fuzzutil::Fail("a cancelled read added soundings");

    if (!r.loaded || !convert || doc.trk.Empty())
        return;
    fuzzutil::SettleLikeTheLoader(doc);
    fuzzutil::ConvertLikeTheBatchTool(doc);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string_view in = fuzzutil::AsText(data, size);
    Read(in, "input.sl2", true);
    Read(in, "input.sl3", false);
    return 0;
}
