// Colour models (".cmt" files): the text decoded as LoadColorModel does, and the raw input's
// lines as the editor hands them over, each made into a gradient and looked up.
#include "FuzzUtil.h"

#include "depth/ColorModel.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

void Use(const std::vector<std::string> &lines) {
    depth::TColor32Gradient gradient;
    depth::StrToArrayColor32Gradient(lines, gradient);
    const auto &stops = gradient.Stops();
    if (!std::is_sorted(stops.begin(), stops.end(),
                        [](const auto &a, const auto &b) { return a.Offset < b.Offset; }))
        fuzzutil::Fail("the gradient's stops are not sorted");
    for (float t :
         {-1.0f, 0.0f, 0.25f, 0.5f, 0.999f, 1.0f, 2.0f, std::numeric_limits<float>::quiet_NaN(),
          std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity()})
        (void)gradient.ColorAt(t);
    for (const auto &s : stops) {
        (void)gradient.ColorAt(s.Offset);
        (void)gradient.ColorAt(std::nextafter(s.Offset, 0.0f));
    }
    depth::TColor32LookupTable table(4);
    gradient.FillColorLookUpTable(table);
}

std::vector<std::string> RawLines(std::string_view text) {
    std::vector<std::string> lines;
    for (std::size_t start = 0; start <= text.size();) {
        std::size_t end = std::min(text.find('\n', start), text.size());
        lines.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string_view text = fuzzutil::AsText(data, size);
    Use(depth::DecodeColorModelText(text));
    Use(RawLines(text));
    return 0;
}
