// Line style of a route or track (the GPX style extension's colour and opacity).
#pragma once

#include <cstdint>
#include <string>

namespace model {

class TGPX_StyleLine {
  public:
    // Red in the lowest byte, then green, then blue; bit 24 flags "no colour chosen".
    static constexpr std::uint32_t kDefaultColorFlag = 16777216;

    std::uint32_t Color() const { return fColor; }
    void SetColor(std::uint32_t value) { fColor = value; }
    double Opacity() const { return fOpacity; }
    void SetOpacity(double value) { fOpacity = value; }
    bool IsDefaultColor() const { return (fColor & kDefaultColorFlag) != 0; }

    std::string ColorStr() const;          // "rrggbb", lower case
    void SetColorStr(const std::string &); // also clears the default flag
    std::string OpacityStr() const;
    void SetOpacityStr(const std::string &);

    void CopyFrom(const TGPX_StyleLine &other) {
        fColor = other.fColor;
        fOpacity = other.fOpacity;
    }

  private:
    std::uint32_t fColor = kDefaultColorFlag;
    double fOpacity = 1.0;
};

} // namespace model
