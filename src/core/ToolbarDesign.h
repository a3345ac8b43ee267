#pragma once

#include <array>
#include <QString>

namespace quillory {

// One position of the main window's two toolbars. Both toolbars have the same 24 positions;
// the small one shows captions, the large one does not, and two tool tips differ.
struct ToolbarButtonDesign {
    enum class Style { Plain, Check, DropDown, Separator };

    const char* caption;
    const char* key;
    Style style;
    int pictureSmall; // 1-based index into the 16x16 image list
    int pictureLarge; // 1-based index into the 24x24 image list
    const char* toolTipSmall;
    const char* toolTipLarge; // nullptr: the same as the small toolbar's
};

struct ToolbarMenuItemDesign {
    const char* text;
    const char* key;
};

namespace toolbar {
constexpr int ButtonCount = 24;
constexpr int BoldButton = 12;
constexpr int GridButton = 21;
constexpr int TypeButton = 1;
constexpr int UtilsButton = 23;

const std::array<ToolbarButtonDesign, ButtonCount>& buttons();
// The drop-down items of button 1 ("type") and button 23 ("utils").
const std::array<ToolbarMenuItemDesign, 3>& typeItems();
const std::array<ToolbarMenuItemDesign, 4>& utilsItems();
} // namespace toolbar

} // namespace quillory
