#include "platform/printer/LinePage.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QImage>
#include <QPageSize>
#include <QPaintDevice>
#include <QPainter>

namespace quillory::printer {

namespace {

// A device of 72 dots to the inch: its font metrics are in points.
const QPaintDevice& pointDevice() {
    static const QImage device = [] {
        QImage image(1, 1, QImage::Format_ARGB32);
        image.setDotsPerMeterX(qRound(72.0 / 0.0254));
        image.setDotsPerMeterY(qRound(72.0 / 0.0254));
        return image;
    }();
    return device;
}

QFontMetricsF pointMetrics(const QFont& font) {
    return QFontMetricsF(font, &pointDevice());
}

} // namespace

QString LinePage::resolvedFamily(const QString& family) {
    if (family.compare(QLatin1String("Arial"), Qt::CaseInsensitive) == 0 &&
        QFontDatabase::hasFamily(QStringLiteral("Liberation Sans")))
        return QStringLiteral("Liberation Sans");
    return family;
}

void LinePage::setFont(const QString& family, double points, bool bold) {
    m_font = QFont(resolvedFamily(family));
    m_font.setPointSizeF(points);
    m_font.setBold(bold);
    // Columns are counted in the face's own widths, so nothing may stretch or hint them.
    m_font.setKerning(false);
    m_font.setHintingPreference(QFont::PreferNoHinting);
}

void LinePage::setFontSize(double points) {
    m_font.setPointSizeF(points);
}

void LinePage::printLine(int column, const QString& text) {
    m_lines.push_back({m_font, column, text, false});
}

void LinePage::printEmptyLine() {
    m_lines.push_back({m_font, 1, QString(), true});
}

QPageLayout LinePage::pageLayout() const {
    const auto orientation = m_feed == 1 ? QPageLayout::Portrait : QPageLayout::Landscape;
    // The margin is drawn by the lines themselves; the page's own is none, so the painter's
    // origin is the paper's corner on every device.
    return QPageLayout(m_pageSize, orientation, QMarginsF(), QPageLayout::Point);
}

double LinePage::columnOffset(const QFont& font, int column) {
    return Margin + (column - 1) * pointMetrics(font).averageCharWidth();
}

void LinePage::draw(QPainter& painter) const {
    const QPaintDevice* device = painter.device();
    const double scale = device ? device->logicalDpiY() / 72.0 : 1.0;
    painter.save();
    painter.setPen(Qt::black);
    double top = Margin;
    for (const Line& line : m_lines) {
        const QFontMetricsF metrics = pointMetrics(line.font);
        if (!line.empty) {
            painter.setFont(line.font);
            const QPointF baseline(columnOffset(line.font, line.column) * scale,
                                   (top + metrics.ascent()) * scale);
            painter.drawText(baseline, line.text);
        }
        top += metrics.lineSpacing();
    }
    painter.restore();
}

} // namespace quillory::printer
