// The trash and the sync with a real server (Radicale): a contact deleted on the server goes to
// the trash and is sent again once restored; a merged-away card edited there stays merged.

#include "BookFiller.h"
#include "platform/engine/Database.h"
#include "RadicaleServer.h"
#include "sync/CardDav.h"
#include "sync/SyncEngine.h"
#include "tidy/Merge.h"
#include "tidy/Trash.h"

#include <QBuffer>
#include <QImage>
#include <QtTest>

using namespace quillory;

class TestTrashSync : public QObject {
    Q_OBJECT

    test::RadicaleServer m_server;
    QTemporaryDir m_dir;

    QString sync(const QString& book, const QUrl& addressBook) {
        sync::CardDavClient client({addressBook, m_server.user(), m_server.password(), addressBook},
                                   5000);
        return sync::synchronize(book, client, {}).text().section(u'\n', 0, 0);
    }
    static QByteArray png(Qt::GlobalColor colour) {
        QImage image(4, 4, QImage::Format_RGB32);
        image.fill(colour);
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        return buffer.data();
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
        const QUrl card = addressBook.resolved(
            QUrl(db->scalar(QStringLiteral("SELECT href FROM SyncState WHERE uid = ?"), {uid})
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
        const QUrl sentAgain = addressBook.resolved(
            QUrl(db->scalar(QStringLiteral("SELECT href FROM SyncState WHERE uid = ?"), {uid})
                     .toString()));
        QVERIFY(m_server.get(sentAgain).body.contains(uid.toUtf8()));
    }

    // Another device edits (or sends back) the card of a contact merged away here: the person
    // stays one contact, the edit in its remarks, a new photo taken or else kept in the trash.
    void mergedAwayCardEditedOnServer_data() {
        QTest::addColumn<bool>("mergeSentFirst");
        QTest::addColumn<QByteArray>("keptPhoto");
        QTest::addColumn<QByteArray>("photoThere");
        const QByteArray none;
        QTest::newRow("edited before the merge is sent") << false << none << none;
        QTest::newRow("sent back after the merge") << true << none << none;
        QTest::newRow("a photo added there") << false << none << png(Qt::red);
        QTest::newRow("another photo there") << true << png(Qt::blue) << png(Qt::red);
    }
    void mergedAwayCardEditedOnServer() {
        QFETCH(bool, mergeSentFirst);
        QFETCH(QByteArray, keptPhoto);
        QFETCH(QByteArray, photoThere);
        const QString name = QStringLiteral("merged%1").arg(QTest::currentDataTag()).remove(u' ');
        const QUrl addressBook = m_server.makeAddressBook(name, {});
        const QString book = m_dir.filePath(name);
        QVariantMap kept = test::contactNamed(QStringLiteral("Ames"), QStringLiteral("Ann"));
        kept.insert(QStringLiteral("bitmap"), keptPhoto.isEmpty() ? QVariant() : keptPhoto);
        test::writeBook(book,
                        {kept, test::contactNamed(QStringLiteral("Ames"), QStringLiteral("Ann"))});
        QCOMPARE(sync(book, addressBook).left(6), QStringLiteral("2 sent"));
        auto db = engine::Database::open(book);
        const QUrl card = addressBook.resolved(
            QUrl(db->scalar(QStringLiteral(
                                "SELECT href FROM SyncState JOIN PhoneBK USING (uid) WHERE id = 2"))
                     .toString()));
        QByteArray edited = m_server.get(card).body.replace("555-0100", "555-0199");
        if (!photoThere.isEmpty())
            edited.replace("END:VCARD",
                           "PHOTO;ENCODING=b;TYPE=PNG:" + photoThere.toBase64() + "\r\nEND:VCARD");
        tidy::applyMerge(*db, tidy::planMerge(*db, {1, 2}));
        if (mergeSentFirst)
            QCOMPARE(sync(book, addressBook).left(6), QStringLiteral("1 sent"));
        QCOMPARE(m_server.put(card, edited).status / 100, 2);
        QCOMPARE(sync(book, addressBook),
                 QStringLiteral("1 sent, 1 received, 1 deleted, 0 conflicts kept"));
        // One contact, with the edit in its remarks and the photo it had, else the server's.
        QCOMPARE(db->scalar(QStringLiteral("SELECT group_concat(instr(remarks, '\nPhone (home): "
                                           "555-0199') > 0) FROM PhoneBK"))
                     .toString(),
                 QStringLiteral("1"));
        QCOMPARE(db->scalar(QStringLiteral("SELECT bitmap FROM PhoneBK")).toByteArray(),
                 keptPhoto.isEmpty() ? photoThere : keptPhoto);
        QCOMPARE(tidy::trashEntries(*db).size(), keptPhoto.isEmpty() ? 1 : 2);
        QCOMPARE(m_server.get(card).status, 404);
        QCOMPARE(sync(book, addressBook),
                 QStringLiteral("0 sent, 0 received, 0 deleted, 0 conflicts kept"));
    }
};

QTEST_MAIN(TestTrashSync)
#include "test_trash_sync.moc"
