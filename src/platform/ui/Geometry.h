#pragma once

#include <QList>
#include <QRect>
#include <QRectF>

class QWidget;

namespace quillory::ui {

// Windows are designed in twips (1440 to the inch). These convert at the screen's logical
// DPI, taking 96 DPI when there is no screen.
double twipsPerPixel();
int twipsToPixels(double twips);
double pixelsToTwips(int pixels);
QRect twipsToPixels(const QRectF& twips);

// A measure read from a file, in pixels: a value that is not a number reads as 0, and one far
// beyond any screen is held to a size that still converts without overflowing.
int storedTwipsToPixels(double twips);

// Where a window whose outer rectangle is `outer` may stand on screens with the `available`
// areas: on the screen it mostly covers (the nearest one when it covers none), no larger than
// that screen's area and wholly inside it. With no screens, `outer` is returned as it is.
QRect fitOnScreens(const QRect& outer, const QList<QRect>& available);
// The same for the screens of this session.
QRect fitOnScreens(const QRect& outer);

// Places a window in the middle of the screen (left = (screen width - window width) / 2, top
// likewise). A window larger than the screen gets negative coordinates; nothing clamps them.
void CenterForm(QWidget& window);

} // namespace quillory::ui
