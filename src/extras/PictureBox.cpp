#include "extras/PictureBox.h"

#include <QMouseEvent>

namespace quillory {

PictureBox::PictureBox(const QString& file, const char* objectName, QWidget* parent)
    : QSvgWidget(file, parent) {
    setObjectName(QString::fromLatin1(objectName));
}

void PictureBox::mousePressEvent(QMouseEvent* event) {
    event->setAccepted(event->button() == Qt::LeftButton);
}

void PictureBox::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        event->accept();
        Q_EMIT clicked();
        return;
    }
    event->ignore();
}

} // namespace quillory
