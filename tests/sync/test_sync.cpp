// The two-way sync of books with a real server (Radicale): each side's changes, conflicts, a
// sync cut short and taken up again, and a second home that ends equal to the first.

#include "BookFiller.h"
#include "platform/engine/Database.h"
#include "RadicaleServer.h"
#include "sync/CardDav.h"
#include "sync/SyncAccount.h"
#include "sync/SyncEngine.h"
#include "TestSupport.h"

#include <QBuffer>
#include <QImage>
#include <QProcess>
#include <QtTest>

using namespace quillory;
using namespace quillory::sync;
using quillory::test::RadicaleServer;

namespace {

// Every contact as "last,first,phone,conflict copy?,uid,photo size", sorted.
QStringList contents(const QString& book) {
    auto db = engine::Database::open(book, engine::Database::Mode::ReadOnly);
    engine::Statement rows(*db, QStringLiteral("SELECT name, namef, phone, coalesce(instr(remarks, "
                                               "'Conflict copy'), 0) > 0, uid, length(bitmap) "
                                               "FROM PhoneBK ORDER BY name, namef, phone"));
    QStringList list;
    while (rows.step()) {
        QStringList row;
        for (int c = 0; c < 6; ++c)
            row.append(rows.column(c).toString());
        list.append(row.join(u','));
    }
    return list;
}

QString sql(const QString& book, const QString& statement) {
    auto db = engine::Database::open(book);
    return db->scalar(statement).toString();
}

} // namespace

class TestSync : public QObject {
    Q_OBJECT

    RadicaleServer m_server;
    QTemporaryDir m_dir;
    int m_books = 0;

    QString newBook(const QList<QVariantMap>& contacts) {
        const QString path = m_dir.filePath(QStringLiteral("book%1.mdb").arg(++m_books));
        test::writeBook(path, contacts);
        return path;
    }
    Account account(const QUrl& addressBook) const {
        return {addressBook, m_server.user(), m_server.password(), addressBook};
    }
    QString sync(const QString& book, const QUrl& addressBook, const SyncProgress& progress = {},
                 qint64* requests = nullptr) {
        CardDavClient client(account(addressBook), 5000);
        const QString summary = synchronize(book, client, progress).text();
        if (requests)
            *requests = client.requestCount();
        return summary;
    }
    // A card of `uid` named "Cole, Ann" in vCard `version`, written as another device would.
    int putCard(const QUrl& card, const QByteArray& uid, const QByteArray& version = "3.0") {
        return m_server
            .put(card, "BEGIN:VCARD\r\nVERSION:" + version + "\r\nUID:" + uid +
                           "\r\nFN:Ann\r\nN:Cole;Ann;;;\r\nEND:VCARD\r\n")
            .status;
    }
    // The server's card of the contact with last name `last` in `book`.
    QUrl cardOf(const QString& book, const QUrl& addressBook, const QString& last) {
        return addressBook.resolved(QUrl(
            sql(book, QStringLiteral("SELECT href FROM SyncState JOIN PhoneBK USING (uid) WHERE "
                                     "name = '%1'")
                          .arg(last))));
    }
    // Changes the server's side as another device would: "edit", "delete", "new" or "unknown".
    void changeServer(const QString& change, const QString& book, const QUrl& addressBook) {
        const QUrl card = cardOf(book, addressBook, QStringLiteral("Ames"));
        if (change == QLatin1String("edit")) {
            const QByteArray body = m_server.get(card).body.replace("555-0100", "555-0177");
            QCOMPARE(m_server.put(card, body).status / 100, 2);
        } else if (change == QLatin1String("delete")) {
            QCOMPARE(m_server.remove(card).status / 100, 2);
        } else if (!change.isEmpty()) {
            // "new", or "unknown": a card of a version the server takes and the book cannot read.
            const QByteArray version = change == QLatin1String("new") ? "3.0" : "9.9";
            QCOMPARE(putCard(addressBook.resolved(QUrl(change + QStringLiteral(".vcf"))),
                             change.toUtf8(), version) /
                         100,
                     2);
        }
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY2(m_server.isRunning(), qPrintable(m_server.error())); }

    // A book with three contacts (one with a photo) goes to an empty server; then one side or
    // both change; the next sync brings them in step, a further sync has nothing to do, and a
    // second, empty home receives the same book.
    void changesOnEachSide_data() {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("local");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<QStringList>("names"); // last name,phone,conflict copy
        const QString unchanged = QStringLiteral("0 sent, 0 received, 0 deleted, 0 conflicts kept");
        const QString update = QStringLiteral("UPDATE PhoneBK SET phone = '555-0122' WHERE name "
                                              "= 'Ames'");
        const QString remove = QStringLiteral("DELETE FROM PhoneBK WHERE name = 'Ames'");
        const QStringList others{QStringLiteral("Bell,555-0100,0"), QStringLiteral("Cole,,0")};
        QTest::newRow("nothing") << ""
                                 << "" << unchanged
                                 << QStringList{QStringLiteral("Ames,555-0100,0")} + others;
        QTest::newRow("server edit") << "edit"
                                     << ""
                                     << "0 sent, 1 received, 0 deleted, 0 conflicts kept"
                                     << QStringList{QStringLiteral("Ames,555-0177,0")} + others;
        QTest::newRow("local edit")
            << "" << update << "1 sent, 0 received, 0 deleted, 0 conflicts kept"
            << QStringList{QStringLiteral("Ames,555-0122,0")} + others;
        QTest::newRow("server delete") << "delete"
                                       << ""
                                       << "0 sent, 0 received, 1 deleted, 0 conflicts kept\n\"Ann "
                                          "Ames\" was deleted on the server and moved to Deleted "
                                          "contacts."
                                       << others;
        QTest::newRow("local delete")
            << "" << remove << "0 sent, 0 received, 1 deleted, 0 conflicts kept" << others;
        QTest::newRow("both edit")
            << "edit" << update
            << "1 sent, 1 received, 0 deleted, 1 conflict kept\n\"Ann "
               "Ames\" was changed in the book and on the server: the "
               "book's version is kept as a conflict copy."
            << QStringList{QStringLiteral("Ames,555-0122,1"), QStringLiteral("Ames,555-0177,0")} +
                   others;
        QTest::newRow("server edit, local delete")
            << "edit" << remove << "0 sent, 1 received, 0 deleted, 0 conflicts kept"
            << QStringList{QStringLiteral("Ames,555-0177,0")} + others;
        QTest::newRow("server delete, local edit")
            << "delete" << update << "1 sent, 0 received, 0 deleted, 0 conflicts kept"
            << QStringList{QStringLiteral("Ames,555-0122,0")} + others;
        QTest::newRow("server card of an unknown version")
            << "unknown"
            << "" << unchanged + "\nThe card \""
            << QStringList{QStringLiteral("Ames,555-0100,0")} + others;
        QTest::newRow("server new") << "new"
                                    << ""
                                    << "0 sent, 1 received, 0 deleted, 0 conflicts kept"
                                    << QStringList{QStringLiteral("Ames,555-0100,0")} + others +
                                           QStringList{QStringLiteral("Cole,,0")};
    }
    void changesOnEachSide() {
        QFETCH(QString, server);
        QFETCH(QString, local);
        QFETCH(QString, summary);
        QFETCH(QStringList, names);
        const QUrl addressBook = m_server.makeAddressBook(QTest::currentDataTag(), {});
        QVERIFY(!addressBook.isEmpty());
        QImage picture(8, 8, QImage::Format_RGB32);
        picture.fill(Qt::red);
        QByteArray png;
        QBuffer buffer(&png);
        picture.save(&buffer, "PNG");
        QVariantMap cole{{QStringLiteral("name"), QStringLiteral("Cole")},
                         {QStringLiteral("bitmap"), png}};
        const QString book = newBook({test::contactNamed(QStringLiteral("Ames"), "Ann"),
                                      test::contactNamed(QStringLiteral("Bell"), "Bo"), cole});
        QCOMPARE(sync(book, addressBook), QStringLiteral("3 sent, 0 received, 0 deleted, 0 "
                                                         "conflicts kept"));
        changeServer(server, book, addressBook);
        if (!local.isEmpty())
            sql(book, local);
        const QString done = sync(book, addressBook);
        QVERIFY2(done.startsWith(summary), qPrintable(done));
        QStringList seen;
        for (const QString& row : contents(book))
            seen.append(row.section(u',', 0, 0) + u',' + row.section(u',', 2, 3));
        QCOMPARE(seen, names);
        qint64 requests = 0;
        QCOMPARE(sync(book, addressBook, {}, &requests).section(u'\n', 0, 0),
                 QStringLiteral("0 sent, 0 received, 0 deleted, 0 conflicts kept"));
        QCOMPARE(requests, 1); // the listing alone
        const QString second = newBook({});
        sync(second, addressBook);
        QCOMPARE(contents(second), contents(book));
    }

    // A new card's name on the server holds a card already: another contact's, put there by
    // another program (the contact goes under another name), or this contact's own, sent by a
    // sync that was cut before it recorded it (adopted, not sent twice).
    void nameTakenOnServer_data() {
        QTest::addColumn<bool>("stranger"); // another contact's card holds the name first
        QTest::addColumn<bool>("forget");   // the book loses its records after the first sync
        QTest::addColumn<QString>("first");
        QTest::addColumn<int>("contacts");
        QTest::newRow("by another contact")
            << true << false << "1 sent, 1 received, 0 deleted, 0 conflicts kept" << 2;
        QTest::newRow("by this contact")
            << false << true << "1 sent, 0 received, 0 deleted, 0 conflicts kept" << 1;
    }
    void nameTakenOnServer() {
        QFETCH(bool, stranger);
        QFETCH(bool, forget);
        QFETCH(QString, first);
        QFETCH(int, contacts);
        const QUrl addressBook = m_server.makeAddressBook(QTest::currentDataTag(), {});
        QVariantMap dale = test::contactNamed(QStringLiteral("Dale"), "Di");
        dale.insert(QStringLiteral("uid"), QStringLiteral("dale"));
        const QString book = newBook({dale});
        if (stranger)
            QCOMPARE(
                putCard(addressBook.resolved(QUrl(cardHref(QStringLiteral("dale")))), "stranger") /
                    100,
                2);
        QCOMPARE(sync(book, addressBook), first);
        const QString unchanged = QStringLiteral("0 sent, 0 received, 0 deleted, 0 conflicts kept");
        QCOMPARE(sync(book, addressBook), unchanged);
        if (forget) { // past the listing's token: only the PUT's answer tells
            sql(book, QStringLiteral("DELETE FROM SyncState"));
            QCOMPARE(sync(book, addressBook), unchanged);
        }
        qint64 requests = 0;
        QCOMPARE(sync(book, addressBook, {}, &requests), unchanged);
        QCOMPARE(requests, 1);
        const QString second = newBook({});
        sync(second, addressBook);
        QCOMPARE(contents(second), contents(book));
        QCOMPARE(contents(book).size(), contacts);
    }

    // The server stops (or the user cancels) at a step of the sync; once it is back, the next
    // sync ends with every contact once on each side, and the one after it has nothing to do.
    void cutAndResumed_data() {
        QTest::addColumn<int>("step");
        QTest::addColumn<bool>("cancel");
        for (int step : {1, 3, 4, 9, 20}) {
            QTest::addRow("server stops at step %d", step) << step << false;
            QTest::addRow("cancel at step %d", step) << step << true;
        }
    }
    void cutAndResumed() {
        QFETCH(int, step);
        QFETCH(bool, cancel);
        const QUrl addressBook = m_server.makeAddressBook(QTest::currentDataTag(), {});
        QList<QVariantMap> contacts;
        for (int i = 0; i < 20; ++i)
            contacts.append(test::contactNamed(QStringLiteral("Name%1").arg(i), "X"));
        const QString book = newBook(contacts);
        int calls = 0;
        bool cut = false;
        try {
            sync(book, addressBook, [&](qint64, qint64) {
                if (++calls != step)
                    return true;
                cut = true;
                if (!cancel)
                    m_server.stop();
                return !cancel;
            });
        } catch (const SyncError&) {
        }
        QVERIFY(cut);
        QVERIFY(m_server.isRunning() || m_server.start());
        sync(book, addressBook);
        QCOMPARE(sync(book, addressBook),
                 QStringLiteral("0 sent, 0 received, 0 deleted, 0 conflicts kept"));
        const QString second = newBook({});
        QVERIFY(sync(second, addressBook).startsWith(QStringLiteral("0 sent, 20 received")));
        QCOMPARE(contents(second), contents(book));
        QCOMPARE(contents(book).size(), 20);
    }

    // Two contacts that share a UID (a copy another program made) both reach the server.
    void sharedUid() {
        const QUrl addressBook = m_server.makeAddressBook(QStringLiteral("shared"), {});
        QVariantMap ames = test::contactNamed(QStringLiteral("Ames"), "Ann");
        ames.insert(QStringLiteral("uid"), QStringLiteral("same"));
        QVariantMap bell = test::contactNamed(QStringLiteral("Bell"), "Bo");
        bell.insert(QStringLiteral("uid"), QStringLiteral("same"));
        const QString book = newBook({ames, bell});
        QVERIFY(sync(book, addressBook).startsWith(QStringLiteral("2 sent")));
        const QString second = newBook({});
        sync(second, addressBook);
        QCOMPARE(contents(second), contents(book));
    }

    // A card edited on the server between the listing and the sending of the book's edit: the
    // sync says so, and the next one keeps both edits as a conflict.
    void changedDuringSync() {
        const QUrl addressBook = m_server.makeAddressBook(QStringLiteral("during"), {});
        const QString book = newBook({test::contactNamed(QStringLiteral("Ames"), "Ann")});
        sync(book, addressBook);
        sql(book, QStringLiteral("UPDATE PhoneBK SET phone = '555-0122'"));
        const QString first = sync(book, addressBook, [&](qint64, qint64 total) {
            if (total == 1)
                changeServer(QStringLiteral("edit"), book, addressBook);
            return true;
        });
        QVERIFY2(first.contains(QStringLiteral("changed on the server during the sync")),
                 qPrintable(first));
        QVERIFY2(sync(book, addressBook)
                     .startsWith(QStringLiteral("1 sent, 1 received, 0 deleted, 1 conflict kept")),
                 qPrintable(first));
        QCOMPARE(contents(book).size(), 2);
    }

    // Compaction, back-up and a repair that rewrites the book keep what was synced, and the
    // book stays one the program opens.
    void stateKeptByMaintenance_data() {
        QTest::addColumn<QString>("step");
        QTest::newRow("compact") << "compact";
        QTest::newRow("back-up") << "back-up";
        QTest::newRow("repair") << "repair";
    }
    void stateKeptByMaintenance() {
        QFETCH(QString, step);
        const QUrl addressBook = m_server.makeAddressBook(QTest::currentDataTag(), {});
        const QString book = newBook({test::contactNamed(QStringLiteral("Ames"), "Ann")});
        sync(book, addressBook);
        const QString state = QStringLiteral(
            "SELECT (SELECT group_concat(uid || href || etag || hash) FROM SyncState) || "
            "(SELECT group_concat(addressbook || token) FROM SyncCollection)");
        const QString before = sql(book, state);
        QVERIFY(before.contains(QStringLiteral(".vcf")));
        QString after = book + QStringLiteral(".copy");
        if (step == QLatin1String("compact"))
            engine::CompactDatabase(book, after);
        else if (step == QLatin1String("back-up"))
            engine::BackUpDatabase(book, after);
        else
            QVERIFY(engine::RepairDatabase(
                after = book,
                {{}, [](engine::Database&) { return true; }, engine::book::mendShape}));
        QCOMPARE(sql(after, state), before);
        auto db = engine::Database::open(after);
        QCOMPARE(engine::book::checkShape(*db).verdict, engine::book::Shape::Verdict::Usable);
    }

    // The command line prints the summary and exits 0, or gives one line and exits 1.
    void commandLine_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("account"); // 0: given on the line, 1: saved, 2: none at all
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output");
        QTest::newRow("right password") << m_server.password() << 0 << 0 << "0 sent, 0 received";
        QTest::newRow("wrong password") << "wrong" << 0 << 1 << "quillory: ";
        QTest::newRow("saved account") << m_server.password() << 1 << 0 << "0 sent, 0 received";
        QTest::newRow("no account")
            << m_server.password() << 2 << 1 << "quillory: no sync account is saved";
    }
    void commandLine() {
        QFETCH(QString, password);
        QFETCH(int, account);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        const QUrl addressBook = m_server.makeAddressBook(QTest::currentDataTag(), {});
        QTemporaryDir home;
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QUILLORY_SYNC_PASSWORD"), password);
        program.setProcessEnvironment(environment);
        QStringList arguments{QStringLiteral("--home"), home.path(), QStringLiteral("--sync")};
        if (account == 0)
            arguments << addressBook.toString() << QStringLiteral("--sync-user") << m_server.user();
        else if (account == 1)
            QVERIFY((SyncAccount{addressBook, m_server.user(), {}}.save(home.path())));
        program.start(QStringLiteral(QUILLORY_PROGRAM), arguments);
        QVERIFY(program.waitForFinished(60000));
        QCOMPARE(program.exitCode(), exitCode);
        const QString text = QString::fromUtf8(exitCode == 0 ? program.readAllStandardOutput()
                                                             : program.readAllStandardError())
                                 .section(u'\n', -2, -2);
        QVERIFY2(text.startsWith(output), qPrintable(text));
    }
};

QTEST_MAIN(TestSync)
#include "test_sync.moc"
