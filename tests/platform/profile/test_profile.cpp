#include "FileSizeLimit.h"
#include "platform/profile/PrivateProfile.h"
#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>

using quillory::PrivateProfile;
using quillory::test::FileSizeLimit;
using quillory::test::TempProgramFolder;

namespace {
const QString Prefs = QStringLiteral("User Prefs");
} // namespace

class TestProfile : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readsEmptyWhenSomethingIsMissing_data();
    void readsEmptyWhenSomethingIsMissing();
    void readsValuesAsThePlatformDoes_data();
    void readsValuesAsThePlatformDoes();
    void lookupIgnoresLetterCaseAndTakesTheFirstMatch();
    void readsAtMost1027Characters_data();
    void readsAtMost1027Characters();
    void writeCreatesFileSectionAndKey();
    void writeReplacesInPlaceAndKeepsEverythingElse();
    void newKeyFollowsTheLastKeyOfItsSection();
    void writtenValuesReadBackAsWritten_data();
    void writtenValuesReadBackAsWritten();
    void lineBreakInValueCannotAddKeys();
    void refusesNamesTheFormatCannotHold();
    void keepsTheFilesLineEnding_data();
    void keepsTheFilesLineEnding();
    void readsLatin1AndRewritesItAsUtf8();
    void batchOfValuesSavedOnce();
    void failedSaveLeavesThePreviousFileWhole();
    void unreadableFileIsNotOverwritten();
};

void TestProfile::readsEmptyWhenSomethingIsMissing_data() {
    QTest::addColumn<QByteArray>("contents"); // empty: no file at all
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::newRow("no file") << QByteArray() << Prefs << QStringLiteral("TIP");
    QTest::newRow("no section") << QByteArray("[Other]\nTIP=1\n") << Prefs << QStringLiteral("TIP");
    QTest::newRow("no key") << QByteArray("[User Prefs]\nTI=1\n") << Prefs << QStringLiteral("TIP");
    QTest::newRow("empty value") << QByteArray("[User Prefs]\nTIP=\n") << Prefs
                                 << QStringLiteral("TIP");
    QTest::newRow("blank value") << QByteArray("[User Prefs]\nTIP=   \n") << Prefs
                                 << QStringLiteral("TIP");
    QTest::newRow("key without equals")
        << QByteArray("[User Prefs]\nTIP\n") << Prefs << QStringLiteral("TIP");
    QTest::newRow("key before any section")
        << QByteArray("TIP=1\n[User Prefs]\n") << Prefs << QStringLiteral("TIP");
    QTest::newRow("key in a later section")
        << QByteArray("[User Prefs]\n[Other]\nTIP=1\n") << Prefs << QStringLiteral("TIP");
    QTest::newRow("commented out")
        << QByteArray("[User Prefs]\n;TIP=1\n") << Prefs << QStringLiteral(";TIP");
}

void TestProfile::readsEmptyWhenSomethingIsMissing() {
    QFETCH(QByteArray, contents);
    QFETCH(QString, section);
    QFETCH(QString, key);
    TempProgramFolder folder;
    if (!contents.isEmpty())
        folder.write(QStringLiteral("p.ini"), contents);
    QCOMPARE(PrivateProfile::getString(section, key, folder.file(QStringLiteral("p.ini"))),
             QString());
}

void TestProfile::readsValuesAsThePlatformDoes_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << QStringLiteral("k=value") << QStringLiteral("value");
    QTest::newRow("blanks around")
        << QStringLiteral("  k \t=   two words \t") << QStringLiteral("two words");
    QTest::newRow("double quotes")
        << QStringLiteral("k= \"  padded \" ") << QStringLiteral("  padded ");
    QTest::newRow("single quotes") << QStringLiteral("k='x'") << QStringLiteral("x");
    QTest::newRow("unmatched quotes") << QStringLiteral("k=\"x'") << QStringLiteral("\"x'");
    QTest::newRow("one quote") << QStringLiteral("k=\"") << QStringLiteral("\"");
    QTest::newRow("inner quotes") << QStringLiteral("k=a \"b\" c") << QStringLiteral("a \"b\" c");
    QTest::newRow("equals in value") << QStringLiteral("k=a=b") << QStringLiteral("a=b");
    QTest::newRow("no-break space kept")
        << QStringLiteral("k=\u00a0x") << QStringLiteral("\u00a0x");
}

void TestProfile::readsValuesAsThePlatformDoes() {
    QFETCH(QString, line);
    QFETCH(QString, expected);
    const auto document = PrivateProfile::fromBytes("[S]\n" + line.toUtf8() + "\n");
    QCOMPARE(document.value(QStringLiteral("S"), QStringLiteral("k")), expected);
}

void TestProfile::lookupIgnoresLetterCaseAndTakesTheFirstMatch() {
    const auto document = PrivateProfile::fromBytes("[user prefs]\nWORDPROC=first\n"
                                                    "wordproc=second\n"
                                                    "[USER PREFS]\nWordProc=third\nTIP=1\n");
    QCOMPARE(document.value(Prefs, QStringLiteral("WordProc")), QStringLiteral("first"));
    // Only the first section of a name is looked in, as the platform does.
    QCOMPARE(document.value(Prefs, QStringLiteral("TIP")), QString());
    QVERIFY(!document.contains(Prefs, QStringLiteral("TIP")));
}

void TestProfile::readsAtMost1027Characters_data() {
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("read");
    QTest::newRow("1027") << 1027 << 1027;
    QTest::newRow("1028") << 1028 << 1027;
    QTest::newRow("1100") << 1100 << 1027;
}

void TestProfile::readsAtMost1027Characters() {
    QFETCH(int, stored);
    QFETCH(int, read);
    TempProgramFolder folder;
    const QString path = folder.file(QStringLiteral("p.ini"));
    QString value;
    for (int i = 0; i < stored; ++i)
        value += QChar(u'a' + i % 26);
    QVERIFY(PrivateProfile::writeString(Prefs, QStringLiteral("USERName"), value, path));
    QCOMPARE(PrivateProfile::getString(Prefs, QStringLiteral("USERName"), path), value.left(read));
    // The file itself keeps the whole value.
    QVERIFY(folder.read(QStringLiteral("p.ini")).contains(value.toUtf8()));
}

void TestProfile::writeCreatesFileSectionAndKey() {
    TempProgramFolder folder;
    const QString path = folder.file(QStringLiteral("p.ini"));
    QVERIFY(
        PrivateProfile::writeString(Prefs, QStringLiteral("WordProc"), QStringLiteral("x"), path));
    QCOMPARE(folder.read(QStringLiteral("p.ini")), QByteArray("[User Prefs]\nWordProc=x\n"));
    QVERIFY(PrivateProfile::writeString(Prefs, QStringLiteral("TIP"), QStringLiteral("1"), path));
    QVERIFY(
        PrivateProfile::writeString(QStringLiteral("Other"), QStringLiteral("a"), QString(), path));
    QCOMPARE(folder.read(QStringLiteral("p.ini")),
             QByteArray("[User Prefs]\nWordProc=x\nTIP=1\n\n[Other]\na=\n"));
}

void TestProfile::writeReplacesInPlaceAndKeepsEverythingElse() {
    TempProgramFolder folder;
    const QString path = folder.file(QStringLiteral("p.ini"));
    folder.write(QStringLiteral("p.ini"), "; kept by hand\n"
                                          "[Other]\n"
                                          "TIP=9\n"
                                          "\n"
                                          "[User Prefs]\n"
                                          "USERName=Ann\n"
                                          "  tip = 1\n"
                                          "; a note\n"
                                          "BUdata=0\n");
    QVERIFY(PrivateProfile::writeString(Prefs, QStringLiteral("TIP"), QStringLiteral("0"), path));
    QCOMPARE(folder.read(QStringLiteral("p.ini")), QByteArray("; kept by hand\n"
                                                              "[Other]\n"
                                                              "TIP=9\n"
                                                              "\n"
                                                              "[User Prefs]\n"
                                                              "USERName=Ann\n"
                                                              "  tip =0\n"
                                                              "; a note\n"
                                                              "BUdata=0\n"));
}

void TestProfile::newKeyFollowsTheLastKeyOfItsSection() {
    auto document = PrivateProfile::fromBytes("[User Prefs]\n"
                                              "TIP=1\n"
                                              "\n"
                                              "; the window\n"
                                              "[Geometry]\n"
                                              "Left=0\n");
    QVERIFY(document.setValue(Prefs, QStringLiteral("BUdata"), QStringLiteral("1")));
    QVERIFY(
        document.setValue(QStringLiteral("Geometry"), QStringLiteral("Top"), QStringLiteral("5")));
    QCOMPARE(document.toBytes(), QByteArray("[User Prefs]\n"
                                            "TIP=1\n"
                                            "BUdata=1\n"
                                            "\n"
                                            "; the window\n"
                                            "[Geometry]\n"
                                            "Left=0\n"
                                            "Top=5\n"));
}

void TestProfile::writtenValuesReadBackAsWritten_data() {
    QTest::addColumn<QString>("value");
    QTest::newRow("empty") << QString();
    QTest::newRow("leading blanks") << QStringLiteral("  C:\\Program Files\\Write.exe");
    QTest::newRow("trailing tab") << QStringLiteral("Main St\t");
    QTest::newRow("in double quotes") << QStringLiteral("\"Ann\"");
    QTest::newRow("in single quotes") << QStringLiteral("'Ann'");
    QTest::newRow("one quote") << QStringLiteral("\"");
    QTest::newRow("semicolon and brackets") << QStringLiteral("; [not] a comment");
    QTest::newRow("non-latin") << QStringLiteral("Zoë Łódź 東京");
}

void TestProfile::writtenValuesReadBackAsWritten() {
    QFETCH(QString, value);
    TempProgramFolder folder;
    const QString path = folder.file(QStringLiteral("p.ini"));
    QVERIFY(PrivateProfile::writeString(Prefs, QStringLiteral("k"), value, path));
    QVERIFY(PrivateProfile::writeString(Prefs, QStringLiteral("after"), QStringLiteral("x"), path));
    QCOMPARE(PrivateProfile::getString(Prefs, QStringLiteral("k"), path), value);
    QCOMPARE(PrivateProfile::getString(Prefs, QStringLiteral("after"), path), QStringLiteral("x"));
}

void TestProfile::lineBreakInValueCannotAddKeys() {
    PrivateProfile document;
    QVERIFY(document.setValue(Prefs, QStringLiteral("USERName"),
                              QStringLiteral("Ann\r\nCommPort1=True\n[Evil]\rx=1")));
    const auto reread = PrivateProfile::fromBytes(document.toBytes());
    QCOMPARE(reread.value(Prefs, QStringLiteral("USERName")),
             QStringLiteral("Ann CommPort1=True [Evil] x=1"));
    QVERIFY(!reread.contains(Prefs, QStringLiteral("CommPort1")));
    QVERIFY(!reread.contains(QStringLiteral("Evil"), QStringLiteral("x")));
}

void TestProfile::refusesNamesTheFormatCannotHold() {
    auto document = PrivateProfile::fromBytes("[User Prefs]\nTIP=1\n");
    const QByteArray before = document.toBytes();
    QVERIFY(!document.setValue(QStringLiteral("a]b"), QStringLiteral("k"), QStringLiteral("v")));
    QVERIFY(!document.setValue(Prefs, QStringLiteral("k=1"), QStringLiteral("v")));
    QVERIFY(!document.setValue(Prefs, QStringLiteral(";k"), QStringLiteral("v")));
    QVERIFY(!document.setValue(Prefs, QStringLiteral("a\nb"), QStringLiteral("v")));
    QCOMPARE(document.toBytes(), before);
}

void TestProfile::keepsTheFilesLineEnding_data() {
    QTest::addColumn<QByteArray>("lineEnd");
    QTest::newRow("CR LF") << QByteArray("\r\n");
    QTest::newRow("LF") << QByteArray("\n");
}

void TestProfile::keepsTheFilesLineEnding() {
    QFETCH(QByteArray, lineEnd);
    TempProgramFolder folder;
    const QString path = folder.file(QStringLiteral("p.ini"));
    folder.write(QStringLiteral("p.ini"), "[User Prefs]" + lineEnd + "TIP=1" + lineEnd);
    QCOMPARE(PrivateProfile::getString(Prefs, QStringLiteral("TIP"), path), QStringLiteral("1"));
    QVERIFY(
        PrivateProfile::writeString(Prefs, QStringLiteral("BUdata"), QStringLiteral("0"), path));
    QCOMPARE(folder.read(QStringLiteral("p.ini")),
             "[User Prefs]" + lineEnd + "TIP=1" + lineEnd + "BUdata=0" + lineEnd);
}

void TestProfile::readsLatin1AndRewritesItAsUtf8() {
    TempProgramFolder folder;
    const QString path = folder.file(QStringLiteral("p.ini"));
    folder.write(QStringLiteral("p.ini"), "[User Prefs]\nUSERName=J\xfcrgen M\xf6ller\n");
    const QString name = QStringLiteral("Jürgen Möller");
    QCOMPARE(PrivateProfile::getString(Prefs, QStringLiteral("USERName"), path), name);
    QVERIFY(PrivateProfile::writeString(Prefs, QStringLiteral("TIP"), QStringLiteral("1"), path));
    QCOMPARE(folder.read(QStringLiteral("p.ini")),
             "[User Prefs]\nUSERName=" + name.toUtf8() + "\nTIP=1\n");
    QCOMPARE(PrivateProfile::getString(Prefs, QStringLiteral("USERName"), path), name);
}

void TestProfile::batchOfValuesSavedOnce() {
    TempProgramFolder folder;
    const QString path = folder.file(QStringLiteral("p.ini"));
    folder.write(QStringLiteral("p.ini"), "[User Prefs]\nGrid0=100\n");
    auto document = PrivateProfile::load(path);
    QVERIFY(document.isReadable());
    for (int i = 0; i < 17; ++i)
        QVERIFY(document.setValue(Prefs, QStringLiteral("Grid%1").arg(i), QString::number(i)));
    // Nothing reaches the file before the save.
    QCOMPARE(PrivateProfile::getString(Prefs, QStringLiteral("Grid0"), path),
             QStringLiteral("100"));
    QVERIFY(document.save(path));
    QCOMPARE(PrivateProfile::getString(Prefs, QStringLiteral("Grid0"), path), QStringLiteral("0"));
    QCOMPARE(PrivateProfile::getString(Prefs, QStringLiteral("Grid16"), path),
             QStringLiteral("16"));
    QCOMPARE(folder.read(QStringLiteral("p.ini")).count('\n'), 18);
}

void TestProfile::failedSaveLeavesThePreviousFileWhole() {
    TempProgramFolder folder;
    const QString path = folder.file(QStringLiteral("p.ini"));
    const QByteArray previous("[User Prefs]\nUSERName=Ann\nTIP=1\n");
    folder.write(QStringLiteral("p.ini"), previous);
    bool saved = true;
    {
        const FileSizeLimit limit(16);
        if (!limit.active())
            QSKIP("the file size limit cannot be set here");
        saved = PrivateProfile::writeString(Prefs, QStringLiteral("USERName"),
                                            QString(200, QLatin1Char('B')), path);
    }
    QVERIFY(!saved);
    QCOMPARE(folder.read(QStringLiteral("p.ini")), previous);
    // The half-written temporary file does not stay behind.
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{QStringLiteral("p.ini")});
}

void TestProfile::unreadableFileIsNotOverwritten() {
    // A folder stands for a settings file that exists but cannot be read: a save must not
    // replace it with a file holding only the keys written now.
    TempProgramFolder folder;
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("p.ini")));
    const QString path = folder.file(QStringLiteral("p.ini"));
    const auto document = PrivateProfile::load(path);
    QVERIFY(!document.isReadable());
    QVERIFY(!document.save(path));
    QVERIFY(!PrivateProfile::writeString(Prefs, QStringLiteral("k"), QStringLiteral("v"), path));
    QVERIFY(QFileInfo(path).isDir());
}

QTEST_GUILESS_MAIN(TestProfile)
#include "test_profile.moc"
