#include "platform/ui/Geometry.h"

#include <cmath>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace quillory::ui {

double twipsPerPixel() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInchX() : 96.0;
    return 1440.0 / (dpi > 0 ? dpi : 96.0);
}

int twipsToPixels(double twips) {
    return int(std::lround(twips / twipsPerPixel()));
}

double pixelsToTwips(int pixels) {
    return pixels * twipsPerPixel();
}

QRect twipsToPixels(const QRectF& twips) {
    return {twipsToPixels(twips.left()), twipsToPixels(twips.top()), twipsToPixels(twips.width()),
            twipsToPixels(twips.height())};
}

void CenterForm(QWidget& window) {
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->geometry();
    const QRect frame = window.frameGeometry();
    window.move(available.left() + (available.width() - frame.width()) / 2,
                available.top() + (available.height() - frame.height()) / 2);
}

} // namespace quillory::ui
