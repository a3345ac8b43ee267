#pragma once

#include <array>
#include <optional>
#include <QString>

namespace quillory {

// The user's preferences while the program runs: one field per key of the settings file.
// Option groups hold at most one choice; check states are 0 (clear), 1 (ticked) or 2
// (undetermined).
struct UserSettings {
    enum class WordProcessor { None, WordPad, Other };
    enum class EnvelopeFeed { None, Left, Right, Manual };
    enum class ToolbarStyle { None, LargeImagesOnly, TextAndImages };

    static constexpr int StoredGridColumns = 17;

    bool boldPressed = false; // "fontType": button 12 of both toolbars
    QString lastBackupLocation = QStringLiteral("Unknown");    // "BUdrive"
    QString userName;                                          // "USERName"
    QString userAddress1;                                      // "USERAddress1"
    QString userAddress2;                                      // "USERAddress2"
    QString userCity;                                          // "USERCity"
    QString userState;                                         // "USERState"
    QString userZip;                                           // "USERZip"
    int commPort = 0;                                          // "CommPort1".."CommPort4"; 0: none
    static constexpr int CommPorts = 4;
    // The device each port stands for, "CommDevice1".."CommDevice4"; empty: the port's own.
    std::array<QString, CommPorts> commDevices{};
    QString wordProcessorPath;                                 // "WordProc"
    WordProcessor wordProcessor = WordProcessor::WordPad;      // "WordPad" / "WordOther"
    EnvelopeFeed envelopeFeed = EnvelopeFeed::None;            // "EnvLeft" / "EnvRight" / "EnvMan"
    int labelStock = 0;                                        // "5267", "5160", ...; 0: none
    ToolbarStyle toolbarStyle = ToolbarStyle::LargeImagesOnly; // "IO" / "TI"
    int showTips = 1;                                          // "TIP"
    int autoBackup = 1;                                        // "BUdata"
    // "Grid0".."Grid16" in twips; empty: the grid's own initial width.
    std::array<std::optional<double>, StoredGridColumns> gridWidths{};
    // How far every label page is moved to suit the user's printer, in millimetres (right and
    // down are positive), within +-MaxLabelOffset in tenths: "LabelOffsetX" / "LabelOffsetY".
    double labelOffsetX = 0.0;
    double labelOffsetY = 0.0;

    // The label stock numbers in the order the settings file lists them.
    static constexpr std::array<int, 10> LabelStocks = {5267, 5160, 5260, 5161, 5261,
                                                        5162, 5262, 5163, 5660, 5662};

    static constexpr double MaxLabelOffset = 10.0;

    bool operator==(const UserSettings&) const = default;
};

// The main window's saved position and outer size, in twips; a missing key stays empty.
struct WindowGeometry {
    std::optional<double> left;
    std::optional<double> top;
    std::optional<double> width;
    std::optional<double> height;
    // Whether the window was maximized; the four measures then hold the size it comes back to
    // when the user restores it.
    std::optional<bool> maximized = std::nullopt;
    bool operator==(const WindowGeometry&) const = default;
};

} // namespace quillory
