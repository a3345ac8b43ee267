#pragma once

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

// Places a window in the middle of the screen (left = (screen width - window width) / 2, top
// likewise). A window larger than the screen gets negative coordinates; nothing clamps them.
void CenterForm(QWidget& window);

} // namespace quillory::ui
