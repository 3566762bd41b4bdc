// The shadow band of a polyline: every pixel whose centre lies within half the width of
// one of its pieces (round joins and round ends), filled row by row as the union of the
// pieces' intervals, so that a survey of many short pieces costs one fill of its area.
#pragma once

#include <QImage>
#include <QPointF>

#include <cstdint>
#include <vector>

namespace mapview {

void DrawRoundBand(QImage &image, const std::vector<QPointF> &polyline, double width,
                   std::uint32_t color);

} // namespace mapview
