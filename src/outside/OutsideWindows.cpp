#include "outside/OutsideWindows.h"

#include <QLabel>
#include <QPushButton>

namespace quillory::outside {

QLabel* textLabel(const char* name, const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QLabel* valueLabel(const char* name, QWidget* parent) {
    auto* label = textLabel(name, QString(), parent);
    label->setWordWrap(false);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setMargin(2);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    label->setMinimumHeight(label->fontMetrics().height() + 8);
    return label;
}

void setValue(QLabel* label, const QString& text) {
    label->setText(text);
    label->setToolTip(text);
}

QPushButton* button(const char* name, const QString& caption, QWidget* parent) {
    auto* result = new QPushButton(caption, parent);
    result->setObjectName(QString::fromLatin1(name));
    result->setAutoDefault(false);
    return result;
}

} // namespace quillory::outside
