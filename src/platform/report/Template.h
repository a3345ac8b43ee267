#pragma once

#include "platform/report/Formula.h"

#include <QFont>
#include <QPageLayout>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QVector>

namespace quillory {
class ProgramFolder;
}

namespace quillory::report {

// One thing drawn in a band, placed in points from the band's (or a label cell's) top left.
struct ReportObject {
    enum class Kind { Text, Lines, Formula, Rule };
    Kind kind = Kind::Text;
    QRectF box;
    QFont font;
    Qt::Alignment align = Qt::AlignLeft;
    // Text: one text with {PhoneBK.field}, {Page}, {Group} and {Title} filled in.
    // Lines: one such text per line; a line whose fields are all empty is left out and the
    // lines below move up, so an address without a second line leaves no gap.
    QStringList texts;
    report::Formula formula; // Formula: its value as text
};

struct Band {
    double height = 0; // points
    QVector<ReportObject> objects;
};

// The stock a label template is laid out for, in points: each label's size and corner radius,
// how many there are across and down a sheet, where the first one's top left corner lies and
// the distance from one label's corner to the next one's, across and down.
struct LabelSheet {
    QSizeF label;
    double radius = 0;
    int across = 0, down = 0;
    QPointF first;
    double pitchAcross = 0, pitchDown = 0;

    bool isEmpty() const { return across == 0; }
    // The rectangle of label `index` (0 at the top left, across then down) on a sheet.
    QRectF labelRect(int index) const;
};

// A report template as read from its file (see docs/architecture.md, "Report templates").
struct Template {
    QString fileName;
    QString title;
    QString database; // a file name in the program folder, such as "Corvanel.MDB"
    QString table;    // "PhoneBK"
    QPageLayout layout;
    double ringMargin = 0; // points kept free on the left of every page for binder rings
    int columns = 1;
    double columnGap = 0;
    bool acrossThenDown = false; // label sheets; otherwise each column fills top to bottom
    int repeat = 1;              // copies of each row (labels)
    LabelSheet labels;           // empty unless the template prints label stock
    QString groupField;          // "" for no groups
    int groupLetters = 1;        // the group key is this many leading letters, in capitals
    Band pageHeader, groupHeader, detail, pageFooter;

    // Every field a band draws, "PhoneBK.name", ...
    QStringList fields() const;
};

// Reads a template. Throws PlatformError 53 when the file is missing and 3077 naming what is
// wrong when it cannot be read as a template.
Template loadTemplate(const QString& path);

// The template file for a bare name: beside the program first, then where the program was
// installed with its shared files. Throws PlatformError 53 when neither has it.
QString findTemplate(const QString& name, const ProgramFolder& folder);

} // namespace quillory::report
