// GPX files as the program opens them: the bytes go into a file of our own (the reader
// maps files), are read, settled as "Add Files..." does, and written out again as GPX and
// HT, as "depthwright-batch convert" does.
#include "FuzzUtil.h"

#include "formats/GPXFile.h"
#include "support/DateTime.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string path = fuzzutil::WriteFile("input.gpx", fuzzutil::AsText(data, size));
    model::TGPX doc;
    formats::TGPXFile reader;
    reader.GPXd = &doc;
    try {
        reader.ImportGPXFile(path);
    } catch (const formats::GPXContentError &) {
        return 0; // the loader drops the file
    } catch (const support::DateTimeError &) {
        return 0;
    }
    if (!reader.Loaded)
        return 0;
    fuzzutil::SettleLikeTheLoader(doc);
    fuzzutil::ConvertLikeTheBatchTool(doc);
    return 0;
}
