// HT track files. Only files of exactly 131080 bytes get past the size check, so besides
// the input as it is the target reads two files of that size made from it: the input
// followed by zeros, and its first 68 bytes (the header) with the rest of it moved to the
// end of the file, where the last records lie.
#include "FuzzUtil.h"

#include "formats/HTConvert.h"

namespace {

void Read(std::string_view bytes) {
    model::TGPX doc;
    formats::THTConvert reader(&doc, "", "input.ht");
    if (!reader.ReadHTBytes(bytes))
        return;
    fuzzutil::SettleLikeTheLoader(doc);
    // Written again as the unit's file, as "depthwright-batch convert" does.
    formats::THTConvert writer(&doc, reader.sTrackName, fuzzutil::Dir().Path("output.ht"));
    writer.Now = [] { return std::uint32_t{0}; };
    (void)writer.ConvertToHT();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    constexpr std::size_t kSize = formats::THTConvert::kFileSize;
    constexpr std::size_t kHeader = formats::THTConvert::kHeaderSize;
    const std::string_view in = fuzzutil::AsText(data, size);
    Read(in);
    if (size == kSize || size > kSize)
        return 0;

    std::string padded(in);
    padded.resize(kSize, '\0');
    Read(padded);

    if (size > kHeader) {
        std::string tail(kSize, '\0');
        std::copy_n(in.begin(), kHeader, tail.begin());
        std::copy(in.begin() + kHeader, in.end(),
                  tail.end() - static_cast<std::ptrdiff_t>(size - kHeader));
        Read(tail);
    }
    return 0;
}
