#pragma once

#include "TestSupport.h"

#include <initializer_list>
#include <QByteArray>
#include <QString>
#include <QVariant>
#include <QVector>

struct sqlite3;

namespace quillory::test {

// One contact as the tests write it into a book.
struct Contact {
    QString name = {};
    QString namef = {};
    QString city = {};
    QString zip = {};
    QString extra4 = {};
    QString remarks = {};
    QByteArray bitmap = {};
};

// Creates a book at `path` through the engine and stores the contacts in the given order.
void writeBook(const QString& path, const QVector<Contact>& contacts);

// The contact the large books hold under id `id` (1-based): every field can be recomputed
// from the id, so a test can tell an intact row from a damaged one.
Contact generatedContact(int id);

// Writes a book of the generated contacts 1 to `count`, each with a photo of `photoBytes` bytes
// (all of the id's own byte), so that deleting rows leaves pages free.
void writeBookWithPhotos(const QString& path, int count, int photoBytes);

// A plain SQLite connection without the program's settings, for looking at a file from the
// outside (page lists, locks, raw values).
class RawConnection {
public:
    explicit RawConnection(const QString& path, bool readOnly = false);
    ~RawConnection();
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;

    void exec(const QString& sql);
    QVariant scalar(const QString& sql, const QVariant& param = {});
    QVector<QVariantList> rows(const QString& sql);
    sqlite3* handle() const { return m_db; }

private:
    sqlite3* m_db = nullptr;
};

// Overwrites whole pages of a database file with bytes that cannot be read as a page.
void scribbleOverPage(const QString& path, qint64 pageNumber, int pageSize = 4096);

// Runs `command` with `args`; true when it exits with 0.
bool runTool(const QString& command, const QStringList& args);

// One row of a table of situations, each with the error number it must fail with.
struct ErrorRow {
    const char* name;
    const char* situation;
    int number;
};

// Makes the data of such a table: the situation in the QString column `situationColumn`, the
// error number in the int column "number".
void addErrorRows(const char* situationColumn, std::initializer_list<ErrorRow> rows);

} // namespace quillory::test
