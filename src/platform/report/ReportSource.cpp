#include "platform/report/ReportSource.h"

#include "platform/engine/Database.h"
#include "platform/files/PlatformError.h"
#include "platform/files/ProgramFolder.h"
#include "platform/report/Preview.h"

#include <algorithm>
#include <cmath>
#include <QFontMetricsF>
#include <QHash>
#include <QPainter>
#include <QRegularExpression>
#include <QTransform>

namespace quillory::report {

namespace {

constexpr double PointsPerMillimetre = 72.0 / 25.4;

const QRegularExpression& placeholder() {
    static const QRegularExpression re(QStringLiteral("\\{(\\w+)(?:\\.(\\w+))?\\}"));
    return re;
}

QString quoted(const QString& name) {
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}

// One row's values by lower-cased field name.
using RowValues = QHash<QString, QVariant>;

FieldLookup lookupIn(const RowValues& values, const QString& table) {
    return [&values, table](const QString& onTable, const QString& field) -> QVariant {
        if (onTable.compare(table, Qt::CaseInsensitive) != 0)
            return {};
        return values.value(field.toLower());
    };
}

// What one page draws with: the row's values and the page's own facts.
struct Fill {
    const RowValues* row = nullptr;
    const QString* table = nullptr;
    QString page, group, title;
};

// Fills {Table.field}, {Page}, {Group} and {Title}. `anyField` tells whether the text names a
// field and `anyValue` whether one of them held something.
QString fillText(const QString& text, const Fill& fill, bool* anyField = nullptr,
                 bool* anyValue = nullptr) {
    QString out;
    qsizetype last = 0;
    for (auto it = placeholder().globalMatch(text); it.hasNext();) {
        const auto match = it.next();
        out += text.mid(last, match.capturedStart() - last);
        last = match.capturedEnd();
        if (match.hasCaptured(2)) {
            QString value;
            if (fill.row && fill.table &&
                match.captured(1).compare(*fill.table, Qt::CaseInsensitive) == 0)
                value = fill.row->value(match.captured(2).toLower()).toString().trimmed();
            if (anyField)
                *anyField = true;
            if (anyValue && !value.isEmpty())
                *anyValue = true;
            out += value;
            continue;
        }
        const QString name = match.captured(1);
        if (name == QLatin1String("Page"))
            out += fill.page;
        else if (name == QLatin1String("Group"))
            out += fill.group;
        else if (name == QLatin1String("Title"))
            out += fill.title;
        else
            out += match.captured(0);
    }
    out += text.mid(last);
    return out;
}

// A line such as "{city}, {state}  {zip}" with some fields empty loses its dangling commas.
QString tidy(QString line) {
    line = line.trimmed();
    while (line.startsWith(QLatin1Char(',')))
        line = line.mid(1).trimmed();
    while (line.endsWith(QLatin1Char(',')))
        line = line.chopped(1).trimmed();
    return line.replace(QStringLiteral(" ,"), QStringLiteral(","));
}

// A band object's font and its measures, the same on every device. A font is resolved at whole
// pixels, so a 5.5 pt line drawn on a device of one dot per point (or of 72 dots to the inch)
// would come out as 6 pt, and a box would hold fewer lines than its template was made for. Text
// is therefore drawn with its font enlarged `scale` times, to some 128 pixels, under a painter
// scaled down as much, and measured in that size. (Far larger fonts measure slowly.)
constexpr double TextPixels = 128;

struct Prepared {
    QFont font;   // `scale` times the template's size, in pixels
    double scale; // a multiple of 4, so that sizes in quarter points come out exact
    QFontMetricsF metrics;

    double lineSpacing() const { return metrics.lineSpacing() / scale; }
    double ascent() const { return metrics.ascent() / scale; }
    double advance(const QString& text) const { return metrics.horizontalAdvance(text) / scale; }
    QString elided(const QString& text, double width) const {
        return metrics.elidedText(text, Qt::ElideRight, width * scale);
    }
};
using PreparedFonts = QHash<const ReportObject*, Prepared>;

const Prepared& prepared(PreparedFonts& cache, const ReportObject& object) {
    auto found = cache.find(&object);
    if (found == cache.end()) {
        const double points = object.font.pointSizeF();
        const double scale = 4 * std::max(1.0, std::round(TextPixels / (4 * points)));
        QFont font = object.font;
        font.setPixelSize(std::max(1, qRound(points * scale)));
        found = cache.insert(&object, Prepared{font, scale, QFontMetricsF(font)});
    }
    return *found;
}

// Draws a band whose top left is `origin`, in points.
void drawBand(QPainter& painter, PreparedFonts& fonts, const Band& band, QPointF origin,
              double width, const Fill& fill) {
    const QTransform points = painter.transform();
    for (const ReportObject& object : band.objects) {
        QRectF box = object.box.translated(origin);
        if (box.width() <= 0)
            box.setWidth(width - object.box.x());
        const Prepared& font = prepared(fonts, object);
        const double scale = font.scale;
        // Everything of this object is placed in points times its scale; see Prepared.
        painter.setTransform(QTransform::fromScale(1 / scale, 1 / scale) * points);
        const double lineHeight = font.lineSpacing();
        if (box.height() <= 0)
            box.setHeight(lineHeight);
        if (painter.font() != font.font)
            painter.setFont(font.font);
        // Single lines drawn at their baseline: much cheaper than laying text out in a box,
        // which counts when a large book goes to PDF.
        auto drawLine = [&](QString text, const QRectF& at) {
            if (text.isEmpty())
                return;
            double advance = font.advance(text);
            if (advance > at.width()) {
                text = font.elided(text, at.width());
                advance = font.advance(text);
            }
            double x = at.left();
            if (object.align & Qt::AlignRight)
                x = at.right() - advance;
            else if (object.align & Qt::AlignHCenter)
                x = at.left() + (at.width() - advance) / 2;
            painter.drawText(QPointF(x, at.top() + font.ascent()) * scale, text);
        };
        switch (object.kind) {
        case ReportObject::Kind::Text:
            drawLine(fillText(object.texts.value(0), fill), box);
            break;
        case ReportObject::Kind::Lines: {
            double y = box.top();
            for (const QString& text : object.texts) {
                bool anyField = false, anyValue = false;
                const QString line = fillText(text, fill, &anyField, &anyValue);
                if (anyField && !anyValue)
                    continue;
                if (y + lineHeight > box.bottom() + 0.5)
                    break;
                drawLine(anyField ? tidy(line) : line,
                         QRectF(box.left(), y, box.width(), lineHeight));
                y += lineHeight;
            }
            break;
        }
        case ReportObject::Kind::Formula: {
            const RowValues none;
            const QVariant value = object.formula.evaluate(
                lookupIn(fill.row ? *fill.row : none, fill.table ? *fill.table : QString()));
            drawLine(value.toString(), box);
            break;
        }
        case ReportObject::Kind::Rule: {
            const double thickness = object.box.height() > 0 ? object.box.height() : 0.5;
            painter.save();
            painter.setPen(QPen(Qt::black, thickness * scale));
            painter.drawLine(box.topLeft() * scale, box.topRight() * scale);
            painter.restore();
            break;
        }
        }
    }
    painter.setTransform(points);
}

const QRegularExpression& labelTemplate() {
    static const QRegularExpression re(QStringLiteral("^\\d{4}-[12]\\.rpt$"));
    return re;
}

QString groupKeyOf(const QVariant& value, int letters) {
    const QString text = value.toString().trimmed();
    if (text.isEmpty() || !text.at(0).isLetter())
        return QStringLiteral("#");
    return text.left(letters).toUpper();
}

} // namespace

ReportSource::ReportSource(Template reportTemplate, const QString& databasePath,
                           const QString& selectionFormula, const QStringList& sortFields,
                           const QString& windowTitle)
    : m_template(std::move(reportTemplate)),
      m_title(windowTitle.isEmpty() ? m_template.title : windowTitle) {
    m_db = engine::Database::open(databasePath, engine::Database::Mode::ReadOnly);
    const engine::TableColumns columns = engine::tableColumns(*m_db, m_template.table);
    if (columns.names.isEmpty())
        throw PlatformError(
            ErrorNumber::EngineNotReadable,
            QStringLiteral("The database %1 has no table %2.").arg(databasePath, m_template.table));
    auto column = [&](const QString& reference) -> QString {
        const QString table = reference.section(QLatin1Char('.'), 0, 0);
        const QString field = reference.section(QLatin1Char('.'), 1);
        if (table.compare(m_template.table, Qt::CaseInsensitive) == 0) {
            for (const QString& name : columns.names) {
                if (name.compare(field, Qt::CaseInsensitive) == 0)
                    return name;
            }
        }
        throw PlatformError(ErrorNumber::EngineSyntax,
                            QStringLiteral("The field {%1} is not in the table %2.")
                                .arg(reference, m_template.table));
    };

    // No formula at all takes every row.
    Formula selection;
    if (!selectionFormula.trimmed().isEmpty()) {
        try {
            selection = Formula::parse(selectionFormula);
        } catch (const PlatformError& error) {
            throw PlatformError(error.number(),
                                QStringLiteral("The selection formula \"%1\" cannot be used: %2")
                                    .arg(selectionFormula, error.description()));
        }
    }
    // Drawing a page reads only what the bands show, never the photos.
    for (const QString& field : m_template.fields())
        m_drawn.append(quoted(column(field)));
    m_drawn.removeDuplicates();
    m_drawn.prepend(QStringLiteral("rowid"));

    // What the first pass reads: the fields the selection and the groups look at.
    QStringList read;
    for (const QString& field : selection.fields())
        read.append(column(field));
    const QString groupColumn =
        m_template.groupField.isEmpty() ? QString() : column(m_template.groupField);
    if (!groupColumn.isEmpty())
        read.append(groupColumn);
    read.removeDuplicates();

    QStringList order;
    for (const QString& text : sortFields) {
        if (text.trimmed().isEmpty())
            continue;
        SortField sort;
        try {
            sort = parseSortField(text);
        } catch (const PlatformError& error) {
            throw PlatformError(error.number(),
                                QStringLiteral("The sort field \"%1\" cannot be used: %2")
                                    .arg(text, error.description()));
        }
        order.append(quoted(column(sort.table + QLatin1Char('.') + sort.field)) +
                     QStringLiteral(" COLLATE NOCASE ") +
                     (sort.ascending ? QStringLiteral("ASC") : QStringLiteral("DESC")));
    }
    order.append(QStringLiteral("rowid"));

    QStringList selected{QStringLiteral("rowid")};
    for (const QString& name : read)
        selected.append(quoted(name));
    engine::Statement query(*m_db,
                            QStringLiteral("SELECT %1 FROM %2 ORDER BY %3")
                                .arg(selected.join(QStringLiteral(", ")), quoted(m_template.table),
                                     order.join(QStringLiteral(", "))),
                            engine::Statement::Access::ReadOnly);
    RowValues values;
    const FieldLookup lookup = lookupIn(values, m_template.table);
    QString lastKey;
    while (query.step()) {
        for (int i = 0; i < read.size(); ++i)
            values.insert(read.at(i).toLower(), query.column(i + 1));
        if (!selection.isEmpty() && !selection.selects(lookup))
            continue;
        if (!groupColumn.isEmpty()) {
            const QString key =
                groupKeyOf(values.value(groupColumn.toLower()), m_template.groupLetters);
            if (m_groupKeys.isEmpty() || key != lastKey) {
                m_groupStart.append(int(m_rows.size()));
                m_groupKeys.append(key);
                lastKey = key;
            }
        }
        m_rows.append(query.columnInt64(0));
    }
}

ReportSource::~ReportSource() = default;

void ReportSource::leaveBlank(int count) {
    if (!m_pages.isEmpty())
        throw PlatformError(ErrorNumber::EngineSyntax,
                            QStringLiteral("Empty places can only be left before the first page."));
    // The places are on the first sheet: at most all but one of its labels.
    const LabelSheet& sheet = m_template.labels;
    const int most = sheet.isEmpty() ? 0 : sheet.across * sheet.down - 1;
    m_blanks = std::clamp(count, 0, most);
}

double ReportSource::bodyTop() const {
    return m_template.layout.margins(QPageLayout::Point).top() + m_template.pageHeader.height;
}

double ReportSource::bodyBottom() const {
    return m_template.layout.fullRect(QPageLayout::Point).height() -
           m_template.layout.margins(QPageLayout::Point).bottom() - m_template.pageFooter.height;
}

bool ReportSource::layOutNextPage() {
    const qint64 total = m_blanks + qint64(m_rows.size()) * m_template.repeat;
    if (m_done)
        return false;
    Page page;
    const QMarginsF margins = m_template.layout.margins(QPageLayout::Point);
    const double left = margins.left() + m_template.ringMargin;
    const double bodyWidth =
        m_template.layout.fullRect(QPageLayout::Point).width() - left - margins.right();
    const int columns = m_template.columns;
    const double cellWidth = (bodyWidth - m_template.columnGap * (columns - 1)) / columns;
    auto cellX = [&](int column) { return left + column * (cellWidth + m_template.columnGap); };
    const double top = bodyTop(), bottom = bodyBottom();
    const double detail = m_template.detail.height, header = m_template.groupHeader.height;

    int column = 0;
    double y = top;
    while (m_nextItem < total) {
        const bool blank = m_nextItem < m_blanks;
        const int row = blank ? -1 : int((m_nextItem - m_blanks) / m_template.repeat);
        const bool startsGroup =
            !blank && m_template.repeat * qint64(row) == m_nextItem - m_blanks &&
            m_nextGroup < m_groupStart.size() && m_groupStart.at(m_nextGroup) == row;
        if (m_template.acrossThenDown) {
            if (startsGroup) {
                if (column != 0) {
                    column = 0;
                    y += detail;
                }
                if (y + header + detail > bottom + 0.01)
                    break;
                page.items.append({-1, m_nextGroup, float(left), float(y)});
                ++m_nextGroup;
                y += header;
            } else if (column == 0 && y + detail > bottom + 0.01) {
                break;
            }
            if (!blank)
                page.items.append(
                    {m_rows.at(row), m_nextGroup - 1, float(cellX(column)), float(y)});
            if (++column == columns) {
                column = 0;
                y += detail;
            }
        } else {
            // A group's heading never stands alone at the foot of a column.
            const double needed = (startsGroup ? header : 0) + detail;
            if (y + needed > bottom + 0.01) {
                if (++column == columns)
                    break;
                y = top;
                continue;
            }
            if (startsGroup) {
                page.items.append({-1, m_nextGroup, float(cellX(column)), float(y)});
                ++m_nextGroup;
                y += header;
            }
            if (!blank)
                page.items.append(
                    {m_rows.at(row), m_nextGroup - 1, float(cellX(column)), float(y)});
            y += detail;
        }
        ++m_nextItem;
    }
    if (m_nextItem >= total)
        m_done = true;
    // An empty report still has one page, so that its headings show that nothing was chosen.
    if (page.items.isEmpty() && !m_pages.isEmpty())
        return false;
    m_pages.append(page);
    return true;
}

bool ReportSource::hasPage(int index) {
    if (index < 0)
        return false;
    while (m_pages.size() <= index && layOutNextPage()) {
    }
    return index < m_pages.size();
}

int ReportSource::pageCount() {
    while (layOutNextPage()) {
    }
    return int(m_pages.size());
}

void ReportSource::drawPage(int index, QPainter& painter) {
    if (!hasPage(index))
        throw PlatformError(ErrorNumber::InputPastEnd,
                            QStringLiteral("The report has no page %1.").arg(index + 1));
    const QMarginsF margins = m_template.layout.margins(QPageLayout::Point);
    const double left = margins.left() + m_template.ringMargin;
    const double bodyWidth =
        m_template.layout.fullRect(QPageLayout::Point).width() - left - margins.right();
    const double cellWidth =
        (bodyWidth - m_template.columnGap * (m_template.columns - 1)) / m_template.columns;

    painter.save();
    if (!m_template.labels.isEmpty())
        painter.translate(m_labelOffset * PointsPerMillimetre);
    painter.setPen(Qt::black);
    Fill fill;
    fill.table = &m_template.table;
    fill.page = QString::number(index + 1);
    fill.title = m_template.title;

    engine::Statement read(*m_db,
                           QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?")
                               .arg(m_drawn.join(QStringLiteral(", ")), quoted(m_template.table)),
                           engine::Statement::Access::ReadOnly);
    RowValues values;
    PreparedFonts fonts;
    for (const Placed& item : m_pages.at(index).items) {
        if (item.row < 0) {
            fill.row = nullptr;
            fill.group = m_groupKeys.at(item.group);
            const bool across = m_template.acrossThenDown;
            drawBand(painter, fonts, m_template.groupHeader, QPointF(item.x, item.y),
                     across ? bodyWidth : cellWidth, fill);
            continue;
        }
        read.reset();
        read.bind(1, item.row);
        // A row deleted since the report was opened leaves its place empty.
        if (!read.step())
            continue;
        values.clear();
        for (int i = 0; i < read.columnCount(); ++i)
            values.insert(read.columnName(i).toLower(), read.column(i));
        fill.row = &values;
        drawBand(painter, fonts, m_template.detail, QPointF(item.x, item.y), cellWidth, fill);
    }
    fill.row = nullptr;
    // The page's heading and foot show the group the page begins in, as a tab for the binder.
    const QVector<Placed>& items = m_pages.at(index).items;
    fill.group = items.isEmpty() || items.first().group < 0 ? QString()
                                                            : m_groupKeys.at(items.first().group);
    drawBand(painter, fonts, m_template.pageHeader, QPointF(left, margins.top()), bodyWidth, fill);
    drawBand(painter, fonts, m_template.pageFooter, QPointF(left, bodyBottom()), bodyWidth, fill);
    painter.restore();
}

std::unique_ptr<ReportSource> openReport(const ReportRequest& request,
                                         const ProgramFolder& folder) {
    Template reportTemplate = loadTemplate(findTemplate(request.reportFileName, folder));
    const QString database = folder.file(QLatin1Char('\\') + reportTemplate.database);
    auto source = std::make_unique<ReportSource>(
        std::move(reportTemplate), database, request.selectionFormula,
        QStringList{request.sortFields[0], request.sortFields[1]}, request.windowTitle);
    source->setLabelOffset(request.labelOffset);
    source->leaveBlank(request.leaveBlank);
    return source;
}

ReportRequest defaultRequest(const QString& templateName) {
    ReportRequest request;
    request.reportFileName = templateName;
    const QString name = templateName.toLower();
    const std::array<QString, 2> byName{QStringLiteral("+{PhoneBK.name}"),
                                        QStringLiteral("+{PhoneBK.namef}")};
    if (name == QLatin1String("combook1.rpt")) {
        request.selectionFormula =
            QStringLiteral("IsNull ({PhoneBK.address2}) Or Trim ({PhoneBK.address2}) = ''");
        request.sortFields = byName;
    } else if (name == QLatin1String("combook2.rpt")) {
        request.selectionFormula =
            QStringLiteral("Not IsNull ({PhoneBK.address2}) And Trim ({PhoneBK.address2}) <> ''");
        request.sortFields = byName;
    } else if (labelTemplate().match(name).hasMatch()) {
        // "-1" sheets take the contacts without a second address line, "-2" sheets those with
        // one, so that every contact is on exactly one of the two.
        request.selectionFormula =
            name.contains(QLatin1String("-1."))
                ? QStringLiteral("IsNull ({PhoneBK.address2}) Or Trim ({PhoneBK.address2}) = ''")
                : QStringLiteral(
                      "Not IsNull ({PhoneBK.address2}) And Trim ({PhoneBK.address2}) <> ''");
        request.sortFields = byName;
    } else if (name == QLatin1String("runner.rpt") || name == QLatin1String("runner1.rpt")) {
        request.selectionFormula =
            QStringLiteral("Not IsNull ({PhoneBK.name}) And Trim ({PhoneBK.name}) <> ''");
        request.sortFields = byName;
    }
    return request;
}

void installReportRunner() {
    ReportControl::setRunner(
        [](const ReportRequest& request, const ProgramFolder& folder, QWidget* parent) {
            if (request.destination != 0)
                throw PlatformError(ErrorNumber::DeviceUnavailable,
                                    QStringLiteral("Reports go to the preview window only "
                                                   "(destination 0), not %1.")
                                        .arg(request.destination));
            showPreview(openReport(request, folder), parent);
        });
}

} // namespace quillory::report
