#include "browse/MainLayout.h"

#include "core/CardPicture.h"
#include "core/frmMain.h"
#include "platform/ui/Geometry.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <memory>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTextDocument>

namespace quillory {

namespace {

constexpr const char* PartNames[CardPartCount] = {
    "Image1", "CboContact", "Text1",    "Label1_0", "Text12",  "frmBU",  "Text2",
    "Text3",  "Text4",      "Text7",    "Text13",   "Text14",  "Text15", "Text16",
    "Text8",  "Text10",     "Text11",   "Text18",   "Text9",   "Text6",  "Frame1",
    "Frame2", "Command5",   "Command4", "pic",      "DBGrid2",
};

// Runs the rule's steps in order on one geometry. A step changes one or more controls; when a
// width or height it gives comes out negative the control would refuse it, so the whole step is
// passed over and every control of it keeps its rectangle.
class Steps {
public:
    explicit Steps(CardLayout& layout) : m_layout(layout), m_geometry(layout.geometry) {}

    template <typename Change> void next(std::initializer_list<CardPart> parts, Change change) {
        ++m_step;
        std::array<QRectF, CardPartCount> changed{};
        for (CardPart part : parts) {
            QRectF rect = m_geometry[part];
            change(rect);
            if (rect.width() < 0 || rect.height() < 0) {
                m_layout.skippedSteps[size_t(m_step)] = true;
                return;
            }
            changed[size_t(part)] = rect;
        }
        for (CardPart part : parts)
            m_geometry[part] = changed[size_t(part)];
    }

    // A step that is not a placement (the window's own size).
    int nextNumber() { return ++m_step; }

    const QRectF& operator[](CardPart part) const { return m_geometry[part]; }

private:
    CardLayout& m_layout;
    CardGeometry& m_geometry;
    int m_step = 0;
};

auto left(double value) {
    return [value](QRectF& r) { r.moveLeft(value); };
}
auto top(double value) {
    return [value](QRectF& r) { r.moveTop(value); };
}
auto width(double value) {
    return [value](QRectF& r) { r.setWidth(value); };
}
auto height(double value) {
    return [value](QRectF& r) { r.setHeight(value); };
}

// The card picture's and the grid's place: the whole card below the toolbar band.
auto overTheCard(double outerWidth, double outerHeight) {
    return [=](QRectF& r) { r = QRectF(15, 600, outerWidth - 150, outerHeight - 1605); };
}

} // namespace

const char* cardPartName(CardPart part) {
    return PartNames[size_t(part)];
}

bool insidePhotoFrame(CardPart part) {
    return part == CardPart::pic || part == CardPart::Command5 || part == CardPart::Command4;
}

CardGeometry CardGeometry::designed() {
    using P = CardPart;
    CardGeometry g;
    // The designed client area is 9930 by 8835; below the toolbar band that leaves a card of
    // 9930 by 8235, which the card picture and the grid cover as the rule would.
    const QSizeF outer = outerSizeForCard({9930, 8835 - 600});
    g[P::Image1] = QRectF(15, 600, outer.width() - 150, outer.height() - 1605);
    g[P::DBGrid2] = g[P::Image1];
    g[P::CboContact] = {1440, 750, 3122, 315};
    g[P::Text1] = {1440, 1080, 1410, 285};
    g[P::Label1_0] = {2850, 1110, 405, 195};
    g[P::Text12] = {3270, 1080, 1290, 285};
    g[P::Text2] = {1440, 1395, 3120, 285};
    g[P::Text3] = {1440, 1710, 3120, 285};
    g[P::Text4] = {1440, 2025, 3120, 285};
    g[P::Text6] = {2835, 2340, 1725, 285};
    g[P::Text7] = {1890, 2655, 2670, 285};
    g[P::Text13] = {1890, 2970, 2670, 285};
    g[P::Text14] = {1890, 3285, 2670, 285};
    g[P::Text16] = {1890, 3600, 2670, 285};
    g[P::Text8] = {1890, 3915, 2670, 285};
    g[P::Text15] = {1890, 4230, 2670, 285};
    g[P::Text10] = {2475, 4545, 2085, 285};
    g[P::Text9] = {1440, 4860, 3120, 285};
    g[P::Text18] = {1440, 5190, 3135, 285};
    g[P::Text11] = {1440, 5535, 3150, 405};
    g[P::Frame1] = {5040, 720, 3765, 5295};
    g[P::pic] = {60, 150, 3645, 4665};
    g[P::Command5] = {960, 4890, 1100, 375};
    g[P::Command4] = {2070, 4890, 1100, 375};
    g[P::Frame2] = {8820, 720, 645, 4815};
    g[P::frmBU] = {2790, 1260, 3165, 1485};
    return g;
}

CardLayout computeCardLayout(double W, double H, const CardGeometry& previous, WindowShape shape) {
    using P = CardPart;
    CardLayout layout;
    layout.geometry = previous;
    Steps s(layout);

    s.next({P::Image1}, overTheCard(W, H)); // 1
    // Everything proportional follows the card picture as it now stands.
    const double IW = s[P::Image1].width();
    s.next({P::CboContact}, width(IW * 0.5 - 1640));                // 2
    s.next({P::Text1}, width(IW * 0.25 - 820));                     // 3
    s.next({P::Label1_0}, left(s[P::Text1].width() + 1445));        // 4
    s.next({P::Text12}, left(s[P::Label1_0].left() + 425));         // 5
    s.next({P::frmBU}, left(IW * 0.5 - 1500));                      // 6
    s.next({P::Text12}, width(IW * 0.25 - 1250));                   // 7
    s.next({P::Text2, P::Text3, P::Text4}, width(IW * 0.5 - 1640)); // 8
    s.next({P::Text7, P::Text13, P::Text14, P::Text15, P::Text16, P::Text8},
           width(IW * 0.5 - 2090));                         // 9
    s.next({P::Text10}, width(IW * 0.5 - 2675));            // 10
    s.next({P::Text11, P::Text18}, width(IW * 0.5 - 1640)); // 11
    s.next({P::Text11}, height(H - 7015));                  // 12
    s.next({P::Text9}, width(IW * 0.5 - 1640));             // 13
    s.next({P::Text6}, width(IW * 0.5 - 3035));             // 14
    s.next({P::Frame1}, left(IW * 0.5 + 300));              // 15
    s.next({P::Frame1}, height(H - 2035));                  // 16
    s.next({P::Frame2}, left(W - 805));                     // 17
    s.next({P::Frame1}, width(IW * 0.5 - 1000));            // 18
    // The photo buttons stay at the frame's bottom edge, centred, 10 apart.
    const QRectF frame = s[P::Frame1];
    s.next({P::Command5, P::Command4}, top(frame.height() - 375)); // 19
    // The designed buttons are 1100 wide; buttons widened for their captions keep the pair
    // centred the same way.
    s.next({P::Command5}, left(frame.width() * 0.5 - s[P::Command5].width()));        // 20
    s.next({P::Command4}, left(s[P::Command5].left() + s[P::Command5].width() + 10)); // 21
    s.next({P::pic}, [&](QRectF& r) {                                                 // 22
        r.setWidth(frame.width() - 150);
        r.setHeight(frame.height() - 600);
    });
    s.next({P::DBGrid2}, overTheCard(W, H)); // 23

    const int minimumStep = s.nextNumber(); // 24
    const bool tooSmall = W < MinimumOuterWidth || H < MinimumOuterHeight;
    if (tooSmall && shape != WindowShape::Normal) {
        layout.skippedSteps[size_t(minimumStep)] = true;
    } else {
        if (W < MinimumOuterWidth)
            layout.snapWidth = MinimumOuterWidth;
        if (H < MinimumOuterHeight)
            layout.snapHeight = MinimumOuterHeight;
    }
    return layout;
}

QSizeF outerSizeForCard(const QSizeF& cardTwips) {
    return {cardTwips.width() + OuterWidthOverCard, cardTwips.height() + OuterHeightOverCard};
}

QSizeF cardSizeForOuter(const QSizeF& outerTwips) {
    return {outerTwips.width() - OuterWidthOverCard, outerTwips.height() - OuterHeightOverCard};
}

namespace {

QWidget* controlOf(frmMain& main, CardPart part) {
    using P = CardPart;
    switch (part) {
    case P::Image1:
        return main.Image1;
    case P::CboContact:
        return main.CboContact;
    case P::Text1:
        return main.Text1;
    case P::Label1_0:
        return main.fieldLabels.value(QStringLiteral("Text12"));
    case P::Text12:
        return main.Text12;
    case P::frmBU:
        return main.frmBU;
    case P::Text2:
        return main.Text2;
    case P::Text3:
        return main.Text3;
    case P::Text4:
        return main.Text4;
    case P::Text7:
        return main.Text7;
    case P::Text13:
        return main.Text13;
    case P::Text14:
        return main.Text14;
    case P::Text15:
        return main.Text15;
    case P::Text16:
        return main.Text16;
    case P::Text8:
        return main.Text8;
    case P::Text10:
        return main.Text10;
    case P::Text11:
        return main.Text11;
    case P::Text18:
        return main.Text18;
    case P::Text9:
        return main.Text9;
    case P::Text6:
        return main.Text6;
    case P::Frame1:
        return main.Frame1;
    case P::Frame2:
        return main.Frame2;
    case P::Command5:
        return main.Command5;
    case P::Command4:
        return main.Command4;
    case P::pic:
        return main.pic;
    case P::DBGrid2:
        return main.DBGrid2;
    }
    return nullptr;
}

QRectF twipsOf(frmMain& main, CardPart part, const QWidget* control) {
    if (!insidePhotoFrame(part))
        return main.twipsRect(control);
    const QRect g = control->geometry();
    return {ui::pixelsToTwips(g.x()), ui::pixelsToTwips(g.y()), ui::pixelsToTwips(g.width()),
            ui::pixelsToTwips(g.height())};
}

void place(frmMain& main, CardPart part, QWidget* control, const QRectF& r) {
    if (insidePhotoFrame(part))
        control->setGeometry(ui::twipsToPixels(r));
    else
        main.placeTwips(control, r.left(), r.top(), r.width(), r.height());
}

// The smallest card, in whole pixels. The rule's own smallest height (7015) leaves the remarks
// box no height at all (H - 7015), so our window stops where the box still shows three lines
// of its text.
constexpr int RemarksLeastLines = 3;

QSize minimumCardPixels(const frmMain& main) {
    const QPlainTextEdit& remarks = *main.Text11;
    const QMargins margins = remarks.contentsMargins();
    const int remarksPixels = RemarksLeastLines * remarks.fontMetrics().lineSpacing() +
                              2 * int(std::ceil(remarks.document()->documentMargin())) +
                              margins.top() + margins.bottom();
    const QSizeF card = cardSizeForOuter({MinimumOuterWidth, MinimumOuterHeight});
    const double perPixel = ui::twipsPerPixel();
    return {int(std::ceil(card.width() / perPixel - 1e-9)),
            int(std::ceil(card.height() / perPixel - 1e-9)) + remarksPixels};
}

WindowShape shapeOf(const QWidget& window) {
    const Qt::WindowStates state = window.windowState();
    if (state & Qt::WindowMinimized)
        return WindowShape::Minimized;
    if (state & (Qt::WindowMaximized | Qt::WindowFullScreen))
        return WindowShape::Maximized;
    return WindowShape::Normal;
}

// The boxes of the card a field label must not run into.
QList<const QWidget*> cardBoxes(const frmMain& main) {
    return {main.CboContact, main.Text1,  main.Text12, main.Text2,  main.Text3,  main.Text4,
            main.Text5,      main.Text6,  main.Text7,  main.Text13, main.Text14, main.Text16,
            main.Text8,      main.Text15, main.Text10, main.Text9,  main.Text18, main.Text11};
}

// The field labels were measured for the card's compact face; in a wider face a caption can be
// longer than its label and would be cut off. Such a label grows away from its box (to the left
// for the right-aligned ones, to the right for "First:") up to the next box on its row, and a
// caption that still does not fit is set a little smaller. The boxes themselves do not move.
void fitLabel(QLabel& label, const QList<const QWidget*>& boxes, const QRect& card) {
    constexpr int Gap = 2; // pixels kept free between a grown label and the box beside it
    const bool growsLeft = (label.alignment() & Qt::AlignRight) != 0;
    QRect r = label.geometry();
    int limit = growsLeft ? card.left() + 1 : card.right();
    for (const QWidget* box : boxes) {
        const QRect b = box->geometry();
        if (box->isHidden() || b.bottom() < r.top() || b.top() > r.bottom())
            continue;
        if (growsLeft && b.center().x() < r.left())
            limit = std::max(limit, b.right() + 1 + Gap);
        else if (!growsLeft && b.center().x() > r.right())
            limit = std::min(limit, b.left() - 1);
    }

    const QFont face = label.parentWidget()->font();
    const int needed = QFontMetrics(face).horizontalAdvance(label.text());
    if (r.width() < needed) {
        if (growsLeft)
            r.setLeft(std::max(limit, r.right() + 1 - needed));
        else
            r.setRight(std::min(limit, r.left() + needed - 1));
        label.setGeometry(r);
    }
    QFont fitted = face;
    while (fitted.pointSizeF() > 6 &&
           QFontMetrics(fitted).horizontalAdvance(label.text()) > r.width())
        fitted.setPointSizeF(fitted.pointSizeF() - 0.5);
    if (fitted != label.font())
        label.setFont(fitted == face ? QFont() : fitted);
}

void fitFieldLabels(frmMain& main) {
    // "First:" reads on one line with the other captions of its row.
    if (QLabel* first = main.fieldLabels.value(QStringLiteral("Text12"))) {
        const QRect box = main.Text12->geometry();
        first->setGeometry(first->x(), box.y(), first->width(), box.height());
    }
    const QList<const QWidget*> boxes = cardBoxes(main);
    for (QLabel* label : std::as_const(main.fieldLabels))
        fitLabel(*label, boxes, main.card->rect());
}

// What the rule remembers between runs: the rectangles with their fractions, so a step passed
// over keeps exactly what the control had, and whether it is enlarging the window itself.
struct LayoutState {
    std::optional<CardGeometry> last;
    std::array<QRect, CardPartCount> placed{}; // where each control stood after the last run
    bool enlarging = false;
};

void layOut(frmMain& main, LayoutState& state) {
    CardGeometry previous;
    for (int i = 0; i < CardPartCount; ++i) {
        const auto part = CardPart(i);
        QWidget* control = controlOf(main, part);
        if (!control)
            continue;
        // A control moved by anyone else since the last run (the photo fitting, for one)
        // starts from where it now stands.
        const bool unchanged = state.last && control->geometry() == state.placed[size_t(i)];
        previous.rects[size_t(i)] =
            unchanged ? state.last->rects[size_t(i)] : twipsOf(main, part, control);
    }

    const QSize cardPixels = main.card->size();
    const QSizeF outer = outerSizeForCard(
        {ui::pixelsToTwips(cardPixels.width()), ui::pixelsToTwips(cardPixels.height())});
    const WindowShape shape = shapeOf(main);
    const CardLayout layout = computeCardLayout(outer.width(), outer.height(), previous, shape);

    for (int i = 0; i < CardPartCount; ++i) {
        const auto part = CardPart(i);
        QWidget* control = controlOf(main, part);
        if (control && layout.geometry.rects[size_t(i)] != previous.rects[size_t(i)])
            place(main, part, control, layout.geometry.rects[size_t(i)]);
    }
    state.last = layout.geometry;

    // Step 24. The smallest layout becomes the card's minimum size; the main window's layout
    // makes that part of the window's own minimum, and the card itself never gets smaller, so
    // the virtual size above never falls short and the rule's own snap does not arise here.
    // What can fall short is the window: before it has taken the card's minimum over, or when
    // it was given a smaller minimum of its own, it is enlarged so the whole card shows again
    // (not while it is minimized or maximized: such a window keeps its size).
    main.card->setMinimumSize(minimumCardPixels(main));
    if (shape == WindowShape::Normal && !state.enlarging) {
        const QSize needed = main.size().expandedTo(main.minimumSizeHint());
        if (needed != main.size()) {
            state.enlarging = true;
            main.resize(needed);
            state.enlarging = false;
        }
    }

    fitFieldLabels(main);
    main.FitPhoto(); // 25
    main.update();   // 26

    for (int i = 0; i < CardPartCount; ++i) {
        if (const QWidget* control = controlOf(main, CardPart(i)))
            state.placed[size_t(i)] = control->geometry();
    }
}

} // namespace

void installLayout(frmMain& main) {
    // The photo buttons were measured for the fonts of their day; both get the width the wider
    // caption needs in today's, so the pair stays centred and alike.
    const int photoButtons = std::max({main.Command5->width(), main.Command5->sizeHint().width(),
                                       main.Command4->sizeHint().width()});
    for (QPushButton* button : {main.Command5, main.Command4})
        button->resize(photoButtons, button->height());
    auto state = std::make_shared<LayoutState>();
    main.card->setMinimumSize(minimumCardPixels(main));
    main.setLayoutRule([state](frmMain& window) { layOut(window, *state); });
}

} // namespace quillory
