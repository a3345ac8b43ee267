#include "platform/report/PreviewPage.h"

#include <QPainter>

namespace quillory::report {

PreviewPage::PreviewPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("PreviewPage"));
}

void PreviewPage::setImage(const QImage& image, const QSize& logicalSize) {
    m_image = image;
    if (m_sheet != logicalSize) {
        m_sheet = logicalSize;
        setFixedSize(sizeHint());
    }
    update();
}

QSize PreviewPage::sizeHint() const {
    return m_sheet + QSize(2 * Border, 2 * Border);
}

void PreviewPage::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect sheet(QPoint(Border, Border), m_sheet);
    painter.fillRect(sheet.translated(4, 4), QColor(0, 0, 0, 70));
    painter.fillRect(sheet, Qt::white);
    if (!m_image.isNull())
        painter.drawImage(sheet, m_image);
    painter.setPen(QColor(120, 120, 120));
    painter.drawRect(sheet.adjusted(0, 0, -1, -1));
}

} // namespace quillory::report
