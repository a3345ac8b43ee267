#include "platform/report/LabelTestSheet.h"

#include "platform/files/PlatformError.h"
#include "platform/files/ProgramFolder.h"

#include <QPainter>
#include <QPen>

namespace quillory {

namespace {

constexpr double PointsPerMillimetre = 72.0 / 25.4;

} // namespace

LabelTestSheet::LabelTestSheet(int stock, QPointF offsetMillimetres, const ProgramFolder& folder)
    : m_stock(stock), m_offset(offsetMillimetres),
      m_template(report::loadTemplate(
          report::findTemplate(QString::number(stock) + QStringLiteral("-1.rpt"), folder))) {
    if (m_template.labels.isEmpty())
        throw PlatformError(
            ErrorNumber::EngineSyntax,
            QStringLiteral("The template for label stock %1 describes no labels.").arg(stock));
}

QString LabelTestSheet::title() const {
    return QStringLiteral("Label test sheet (%1)").arg(m_stock);
}

void LabelTestSheet::drawPage(int index, QPainter& painter) {
    if (index != 0)
        throw PlatformError(ErrorNumber::InputPastEnd,
                            QStringLiteral("The test sheet has no page %1.").arg(index + 1));
    const report::LabelSheet& sheet = m_template.labels;
    painter.save();
    painter.translate(m_offset * PointsPerMillimetre);
    QPen pen(Qt::black);
    pen.setWidthF(0.5);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    for (int label = 0; label < sheet.across * sheet.down; ++label)
        painter.drawRoundedRect(sheet.labelRect(label), sheet.radius, sheet.radius);
    painter.restore();
}

} // namespace quillory
