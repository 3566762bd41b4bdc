// Every readable format of the registry, through the loader as "Add Files..." uses it: the
// first byte picks the format, the rest is the file. A format added to the registry is
// fuzzed here without a target of its own.
#include "FuzzUtil.h"

#include "depth/FormatRegistry.h"
#include "depth/ProjectLoader.h"

#include <vector>

namespace {

std::vector<const depth::TFormat *> Readable() {
    std::vector<const depth::TFormat *> out;
    for (const depth::TFormat &f : depth::Formats())
        if (f.Read)
            out.push_back(&f);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static const std::vector<const depth::TFormat *> formats = Readable();
    if (size == 0 || formats.empty())
        return 0;
    const depth::TFormat &format = *formats[data[0] % formats.size()];
    const std::string path = fuzzutil::WriteFile("input" + format.Extensions.front(),
                                                 fuzzutil::AsText(data + 1, size - 1));
    model::TGPX project;
    depth::TProjectLoader loader(project, nullptr);
    try {
        loader.LoadFile(path);
    } catch (const std::exception &) {
        // a refused file is an answer; only crashes, leaks and hangs are faults
    }
    if (loader.MaxDepth < 0)
        fuzzutil::Fail("a negative greatest depth");
    return 0;
}
