// KML text as "Add Files..." reads it, then settled and converted like any loaded file.
#include "FuzzUtil.h"

#include "formats/KMLFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    model::TGPX doc;
    formats::TKMLFile reader;
    reader.GPXd = &doc;
    reader.ImportKMLText(fuzzutil::AsText(data, size)); // problems are only logged
    if (!reader.Loaded)
        return 0;
    fuzzutil::SettleLikeTheLoader(doc);
    fuzzutil::ConvertLikeTheBatchTool(doc);
    return 0;
}
