#include "DevZero.h"
#include "FileSizeLimit.h"
#include "platform/profile/PrivateProfile.h"
#include "TestSupport.h"
#include "Watchdog.h"

#include <optional>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QTest>
#include <sys/stat.h>

using quillory::PrivateProfile;
using quillory::test::FileSizeLimit;
using quillory::test::TempProgramFolder;
using quillory::test::Watchdog;
using Source = quillory::PrivateProfile::Source;

Q_DECLARE_METATYPE(Source)

namespace {
const QString Prefs = QStringLiteral("User Prefs");

// How the platform reads a file, written out plainly for comparison: lines end at LF, CR LF
// or a lone CR; names and values are trimmed of blank, tab, VT, FF, CR and ^Z; one pair of
// enclosing quotes goes; bytes that are not UTF-8 are Windows-1252 (only the few non-ASCII
// bytes the generator uses are known here).
struct ReferenceLine {
    qsizetype start = 0; // bytes of the line without its end
    qsizetype length = 0;
    QString text;
};

struct ReferenceFile {
    bool utf8 = true;
    QVector<ReferenceLine> lines;

    explicit ReferenceFile(const QByteArray& bytes) {
        QStringDecoder decoder(QStringConverter::Utf8);
        const QString ignored = decoder(bytes);
        utf8 = !decoder.hasError();
        qsizetype i = 0;
        while (i < bytes.size()) {
            ReferenceLine line;
            line.start = i;
            while (i < bytes.size() && bytes[i] != '\r' && bytes[i] != '\n')
                ++i;
            line.length = i - line.start;
            line.text = decode(bytes.mid(line.start, line.length));
            if (i < bytes.size())
                i += bytes.mid(i, 2) == "\r\n" ? 2 : 1;
            lines.append(line);
        }
    }

    QString decode(const QByteArray& bytes) const {
        if (utf8)
            return QString::fromUtf8(bytes);
        QString text;
        for (const char c : bytes) {
            switch (static_cast<unsigned char>(c)) {
            case 0x80:
                text += QChar(0x20AC);
                break;
            case 0x92:
                text += QChar(0x2019);
                break;
            default:
                text += QChar(static_cast<unsigned char>(c));
            }
        }
        return text;
    }

    static QString trimmed(const QString& text) {
        const QString blanks = QStringLiteral(" \t\v\f\r\x1a");
        qsizetype a = 0;
        qsizetype b = text.size();
        while (a < b && blanks.contains(text[a]))
            ++a;
        while (b > a && blanks.contains(text[b - 1]))
            --b;
        return text.mid(a, b - a);
    }

    static bool isHeader(const QString& text) {
        const QString t = trimmed(text);
        return t.startsWith(u'[') && t.contains(u']');
    }

    // The index of the key's line, if the first section of that name holds it.
    std::optional<qsizetype> keyLine(const QString& section, const QString& key) const {
        qsizetype i = 0;
        while (i < lines.size()) {
            const QString t = trimmed(lines[i].text);
            if (isHeader(t) &&
                trimmed(t.mid(1, t.lastIndexOf(u']') - 1)).compare(section, Qt::CaseInsensitive) ==
                    0)
                break;
            ++i;
        }
        for (++i; i < lines.size() && !isHeader(lines[i].text); ++i) {
            const QString t = trimmed(lines[i].text);
            if (t.startsWith(u';'))
                continue;
            const qsizetype equals = t.indexOf(u'=');
            const QString name = trimmed(equals < 0 ? t : t.left(equals));
            if (!name.isEmpty() && name.compare(key, Qt::CaseInsensitive) == 0)
                return i;
        }
        return std::nullopt;
    }

    QString value(const QString& section, const QString& key) const {
        const auto line = keyLine(section, key);
        if (!line)
            return {};
        const QString& text = lines[*line].text;
        const qsizetype equals = text.indexOf(u'=');
        if (equals < 0)
            return {};
        QString v = trimmed(text.mid(equals + 1));
        if (v.size() >= 2 && (v[0] == u'"' || v[0] == u'\'') && v.back() == v[0])
            v = v.mid(1, v.size() - 2);
        return v;
    }
};

// A file put together from the pieces that the platform's rules are about.
QByteArray generatedFile(QRandomGenerator& random) {
    static const QList<QByteArray> headers = {"[User Prefs]", "[user prefs]", " [User Prefs]\t",
                                              "[Other]", "[User Prefs"};
    static const QList<QByteArray> keys = {"TIP",
                                           "tip",
                                           "BUdata",
                                           "USERName",
                                           " TIP\v",
                                           ";TIP",
                                           "\x1a"
                                           "BUdata"};
    static const QList<QByteArray> pieces = {"1",
                                             "0",
                                             "O\x92"
                                             "Brien",
                                             "caf\xc3\xa9",
                                             "\"q\"",
                                             "'",
                                             " ",
                                             "\t",
                                             "\v",
                                             "\f",
                                             "\x1a",
                                             "=",
                                             "\r",
                                             "\x80",
                                             "a b"};
    static const QList<QByteArray> ends = {"\r\n", "\n", "\r", "\r\r\n", "\n\r"};
    const auto pick = [&](const QList<QByteArray>& from) {
        return from[random.bounded(int(from.size()))];
    };
    QByteArray file;
    // Most files open with the section, so that the keys are found often.
    if (random.bounded(3) != 0)
        file += headers[random.bounded(3)] + pick(ends);
    const int lines = random.bounded(1, 9);
    for (int i = 0; i < lines; ++i) {
        if (random.bounded(4) == 0) {
            file += pick(headers);
        } else {
            file += pick(keys);
            if (random.bounded(6) != 0)
                file += random.bounded(2) ? QByteArray("=") : QByteArray(" = ");
            for (int n = random.bounded(0, 4); n > 0; --n)
                file += pick(pieces);
        }
        if (i + 1 < lines || random.bounded(3) != 0)
            file += pick(ends);
    }
    return file;
}

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
    void readsWindows1252AndKeepsIt();
    void keepsWindows1252WhenItsLastNonUtf8ByteGoes();
    void readsLinesAndBlanksAsThePlatformDoes_data();
    void readsLinesAndBlanksAsThePlatformDoes();
    void generatedFilesReadAndSaveAsThePlatformDoes_data();
    void generatedFilesReadAndSaveAsThePlatformDoes();
    void keepsEveryLinesEndOverSaves_data();
    void keepsEveryLinesEndOverSaves();
    void onlyRegularFilesOfASaneSizeAreUsed_data();
    void onlyRegularFilesOfASaneSizeAreUsed();
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

void TestProfile::readsWindows1252AndKeepsIt() {
    TempProgramFolder folder;
    const QString path = folder.file(QStringLiteral("p.ini"));
    const QByteArray before("[User Prefs]\r\nUSERName=J\xfcrgen O\x92"
                            "Brien\r\nTIP=0\r\n");
    folder.write(QStringLiteral("p.ini"), before);
    const QString name = QStringLiteral("Jürgen O\u2019Brien");
    QCOMPARE(PrivateProfile::getString(Prefs, QStringLiteral("USERName"), path), name);

    // Another key written: the name's bytes stay as they were, the new value in the same code.
    QVERIFY(PrivateProfile::writeString(Prefs, QStringLiteral("TIP"), QStringLiteral("1"), path));
    QVERIFY(PrivateProfile::writeString(Prefs, QStringLiteral("USERCity"),
                                        QStringLiteral("Zürich \u20ac"), path));
    QCOMPARE(folder.read(QStringLiteral("p.ini")),
             QByteArray("[User Prefs]\r\nUSERName=J\xfcrgen O\x92"
                        "Brien\r\nTIP=1\r\n"
                        "USERCity=Z\xfcrich \x80\r\n"));
    QCOMPARE(PrivateProfile::getString(Prefs, QStringLiteral("USERName"), path), name);

    // A value the code page cannot hold turns the file into UTF-8 rather than into "?".
    QVERIFY(PrivateProfile::writeString(Prefs, QStringLiteral("USERCity"), QStringLiteral("東京"),
                                        path));
    QCOMPARE(folder.read(QStringLiteral("p.ini")),
             "[User Prefs]\r\nUSERName=" + name.toUtf8() +
                 "\r\nTIP=1\r\nUSERCity=" + QStringLiteral("東京").toUtf8() + "\r\n");
    QCOMPARE(PrivateProfile::getString(Prefs, QStringLiteral("USERName"), path), name);
}

// A save that takes away the only byte UTF-8 would refuse leaves the file in Windows-1252, so an
// untouched value reads the same next time; a value the code page cannot hold makes it UTF-8.
void TestProfile::keepsWindows1252WhenItsLastNonUtf8ByteGoes() {
    TempProgramFolder folder;
    const QString path = folder.file(QStringLiteral("p.ini"));
    const QByteArray original("[User Prefs]\r\nUSERName=M\xfcller\r\nUSERCity=\xc3\xa4rger\r\n");
    folder.write(QStringLiteral("p.ini"), original);
    for (const char* utf8 : {"Miller", "M\u00fcller", "\u6771\u4eac", "Miller"}) {
        const QString name = QString::fromUtf8(utf8);
        QVERIFY(PrivateProfile::writeString(Prefs, QStringLiteral("USERName"), name, path));
        QCOMPARE(PrivateProfile::getString(Prefs, QStringLiteral("USERName"), path), name);
        QCOMPARE(PrivateProfile::getString(Prefs, QStringLiteral("USERCity"), path),
                 QStringLiteral("\u00c3\u00a4rger"));
        if (name == "M\u00fcller") // back in the code page: byte for byte what it was
            QCOMPARE(folder.read(QStringLiteral("p.ini")), original);
    }
}

void TestProfile::readsLinesAndBlanksAsThePlatformDoes_data() {
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");
    QTest::newRow("lone CR ends a line")
        << QByteArray("[User Prefs]\r\nTIP=1\rBUdata=0\r\n") << "BUdata"
        << "0";
    QTest::newRow("value before a lone CR")
        << QByteArray("[User Prefs]\r\nTIP=1\rBUdata=0\r\n") << "TIP"
        << "1";
    QTest::newRow("several CRs before the LF") << QByteArray("[User Prefs]\r\nTIP=1\r\r\n") << "TIP"
                                               << "1";
    QTest::newRow("file of lone CRs") << QByteArray("\r[User Prefs]\rTIP=0\r") << "TIP"
                                      << "0";
    QTest::newRow("LF CR") << QByteArray("[User Prefs]\n\rTIP=2\n\r") << "TIP"
                           << "2";
    QTest::newRow("vertical tab and form feed around the value")
        << QByteArray("[User Prefs]\nTIP=\v1\f\n") << "TIP"
        << "1";
    QTest::newRow("^Z after the value") << QByteArray("[User Prefs]\nTIP=1\x1a\n") << "TIP"
                                        << "1";
    QTest::newRow("^Z and blanks around the key")
        << QByteArray("[User Prefs]\n\x1a TIP\v=1\n") << "TIP"
        << "1";
    QTest::newRow("blanks around the section name")
        << QByteArray("\f[\vUser Prefs\x1a]\nTIP=1\n") << "TIP"
        << "1";
    QTest::newRow("quotes inside the trimmed blanks")
        << QByteArray("[User Prefs]\nUSERName=\v\"  Ann \"\x1a\n") << "USERName"
        << "  Ann ";
    QTest::newRow("vertical tab inside the value")
        << QByteArray("[User Prefs]\nUSERName=a\vb\n") << "USERName"
        << "a\vb";
    QTest::newRow("Windows-1252 right quote") << QByteArray("[User Prefs]\nUSERName=O\x92"
                                                            "Brien\n")
                                              << "USERName" << QStringLiteral("O\u2019Brien");
    QTest::newRow("UTF-8") << QByteArray("[User Prefs]\nUSERName=O\xe2\x80\x99"
                                         "Brien\n")
                           << "USERName" << QStringLiteral("O\u2019Brien");
}

void TestProfile::readsLinesAndBlanksAsThePlatformDoes() {
    QFETCH(QByteArray, contents);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    TempProgramFolder folder;
    folder.write(QStringLiteral("p.ini"), contents);
    QCOMPARE(PrivateProfile::getString(Prefs, key, folder.file(QStringLiteral("p.ini"))), expected);
}

void TestProfile::generatedFilesReadAndSaveAsThePlatformDoes_data() {
    QTest::addColumn<quint32>("seed");
    for (quint32 seed = 1; seed <= 4; ++seed)
        QTest::addRow("seed %u", seed) << seed;
}

// Many generated files: every key reads as the platform reads it, and writing one key changes
// that key's line alone, byte for byte, in the file's own encoding.
void TestProfile::generatedFilesReadAndSaveAsThePlatformDoes() {
    QFETCH(quint32, seed);
    QRandomGenerator random(seed);
    const QStringList keys = {QStringLiteral("TIP"), QStringLiteral("BUdata"),
                              QStringLiteral("USERName")};
    const QString newValue = QStringLiteral("O\u2019Neil");
    int rewritten = 0;
    int lonelyCRs = 0;
    int valuesRead = 0;
    for (int round = 0; round < 760; ++round) {
        const QByteArray bytes = generatedFile(random);
        const ReferenceFile reference(bytes);
        const auto document = PrivateProfile::fromBytes(bytes);
        const auto context = [&] { return QString::fromLatin1(bytes.toPercentEncoding()); };
        for (const QString& key : keys) {
            const QString expected = reference.value(Prefs, key);
            QVERIFY2(document.value(Prefs, key) == expected,
                     qPrintable(key + QStringLiteral(" in ") + context()));
            valuesRead += expected.isEmpty() ? 0 : 1;
        }
        QVERIFY2(document.toBytes() == bytes, qPrintable(context()));
        lonelyCRs += bytes.contains("1\r") ? 1 : 0;

        const QString key = keys[random.bounded(int(keys.size()))];
        const auto line = reference.keyLine(Prefs, key);
        if (!line)
            continue;
        auto changed = document;
        QVERIFY(changed.setValue(Prefs, key, newValue));
        const ReferenceLine& old = reference.lines[*line];
        const QByteArray oldLine = bytes.mid(old.start, old.length);
        const qsizetype equals = oldLine.indexOf('=');
        const QByteArray keyPart = equals < 0 ? oldLine : oldLine.left(equals);
        const QByteArray encodedValue =
            reference.utf8 ? newValue.toUtf8() : QByteArray("O\x92Neil");
        const QByteArray expected = bytes.left(old.start) + keyPart + "=" + encodedValue +
                                    bytes.mid(old.start + old.length);
        QVERIFY2(changed.toBytes() == expected, qPrintable(context()));
        QCOMPARE(ReferenceFile(expected).value(Prefs, key), newValue);
        // A second save of the same value changes nothing more.
        auto again = PrivateProfile::fromBytes(changed.toBytes());
        QVERIFY(again.setValue(Prefs, key, newValue));
        QVERIFY2(again.toBytes() == expected, qPrintable(context()));
        ++rewritten;
    }
    // The generated files are worth something only if they hit the cases often.
    QVERIFY2(rewritten > 200 && lonelyCRs > 20 && valuesRead > 200,
             qPrintable(QStringLiteral("%1 rewritten, %2 with a CR after a value, %3 values read")
                            .arg(rewritten)
                            .arg(lonelyCRs)
                            .arg(valuesRead)));
}

void TestProfile::keepsEveryLinesEndOverSaves_data() {
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QByteArray>("afterNewKey"); // once "BUdata=1" is added
    QTest::newRow("starts with a lone CR")
        << QByteArray("\r[User Prefs]\r\nTIP=1\r\nUSERName=Ann\r\n")
        << QByteArray("\r[User Prefs]\r\nTIP=1\r\nUSERName=Ann\r\nBUdata=1\r\n");
    QTest::newRow("mixed ends, the last line open")
        << QByteArray("[User Prefs]\nTIP=1\r\nUSERName=Ann")
        << QByteArray("[User Prefs]\nTIP=1\r\nUSERName=Ann\nBUdata=1\n");
    QTest::newRow("several CRs after a value")
        << QByteArray("[User Prefs]\r\nTIP=1\r\r\r\nUSERName=Ann\r\n")
        << QByteArray("[User Prefs]\r\nTIP=1\r\r\r\nUSERName=Ann\r\nBUdata=1\r\n");
    QTest::newRow("lone CRs only") << QByteArray("[User Prefs]\rTIP=1\rUSERName=Ann\r")
                                   << QByteArray("[User Prefs]\rTIP=1\rUSERName=Ann\rBUdata=1\r");
}

// Saving the values the file already holds, again and again, leaves it byte for byte as it was.
void TestProfile::keepsEveryLinesEndOverSaves() {
    QFETCH(QByteArray, contents);
    QFETCH(QByteArray, afterNewKey);
    TempProgramFolder folder;
    const QString path = folder.file(QStringLiteral("p.ini"));
    folder.write(QStringLiteral("p.ini"), contents);
    for (int save = 0; save < 3; ++save) {
        for (const QString& key : {QStringLiteral("TIP"), QStringLiteral("USERName")}) {
            const QString value = PrivateProfile::getString(Prefs, key, path);
            QVERIFY(!value.contains(u'\r'));
            QVERIFY(PrivateProfile::writeString(Prefs, key, value, path));
        }
        QCOMPARE(folder.read(QStringLiteral("p.ini")), contents);
    }
    QVERIFY(
        PrivateProfile::writeString(Prefs, QStringLiteral("BUdata"), QStringLiteral("1"), path));
    QCOMPARE(folder.read(QStringLiteral("p.ini")), afterNewKey);
}

void TestProfile::onlyRegularFilesOfASaneSizeAreUsed_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<Source>("source");
    QTest::addColumn<QString>("problem");
    QTest::newRow("named pipe") << "fifo" << Source::NotRegularFile << "it is a named pipe";
    QTest::newRow("link to /dev/zero")
        << "zero" << Source::NotRegularFile << "it is a link to a device";
    QTest::newRow("link to a named pipe")
        << "fifo link" << Source::NotRegularFile << "it is a link to a named pipe";
    QTest::newRow("link that leads nowhere")
        << "dangling" << Source::NotRegularFile << "it is a link that leads nowhere";
    QTest::newRow("folder") << "folder" << Source::NotRegularFile << "it is a folder";
    QTest::newRow("larger than 1 MB") << "large" << Source::TooLarge << "it is larger than 1 MB";
    QTest::newRow("1 MB exactly") << "1 MB" << Source::Read << "";
    QTest::newRow("link to a file") << "file link" << Source::Read << "";
}

// A pipe or a device must neither block nor flood the program, and a save must neither write
// into it nor put a file in its place.
void TestProfile::onlyRegularFilesOfASaneSizeAreUsed() {
    QFETCH(QString, kind);
    QFETCH(Source, source);
    QFETCH(QString, problem);
    TempProgramFolder folder;
    const QString path = folder.file(QStringLiteral("p.ini"));
    const QByteArray native = QFile::encodeName(path);
    const QByteArray fileLine = "[User Prefs]\nTIP=0\n;";
    const QString target = folder.file(QStringLiteral("target"));
    if (kind == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(native.constData(), 0600), 0);
    } else if (kind == QLatin1String("fifo link")) {
        QCOMPARE(::mkfifo(QFile::encodeName(target).constData(), 0600), 0);
        QVERIFY(QFile::link(target, path));
    } else if (kind == QLatin1String("zero")) {
        QVERIFY(quillory::test::devZeroIsADevice() &&
                QFile::link(QStringLiteral("/dev/zero"), path));
    } else if (kind == QLatin1String("dangling")) {
        QVERIFY(QFile::link(target, path));
    } else if (kind == QLatin1String("folder")) {
        QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("p.ini")));
    } else if (kind == QLatin1String("large") || kind == QLatin1String("1 MB")) {
        const qint64 size = PrivateProfile::MaxFileSize + (kind == QLatin1String("large") ? 1 : 0);
        folder.write(QStringLiteral("p.ini"), fileLine.leftJustified(size, 'x'));
    } else if (kind == QLatin1String("file link")) {
        folder.write(QStringLiteral("target"), fileLine + "\n");
        QVERIFY(QFile::link(target, path));
    }
    struct stat before {};
    QCOMPARE(::lstat(native.constData(), &before), 0);

    const Watchdog watchdog(20);
    const auto document = PrivateProfile::load(path);
    QCOMPARE(document.source(), source);
    QCOMPARE(document.problem(), problem);
    const bool usable = source == Source::Read;
    QCOMPARE(document.value(Prefs, QStringLiteral("TIP")),
             usable ? QStringLiteral("0") : QString());
    QCOMPARE(PrivateProfile::writeString(Prefs, QStringLiteral("TIP"), QStringLiteral("1"), path),
             usable);
    QCOMPARE(PrivateProfile::getString(Prefs, QStringLiteral("TIP"), path),
             usable ? QStringLiteral("1") : QString());

    QVERIFY2(quillory::test::devZeroIsADevice(), "/dev/zero was written through");
    // The thing at the path is the same kind of thing as before, and nothing was created
    // where a link leads.
    struct stat after {};
    QCOMPARE(::lstat(native.constData(), &after), 0);
    QCOMPARE(after.st_mode & S_IFMT, before.st_mode & S_IFMT);
    if (kind == QLatin1String("dangling"))
        QVERIFY(!QFileInfo::exists(target));
    if (kind == QLatin1String("large"))
        QCOMPARE(QFileInfo(path).size(), PrivateProfile::MaxFileSize + 1);
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
