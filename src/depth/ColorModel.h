// The depth colour model: named colours, colour gradients with lookup tables, the text form of a
// model and ".cmt" files.
#pragma once

#include "support/TextCodec.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace depth {

// 0xAARRGGBB: alpha in the top byte, then red, green, blue (QImage::Format_ARGB32 order).
using TColor32 = std::uint32_t;

// A number with this value names no colour: the line holding it adds no stop.
constexpr TColor32 NoColor32 = 0x01010101;

struct TColor32Name {
    TColor32 Color;
    std::string_view Name;
};

constexpr std::size_t Color32NameCount = 148;

// The named colours in the order of the editor's colour list. The spellings are part of
// the ".cmt" format ("CornFlowerBlue", "BlancheDalmond", "Cadetblue", ...); do not fix them.
extern const std::array<TColor32Name, Color32NameCount> Color32Names;

// Index into Color32Names of a name, case ignored (ASCII); nullopt when it is none of them.
std::optional<std::size_t> Color32NameIndex(std::string_view name);
std::optional<TColor32> Color32ByName(std::string_view name);

struct TColor32GradientStop {
    float Offset;
    TColor32 Color32;
};

class TColor32LookupTable;

// Colour stops sorted by offset; the colour at an offset blends the two stops around it.
class TColor32Gradient {
  public:
    void ClearColorStops();
    // A stop whose offset equals existing ones goes after them.
    void AddColorStop(float Offset, TColor32 Color);

    // No stops: 0x00000000. At or below the first stop: its colour; at or above the last:
    // its colour. Between: each channel (alpha included) blended with w = Round(f * 255).
    TColor32 ColorAt(float Offset) const;

    std::size_t GradientCount() const { return FStops.size(); }
    const TColor32GradientStop &GradientEntry(std::size_t index) const { return FStops.at(index); }
    const std::vector<TColor32GradientStop> &Stops() const { return FStops; }

    // Entry i of an n-entry table gets the colour at offset i / (n - 1).
    void FillColorLookUpTable(TColor32LookupTable &table) const;

  private:
    std::vector<TColor32GradientStop> FStops;
};

// A table of 2^Order colours (order 9 = 512 entries) sampled from a gradient.
class TColor32LookupTable {
  public:
    static constexpr int DefaultOrder = 9;
    static constexpr int MaxOrder = 16;

    explicit TColor32LookupTable(int order = DefaultOrder);

    int Order() const { return FOrder; }
    // Resizes the table (entries become 0) and calls OnOrderChanged when the order changes;
    // throws std::invalid_argument for an order outside 1 ... MaxOrder.
    void SetOrder(int order);

    std::size_t Size() const { return FColors.size(); }
    std::size_t Mask() const { return FColors.size() - 1; }
    TColor32 &operator[](std::size_t index) { return FColors[index]; }
    TColor32 operator[](std::size_t index) const { return FColors[index]; }
    TColor32 *Data() { return FColors.data(); }
    const TColor32 *Data() const { return FColors.data(); }

    // The owner refills the table from its gradient when this fires.
    std::function<void()> OnOrderChanged;

  private:
    int FOrder;
    std::vector<TColor32> FColors;
};

// Rebuilds the gradient from the text lines of a model. A line "75% Navy" adds a stop at
// 0.75; a line that does not parse adds nothing and says nothing.
void StrToArrayColor32Gradient(const std::vector<std::string> &s, TColor32Gradient &Gradient);

// "0% Lime", "50% Yellow", "100% Blue".
std::vector<std::string> DefaultColorModel();

// Writes the lines (UTF-8) as a ".cmt" file: Windows-1252, each line ended by CR LF, no
// byte-order mark; characters the code page lacks become '?'. Replaces the file atomically;
// throws support::FileError.
void SaveColorModel(const std::string &path, const std::vector<std::string> &lines);

// Reads the lines of a ".cmt" file as UTF-8. A UTF-8 or UTF-16 byte-order mark selects that
// encoding, otherwise the bytes are Windows-1252; CR LF, LF and CR all end a line.
// Throws support::FileError.
std::vector<std::string> LoadColorModel(const std::string &path);

// The two conversions of the ".cmt" files, for callers that hold the bytes already.
using support::Utf8ToCp1252;
std::vector<std::string> DecodeColorModelText(std::string_view bytes);

} // namespace depth
