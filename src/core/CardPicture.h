#pragma once

#include <QWidget>

class QSvgRenderer;

namespace quillory {

// The card's background picture (`Image1`), stretched over the card. It reports mouse
// releases so the card can offer its popup menu at the pointer.
class CardPicture final : public QWidget {
    Q_OBJECT
public:
    explicit CardPicture(QWidget* parent = nullptr);

Q_SIGNALS:
    void mouseReleased(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QSvgRenderer* m_renderer;
};

} // namespace quillory
