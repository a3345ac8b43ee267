#include "platform/report/Template.h"

#include "platform/files/PlatformError.h"
#include "platform/files/ProgramFolder.h"

#include <algorithm>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>

namespace quillory::report {

namespace {

[[noreturn]] void bad(const QString& what) {
    throw PlatformError(ErrorNumber::EngineSyntax, what);
}

const QRegularExpression& fieldReference() {
    static const QRegularExpression re(QStringLiteral("\\{(\\w+)\\.(\\w+)\\}"));
    return re;
}

// Lengths are written in the template's unit; everything inside is in points.
struct Units {
    double perUnit = 72;
    double length(const QJsonObject& object, const QString& key, double fallback = 0) const {
        const QJsonValue value = object.value(key);
        if (value.isUndefined())
            return fallback;
        if (!value.isDouble() || value.toDouble() < 0)
            bad(QStringLiteral("\"%1\" must be a length of zero or more.").arg(key));
        return value.toDouble() * perUnit;
    }
};

QFont readFont(const QJsonObject& object, const QFont& inherited) {
    QFont font = inherited;
    const QJsonObject fontObject = object.value(QStringLiteral("font")).toObject();
    if (fontObject.contains(QStringLiteral("family")))
        font.setFamily(fontObject.value(QStringLiteral("family")).toString());
    if (fontObject.contains(QStringLiteral("size"))) {
        const double size = fontObject.value(QStringLiteral("size")).toDouble();
        if (size <= 0 || size > 200)
            bad(QStringLiteral("A font size must be between 0 and 200 points."));
        font.setPointSizeF(size);
    }
    if (fontObject.contains(QStringLiteral("bold")))
        font.setBold(fontObject.value(QStringLiteral("bold")).toBool());
    if (fontObject.contains(QStringLiteral("italic")))
        font.setItalic(fontObject.value(QStringLiteral("italic")).toBool());
    return font;
}

Qt::Alignment readAlign(const QString& text) {
    if (text.isEmpty() || text == QLatin1String("left"))
        return Qt::AlignLeft;
    if (text == QLatin1String("right"))
        return Qt::AlignRight;
    if (text == QLatin1String("center"))
        return Qt::AlignHCenter;
    bad(QStringLiteral("\"align\" must be left, center or right, not \"%1\".").arg(text));
}

ReportObject readObject(const QJsonObject& definition, const Units& units, const QFont& baseFont) {
    ReportObject object;
    const QString kind = definition.value(QStringLiteral("type")).toString();
    object.box = QRectF(
        units.length(definition, QStringLiteral("x")), units.length(definition, QStringLiteral("y")),
        units.length(definition, QStringLiteral("width")), units.length(definition, QStringLiteral("height")));
    object.font = readFont(definition, baseFont);
    object.align = readAlign(definition.value(QStringLiteral("align")).toString());
    if (kind == QLatin1String("text")) {
        object.kind = ReportObject::Kind::Text;
        object.texts = {definition.value(QStringLiteral("text")).toString()};
    } else if (kind == QLatin1String("field")) {
        object.kind = ReportObject::Kind::Text;
        const QString field = definition.value(QStringLiteral("field")).toString();
        if (!fieldReference().match(QLatin1Char('{') + field + QLatin1Char('}')).hasMatch())
            bad(QStringLiteral("\"%1\" is not a field such as PhoneBK.name.").arg(field));
        object.texts = {QLatin1Char('{') + field + QLatin1Char('}')};
    } else if (kind == QLatin1String("lines")) {
        object.kind = ReportObject::Kind::Lines;
        for (const QJsonValue& line : definition.value(QStringLiteral("lines")).toArray())
            object.texts.append(line.toString());
    } else if (kind == QLatin1String("formula")) {
        object.kind = ReportObject::Kind::Formula;
        object.formula = Formula::parse(definition.value(QStringLiteral("formula")).toString());
    } else if (kind == QLatin1String("rule")) {
        object.kind = ReportObject::Kind::Rule;
    } else {
        bad(QStringLiteral("Unknown object type \"%1\".").arg(kind));
    }
    return object;
}

Band readBand(const QJsonObject& bands, const QString& name, const Units& units,
              const QFont& baseFont) {
    Band band;
    const QJsonValue value = bands.value(name);
    if (value.isUndefined())
        return band;
    if (!value.isObject())
        bad(QStringLiteral("The band \"%1\" must be an object.").arg(name));
    const QJsonObject definition = value.toObject();
    band.height = units.length(definition, QStringLiteral("height"));
    for (const QJsonValue& object : definition.value(QStringLiteral("objects")).toArray())
        band.objects.append(readObject(object.toObject(), units, baseFont));
    return band;
}

// A label sheet becomes columns across, a detail band one label pitch high and page margins
// around the labels, so that the engine lays labels out as it lays out any across report.
void readLabels(const QJsonObject& definition, const Units& units, Template& out) {
    LabelSheet& sheet = out.labels;
    sheet.label = QSizeF(units.length(definition, QStringLiteral("width")),
                         units.length(definition, QStringLiteral("height")));
    sheet.radius = units.length(definition, QStringLiteral("radius"));
    sheet.across = definition.value(QStringLiteral("across")).toInt(0);
    sheet.down = definition.value(QStringLiteral("down")).toInt(0);
    sheet.first = QPointF(units.length(definition, QStringLiteral("left")),
                          units.length(definition, QStringLiteral("top")));
    sheet.pitchAcross = units.length(definition, QStringLiteral("pitchAcross"));
    sheet.pitchDown = units.length(definition, QStringLiteral("pitchDown"));
    if (sheet.across < 1 || sheet.across > 20 || sheet.down < 1 || sheet.down > 200)
        bad(QStringLiteral("A label sheet needs 1 to 20 labels across and 1 to 200 down."));
    if (sheet.label.width() <= 0 || sheet.label.height() <= 0)
        bad(QStringLiteral("A label needs a width and a height."));
    if (sheet.pitchAcross < sheet.label.width() - 0.01 ||
        sheet.pitchDown < sheet.label.height() - 0.01)
        bad(QStringLiteral("Labels must not overlap: a pitch is smaller than the label."));
    const QSizeF page = out.layout.fullRect(QPageLayout::Point).size();
    const double right = page.width() - sheet.first.x() - (sheet.across - 1) * sheet.pitchAcross -
                         sheet.label.width();
    const double bottom = page.height() - sheet.first.y() - sheet.down * sheet.pitchDown;
    if (right < -0.01 || bottom < -0.01)
        bad(QStringLiteral("The labels do not fit on the page."));
    out.layout.setMargins(
        QMarginsF(sheet.first.x(), sheet.first.y(), std::max(0.0, right), std::max(0.0, bottom)));
    out.ringMargin = 0;
    out.columns = sheet.across;
    out.columnGap = sheet.pitchAcross - sheet.label.width();
    out.acrossThenDown = true;
}

} // namespace

QRectF LabelSheet::labelRect(int index) const {
    return QRectF(QPointF(first.x() + (index % across) * pitchAcross,
                          first.y() + (index / across) * pitchDown),
                  label);
}

QStringList Template::fields() const {
    QStringList out;
    for (const Band* band : {&pageHeader, &groupHeader, &detail, &pageFooter}) {
        for (const ReportObject& object : band->objects) {
            for (const QString& text : object.texts) {
                for (auto it = fieldReference().globalMatch(text); it.hasNext();) {
                    const auto match = it.next();
                    out.append(match.captured(1) + QLatin1Char('.') + match.captured(2));
                }
            }
            out.append(object.formula.fields());
        }
    }
    out.removeDuplicates();
    return out;
}

Template loadTemplate(const QString& path) {
    QFile file(path);
    if (!file.exists())
        throw PlatformError(ErrorNumber::FileNotFound,
                            QStringLiteral("The template file %1 was not found.")
                                .arg(QDir::toNativeSeparators(path)));
    if (!file.open(QIODevice::ReadOnly))
        throw PlatformError(ErrorNumber::PathFileAccess,
                            QStringLiteral("The template file %1 cannot be read: %2")
                                .arg(QDir::toNativeSeparators(path), file.errorString()));
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (document.isNull())
        bad(QStringLiteral("The template is not valid JSON at character %1: %2.")
                .arg(parseError.offset)
                .arg(parseError.errorString()));
    if (!document.isObject())
        bad(QStringLiteral("The template must be one JSON object."));
    const QJsonObject root = document.object();

    // Templates name their format, so that a later format is refused rather than misread.
    const QString format =
        root.value(QStringLiteral("format")).toString(QStringLiteral("quillory-report 1"));
    if (format != QLatin1String("quillory-report 1"))
        bad(QStringLiteral("The template's format \"%1\" is not quillory-report 1.").arg(format));

    Template out;
    out.fileName = QFileInfo(path).fileName();
    out.title = root.value(QStringLiteral("title")).toString();
    out.database = root.value(QStringLiteral("database")).toString();
    out.table = root.value(QStringLiteral("table")).toString(QStringLiteral("PhoneBK"));
    if (out.database.isEmpty() || out.database.contains(QLatin1Char('/')) ||
        out.database.contains(QLatin1Char('\\')))
        bad(QStringLiteral("\"database\" must name a file in the program folder."));

    const QString unit = root.value(QStringLiteral("unit")).toString(QStringLiteral("in"));
    Units units;
    if (unit == QLatin1String("in"))
        units.perUnit = 72;
    else if (unit == QLatin1String("mm"))
        units.perUnit = 72 / 25.4;
    else if (unit == QLatin1String("pt"))
        units.perUnit = 1;
    else
        bad(QStringLiteral("\"unit\" must be in, mm or pt, not \"%1\".").arg(unit));

    const QJsonObject page = root.value(QStringLiteral("page")).toObject();
    const double width = units.length(page, QStringLiteral("width"));
    const double height = units.length(page, QStringLiteral("height"));
    if (width < 72 || height < 72)
        bad(QStringLiteral("The page must be at least one inch wide and high."));
    const QJsonObject margins = page.value(QStringLiteral("margins")).toObject();
    const QMarginsF pageMargins(units.length(margins, QStringLiteral("left")),
                                units.length(margins, QStringLiteral("top")),
                                units.length(margins, QStringLiteral("right")),
                                units.length(margins, QStringLiteral("bottom")));
    out.ringMargin = units.length(page, QStringLiteral("ringMargin"));
    const QString orientation =
        page.value(QStringLiteral("orientation")).toString(QStringLiteral("portrait"));
    if (orientation != QLatin1String("portrait") && orientation != QLatin1String("landscape"))
        bad(QStringLiteral("\"orientation\" must be portrait or landscape."));
    // The size is that of the sheet as it goes into the printer; landscape turns the drawing.
    const QPageSize size(QSizeF(width, height), QPageSize::Point, QString(), QPageSize::ExactMatch);
    out.layout = QPageLayout(size,
                             orientation == QLatin1String("landscape") ? QPageLayout::Landscape
                                                                       : QPageLayout::Portrait,
                             pageMargins, QPageLayout::Point);

    const QJsonObject columns = root.value(QStringLiteral("columns")).toObject();
    out.columns = columns.value(QStringLiteral("count")).toInt(1);
    out.columnGap = units.length(columns, QStringLiteral("gap"));
    const QString order = columns.value(QStringLiteral("order")).toString(QStringLiteral("down"));
    if (order != QLatin1String("down") && order != QLatin1String("across"))
        bad(QStringLiteral("The column \"order\" must be down or across."));
    out.acrossThenDown = order == QLatin1String("across");
    out.repeat = root.value(QStringLiteral("repeat")).toInt(1);
    if (out.columns < 1 || out.columns > 20)
        bad(QStringLiteral("The column count must be between 1 and 20."));
    if (out.repeat < 1 || out.repeat > 1000)
        bad(QStringLiteral("The repeat count must be between 1 and 1000."));

    const QJsonValue labels = root.value(QStringLiteral("labels"));
    if (!labels.isUndefined()) {
        if (!labels.isObject())
            bad(QStringLiteral("\"labels\" must be an object."));
        readLabels(labels.toObject(), units, out);
    }

    const QJsonObject group = root.value(QStringLiteral("group")).toObject();
    out.groupField = group.value(QStringLiteral("field")).toString();
    out.groupLetters = group.value(QStringLiteral("letters")).toInt(1);
    if (!out.groupField.isEmpty() &&
        !fieldReference().match(QLatin1Char('{') + out.groupField + QLatin1Char('}')).hasMatch())
        bad(QStringLiteral("The group field \"%1\" is not a field such as PhoneBK.name.")
                .arg(out.groupField));

    QFont baseFont(QStringLiteral("Liberation Sans"));
    baseFont.setPointSizeF(9);
    baseFont = readFont(root, baseFont);
    const QJsonObject bands = root.value(QStringLiteral("bands")).toObject();
    out.pageHeader = readBand(bands, QStringLiteral("pageHeader"), units, baseFont);
    out.groupHeader = readBand(bands, QStringLiteral("groupHeader"), units, baseFont);
    out.detail = readBand(bands, QStringLiteral("detail"), units, baseFont);
    out.pageFooter = readBand(bands, QStringLiteral("pageFooter"), units, baseFont);
    if (!out.labels.isEmpty()) {
        out.detail.height = out.labels.pitchDown;
        if (!out.pageHeader.objects.isEmpty() || !out.groupHeader.objects.isEmpty() ||
            !out.pageFooter.objects.isEmpty() || !out.groupField.isEmpty())
            bad(QStringLiteral("A label sheet has no headings, foot or groups."));
    }
    if (out.detail.height <= 0)
        bad(QStringLiteral("The detail band needs a height."));

    // Landscape pages are measured as they are drawn, turned.
    const QRectF body = out.layout.fullRect(QPageLayout::Point).marginsRemoved(pageMargins);
    const double usable = body.height() - out.pageHeader.height - out.pageFooter.height;
    if (usable < out.detail.height + out.groupHeader.height)
        bad(QStringLiteral("The bands do not fit on the page."));
    if (body.width() - out.ringMargin <= out.columnGap * (out.columns - 1))
        bad(QStringLiteral("The columns do not fit across the page."));
    return out;
}

QString findTemplate(const QString& name, const ProgramFolder& folder) {
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
        throw PlatformError(ErrorNumber::BadFileName,
                            QStringLiteral("\"%1\" is not a template's file name.").arg(name));
    QStringList places{folder.resource(name)};
    // An installed program keeps its shared files in share/quillory beside bin/.
    const QString executable = QCoreApplication::applicationDirPath();
    if (!executable.isEmpty())
        places.append(QDir(executable).filePath(QStringLiteral("../share/quillory/") + name));
    for (const QString& dir :
         QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("quillory"),
                                   QStandardPaths::LocateDirectory))
        places.append(QDir(dir).filePath(name));
    for (const QString& place : places) {
        if (QFileInfo(place).isFile())
            return QDir::cleanPath(place);
    }
    throw PlatformError(ErrorNumber::FileNotFound,
                        QStringLiteral("The template %1 was not found beside the program or in "
                                       "share/quillory.")
                            .arg(name));
}

} // namespace quillory::report
