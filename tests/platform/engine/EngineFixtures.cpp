#include "EngineFixtures.h"

#include "platform/engine/Database.h"

#include <QFile>
#include <QProcess>
#include <QtTest>
#include <sqlite3.h>

namespace quillory::test {

using engine::Database;
using engine::Statement;

void writeBook(const QString& path, const QVector<Contact>& contacts) {
    engine::book::create(path);
    std::unique_ptr<Database> db = Database::open(path);
    db->exec(QStringLiteral("BEGIN"));
    Statement insert(*db, QStringLiteral("INSERT INTO PhoneBK (name, namef, city, zip, extra4, "
                                         "remarks, bitmap) VALUES (?, ?, ?, ?, ?, ?, ?)"));
    for (const Contact& c : contacts) {
        insert.reset();
        auto orNull = [](const QString& s) { return s.isNull() ? QVariant() : QVariant(s); };
        insert.bindAll({orNull(c.name), orNull(c.namef), orNull(c.city), orNull(c.zip),
                        orNull(c.extra4), orNull(c.remarks),
                        c.bitmap.isNull() ? QVariant() : QVariant(c.bitmap)});
        insert.step();
    }
    db->exec(QStringLiteral("COMMIT"));
}

Contact generatedContact(int id) {
    Contact c;
    c.name = QStringLiteral("Name%1").arg(id, 5, 10, QLatin1Char('0'));
    c.namef = QStringLiteral("First%1").arg(id);
    c.city = QStringLiteral("City%1").arg(id % 37);
    c.zip = QString::number(10000 + id);
    c.extra4 = id % 2 ? QStringLiteral("Personal Contact") : QStringLiteral("Business Contact");
    c.remarks = QStringLiteral("Remarks for contact %1 ").arg(id).repeated(8);
    return c;
}

void writeBookWithPhotos(const QString& path, int count, int photoBytes) {
    QVector<Contact> contacts;
    for (int id = 1; id <= count; ++id) {
        Contact c = generatedContact(id);
        c.bitmap = QByteArray(photoBytes, char(id));
        contacts.append(c);
    }
    writeBook(path, contacts);
}

RawConnection::RawConnection(const QString& path, bool readOnly) {
    const int flags = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, flags, nullptr) != SQLITE_OK)
        qFatal("cannot open %s", qPrintable(path));
}

RawConnection::~RawConnection() {
    sqlite3_close_v2(m_db);
}

void RawConnection::exec(const QString& sql) {
    char* message = nullptr;
    if (sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &message) != SQLITE_OK) {
        const QString text = QString::fromUtf8(message);
        sqlite3_free(message);
        QTest::qFail(qPrintable(QStringLiteral("raw exec failed: ") + text), __FILE__, __LINE__);
    }
}

QVector<QVariantList> RawConnection::rows(const QString& sql) {
    sqlite3_stmt* stmt = nullptr;
    QVector<QVariantList> out;
    if (sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK)
        return out;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        QVariantList row;
        for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
            switch (sqlite3_column_type(stmt, i)) {
            case SQLITE_INTEGER:
                row.append(qlonglong(sqlite3_column_int64(stmt, i)));
                break;
            case SQLITE_TEXT:
                row.append(
                    QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, i))));
                break;
            case SQLITE_BLOB:
                row.append(QByteArray(static_cast<const char*>(sqlite3_column_blob(stmt, i)),
                                      sqlite3_column_bytes(stmt, i)));
                break;
            default:
                row.append(QVariant());
            }
        }
        out.append(row);
    }
    sqlite3_finalize(stmt);
    return out;
}

QVariant RawConnection::scalar(const QString& sql, const QVariant& param) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK)
        return {};
    if (param.isValid())
        sqlite3_bind_int64(stmt, 1, param.toLongLong());
    QVariant value;
    if (sqlite3_step(stmt) == SQLITE_ROW) {
        if (sqlite3_column_type(stmt, 0) == SQLITE_INTEGER)
            value = qlonglong(sqlite3_column_int64(stmt, 0));
        else if (sqlite3_column_type(stmt, 0) != SQLITE_NULL)
            value = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    }
    sqlite3_finalize(stmt);
    return value;
}

void scribbleOverPage(const QString& path, qint64 pageNumber, int pageSize) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.seek((pageNumber - 1) * pageSize));
    QByteArray garbage(pageSize, '\0');
    for (int i = 0; i < pageSize; ++i)
        garbage[i] = char((i * 7 + 0x5b) ^ 0xc3);
    // The first byte of a b-tree page says what kind it is; none of these values is one.
    garbage[0] = char(0x77);
    QCOMPARE(file.write(garbage), qint64(pageSize));
}

bool runTool(const QString& command, const QStringList& args) {
    QProcess process;
    process.start(command, args);
    if (!process.waitForFinished(10000))
        return false;
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

void addErrorRows(const char* situationColumn, std::initializer_list<ErrorRow> rows) {
    QTest::addColumn<QString>(situationColumn);
    QTest::addColumn<int>("number");
    for (const ErrorRow& row : rows)
        QTest::newRow(row.name) << QString::fromLatin1(row.situation) << row.number;
}

} // namespace quillory::test
