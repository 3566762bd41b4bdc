#include "depth/ColorModel.h"

#include "support/AtomicFile.h"
#include "support/NumText.h"
#include "support/TextCodec.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace depth {

constinit const std::array<TColor32Name, Color32NameCount> Color32Names = {{
    {0xFF000000, "Black"},
    {0xFF3F3F3F, "DimGray"},
    {0xFF7F7F7F, "Gray"},
    {0xFFBFBFBF, "LightGray"},
    {0xFFFFFFFF, "White"},
    {0xFF7F0000, "Maroon"},
    {0xFF007F00, "Green"},
    {0xFF7F7F00, "Olive"},
    {0xFF00007F, "Navy"},
    {0xFF7F007F, "Purple"},
    {0xFF007F7F, "Teal"},
    {0xFFFF0000, "Red"},
    {0xFF00FF00, "Lime"},
    {0xFFFFFF00, "Yellow"},
    {0xFF0000FF, "Blue"},
    {0xFFFF00FF, "Fuchsia"},
    {0xFF00FFFF, "Aqua"},
    {0xFFF0F8FF, "AliceBlue"},
    {0xFFFAEBD7, "AntiqueWhite"},
    {0xFF7FFFD4, "Aquamarine"},
    {0xFFF0FFFF, "Azure"},
    {0xFFF5F5DC, "Beige"},
    {0xFFFFE4C4, "Bisque"},
    {0xFFFFEBCD, "BlancheDalmond"},
    {0xFF8A2BE2, "BlueViolet"},
    {0xFFA52A2A, "Brown"},
    {0xFFDEB887, "BurlyWood"},
    {0xFF5F9EA0, "Cadetblue"},
    {0xFF7FFF00, "ChartReuse"},
    {0xFFD2691E, "Chocolate"},
    {0xFFFF7F50, "Coral"},
    {0xFF6495ED, "CornFlowerBlue"},
    {0xFFFFF8DC, "CornSilk"},
    {0xFFDC143C, "Crimson"},
    {0xFF00008B, "DarkBlue"},
    {0xFF008B8B, "DarkCyan"},
    {0xFFB8860B, "DarkGoldenRod"},
    {0xFFA9A9A9, "DarkGray"},
    {0xFF006400, "DarkGreen"},
    {0xFFA9A9A9, "DarkGrey"},
    {0xFFBDB76B, "DarkKhaki"},
    {0xFF8B008B, "DarkMagenta"},
    {0xFF556B2F, "DarkOliveGreen"},
    {0xFFFF8C00, "DarkOrange"},
    {0xFF9932CC, "DarkOrchid"},
    {0xFF8B0000, "DarkRed"},
    {0xFFE9967A, "DarkSalmon"},
    {0xFF8FBC8F, "DarkSeaGreen"},
    {0xFF483D8B, "DarkSlateBlue"},
    {0xFF2F4F4F, "DarkSlateGray"},
    {0xFF2F4F4F, "DarkSlateGrey"},
    {0xFF00CED1, "DarkTurquoise"},
    {0xFF9400D3, "DarkViolet"},
    {0xFFFF1493, "DeepPink"},
    {0xFF00BFFF, "DeepSkyBlue"},
    {0xFF1E90FF, "DodgerBlue"},
    {0xFFB22222, "FireBrick"},
    {0xFFFFFAF0, "FloralWhite"},
    {0xFFDCDCDC, "GainsBoro"},
    {0xFFF8F8FF, "GhostWhite"},
    {0xFFFFD700, "Gold"},
    {0xFFDAA520, "GoldenRod"},
    {0xFFADFF2F, "GreenYellow"},
    {0xFF808080, "Grey"},
    {0xFFF0FFF0, "HoneyDew"},
    {0xFFFF69B4, "HotPink"},
    {0xFFCD5C5C, "IndianRed"},
    {0xFF4B0082, "Indigo"},
    {0xFFFFFFF0, "Ivory"},
    {0xFFF0E68C, "Khaki"},
    {0xFFE6E6FA, "Lavender"},
    {0xFFFFF0F5, "LavenderBlush"},
    {0xFF7CFC00, "LawnGreen"},
    {0xFFFFFACD, "LemonChiffon"},
    {0xFFADD8E6, "LightBlue"},
    {0xFFF08080, "LightCoral"},
    {0xFFE0FFFF, "LightCyan"},
    {0xFFFAFAD2, "LightGoldenRodYellow"},
    {0xFF90EE90, "LightGreen"},
    {0xFFD3D3D3, "LightGrey"},
    {0xFFFFB6C1, "LightPink"},
    {0xFFFFA07A, "LightSalmon"},
    {0xFF20B2AA, "LightSeagreen"},
    {0xFF87CEFA, "LightSkyblue"},
    {0xFF778899, "LightSlategray"},
    {0xFF778899, "LightSlategrey"},
    {0xFFB0C4DE, "LightSteelblue"},
    {0xFFFFFFE0, "LightYellow"},
    {0xFFC0C0C0, "LtGray"},
    {0xFFA0A0A4, "MedGray"},
    {0xFF808080, "DkGray"},
    {0xFFC0DCC0, "MoneyGreen"},
    {0xFFA6CAF0, "LegacySkyBlue"},
    {0xFFFFFBF0, "Cream"},
    {0xFF32CD32, "LimeGreen"},
    {0xFFFAF0E6, "Linen"},
    {0xFF66CDAA, "MediumAquamarine"},
    {0xFF0000CD, "MediumBlue"},
    {0xFFBA55D3, "MediumOrchid"},
    {0xFF9370DB, "MediumPurple"},
    {0xFF3CB371, "MediumSeaGreen"},
    {0xFF7B68EE, "MediumSlateBlue"},
    {0xFF00FA9A, "MediumSpringGreen"},
    {0xFF48D1CC, "MediumTurquoise"},
    {0xFFC71585, "MediumVioletRed"},
    {0xFF191970, "MidnightBlue"},
    {0xFFF5FFFA, "MintCream"},
    {0xFFFFE4E1, "MistyRose"},
    {0xFFFFE4B5, "Moccasin"},
    {0xFFFFDEAD, "NavajoWhite"},
    {0xFFFDF5E6, "OldLace"},
    {0xFF6B8E23, "OliveDrab"},
    {0xFFFFA500, "Orange"},
    {0xFFFF4500, "OrangeRed"},
    {0xFFDA70D6, "Orchid"},
    {0xFFEEE8AA, "PaleGoldenRod"},
    {0xFF98FB98, "PaleGreen"},
    {0xFFAFEEEE, "PaleTurquoise"},
    {0xFFDB7093, "PaleVioletred"},
    {0xFFFFEFD5, "PapayaWhip"},
    {0xFFFFDAB9, "PeachPuff"},
    {0xFFCD853F, "Peru"},
    {0xFFDDA0DD, "Plum"},
    {0xFFB0E0E6, "PowderBlue"},
    {0xFFBC8F8F, "RosyBrown"},
    {0xFF4169E1, "RoyalBlue"},
    {0xFF8B4513, "SaddleBrown"},
    {0xFFFA8072, "Salmon"},
    {0xFFF4A460, "SandyBrown"},
    {0xFF2E8B57, "SeaGreen"},
    {0xFFFFF5EE, "SeaShell"},
    {0xFFA0522D, "Sienna"},
    {0xFFC0C0C0, "Silver"},
    {0xFF87CEEB, "SkyBlue"},
    {0xFF6A5ACD, "SlateBlue"},
    {0xFF708090, "SlateGray"},
    {0xFF708090, "SlateGrey"},
    {0xFFFFFAFA, "Snow"},
    {0xFF00FF7F, "SpringGreen"},
    {0xFF4682B4, "SteelBlue"},
    {0xFFD2B48C, "Tan"},
    {0xFFD8BFD8, "Thistle"},
    {0xFFFF6347, "Tomato"},
    {0xFF40E0D0, "Turquoise"},
    {0xFFEE82EE, "Violet"},
    {0xFFF5DEB3, "Wheat"},
    {0xFFF5F5F5, "WhiteSmoke"},
    {0xFF9ACD32, "YellowGreen"},
}};

std::optional<std::size_t> Color32NameIndex(std::string_view name) {
    for (std::size_t i = 0; i < Color32Names.size(); ++i)
        if (support::EqualsNoCase(Color32Names[i].Name, name))
            return i;
    return std::nullopt;
}

std::optional<TColor32> Color32ByName(std::string_view name) {
    if (auto i = Color32NameIndex(name))
        return Color32Names[*i].Color;
    return std::nullopt;
}

// ---------------------------------------------------------------------------------------
// Gradient and lookup table

void TColor32Gradient::ClearColorStops() {
    FStops.clear();
}

void TColor32Gradient::AddColorStop(float Offset, TColor32 Color) {
    if (std::isnan(Offset))
        throw std::invalid_argument("AddColorStop: the offset is not a number");
    // upper_bound: after every stop of the same offset, so a later line wins above it.
    auto at = std::upper_bound(FStops.begin(), FStops.end(), Offset,
                               [](float t, const TColor32GradientStop &s) { return t < s.Offset; });
    FStops.insert(at, TColor32GradientStop{Offset, Color});
}

TColor32 TColor32Gradient::ColorAt(float Offset) const {
    if (FStops.empty())
        return 0x00000000;
    // Written as !(>) so that a NaN offset takes the first colour instead of indexing
    // before the first stop.
    if (!(Offset > FStops.front().Offset))
        return FStops.front().Color32;
    if (Offset >= FStops.back().Offset)
        return FStops.back().Color32;

    // The first stop whose offset is not below t; the one before it is strictly below t,
    // so the span is never empty.
    auto hi = std::lower_bound(FStops.begin(), FStops.end(), Offset,
                               [](const TColor32GradientStop &s, float t) { return s.Offset < t; });
    auto lo = hi - 1;
    // Differences of floats are exact in double; only the quotient rounds. At 0.25 of the
    // default model f is 0.5 and f * 255 = 127.5, which rounds (half to even) to 128.
    double f =
        (static_cast<double>(Offset) - lo->Offset) / (static_cast<double>(hi->Offset) - lo->Offset);
    auto w = static_cast<std::uint32_t>(std::clamp(std::nearbyint(f * 255.0), 0.0, 255.0));

    // Integer arithmetic, each term truncated on its own: c1*w/255 + c0*(255-w)/255 is at
    // most 255, w = 255 gives c1 and w = 0 gives c0 exactly, and no float error can push a
    // channel one below where it belongs.
    TColor32 c1 = hi->Color32, c0 = lo->Color32, result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        std::uint32_t a = (c1 >> shift) & 0xFF, b = (c0 >> shift) & 0xFF;
        std::uint32_t channel = a * w / 255 + b * (255 - w) / 255;
        result |= channel << shift;
    }
    return result;
}

void TColor32Gradient::FillColorLookUpTable(TColor32LookupTable &table) const {
    std::size_t n = table.Size();
    for (std::size_t i = 0; i < n; ++i) {
        float t =
            n > 1 ? static_cast<float>(static_cast<double>(i) / static_cast<double>(n - 1)) : 0.0f;
        table[i] = ColorAt(t);
    }
}

TColor32LookupTable::TColor32LookupTable(int order) : FOrder(0) {
    if (order < 1 || order > MaxOrder)
        throw std::invalid_argument("TColor32LookupTable: order out of range");
    FOrder = order;
    FColors.assign(std::size_t{1} << order, 0);
}

void TColor32LookupTable::SetOrder(int order) {
    if (order < 1 || order > MaxOrder)
        throw std::invalid_argument("TColor32LookupTable: order out of range");
    if (order == FOrder)
        return;
    FOrder = order;
    FColors.assign(std::size_t{1} << order, 0);
    if (OnOrderChanged)
        OnOrderChanged();
}

// ---------------------------------------------------------------------------------------
// Text form

namespace {

// Optional blanks and sign, then decimal digits or "$" and hexadecimal digits. The range
// covers both a signed 32-bit integer and a full unsigned ARGB value.
std::optional<std::int64_t> ReadInteger(std::string_view text) {
    text = support::TrimView(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    unsigned base = 10;
    if (!text.empty() && text.front() == '$') {
        base = 16;
        text.remove_prefix(1);
    }
    if (text.empty())
        return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            return std::nullopt;
        value = value * base + digit;
        if (value > 0xFFFFFFFFu)
            return std::nullopt;
    }
    if (negative) {
        if (value > 0x80000000u)
            return std::nullopt;
        return -static_cast<std::int64_t>(value);
    }
    return static_cast<std::int64_t>(value);
}

bool IsTrimmed(unsigned char c) {
    return c <= ' ' || c == 0x7F;
}

// At most `count` characters (code points, not bytes) of UTF-8 text.
std::string_view FirstChars(std::string_view text, std::size_t count) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && chars++ == count)
            return text.substr(0, i);
    }
    return text;
}

std::optional<TColor32> ColorOfText(std::string_view text) {
    if (auto named = Color32ByName(text))
        return named;
    auto value = ReadInteger(text);
    if (!value)
        return std::nullopt;
    auto color = static_cast<TColor32>(*value); // a negative decimal is its 32-bit pattern
    if (color == NoColor32)
        return std::nullopt;
    return color;
}

} // namespace

void StrToArrayColor32Gradient(const std::vector<std::string> &s, TColor32Gradient &Gradient) {
    Gradient.ClearColorStops();
    // The stops are sorted first (stable: equal offsets keep the order of their lines), so
    // that each one is added at the end. Inserting them in the order of the lines would
    // move all stops above it for each, which is quadratic for a long model listed from the
    // highest offset down.
    std::vector<TColor32GradientStop> stops;
    for (const std::string &line : s) {
        std::size_t percent = line.find('%');
        if (percent == std::string::npos || percent == 0)
            continue;
        auto number = ReadInteger(std::string_view(line).substr(0, percent));
        if (!number || *number < 0 || *number > 0x7FFFFFFF)
            continue;
        std::string_view colorText = FirstChars(std::string_view(line).substr(percent + 1), 80);
        while (!colorText.empty() && IsTrimmed(static_cast<unsigned char>(colorText.front())))
            colorText.remove_prefix(1);
        while (!colorText.empty() && IsTrimmed(static_cast<unsigned char>(colorText.back())))
            colorText.remove_suffix(1);
        auto color = ColorOfText(colorText);
        if (!color)
            continue;
        stops.push_back({static_cast<float>(static_cast<double>(*number) / 100.0), *color});
    }
    std::stable_sort(stops.begin(), stops.end(),
                     [](const TColor32GradientStop &a, const TColor32GradientStop &b) {
                         return a.Offset < b.Offset;
                     });
    for (const TColor32GradientStop &stop : stops)
        Gradient.AddColorStop(stop.Offset, stop.Color32);
}

std::vector<std::string> DefaultColorModel() {
    return {"0% Lime", "50% Yellow", "100% Blue"};
}

// ---------------------------------------------------------------------------------------
// ".cmt" files

namespace {

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0, i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.emplace_back(text.substr(start, i - start));
            i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
            start = i;
        } else {
            ++i;
        }
    }
    // A last line without its line end still counts; a final line end starts no new line.
    if (start < text.size())
        lines.emplace_back(text.substr(start));
    return lines;
}

} // namespace

std::vector<std::string> DecodeColorModelText(std::string_view bytes) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        return SplitLines(support::CleanUtf8(bytes.substr(3)));
    if (bytes.substr(0, 2) == "\xFF\xFE")
        return SplitLines(support::Utf16ToUtf8(bytes.substr(2), false));
    if (bytes.substr(0, 2) == "\xFE\xFF")
        return SplitLines(support::Utf16ToUtf8(bytes.substr(2), true));
    return SplitLines(support::Cp1252ToUtf8(bytes));
}

void SaveColorModel(const std::string &path, const std::vector<std::string> &lines) {
    std::string bytes;
    for (const std::string &line : lines) {
        bytes += Utf8ToCp1252(line);
        bytes += "\r\n";
    }
    support::AtomicFileWriter writer(path);
    writer.Write(bytes);
    writer.Commit();
}

std::vector<std::string> LoadColorModel(const std::string &path) {
    return DecodeColorModelText(support::ReadWholeFile(path));
}

} // namespace depth
