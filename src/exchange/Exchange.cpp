// Reading files into records, importing them into the book, exporting the book.

#include "exchange/Exchange.h"

#include "core/ContactRecord.h"
#include "exchange/ExchangeDetail.h"
#include "platform/engine/Database.h"
#include "platform/engine/EngineError.h"
#include "platform/engine/RecordSource.h"
#include "platform/engine/Transaction.h"
#include "platform/files/FileOps.h"
#include "platform/files/OwnFiles.h"
#include "platform/files/PlatformError.h"

#include <QBuffer>
#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <sqlite3.h>

namespace quillory::exchange {

namespace {

using detail::RecordReader;

constexpr int progressEvery = 256;

std::unique_ptr<QFile> openInput(const QString& path) {
    auto file = std::make_unique<QFile>(path);
    if (!file->exists())
        throw PlatformError(ErrorNumber::FileNotFound,
                            QStringLiteral("The file \"%1\" could not be found.").arg(path));
    if (!file->open(QIODevice::ReadOnly))
        throw PlatformError(
            ErrorNumber::PathFileAccess,
            QStringLiteral("The file \"%1\" cannot be read: %2.").arg(path, file->errorString()));
    return file;
}

ReadResult readAll(RecordReader& reader) {
    ReadResult result;
    result.format = reader.info.format;
    ReadRecord record;
    while (reader.next(record))
        result.records.append(std::move(record));
    result.problems = reader.problems();
    result.problemCount = reader.problemCount();
    return result;
}

QString digits(const QString& phone) {
    QString out;
    for (const QChar c : phone) {
        if (c.isDigit())
            out.append(c);
    }
    return out;
}

const QStringList& phoneFields() {
    static const QStringList fields = {QStringLiteral("phone"), QStringLiteral("phone2"),
                                       QStringLiteral("phone3"), QStringLiteral("pager")};
    return fields;
}

// The fields an import writes, in the order of the book's columns, the photo, the UID and the
// time of the write last.
QStringList writtenFields() {
    QStringList fields = engine::book::fieldNames();
    fields.removeAll(QStringLiteral("bitmap"));
    fields.append(QStringLiteral("birthdate"));
    return fields;
}

QVariant textOrNull(const QString& text) {
    return text.isEmpty() ? QVariant() : QVariant(text);
}

std::unique_ptr<engine::Statement> makeCandidates(engine::Database& db, bool noLast, bool noFirst) {
    const auto match = [](const char* column, bool empty) {
        return empty ? QStringLiteral("(%1 IS NULL OR %1 = '')").arg(QLatin1String(column))
                     : QStringLiteral("%1 = ?").arg(QLatin1String(column));
    };
    return std::make_unique<engine::Statement>(
        db, QStringLiteral("SELECT id, namef, phone, phone2, phone3, pager, email, remarks FROM "
                           "PhoneBK WHERE %1 AND %2 AND id <= ? ORDER BY id")
                .arg(match("name", noLast), match("namef", noFirst)));
}

class Importer {
public:
    Importer(engine::Database& db, const ImportOptions& options)
        : m_db(db), m_policy(options.onDuplicate), m_type(options.contactType),
          m_fields(writtenFields()),
          m_insert(db, QStringLiteral("INSERT INTO PhoneBK (%1, bitmap, uid, rev) VALUES (%2)")
                           .arg(m_fields.join(QStringLiteral(", ")),
                                engine::placeholders(int(m_fields.size()) + 3))),
          m_candidates{makeCandidates(db, false, false), makeCandidates(db, false, true),
                       makeCandidates(db, true, false), makeCandidates(db, true, true)},
          // Only contacts the book held before the import can be duplicates: later rows are
          // this file's own cards.
          m_lastBefore(
              db.scalar(QStringLiteral("SELECT coalesce(max(id), 0) FROM PhoneBK")).toLongLong()),
          m_revision(engine::book::revisionNow()),
          m_mergesRemembered(engine::book::hasTable(db, engine::book::mergedUidTable())) {}

    void take(const Contact& contact, ImportSummary& summary) {
        QString remarks;
        UidHolder holder = uidHolder(contact.value(QStringLiteral("uid")), &remarks);
        // A card whose contact was merged into another is that other contact now.
        if (holder.id == 0 && m_mergesRemembered)
            holder = uidHolder(
                engine::book::mergedUidOf(m_db, contact.value(QStringLiteral("uid"))), &remarks);
        // The contact the card's UID names is that contact, whatever its name.
        qint64 id = holder.id <= m_lastBefore ? holder.id : 0;
        if (id == 0 && m_policy != OnDuplicate::Add)
            id = duplicateOf(contact, &remarks);
        // A card's UID another contact holds is not given twice.
        const QString uid =
            holder.id == 0 ? contact.value(QStringLiteral("uid")) : engine::book::newUid();
        if (id > 0) {
            if (m_policy == OnDuplicate::Skip) {
                ++summary.skipped;
            } else {
                update(id, contact, remarks, uid);
                ++summary.updated;
            }
            return;
        }
        QVariantList values;
        for (const QString& field : m_fields) {
            values.append(textOrNull(field == QLatin1String("extra4")
                                         ? importedType(contact, m_type)
                                         : contact.value(field)));
        }
        values.append(contact.photo.isEmpty() ? QVariant() : QVariant(contact.photo));
        values.append(uid.isEmpty() ? engine::book::newUid() : uid);
        values.append(m_revision);
        m_insert.reset();
        m_insert.bindAll(values);
        m_insert.step();
        ++summary.imported;
    }

private:
    struct UidHolder {
        qint64 id = 0; // the first contact holding the UID; 0 when none does
    };
    // The contact that holds `uid`, with its remarks.
    UidHolder uidHolder(const QString& uid, QString* remarks) {
        if (uid.isEmpty())
            return {};
        if (!m_byUid) {
            engine::book::indexUids(m_db); // the first import with UIDs makes the index
            m_byUid = std::make_unique<engine::Statement>(
                m_db, QStringLiteral("SELECT id, remarks FROM PhoneBK WHERE uid = ? ORDER BY id "
                                     "LIMIT 1"));
        }
        m_byUid->reset();
        m_byUid->bind(1, uid);
        UidHolder holder;
        if (m_byUid->step()) {
            holder.id = m_byUid->columnInt64(0);
            *remarks = m_byUid->column(1).toString();
        }
        m_byUid->reset();
        return holder;
    }

    // The row of a contact with the same last and first name that shares a phone number or the
    // e-mail address; 0 when there is none.
    qint64 duplicateOf(const Contact& contact, QString* remarks) {
        const QString last = contact.value(QStringLiteral("name"));
        const QString first = contact.value(QStringLiteral("namef"));
        QStringList phones;
        for (const QString& field : phoneFields()) {
            const QString d = digits(contact.value(field));
            if (!d.isEmpty())
                phones.append(d);
        }
        const QString email = contact.value(QStringLiteral("email")).trimmed().toLower();
        if (phones.isEmpty() && email.isEmpty())
            return 0;
        engine::Statement& query =
            *m_candidates[(last.isEmpty() ? 2 : 0) + (first.isEmpty() ? 1 : 0)];
        query.reset();
        int parameter = 0;
        for (const QString& name : {last, first}) {
            if (!name.isEmpty())
                query.bind(++parameter, name);
        }
        query.bind(++parameter, m_lastBefore);
        qint64 found = 0;
        while (query.step()) {
            bool same = !email.isEmpty() && query.column(6).toString().trimmed().toLower() == email;
            for (int c = 2; c <= 5 && !same; ++c)
                same = phones.contains(digits(query.column(c).toString())) &&
                       !digits(query.column(c).toString()).isEmpty();
            if (same) {
                found = query.columnInt64(0);
                *remarks = query.column(7).toString();
                break;
            }
        }
        query.reset();
        return found;
    }

    // The imported values replace the book's; fields the file leaves empty keep theirs, the names
    // keep the book's letter case, and remarks the book has are kept with the imported ones
    // added below them. A contact without a UID takes `uid` (the card's, or a new one).
    void update(qint64 id, const Contact& contact, const QString& remarks, const QString& uid) {
        QStringList sets{QStringLiteral("uid = coalesce(uid, ?)"), QStringLiteral("rev = ?")};
        QVariantList values{uid.isEmpty() ? engine::book::newUid() : uid, m_revision};
        for (const QString& field : m_fields) {
            QString value = contact.value(field);
            // The names matched; the book's own spelling of them stays.
            if (value.isEmpty() || field == QLatin1String("name") ||
                field == QLatin1String("namef") || field == QLatin1String("extra8"))
                continue;
            if (field == QLatin1String("remarks") && !remarks.isEmpty() && !remarks.contains(value))
                value = remarks + QLatin1Char('\n') + value;
            else if (field == QLatin1String("remarks") && remarks.contains(value))
                continue;
            sets.append(field + QStringLiteral(" = ?"));
            values.append(value);
        }
        if (!contact.photo.isEmpty()) {
            sets.append(QStringLiteral("bitmap = ?"));
            values.append(contact.photo);
        }
        values.append(id);
        engine::Statement statement(m_db, QStringLiteral("UPDATE PhoneBK SET %1 WHERE id = ?")
                                              .arg(sets.join(QStringLiteral(", "))));
        statement.bindAll(values);
        statement.step();
    }

    engine::Database& m_db;
    OnDuplicate m_policy;
    ContactTypeChoice m_type;
    QStringList m_fields;
    engine::Statement m_insert;
    // The contacts of the same last and first name (each empty or not), through the name index.
    std::unique_ptr<engine::Statement> m_candidates[4];
    std::unique_ptr<engine::Statement> m_byUid; // made with the first card that has a UID
    qint64 m_lastBefore;
    QString m_revision;
    bool m_mergesRemembered; // the book remembers UIDs that merges took away
};

std::unique_ptr<engine::Database> openBook(const QString& bookPath, engine::Database::Mode mode) {
    auto db = engine::Database::open(bookPath, mode);
    if (!db->isBook())
        throw PlatformError(
            ErrorNumber::EngineNotReadable,
            QStringLiteral("\"%1\" is not an address book of this program.").arg(bookPath));
    return db;
}

QString exportQuery(const ExportOptions& options) {
    switch (options.scope) {
    case ExportScope::WholeBook:
        break;
    case ExportScope::RecordSource: {
        // The views end in a semicolon, which cannot stand inside the count's subquery.
        QString sql = engine::planRecordSource(options.recordSource).sql.trimmed();
        while (sql.endsWith(u';'))
            sql = sql.chopped(1).trimmed();
        return sql;
    }
    case ExportScope::FlaggedForPrinting:
        return QStringLiteral("SELECT * FROM PhoneBK WHERE extra7 = 'Y' ORDER BY name, namef");
    }
    return engine::planRecordSource(contact::source::Sorted).sql;
}

// Failures of the book's writes themselves: a full disk, a write the disk refused.
bool writesCutShort(int number) {
    return number == ErrorNumber::EngineDiskFull || number == ErrorNumber::DiskFull ||
           number == engine::EngineNumber::DiskIO || number == ErrorNumber::EngineWriteFailed;
}

} // namespace

Format detectFormat(const QByteArray& head) {
    QByteArray text = head;
    if (text.startsWith("\xEF\xBB\xBF"))
        text.remove(0, 3);
    qsizetype start = 0;
    while (start < text.size() && (text[start] == ' ' || text[start] == '\t' ||
                                   text[start] == '\r' || text[start] == '\n'))
        ++start;
    text.remove(0, start);
    if (text.isEmpty())
        return Format::Unknown;
    if (QByteArray(text.left(11)).toUpper() == "BEGIN:VCARD")
        return Format::VCard;
    // A header of contact columns makes a CSV file, even when a value holds a NUL.
    if (detail::startsWithContactHeader(text))
        return Format::Csv;
    // Text has no NUL bytes and few control characters; a picture or a program has many.
    qsizetype controls = 0;
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b == 0)
            return Format::Unknown;
        if (b < 0x20 && b != '\t' && b != '\r' && b != '\n' && b != '\f')
            ++controls;
    }
    if (controls * 100 > text.size())
        return Format::Unknown;
    return Format::Csv;
}

namespace detail {

std::unique_ptr<RecordReader> openReader(QIODevice& device, const QString& name,
                                         const ReadOptions& options) {
    const QByteArray head = device.peek(64 * 1024);
    // Some phones and mail programs write UTF-16 with a byte-order mark: it is read as UTF-8.
    if (head.startsWith("\xFF\xFE") || head.startsWith("\xFE\xFF")) {
        if (device.size() > maxUtf16Bytes)
            throw PlatformError(ErrorNumber::EngineNotReadable,
                                QStringLiteral("\"%1\" is a UTF-16 file larger than %2 MB; save "
                                               "it as UTF-8 to import it.")
                                    .arg(name)
                                    .arg(maxUtf16Bytes / (1024 * 1024)));
        const bool little = head.startsWith("\xFF\xFE");
        QStringDecoder decoder(little ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
        const QByteArray raw = device.readAll();
        auto converted = std::make_unique<QBuffer>();
        converted->setData(QString(decoder(QByteArrayView(raw).sliced(2))).toUtf8());
        converted->open(QIODevice::ReadOnly);
        std::unique_ptr<RecordReader> reader = openReader(*converted, name, options);
        reader->info.encoding = little ? QStringLiteral("UTF-16LE") : QStringLiteral("UTF-16BE");
        reader->ownedInput = std::move(converted);
        return reader;
    }
    if (head.trimmed().isEmpty() || head == "\xEF\xBB\xBF")
        throw PlatformError(
            ErrorNumber::InputPastEnd,
            QStringLiteral("\"%1\" is empty: there is nothing to import.").arg(name));
    Format format = options.format;
    if (format == Format::Unknown)
        format = detectFormat(head);
    switch (format) {
    case Format::VCard:
        return openVCardReader(device);
    case Format::Csv:
        return openCsvReader(device, name, options);
    case Format::Unknown:
        break;
    }
    throw PlatformError(ErrorNumber::EngineNotReadable,
                        QStringLiteral("\"%1\" holds neither vCards nor CSV text; nothing was "
                                       "read.")
                            .arg(name));
}

} // namespace detail

Preview preview(const QString& path, const ReadOptions& options, int firstCount) {
    const auto file = openInput(path);
    const auto reader = detail::openReader(*file, path, options);
    ReadRecord record;
    qint64 count = 0;
    while (reader->next(record)) {
        if (count < firstCount)
            reader->info.first.append(record);
        ++count;
    }
    Preview result = reader->info;
    result.records = count;
    result.problems = reader->problems();
    result.problemCount = reader->problemCount();
    return result;
}

ReadResult readFile(const QString& path, const ReadOptions& options) {
    const auto file = openInput(path);
    const auto reader = detail::openReader(*file, path, options);
    return readAll(*reader);
}

ReadResult readBytes(const QByteArray& bytes, const ReadOptions& options) {
    QByteArray data = bytes;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    const auto reader = detail::openReader(buffer, QStringLiteral("the text"), options);
    return readAll(*reader);
}

QString ImportSummary::text() const {
    if (cancelled)
        return QStringLiteral("Import cancelled: the book was left as it was.");
    QStringList lines;
    lines.append(QStringLiteral("Imported %1, updated %2, skipped %3 (duplicates), unreadable %4.")
                     .arg(imported)
                     .arg(updated)
                     .arg(skipped)
                     .arg(unreadableCount));
    for (const Problem& problem : unreadable)
        lines.append(QStringLiteral("line %1: %2").arg(problem.line).arg(problem.reason));
    if (unreadableCount > unreadable.size())
        lines.append(QStringLiteral("... and %1 more.").arg(unreadableCount - unreadable.size()));
    return lines.join(QLatin1Char('\n'));
}

static ImportSummary importInOneGo(const QString& bookPath, const QString& filePath,
                                   const ImportOptions& options) {
    const auto file = openInput(filePath);
    // The file's form is settled before the book is touched.
    const auto reader = detail::openReader(*file, filePath, options.read);
    // Progress counts the bytes read of what is read: the file, or its text made UTF-8.
    const qint64 size = reader->ownedInput ? reader->ownedInput->size() : file->size();
    auto db = openBook(bookPath, engine::Database::Mode::ReadWrite);

    ImportSummary summary;
    engine::Transaction transaction(*db, QStringLiteral("nothing was imported"));
    engine::book::addKeptFields(*db);
    Importer importer(*db, options);
    ReadRecord record;
    qint64 done = 0;
    while (reader->next(record)) {
        importer.take(record.contact, summary);
        if (++done % progressEvery == 0 && options.progress &&
            !options.progress(reader->bytesRead(), size)) {
            ImportSummary cancelled;
            cancelled.cancelled = true;
            return cancelled; // the transaction rolls back
        }
    }
    if (options.progress && !options.progress(reader->bytesRead(), size)) {
        ImportSummary cancelled;
        cancelled.cancelled = true;
        return cancelled;
    }
    summary.unreadable = reader->problems();
    summary.unreadableCount = reader->problemCount();
    if (summary.imported + summary.updated > 0)
        transaction.commit();
    return summary;
}

ImportSummary importFile(const QString& bookPath, const QString& filePath,
                         const ImportOptions& options) {
    try {
        return importInOneGo(bookPath, filePath, options);
    } catch (const PlatformError& error) {
        // The transaction has been rolled back by now; should that fail, the next open of the
        // book rolls it back from its journal.
        if (!writesCutShort(error.number()))
            throw;
        QString reason = error.description();
        while (reason.endsWith(u'.'))
            reason.chop(1);
        throw PlatformError(error.number(),
                            reason +
                                QStringLiteral(". Nothing was imported; the book is unchanged."));
    }
}

ExportSummary exportBook(const QString& bookPath, const QString& filePath,
                         const ExportOptions& options) {
    files::refuseOwnFile(filePath, {bookPath});
    detail::giveUidsBeforeExport(bookPath);
    auto db = openBook(bookPath, engine::Database::Mode::ReadOnly);
    const QString sql = exportQuery(options);
    qint64 total = -1;
    if (options.progress)
        total = db->scalar(QStringLiteral("SELECT count(*) FROM (%1)").arg(sql)).toLongLong();
    engine::Statement rows(*db, sql, engine::Statement::Access::ReadOnly);
    QHash<QString, int> columns;
    for (int c = 0; c < rows.columnCount(); ++c)
        columns.insert(rows.columnName(c).toLower(), c);
    QVector<std::pair<QString, int>> wanted;
    for (const QString& field : engine::book::fieldNames() + engine::book::keptFields()) {
        if (columns.contains(field.toLower()) && field != QLatin1String("bitmap"))
            wanted.append({field, columns.value(field.toLower())});
    }
    const int photoColumn = columns.value(QStringLiteral("bitmap"), -1);

    QSaveFile out(filePath);
    // Unbuffered: every write reaches the system at once, so its failure is told with its reason.
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw PlatformError(ErrorNumber::PathFileAccess,
                            QStringLiteral("The file \"%1\" cannot be written: %2.")
                                .arg(filePath, out.errorString()));
    QByteArray buffer;
    const auto flush = [&out, &buffer, &filePath](bool always) {
        if (!always && buffer.size() < 1024 * 1024)
            return;
        files::writeAll(out, buffer, filePath);
        buffer.clear();
    };
    const bool csv = options.format == Format::Csv;
    if (csv) {
        buffer.append("\xEF\xBB\xBF");
        buffer.append(detail::csvHeaderLine());
    }
    ExportSummary summary;
    while (rows.step()) {
        Contact contact;
        for (const auto& [field, column] : wanted) {
            const QString value = rows.column(column).toString();
            if (!value.isEmpty())
                contact.fields.insert(field, value);
        }
        if (photoColumn >= 0)
            contact.photo = rows.column(photoColumn).toByteArray();
        buffer.append(csv ? detail::csvLineOf(contact) : detail::vCardOf(contact, options.version));
        flush(false);
        if (++summary.exported % progressEvery == 0 && options.progress &&
            !options.progress(summary.exported, total)) {
            out.cancelWriting();
            return {0, true};
        }
    }
    if (options.progress && !options.progress(summary.exported, total)) {
        out.cancelWriting();
        return {0, true};
    }
    flush(true);
    files::commitAll(out, filePath);
    return summary;
}

QByteArray writeVCards(const QVector<Contact>& contacts, VCardVersion version) {
    QByteArray out;
    for (const Contact& contact : contacts)
        out.append(detail::vCardOf(contact, version));
    return out;
}

QByteArray writeCsv(const QVector<Contact>& contacts) {
    QByteArray out("\xEF\xBB\xBF");
    out.append(detail::csvHeaderLine());
    for (const Contact& contact : contacts)
        out.append(detail::csvLineOf(contact));
    return out;
}

} // namespace quillory::exchange
