#pragma once

#include "core/ToolbarDesign.h"

#include <array>
#include <QToolBar>

class QToolButton;

namespace quillory {

// One of the main window's two toolbars: 24 positions addressed by their 1-based index or
// key, check buttons with a pressed value, and two drop-down buttons with menus of items.
class CommandToolbar final : public QToolBar {
    Q_OBJECT
public:
    enum class Size { SmallWithCaptions, LargeImagesOnly };

    CommandToolbar(const QString& objectName, Size size, QWidget* parent = nullptr);

    // nullptr for separators. The buttons' pictures are made by the time it returns.
    QToolButton* button(int index) const;
    QString key(int index) const;
    int indexOfKey(const QString& key) const;

    // The pressed state of a check button; setting it does not report a click.
    bool value(int index) const;
    void setValue(int index, bool pressed);

    // Clicks the face of a button as a user would (for tests and keyboard use).
    void clickButton(int index);
    // Chooses an item of a drop-down button's menu.
    void chooseMenuItem(int index, const QString& itemKey);

    // A toolbar narrower than its buttons would hide the last ones behind an overflow arrow
    // (Exit among them); it is as wide as all its buttons, and the window follows.
    QSize minimumSizeHint() const override { return sizeHint(); }

Q_SIGNALS:
    void buttonClicked(int index, const QString& key);
    void buttonMenuClicked(const QString& key);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void addButton(int index, const ToolbarButtonDesign& design);
    QToolButton* buttonAt(int index) const;
    // The pictures of a toolbar are read when it is first shown (or its buttons are looked
    // at): the toolbar of the other style stays hidden and never needs them.
    void makePictures() const;
    std::array<QToolButton*, toolbar::ButtonCount> m_buttons{};
    std::array<int, toolbar::ButtonCount> m_pictures{};
    mutable bool m_picturesMade = false;
    Size m_size;
};

} // namespace quillory
