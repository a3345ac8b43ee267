#pragma once

#include <array>
#include <optional>
#include <QRectF>
#include <QSizeF>

namespace quillory {

class frmMain;

// The controls the card's resize rule moves, in the order the rule first touches them.
enum class CardPart {
    Image1,
    CboContact,
    Text1,
    Label1_0,
    Text12,
    frmBU,
    Text2,
    Text3,
    Text4,
    Text7,
    Text13,
    Text14,
    Text15,
    Text16,
    Text8,
    Text10,
    Text11,
    Text18,
    Text9,
    Text6,
    Frame1,
    Frame2,
    Command5,
    Command4,
    pic,
    DBGrid2,
};
inline constexpr int CardPartCount = 26;

// The objectName of a part's control ("Label1_0" for the "First:" label).
const char* cardPartName(CardPart part);
// pic, Command5 and Command4 stand in the photo frame; their rectangles are relative to it.
bool insidePhotoFrame(CardPart part);

// Where the card's controls stand, in twips. Tops of the card's own controls are measured
// from the top of the window's client area, so the card starts at 600 below the toolbar band.
struct CardGeometry {
    std::array<QRectF, CardPartCount> rects;

    QRectF& operator[](CardPart part) { return rects[size_t(part)]; }
    const QRectF& operator[](CardPart part) const { return rects[size_t(part)]; }
    bool operator==(const CardGeometry&) const = default;

    // The geometry the card was drawn with, the card picture and the grid covering a card
    // as large as the designed client area below the toolbar band.
    static CardGeometry designed();
};

// The window's state as far as the layout cares: a minimized or maximized window refuses a
// change of its own size.
enum class WindowShape { Normal, Minimized, Maximized };

// The smallest outer size the layout allows.
inline constexpr double MinimumOuterWidth = 9000;
inline constexpr double MinimumOuterHeight = 7015;

// Steps of the resize rule, numbered 1 to 26; 25 fits the photo and 26 repaints.
inline constexpr int LayoutStepCount = 26;
inline constexpr int FitPhotoStep = 25;

struct CardLayout {
    CardGeometry geometry;
    // Indexed by step number (element 0 unused). A step whose width or height came out
    // negative, or a size change the window refused, is skipped; its controls keep their
    // previous rectangles and later steps read those.
    std::array<bool, LayoutStepCount + 1> skippedSteps{};
    // The outer width and height the window is to be set to when it is smaller than allowed.
    std::optional<double> snapWidth;
    std::optional<double> snapHeight;

    bool skipped(int step) const { return skippedSteps.at(size_t(step)); }
};

// Computes steps 1 to 24 for a window whose outer size is `width` by `height` twips, starting
// from the controls' `previous` rectangles. Fractions are kept as computed. pic gets the
// size of step 22; the photo fitting of step 25 may reshape it afterwards.
CardLayout computeCardLayout(double width, double height, const CardGeometry& previous,
                             WindowShape shape = WindowShape::Normal);

// Our window has a menu bar, toolbars and a status bar of its own heights, so the rule is fed
// a virtual outer size made from the card's size: as much wider than the card as the two
// 60-twip window borders, and as much taller as the rule's own allowance for everything that
// is not card (H - 1605 is the card picture's height). The card picture then covers the card
// with a 15-twip margin left and right, and the minimum outer size becomes a minimum card size.
inline constexpr double OuterWidthOverCard = 120;
inline constexpr double OuterHeightOverCard = 1605;

QSizeF outerSizeForCard(const QSizeF& cardTwips);
QSizeF cardSizeForOuter(const QSizeF& outerTwips);

// Lets `main` lay its card out with the rule above whenever the window or the card changes
// size: the controls are placed, the card gets its minimum size, a window smaller than that
// is enlarged (not while minimized or maximized), the photo is fitted and the window repainted.
void installLayout(frmMain& main);

} // namespace quillory
