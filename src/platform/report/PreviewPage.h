#pragma once

#include <QImage>
#include <QSizeF>
#include <QWidget>

namespace quillory::report {

// The sheet of paper on screen: shows one drawn page at the size the window's zoom gives it,
// with a border and a shadow so that the page stands out from the window's background.
class PreviewPage : public QWidget {
    Q_OBJECT
public:
    explicit PreviewPage(QWidget* parent = nullptr);

    // The page as drawn (in device pixels of the screen); a null image shows a blank sheet.
    void setImage(const QImage& image, const QSize& logicalSize);
    QSize sizeHint() const override;

    // Room left around the sheet for its border and shadow.
    static constexpr int Border = 12;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_image;
    QSize m_sheet;
};

} // namespace quillory::report
