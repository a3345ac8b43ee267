#include "core/CommandToolbar.h"

#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QToolButton>

namespace quillory {

namespace {
QIcon picture(CommandToolbar::Size size, int index) {
    const bool small = size == CommandToolbar::Size::SmallWithCaptions;
    return QIcon(QStringLiteral(":/icons/%1/%2.svg")
                     .arg(small ? QStringLiteral("ImageList1") : QStringLiteral("ImageList2"))
                     .arg(index, 2, 10, QLatin1Char('0')));
}
} // namespace

CommandToolbar::CommandToolbar(const QString& objectName, Size size, QWidget* parent)
    : QToolBar(parent), m_size(size) {
    setObjectName(objectName);
    setWindowTitle(objectName);
    setMovable(false);
    setFloatable(false);
    const bool small = size == Size::SmallWithCaptions;
    setIconSize(small ? QSize(16, 16) : QSize(24, 24));
    setToolButtonStyle(small ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonIconOnly);
    const auto& specs = toolbar::buttons();
    for (int i = 0; i < toolbar::ButtonCount; ++i)
        addButton(i + 1, specs[size_t(i)]);
}

void CommandToolbar::addButton(int index, const ToolbarButtonDesign& design) {
    using Style = ToolbarButtonDesign::Style;
    if (design.style == Style::Separator) {
        addSeparator();
        return;
    }
    const bool small = m_size == Size::SmallWithCaptions;
    auto* button = new QToolButton(this);
    button->setObjectName(QStringLiteral("%1_%2").arg(objectName()).arg(index));
    m_pictures[size_t(index - 1)] = small ? design.pictureSmall : design.pictureLarge;
    button->setText(small ? QString::fromUtf8(design.caption) : QString());
    const char* toolTip = small || !design.toolTipLarge ? design.toolTipSmall : design.toolTipLarge;
    button->setToolTip(QString::fromUtf8(toolTip));
    button->setToolButtonStyle(toolButtonStyle());
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    if (small)
        button->setMinimumWidth(42);
    const QString key = QString::fromUtf8(design.key);
    button->setProperty("key", key);
    if (design.style == Style::Check)
        button->setCheckable(true);
    if (design.style == Style::DropDown) {
        auto* menu = new QMenu(button);
        auto addItems = [&](const auto& items) {
            for (const ToolbarMenuItemDesign& item : items) {
                QAction* action = menu->addAction(QString::fromUtf8(item.text));
                const QString itemKey = QString::fromUtf8(item.key);
                action->setObjectName(QStringLiteral("%1_%2").arg(objectName(), itemKey));
                action->setData(itemKey);
                connect(action, &QAction::triggered, this,
                        [this, itemKey] { Q_EMIT buttonMenuClicked(itemKey); });
            }
        };
        if (index == toolbar::TypeButton)
            addItems(toolbar::typeItems());
        else
            addItems(toolbar::utilsItems());
        button->setMenu(menu);
        button->setPopupMode(QToolButton::MenuButtonPopup);
    }
    connect(button, &QToolButton::clicked, this,
            [this, index, key] { Q_EMIT buttonClicked(index, key); });
    addWidget(button);
    m_buttons[size_t(index - 1)] = button;
}

void CommandToolbar::showEvent(QShowEvent* event) {
    makePictures();
    QToolBar::showEvent(event);
}

void CommandToolbar::makePictures() const {
    if (m_picturesMade)
        return;
    m_picturesMade = true;
    for (size_t i = 0; i < m_buttons.size(); ++i) {
        if (m_buttons[i])
            m_buttons[i]->setIcon(picture(m_size, m_pictures[i]));
    }
}

QToolButton* CommandToolbar::buttonAt(int index) const {
    if (index < 1 || index > toolbar::ButtonCount)
        return nullptr;
    return m_buttons[size_t(index - 1)];
}

QToolButton* CommandToolbar::button(int index) const {
    makePictures();
    return buttonAt(index);
}

QString CommandToolbar::key(int index) const {
    const QToolButton* b = buttonAt(index);
    return b ? b->property("key").toString() : QString();
}

int CommandToolbar::indexOfKey(const QString& wanted) const {
    for (int i = 1; i <= toolbar::ButtonCount; ++i) {
        if (buttonAt(i) && key(i) == wanted)
            return i;
    }
    return 0;
}

bool CommandToolbar::value(int index) const {
    const QToolButton* b = buttonAt(index);
    return b && b->isCheckable() && b->isChecked();
}

void CommandToolbar::setValue(int index, bool pressed) {
    QToolButton* b = buttonAt(index);
    if (b && b->isCheckable())
        b->setChecked(pressed);
}

void CommandToolbar::clickButton(int index) {
    if (QToolButton* b = button(index))
        b->click();
}

void CommandToolbar::chooseMenuItem(int index, const QString& itemKey) {
    QToolButton* b = buttonAt(index);
    if (!b || !b->menu())
        return;
    for (QAction* action : b->menu()->actions()) {
        if (action->data().toString() == itemKey)
            action->trigger();
    }
}

} // namespace quillory
