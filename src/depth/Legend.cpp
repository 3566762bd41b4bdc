#include "depth/Legend.h"

#include "support/NumText.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace depth {

namespace {

constexpr double kMetresPerDegree = 6378137.0 * 3.14159265358979323846 / 180.0;

// 1, 2 or 5 times a power of ten, the largest not above `limit` (> 0).
double NiceBelow(double limit) {
    const double p = std::pow(10.0, std::floor(std::log10(limit)));
    for (double m : {5.0, 2.0, 1.0})
        if (m * p <= limit)
            return m * p;
    return p / 2; // log10 rounding put p just above limit
}

std::string LengthText(double value, TDepthUnit unit) {
    return support::FloatToStrFixed(value, value < 1 ? 1 : 0) + " " + UnitSymbol(unit);
}

} // namespace

double MetresPerPixel(const mapview::TViewport &frame) {
    if (!(frame.BBox.Rm > 0))
        return 0;
    const double lat = frame.YToLa(frame.Height / 2);
    return (frame.XToLo(1) - frame.XToLo(0)) * kMetresPerDegree *
           std::cos(lat * 3.14159265358979323846 / 180.0);
}

double ScaleBarLength(double metresPerPixel, TDepthUnit unit, int maxPixels) {
    if (!(metresPerPixel > 0) || !std::isfinite(metresPerPixel) || maxPixels < 1)
        return 0;
    const double unitsPerPixel = CmToUnit(metresPerPixel * 100.0, unit);
    if (!(unitsPerPixel > 0))
        return 0;
    return NiceBelow(unitsPerPixel * maxPixels);
}

QImage AddLegend(const QImage &chart, const TColor32Gradient &gradient, std::int32_t MaxDepth,
                 const mapview::TViewport &frame, TDepthUnit unit, const std::string &date) {
    if (QGuiApplication::instance() == nullptr)
        throw std::logic_error("The legend needs a QGuiApplication for its fonts");
    const int W = chart.width() + kLegendWidth;
    const int H = std::max(chart.height(), kLegendMinHeight);
    QImage out(W, H, QImage::Format_ARGB32);
    out.fill(0xFFFFFFFFu);
    const QImage source = chart.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < source.height(); ++y)
        std::copy_n(reinterpret_cast<const QRgb *>(source.constScanLine(y)), source.width(),
                    reinterpret_cast<QRgb *>(out.scanLine(y)));

    const int x0 = chart.width();
    const int barTop = 34, barLeft = x0 + 12, barWidth = 22;
    const int barHeight = std::clamp(H - barTop - 136, 120, 400);

    // The bar, pixel by pixel, as the chart colours a cell of that depth.
    for (int r = 0; r < barHeight; ++r) {
        const QRgb c = gradient.ColorAt(static_cast<float>(r) / static_cast<float>(barHeight - 1));
        auto *row = reinterpret_cast<QRgb *>(out.scanLine(barTop + r));
        std::fill_n(row + barLeft, barWidth, c);
    }

    QPainter p(&out);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    QFont font = p.font();
    font.setPixelSize(12);
    p.setFont(font);
    const QFontMetrics fm(font);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::NoBrush);

    QFont bold = font;
    bold.setBold(true);
    bold.setPixelSize(13);
    p.setFont(bold);
    p.drawText(QRect(x0 + 8, 8, kLegendWidth - 16, 20), Qt::AlignLeft | Qt::AlignVCenter,
               QString::fromUtf8("Depth (") + UnitSymbol(unit) + ")");
    p.setFont(font);
    p.drawRect(QRectF(barLeft - 0.5, barTop - 0.5, barWidth + 1, barHeight + 1));

    // Labels at nice steps of the unit, about five of them.
    const double maxValue = CmToUnit(std::max<std::int32_t>(MaxDepth, 0), unit);
    auto tick = [&](double value) {
        const double y = barTop + (maxValue > 0 ? value / maxValue : 0) * (barHeight - 1) + 0.5;
        p.drawLine(QPointF(barLeft + barWidth, y), QPointF(barLeft + barWidth + 5, y));
        p.drawText(QRectF(barLeft + barWidth + 8, y - 8, kLegendWidth - barWidth - 28, 16),
                   Qt::AlignLeft | Qt::AlignVCenter,
                   QString::fromStdString(FormatDepth(UnitToCm(value, unit), unit)));
    };
    if (maxValue > 0) {
        const double step = NiceBelow(maxValue / 4);
        const int count = static_cast<int>(std::floor(maxValue / step + 1e-9));
        for (int i = 0; i <= count; ++i)
            tick(i * step);
    } else {
        tick(0);
    }

    // North arrow: the chart is drawn north up.
    const double ax = x0 + 40, ay = barTop + barHeight + 24;
    p.drawText(QRectF(ax - 10, ay, 20, 16), Qt::AlignCenter, "N");
    const QPointF tip(ax, ay + 18), left(ax - 9, ay + 48), right(ax + 9, ay + 48),
        notch(ax, ay + 40);
    p.setBrush(Qt::black);
    p.drawPolygon(QPolygonF({tip, left, notch}));
    p.setBrush(Qt::white);
    p.drawPolygon(QPolygonF({tip, notch, right}));

    // Scale bar, half black and half white.
    const int scaleTop = static_cast<int>(ay) + 78;
    const double metresPerPixel = MetresPerPixel(frame);
    const double length = ScaleBarLength(metresPerPixel, unit, kLegendWidth - 24);
    if (length > 0) {
        const double pixels = UnitToCm(length, unit) / 100.0 / metresPerPixel;
        const double sx = x0 + 12;
        p.drawText(QRectF(sx, scaleTop - 18, kLegendWidth - 24, 16),
                   Qt::AlignLeft | Qt::AlignVCenter,
                   QString::fromStdString(LengthText(length, unit)));
        p.setBrush(Qt::black);
        p.drawRect(QRectF(sx, scaleTop, pixels / 2, 6));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(sx + pixels / 2, scaleTop, pixels / 2, 6));
    }

    // The date, shortened with an ellipsis if the strip is too narrow for it.
    const QString dateText =
        fm.elidedText(QString::fromStdString(date), Qt::ElideRight, kLegendWidth - 16);
    p.drawText(QRectF(x0 + 8, scaleTop + 14, kLegendWidth - 16, 16),
               Qt::AlignLeft | Qt::AlignVCenter, dateText);
    p.end();
    return out;
}

} // namespace depth
