#include "depth/ColorModel.h"
#include "support/AtomicFile.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <sstream>

namespace fs = std::filesystem;
using namespace depth;
using testutil::ReadBytes;
using testutil::TempDir;
using testutil::WriteBytes;

namespace {

std::string Hex(TColor32 c) {
    char buf[9];
    std::snprintf(buf, sizeof buf, "%08X", c);
    return buf;
}

TColor32Gradient Build(const std::vector<std::string> &lines) {
    TColor32Gradient g;
    StrToArrayColor32Gradient(lines, g);
    return g;
}

} // namespace

// ---------------------------------------------------------------------------------------
// Colour at an offset

TEST(ColorGradient, DefaultModel) {
    EXPECT_EQ(DefaultColorModel(),
              (std::vector<std::string>{"0% Lime", "50% Yellow", "100% Blue"}));
    TColor32Gradient g = Build(DefaultColorModel());
    ASSERT_EQ(g.GradientCount(), 3u);
    const struct {
        float t;
        const char *color;
    } cases[] = {
        {-1.0f, "FF00FF00"},
        {0.0f, "FF00FF00"},
        {0.25f, "FF80FF00"}, // w = 128 of yellow, 127 of lime
        {0.5f, "FFFFFF00"},
        {0.75f, "FF7F7F80"}, // w = 128 of blue, 127 of yellow
        {1.0f, "FF0000FF"},
        {2.0f, "FF0000FF"},
        {std::numeric_limits<float>::quiet_NaN(), "FF00FF00"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Hex(g.ColorAt(c.t)), c.color) << "t = " << c.t;
}

TEST(ColorGradient, BlendsAllFourChannelsTermByTerm) {
    // Alpha blends like the other channels.
    EXPECT_EQ(Hex(Build({"0% $00000000", "100% $FFFFFFFF"}).ColorAt(0.5f)), "80808080");
    // 200*128/255 + 100*127/255 = 100 + 49: each term is truncated on its own.
    TColor32Gradient g = Build({"0% $00646464", "100% $FFC8C8C8"});
    EXPECT_EQ(Hex(g.ColorAt(0.5f)), "80959595");
    // w = Round(0.001 * 255) = 0 and Round(0.999 * 255) = 255: the stops' own colours.
    EXPECT_EQ(Hex(g.ColorAt(0.001f)), "00646464");
    EXPECT_EQ(Hex(g.ColorAt(0.999f)), "FFC8C8C8");
}

TEST(ColorGradient, OneStopOrNone) {
    TColor32Gradient one = Build({"40% Red"});
    for (float t : {-1.0f, 0.0f, 0.4f, 0.7f, 5.0f})
        EXPECT_EQ(Hex(one.ColorAt(t)), "FFFF0000") << t;

    for (const auto &lines :
         {std::vector<std::string>{}, std::vector<std::string>{"", "Red", "x% Red"}}) {
        TColor32Gradient none = Build(lines);
        EXPECT_EQ(none.GradientCount(), 0u);
        for (float t : {0.0f, 0.5f, 1.0f})
            EXPECT_EQ(none.ColorAt(t), 0x00000000u);
    }
}

TEST(ColorGradient, EqualOffsetsKeepTheOrderOfTheLines) {
    TColor32Gradient g = Build({"100% White", "50% Red", "0% Black", "50% Blue"});
    ASSERT_EQ(g.GradientCount(), 4u);
    const TColor32 order[] = {0xFF000000, 0xFFFF0000, 0xFF0000FF, 0xFFFFFFFF};
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(Hex(g.GradientEntry(i).Color32), Hex(order[i])) << i;
    EXPECT_EQ(Hex(g.ColorAt(0.25f)), "FF800000"); // black towards the earlier line (red)
    EXPECT_EQ(Hex(g.ColorAt(0.5f)), "FFFF0000");
    EXPECT_EQ(Hex(g.ColorAt(0.75f)), "FF8080FF"); // from the later line (blue) to white
}

TEST(ColorGradient, StopBeyondHundredPercent) {
    TColor32Gradient g = Build({"0% Lime", "150% Red"});
    ASSERT_EQ(g.GradientCount(), 2u);
    EXPECT_EQ(g.GradientEntry(1).Offset, 1.5f);
    // The deepest cell: w = Round(1 / 1.5 * 255) = 170, towards red but not red.
    EXPECT_EQ(Hex(g.ColorAt(1.0f)), "FFAA5500");
    EXPECT_EQ(Hex(g.ColorAt(1.5f)), "FFFF0000");
}

// ---------------------------------------------------------------------------------------
// Text lines

TEST(StrToArrayColor32Gradient, LinesThatDefineAStopAndLinesThatDoNot) {
    const std::string pad76(76, ' ');
    const struct {
        std::string line;
        bool stop;
        float offset;
        TColor32 color;
    } cases[] = {
        {" 75%   navy ", true, 0.75f, 0xFF00007F},
        {"10% $FF0000FF", true, 0.1f, 0xFF0000FF},
        {"10% $ff00ff00", true, 0.1f, 0xFF00FF00},
        {"20% 4278190335", true, 0.2f, 0xFF0000FF}, // decimal, the full ARGB value
        {"20% 255", true, 0.2f, 0x000000FF},        // no alpha given: transparent
        {"33%\tLIME\r", true, 0.33f, 0xFF00FF00},   // control characters trimmed
        {"7%Red", true, 0.07f, 0xFFFF0000},
        {"0% Black", true, 0.0f, 0xFF000000},
        {"50% LightGoldenRodYellow 20% Red", false, 0, 0},
        {"5% Red" + pad76 + "x", true, 0.05f, 0xFFFF0000}, // the 81st character is cut off
        {"5% Red" + std::string(75, ' ') + "x", false, 0, 0},
        {"Red 50%", false, 0, 0},
        {"%50 Red", false, 0, 0},
        {"-10% Red", false, 0, 0},
        {"50 Red", false, 0, 0},
        {"x% Red", false, 0, 0},
        {"50%", false, 0, 0},
        {"50%   ", false, 0, 0},
        {"50% Reddish", false, 0, 0},
        {"50% $01010101", false, 0, 0},
        {"50% 16843009", false, 0, 0}, // 0x01010101 in decimal
        {"50% $", false, 0, 0},
        {"50% $1FF0000FF", false, 0, 0}, // more than 32 bits
        {"50%% Red", false, 0, 0},
    };
    for (const auto &c : cases) {
        TColor32Gradient g = Build({c.line});
        ASSERT_EQ(g.GradientCount(), c.stop ? 1u : 0u) << '"' << c.line << '"';
        if (c.stop) {
            EXPECT_EQ(g.GradientEntry(0).Offset, c.offset) << c.line;
            EXPECT_EQ(Hex(g.GradientEntry(0).Color32), Hex(c.color)) << c.line;
        }
    }
}

TEST(StrToArrayColor32Gradient, RebuildingReplacesTheStops) {
    TColor32Gradient g = Build(DefaultColorModel());
    StrToArrayColor32Gradient({"0% Red", "not a stop", "100% Red"}, g);
    ASSERT_EQ(g.GradientCount(), 2u);
    EXPECT_EQ(Hex(g.ColorAt(0.5f)), "FFFF0000");
}

TEST(StrToArrayColor32Gradient, LongModelsListedTopDownTakeLittleTime) {
    // 600000 stops from the highest offset down, two per offset: inserting each below all
    // the others would take several times the bound.
    std::vector<std::string> lines;
    for (int i = 300000; i > 0; --i) {
        lines.push_back(std::to_string(i) + "% Red");
        lines.push_back(std::to_string(i) + "% Blue");
    }
    const auto start = std::chrono::steady_clock::now();
    TColor32Gradient g = Build(lines);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    ASSERT_EQ(g.GradientCount(), lines.size());
    EXPECT_EQ(g.GradientEntry(0).Offset, 0.01f);
    EXPECT_EQ(Hex(g.GradientEntry(0).Color32), "FFFF0000"); // equal offsets: the earlier line first
    EXPECT_EQ(Hex(g.GradientEntry(1).Color32), "FF0000FF");
    EXPECT_EQ(g.Stops().back().Offset, 3000.0f);
    EXPECT_LT(took.count(), 3.0);
}

// ---------------------------------------------------------------------------------------
// Named colours

TEST(Color32Names, TableInOrderWithItsSpellings) {
    const char *expected =
        R"(Black FF000000 DimGray FF3F3F3F Gray FF7F7F7F LightGray FFBFBFBF White FFFFFFFF
Maroon FF7F0000 Green FF007F00 Olive FF7F7F00 Navy FF00007F Purple FF7F007F
Teal FF007F7F Red FFFF0000 Lime FF00FF00 Yellow FFFFFF00 Blue FF0000FF Fuchsia FFFF00FF
Aqua FF00FFFF AliceBlue FFF0F8FF AntiqueWhite FFFAEBD7 Aquamarine FF7FFFD4
Azure FFF0FFFF Beige FFF5F5DC Bisque FFFFE4C4 BlancheDalmond FFFFEBCD
BlueViolet FF8A2BE2 Brown FFA52A2A BurlyWood FFDEB887 Cadetblue FF5F9EA0
ChartReuse FF7FFF00 Chocolate FFD2691E Coral FFFF7F50 CornFlowerBlue FF6495ED
CornSilk FFFFF8DC Crimson FFDC143C DarkBlue FF00008B DarkCyan FF008B8B
DarkGoldenRod FFB8860B DarkGray FFA9A9A9 DarkGreen FF006400 DarkGrey FFA9A9A9
DarkKhaki FFBDB76B DarkMagenta FF8B008B DarkOliveGreen FF556B2F DarkOrange FFFF8C00
DarkOrchid FF9932CC DarkRed FF8B0000 DarkSalmon FFE9967A DarkSeaGreen FF8FBC8F
DarkSlateBlue FF483D8B DarkSlateGray FF2F4F4F DarkSlateGrey FF2F4F4F
DarkTurquoise FF00CED1 DarkViolet FF9400D3 DeepPink FFFF1493 DeepSkyBlue FF00BFFF
DodgerBlue FF1E90FF FireBrick FFB22222 FloralWhite FFFFFAF0 GainsBoro FFDCDCDC
GhostWhite FFF8F8FF Gold FFFFD700 GoldenRod FFDAA520 GreenYellow FFADFF2F Grey FF808080
HoneyDew FFF0FFF0 HotPink FFFF69B4 IndianRed FFCD5C5C Indigo FF4B0082 Ivory FFFFFFF0
Khaki FFF0E68C Lavender FFE6E6FA LavenderBlush FFFFF0F5 LawnGreen FF7CFC00
LemonChiffon FFFFFACD LightBlue FFADD8E6 LightCoral FFF08080 LightCyan FFE0FFFF
LightGoldenRodYellow FFFAFAD2 LightGreen FF90EE90 LightGrey FFD3D3D3 LightPink FFFFB6C1
LightSalmon FFFFA07A LightSeagreen FF20B2AA LightSkyblue FF87CEFA
LightSlategray FF778899 LightSlategrey FF778899 LightSteelblue FFB0C4DE
LightYellow FFFFFFE0 LtGray FFC0C0C0 MedGray FFA0A0A4 DkGray FF808080
MoneyGreen FFC0DCC0 LegacySkyBlue FFA6CAF0 Cream FFFFFBF0 LimeGreen FF32CD32
Linen FFFAF0E6 MediumAquamarine FF66CDAA MediumBlue FF0000CD MediumOrchid FFBA55D3
MediumPurple FF9370DB MediumSeaGreen FF3CB371 MediumSlateBlue FF7B68EE
MediumSpringGreen FF00FA9A MediumTurquoise FF48D1CC MediumVioletRed FFC71585
MidnightBlue FF191970 MintCream FFF5FFFA MistyRose FFFFE4E1 Moccasin FFFFE4B5
NavajoWhite FFFFDEAD OldLace FFFDF5E6 OliveDrab FF6B8E23 Orange FFFFA500
OrangeRed FFFF4500 Orchid FFDA70D6 PaleGoldenRod FFEEE8AA PaleGreen FF98FB98
PaleTurquoise FFAFEEEE PaleVioletred FFDB7093 PapayaWhip FFFFEFD5 PeachPuff FFFFDAB9
Peru FFCD853F Plum FFDDA0DD PowderBlue FFB0E0E6 RosyBrown FFBC8F8F RoyalBlue FF4169E1
SaddleBrown FF8B4513 Salmon FFFA8072 SandyBrown FFF4A460 SeaGreen FF2E8B57
SeaShell FFFFF5EE Sienna FFA0522D Silver FFC0C0C0 SkyBlue FF87CEEB SlateBlue FF6A5ACD
SlateGray FF708090 SlateGrey FF708090 Snow FFFFFAFA SpringGreen FF00FF7F
SteelBlue FF4682B4 Tan FFD2B48C Thistle FFD8BFD8 Tomato FFFF6347 Turquoise FF40E0D0
Violet FFEE82EE Wheat FFF5DEB3 WhiteSmoke FFF5F5F5 YellowGreen FF9ACD32
)";
    std::istringstream in(expected);
    std::string name, value;
    std::size_t i = 0;
    while (in >> name >> value) {
        ASSERT_LT(i, Color32Names.size());
        EXPECT_EQ(Color32Names[i].Name, name) << "#" << i;
        EXPECT_EQ(Hex(Color32Names[i].Color), value) << name;
        ++i;
    }
    EXPECT_EQ(i, 148u);
    EXPECT_EQ(Color32Names.size(), 148u);
}

TEST(Color32Names, LookupIgnoresCase) {
    for (std::size_t i = 0; i < Color32Names.size(); ++i) {
        std::string lower(Color32Names[i].Name), upper(Color32Names[i].Name);
        for (char &ch : lower)
            ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        for (char &ch : upper)
            ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        EXPECT_EQ(Color32NameIndex(lower), i) << lower;
        EXPECT_EQ(Color32ByName(upper), Color32Names[i].Color) << upper;
    }
    EXPECT_EQ(Color32ByName("Blanched Almond"), std::nullopt);
    EXPECT_EQ(Color32ByName("Red "), std::nullopt);
    EXPECT_EQ(Color32ByName(""), std::nullopt);
}

// ---------------------------------------------------------------------------------------
// Lookup table

TEST(ColorLookupTable, SampledAcrossTheWholeRange) {
    TColor32Gradient g = Build(DefaultColorModel());
    TColor32LookupTable lut;
    ASSERT_EQ(lut.Order(), 9);
    ASSERT_EQ(lut.Size(), 512u);
    g.FillColorLookUpTable(lut);
    EXPECT_EQ(Hex(lut[0]), "FF00FF00");
    EXPECT_EQ(Hex(lut[511]), "FF0000FF"); // the last entry is offset 1, not 511/512
    for (std::size_t i = 0; i < lut.Size(); ++i)
        ASSERT_EQ(lut[i], g.ColorAt(static_cast<float>(static_cast<double>(i) / 511.0))) << i;

    int changes = 0;
    lut.OnOrderChanged = [&] { ++changes; };
    lut.SetOrder(9);
    EXPECT_EQ(changes, 0);
    lut.SetOrder(4);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(lut.Size(), 16u);
    EXPECT_THROW(lut.SetOrder(0), std::invalid_argument);
}

// ---------------------------------------------------------------------------------------
// ".cmt" files

TEST(ColorModelFile, SavesEightBitTextWithCrLfAndReadsItBack) {
    TempDir dir;
    fs::path file = dir.path / "lake.cmt";
    WriteBytes(file, "old");
    SaveColorModel(file.string(), {"0% Lime", "50% Gr\xC3\xBCn \xE2\x82\xAC", "", "100% \xCE\xA9"});
    // ü and € have Windows-1252 bytes, Ω does not.
    EXPECT_EQ(ReadBytes(file), "0% Lime\r\n50% Gr\xFCn \x80\r\n\r\n100% ?\r\n");
    EXPECT_EQ(LoadColorModel(file.string()),
              (std::vector<std::string>{"0% Lime", "50% Gr\xC3\xBCn \xE2\x82\xAC", "", "100% ?"}));

    SaveColorModel(file.string(), DefaultColorModel());
    EXPECT_EQ(LoadColorModel(file.string()), DefaultColorModel());
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), {}), 1); // no temporary left

    EXPECT_THROW(SaveColorModel((dir.path / "missing" / "x.cmt").string(), {"0% Red"}),
                 support::FileError);
}

TEST(ColorModelFile, ByteOrderMarksAndLineEnds) {
    auto utf16 = [](const std::string &ascii, bool bigEndian) {
        std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
        for (char c : ascii)
            out += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
        return out;
    };
    const struct {
        std::string bytes;
        std::vector<std::string> lines;
    } cases[] = {
        {"", {}},
        {"0% Lime\r\n50% Red\n60% Blue\r100% Navy",
         {"0% Lime", "50% Red", "60% Blue", "100% Navy"}},
        {"a\r\n\r\nb\r\n", {"a", "", "b"}},
        {"\n\n", {"", ""}},
        {"\xFC\x80\x81", {"\xC3\xBC\xE2\x82\xAC\xC2\x81"}}, // no mark: Windows-1252
        {"\xEF\xBB\xBF"
         "50% Gr\xC3\xBCn\r\n",
         {"50% Gr\xC3\xBCn"}},
        {utf16("50% Red\r\n\xFC", false), {"50% Red", "\xC3\xBC"}},
        {utf16("50% Red\r\n\xFC", true), {"50% Red", "\xC3\xBC"}},
        {std::string("\xFF\xFE\x3D\xD8\x00\xDE", 6), {"\xF0\x9F\x98\x80"}}, // surrogate pair
    };
    TempDir dir;
    fs::path file = dir.path / "model.cmt";
    for (const auto &c : cases) {
        WriteBytes(file, c.bytes);
        EXPECT_EQ(LoadColorModel(file.string()), c.lines) << '"' << c.bytes << '"';
    }
    // A UTF-16 model builds a gradient like any other.
    WriteBytes(file, utf16("0% Lime\r\n50% Yellow\r\n100% Blue\r\n", false));
    EXPECT_EQ(Hex(Build(LoadColorModel(file.string())).ColorAt(0.25f)), "FF80FF00");
}

TEST(ColorModelFile, MissingFileIsAFileError) {
    TempDir dir;
    std::string path = (dir.path / "none.cmt").string();
    try {
        LoadColorModel(path);
        FAIL() << "no error";
    } catch (const support::FileError &e) {
        EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
}
