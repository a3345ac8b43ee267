#include "core/CardPicture.h"

#include <QMouseEvent>
#include <QPainter>
#include <QSvgRenderer>

namespace quillory {

CardPicture::CardPicture(QWidget* parent)
    : QWidget(parent), m_renderer(new QSvgRenderer(QStringLiteral(":/pictures/card.svg"), this)) {
    setObjectName(QStringLiteral("Image1"));
    // The artwork has rounded corners and a margin along its edges where it is transparent;
    // those pixels get the window's own background under it, so no stale pixels show through.
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);
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
