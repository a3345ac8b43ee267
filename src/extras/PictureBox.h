#pragma once

#include <QSvgWidget>

namespace quillory {

// A fixed picture that answers a click of the left mouse button, as the about box's pictures
// do. The click counts when the button is released over the picture.
class PictureBox final : public QSvgWidget {
    Q_OBJECT
public:
    PictureBox(const QString& file, const char* objectName, QWidget* parent);

Q_SIGNALS:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

} // namespace quillory
