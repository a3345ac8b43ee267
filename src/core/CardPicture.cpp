#include "core/CardPicture.h"

#include <QMouseEvent>
#include <QPainter>
#include <QSvgRenderer>

namespace quillory {

CardPicture::CardPicture(QWidget* parent)
    : QWidget(parent), m_renderer(new QSvgRenderer(QStringLiteral(":/pictures/card.svg"), this)) {
    setObjectName(QStringLiteral("Image1"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CardPicture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (m_renderer->isValid())
        m_renderer->render(&painter, QRectF(rect()));
    else
        painter.fillRect(rect(), QColor(0xfd, 0xfc, 0xf7));
}

void CardPicture::mouseReleaseEvent(QMouseEvent* event) {
    Q_EMIT mouseReleased(event->button(), event->modifiers(), event->position().toPoint());
    QWidget::mouseReleaseEvent(event);
}

} // namespace quillory
