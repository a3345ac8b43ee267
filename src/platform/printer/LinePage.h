#pragma once

#include <optional>
#include <QFont>
#include <QPageLayout>
#include <QPageSize>
#include <QString>
#include <vector>

class QPainter;

namespace quillory::printer {

// One page as a line printer takes it: a current font, lines that start at a print column, and
// empty lines that only move down. A print column is counted from the left margin in units of
// the current font's average character width, column 1 being the margin itself.
class LinePage {
public:
    struct Line {
        QFont font;     // the font the line was printed in (resolved family, size in points)
        int column = 1; // where the text starts; 1 for an empty line
        QString text;   // empty for an empty line
        bool empty = false;
    };

    // The left and top margin of the page, in points.
    static constexpr double Margin = 18.0;

    // The printer font: `family` is resolved to a face the system has (see resolvedFamily).
    void setFont(const QString& family, double points, bool bold);
    void setFontSize(double points);
    void printLine(int column, const QString& text);
    void printEmptyLine();
    // The feed value: 1 portrait, 2 landscape. A page without one is printed lying down, the
    // way an envelope is addressed.
    void setFeed(int feed) { m_feed = feed; }
    // The paper the lines are placed on; a #10 envelope unless set.
    void setPageSize(const QPageSize& size) { m_pageSize = size; }

    const std::vector<Line>& lines() const { return m_lines; }
    std::optional<int> feed() const { return m_feed; }
    const QFont& font() const { return m_font; }

    // The page size (a #10 envelope, 4 1/8 x 9 1/2 in, unless set) in the orientation of the
    // feed value.
    QPageLayout pageLayout() const;

    // Draws the lines on `painter`, whose origin is the paper's top left corner; the device's
    // resolution decides the scale, so the same page comes out on screen, printer and PDF.
    void draw(QPainter& painter) const;

    // Where the text of `line` starts, in points from the paper's left edge.
    static double columnOffset(const QFont& font, int column);

    // The metric-compatible face shipped with the program for a family a document asks for
    // ("Arial" is drawn with Liberation Sans); other families are kept as they are.
    static QString resolvedFamily(const QString& family);

private:
    QFont m_font;
    std::optional<int> m_feed;
    QPageSize m_pageSize{QPageSize::Envelope10};
    std::vector<Line> m_lines;
};

} // namespace quillory::printer
