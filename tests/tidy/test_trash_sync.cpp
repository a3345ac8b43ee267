// The trash and the sync with a real server (Radicale): a contact deleted on the server goes to
// the trash, and once restored the next sync sends it back as a card of its own.

#include "BookFiller.h"
#include "platform/engine/Database.h"
#include "RadicaleServer.h"
#include "sync/CardDav.h"
#include "sync/SyncEngine.h"
#include "tidy/Trash.h"

#include <QtTest>

using namespace quillory;

class TestTrashSync : public QObject {
    Q_OBJECT

    test::RadicaleServer m_server;
    QTemporaryDir m_dir;

    QString sync(const QString& book, const QUrl& addressBook) {
        sync::CardDavClient client(
            {addressBook, m_server.user(), m_server.password(), addressBook}, 5000);
        return sync::synchronize(book, client, {}).text().section(u'\n', 0, 0);
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY2(m_server.isRunning(), qPrintable(m_server.error())); }

    void serverDeletionIsRestoredAndSentAgain() {
        const QUrl addressBook = m_server.makeAddressBook(QStringLiteral("trash"), {});
        QVERIFY(!addressBook.isEmpty());
        const QString book = m_dir.filePath(QStringLiteral("book.mdb"));
        test::writeBook(book, {test::contactNamed(QStringLiteral("Ames"), QStringLiteral("Ann")),
                               test::contactNamed(QStringLiteral("Bell"), QStringLiteral("Bo"))});
        QCOMPARE(sync(book, addressBook),
                 QStringLiteral("2 sent, 0 received, 0 deleted, 0 conflicts kept"));
        auto db = engine::Database::open(book);
        const QString uid =
            db->scalar(QStringLiteral("SELECT uid FROM PhoneBK WHERE name = 'Ames'")).toString();
        const QUrl card = addressBook.resolved(QUrl(
            db->scalar(QStringLiteral("SELECT href FROM SyncState WHERE uid = ?"), {uid})
                .toString()));
        QCOMPARE(m_server.remove(card).status / 100, 2);

        QCOMPARE(sync(book, addressBook),
                 QStringLiteral("0 sent, 0 received, 1 deleted, 0 conflicts kept"));
        const auto entries = tidy::trashEntries(*db);
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries.first().reason, tidy::TrashReason::Server);
        QCOMPARE(entries.first().name, QStringLiteral("Ames, Ann"));
        QCOMPARE(entries.first().uid, uid);

        tidy::restore(*db, {entries.first().trashId});

        QCOMPARE(sync(book, addressBook),
                 QStringLiteral("1 sent, 0 received, 0 deleted, 0 conflicts kept"));
        const QUrl sentAgain = addressBook.resolved(QUrl(
            db->scalar(QStringLiteral("SELECT href FROM SyncState WHERE uid = ?"), {uid})
                .toString()));
        QVERIFY(m_server.get(sentAgain).body.contains(uid.toUtf8()));
    }
};

QTEST_MAIN(TestTrashSync)
#include "test_trash_sync.moc"
