#include "model/GPX_Style.h"

#include "support/NumText.h"

#include <cmath>
#include <cstdio>

namespace model {

std::string TGPX_StyleLine::ColorStr() const {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%.2x%.2x%.2x", fColor & 0xFF, (fColor >> 8) & 0xFF,
                  (fColor >> 16) & 0xFF);
    return buf;
}

void TGPX_StyleLine::SetColorStr(const std::string &value) {
    std::string s = support::Trim(value);
    if (s.size() > 6)
        s.resize(6);
    s.insert(0, 6 - s.size(), '0');
    auto pair = [&](std::size_t at) { return support::TryHexToInt(s.substr(at, 2)).value_or(0); };
    fColor = pair(0) + pair(2) * 256 + pair(4) * 65536;
}

std::string TGPX_StyleLine::OpacityStr() const {
    return support::FloatToStrG15(std::fabs(fOpacity));
}

void TGPX_StyleLine::SetOpacityStr(const std::string &value) {
    fOpacity = std::fabs(support::StrToFloatDef(value, 1.0));
}

} // namespace model
