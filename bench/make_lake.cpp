// Writes the sample lake surveyed with N soundings as a GPX project file.
// usage: bench_make_lake N OUT.gpx
#include "SampleLake.h"

#include "formats/GPXFile.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_make_lake N OUT.gpx\n");
        return 2;
    }
    model::TGPX doc;
    bench::MakeSampleLake(doc, std::atoi(argv[1]));
    formats::TGPXFile writer;
    writer.GPXd = &doc;
    writer.ExportGPX(argv[2]);
    return 0;
}
