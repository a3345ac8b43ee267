#include "platform/ui/Geometry.h"

#include <algorithm>
#include <cmath>
#include <limits>
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

int storedTwipsToPixels(double twips) {
    // A million pixels is larger than any screen and far from int's limits once more is added.
    constexpr double LargestPixels = 1'000'000;
    if (!std::isfinite(twips))
        return 0;
    return int(std::lround(std::clamp(twips / twipsPerPixel(), -LargestPixels, LargestPixels)));
}

QRect fitOnScreens(const QRect& outer, const QList<QRect>& available) {
    if (available.isEmpty())
        return outer;
    const QRect* target = nullptr;
    qint64 largestShare = 0;
    for (const QRect& screen : available) {
        const QRect share = screen.intersected(outer);
        const qint64 area = qint64(share.width()) * share.height();
        if (area > largestShare) {
            largestShare = area;
            target = &screen;
        }
    }
    if (!target) {
        // Off every screen: back onto the one whose middle is nearest to the window's.
        qint64 nearest = std::numeric_limits<qint64>::max();
        for (const QRect& screen : available) {
            const QPoint d = screen.center() - outer.center();
            const qint64 distance = qint64(d.x()) * d.x() + qint64(d.y()) * d.y();
            if (distance < nearest) {
                nearest = distance;
                target = &screen;
            }
        }
    }
    const QSize size = outer.size().boundedTo(target->size()).expandedTo(QSize(1, 1));
    const int left = std::clamp(outer.left(), target->left(), target->right() + 1 - size.width());
    const int top = std::clamp(outer.top(), target->top(), target->bottom() + 1 - size.height());
    return {QPoint(left, top), size};
}

QRect fitOnScreens(const QRect& outer) {
    QList<QRect> available;
    for (const QScreen* screen : QGuiApplication::screens())
        available.append(screen->availableGeometry());
    return fitOnScreens(outer, available);
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
