#pragma once

#include <QString>

class QLabel;
class QPushButton;
class QWidget;

namespace quillory::outside {

// The pieces the e-mail and support dialogs are made of, so the two look alike.
QLabel* textLabel(const char* name, const QString& text, QWidget* parent);
// A label that shows card data: plain text whatever it holds, framed like a box, and not
// widening the dialog when it is long (it is shortened with an ellipsis, and the whole text is
// its tool tip).
QLabel* valueLabel(const char* name, QWidget* parent);
void setValue(QLabel* label, const QString& text);
QPushButton* button(const char* name, const QString& caption, QWidget* parent);

} // namespace quillory::outside
