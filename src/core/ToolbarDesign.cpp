#include "core/ToolbarDesign.h"

namespace quillory::toolbar {

namespace {
using Style = ToolbarButtonDesign::Style;
constexpr const char* BoldTip = "Select \"Bold\" fonts in book";
} // namespace

const std::array<ToolbarButtonDesign, ButtonCount>& buttons() {
    static const std::array<ToolbarButtonDesign, ButtonCount> designs = {{
        {"Type", "type", Style::DropDown, 1, 1, "Select which contacts you would like to view",
         nullptr},
        {"", "", Style::Separator, 0, 0, "", nullptr},
        {"New", "add", Style::Plain, 2, 2, "Add new entry into database", nullptr},
        {"Save", "save", Style::Plain, 3, 3, "Save current entry into database",
         "Save a new entry into database"},
        {"Del", "delete", Style::Plain, 4, 4, "Delete current entry into database",
         "Delete current entry in database"},
        {"", "", Style::Separator, 0, 0, "", nullptr},
        {"First", "bof", Style::Plain, 5, 5, "Move to first entry in database", nullptr},
        {"Prev", "up", Style::Plain, 6, 6, "Move up one entry in database", nullptr},
        {"Next", "down", Style::Plain, 7, 7, "Move down one entry in database", nullptr},
        {"Last", "eof", Style::Plain, 8, 8, "Move to last entry in database", nullptr},
        {"", "", Style::Separator, 0, 0, "", nullptr},
        {"Font", "font", Style::Check, 20, 21, BoldTip, nullptr},
        {"Email", "Send", Style::Plain, 9, 9, "Open dialog for email and web page", nullptr},
        {"Dial", "dial", Style::Plain, 10, 10, "Dial current phone number in book", nullptr},
        {"Find", "search", Style::Plain, 11, 11, "Search for individual in database", nullptr},
        {"Print", "print", Style::Plain, 12, 12, "Display print dialog", nullptr},
        {"Write", "write", Style::Plain, 13, 13, "Open word processor", nullptr},
        {"View", "prevpic", Style::Plain, 14, 14, "Preview current photo in large format", nullptr},
        {"", "", Style::Separator, 0, 0, "", nullptr},
        {"Prefs", "user", Style::Plain, 15, 15, "Open user preferences", nullptr},
        {"Grid", "grid", Style::Check, 16, 16, "Toggle database grid display", nullptr},
        {"Help", "help", Style::Plain, 17, 17, "Display help file", nullptr},
        {"Utils", "utils", Style::DropDown, 18, 18, "Select database tools", nullptr},
        {"Exit", "exit", Style::Plain, 19, 19, "Exit the program", nullptr},
    }};
    return designs;
}

const std::array<ToolbarMenuItemDesign, 3>& typeItems() {
    static const std::array<ToolbarMenuItemDesign, 3> items = {
        {{"Personal", "pers"}, {"Business", "bus"}, {"Show all", "all"}}};
    return items;
}

const std::array<ToolbarMenuItemDesign, 4>& utilsItems() {
    static const std::array<ToolbarMenuItemDesign, 4> items = {{{"Compact Database", "CD"},
                                                                {"Repair Database", "RD"},
                                                                {"Backup Database", "BD"},
                                                                {"Restore Database", "RsD"}}};
    return items;
}

} // namespace quillory::toolbar
