#include "core/SettingsStore.h"
#include "DevZero.h"
#include "FileSizeLimit.h"
#include "platform/profile/PrivateProfile.h"
#include "TestSupport.h"
#include "Watchdog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTest>
#include <sys/stat.h>

using quillory::LoadOutcome;
using quillory::SettingsStore;
using quillory::UserSettings;
using quillory::WindowGeometry;
using quillory::test::FileSizeLimit;
using quillory::test::ScriptedMessageBoxes;
using quillory::test::TempProgramFolder;
using quillory::test::Watchdog;
using ToolbarStyle = UserSettings::ToolbarStyle;

Q_DECLARE_METATYPE(WindowGeometry)
Q_DECLARE_METATYPE(ToolbarStyle)

namespace {

const QString Hig = QStringLiteral("Corvanel.hig");

QByteArray prefs(const QByteArray& lines) {
    return "[User Prefs]\n" + lines;
}

// Loads a settings file holding `lines` into `settings`.
LoadOutcome loadFrom(const QByteArray& lines, UserSettings& settings) {
    TempProgramFolder folder;
    folder.write(Hig, prefs(lines));
    return SettingsStore(folder.path()).load(settings);
}

// Makes numbers read and written in the given locale until the end of the scope.
class LocaleScope {
public:
    explicit LocaleScope(const QLocale& locale) { QLocale::setDefault(locale); }
    ~LocaleScope() { QLocale::setDefault(m_previous); }
    LocaleScope(const LocaleScope&) = delete;
    LocaleScope& operator=(const LocaleScope&) = delete;

private:
    QLocale m_previous;
};

} // namespace

class TestSettings : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void noFileKeepsTheDefaults();
    void optionGroupReadsKeysInOrder_data();
    void optionGroupReadsKeysInOrder();
    void toolbarStyleSelectedByLoad_data();
    void toolbarStyleSelectedByLoad();
    void checkStates_data();
    void checkStates();
    void undeterminedCheckStateIsNotWrittenBack_data();
    void undeterminedCheckStateIsNotWrittenBack();
    void emptyValuesKeepHeldText();
    void onlyTheExactPressedWordPressesBold_data();
    void onlyTheExactPressedWordPressesBold();
    void measures_data();
    void measures();
    void measureWithDecimalCommaWhereTheLocaleUsesIt();
    void gridWidthsLoadedOnlyWhereStored();
    void saveAndLoadRoundTrip_data();
    void saveAndLoadRoundTrip();
    void saveWritesKeysInTheirOrder();
    void saveWithoutSelectionKeepsTheStoredChoice();
    void saveKeepsCommentsAndOtherSections();
    void fileNameMatchedWithoutLetterCase();
    void longValueReadAs1027Characters();
    void failedSaveLeavesThePreviousFileWhole();
    void saveWhereNoFileCanBeReportsFailure();
    void windowGeometry_data();
    void windowGeometry();
    void windowGeometryRoundTrip();
    void unusableFilesAreReportedOnceAndLeftAlone_data();
    void unusableFilesAreReportedOnceAndLeftAlone();
};

void TestSettings::noFileKeepsTheDefaults() {
    TempProgramFolder folder;
    UserSettings settings;
    const LoadOutcome outcome = SettingsStore(folder.path()).load(settings);
    QCOMPARE(outcome, LoadOutcome{});
    QCOMPARE(settings.wordProcessor, UserSettings::WordProcessor::WordPad);
    QCOMPARE(settings.toolbarStyle, ToolbarStyle::LargeImagesOnly);
    QCOMPARE(settings.showTips, 1);
    QCOMPARE(settings.autoBackup, 1);
    QCOMPARE(settings.commPort, 0);
    QCOMPARE(settings.envelopeFeed, UserSettings::EnvelopeFeed::None);
    QCOMPARE(settings.labelStock, 0);
    QCOMPARE(settings.userName, QString());
    QCOMPARE(settings.lastBackupLocation, QStringLiteral("Unknown"));
    QVERIFY(!settings.boldPressed);
    for (const auto& width : settings.gridWidths)
        QVERIFY(!width.has_value());
    QVERIFY(!folder.exists(Hig)); // loading creates nothing
}

void TestSettings::optionGroupReadsKeysInOrder_data() {
    QTest::addColumn<int>("before");
    QTest::addColumn<QByteArray>("lines");
    QTest::addColumn<int>("after");
    QTest::newRow("two true: the later key wins") << 0
                                                  << QByteArray("CommPort1=True\n"
                                                                "CommPort3=TRUE\n")
                                                  << 3;
    QTest::newRow("key order, not line order")
        << 0 << QByteArray("CommPort4=true\nCommPort1=True\n") << 4;
    QTest::newRow("false clears the selected one") << 2 << QByteArray("CommPort2=False\n") << 0;
    QTest::newRow("false for another leaves it")
        << 2 << QByteArray("CommPort1=false\nCommPort3=0\n") << 2;
    QTest::newRow("cleared, then a later true")
        << 2 << QByteArray("CommPort2=False\nCommPort4=-1\n") << 4;
    QTest::newRow("numbers are flags") << 0 << QByteArray("CommPort3=0.5\n") << 3;
    QTest::newRow("unconvertible leaves it")
        << 2 << QByteArray("CommPort2=no\nCommPort3=yes\nCommPort4=1,5x\n") << 2;
    QTest::newRow("empty leaves it") << 2 << QByteArray("CommPort2=\nCommPort3=\n") << 2;
}

void TestSettings::optionGroupReadsKeysInOrder() {
    QFETCH(int, before);
    QFETCH(QByteArray, lines);
    QFETCH(int, after);
    UserSettings settings;
    settings.commPort = before;
    loadFrom(lines, settings);
    QCOMPARE(settings.commPort, after);
}

void TestSettings::toolbarStyleSelectedByLoad_data() {
    QTest::addColumn<ToolbarStyle>("before");
    QTest::addColumn<QByteArray>("lines");
    QTest::addColumn<ToolbarStyle>("after");
    QTest::addColumn<bool>("selected");
    QTest::newRow("already selected")
        << ToolbarStyle::LargeImagesOnly << QByteArray("IO=True\nTI=False\n")
        << ToolbarStyle::LargeImagesOnly << false;
    QTest::newRow("switched") << ToolbarStyle::LargeImagesOnly << QByteArray("IO=False\nTI=True\n")
                              << ToolbarStyle::TextAndImages << true;
    QTest::newRow("from none") << ToolbarStyle::None << QByteArray("IO=True\n")
                               << ToolbarStyle::LargeImagesOnly << true;
    QTest::newRow("both true") << ToolbarStyle::TextAndImages << QByteArray("IO=True\nTI=True\n")
                               << ToolbarStyle::TextAndImages << true;
    QTest::newRow("cleared only") << ToolbarStyle::LargeImagesOnly << QByteArray("IO=False\n")
                                  << ToolbarStyle::None << false;
    QTest::newRow("no keys") << ToolbarStyle::TextAndImages << QByteArray("TIP=1\n")
                             << ToolbarStyle::TextAndImages << false;
}

void TestSettings::toolbarStyleSelectedByLoad() {
    QFETCH(ToolbarStyle, before);
    QFETCH(QByteArray, lines);
    QFETCH(ToolbarStyle, after);
    QFETCH(bool, selected);
    UserSettings settings;
    settings.toolbarStyle = before;
    const LoadOutcome outcome = loadFrom(lines, settings);
    QCOMPARE(settings.toolbarStyle, after);
    QCOMPARE(outcome.toolbarStyleSelected, selected);
}

void TestSettings::checkStates_data() {
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("expected"); // held before: 1
    QTest::newRow("clear") << QByteArray("0") << 0;
    QTest::newRow("undetermined") << QByteArray("2") << 2;
    QTest::newRow("decimal whole number") << QByteArray("2.0") << 2;
    QTest::newRow("out of range") << QByteArray("3") << 1;
    QTest::newRow("negative") << QByteArray("-1") << 1;
    QTest::newRow("fraction") << QByteArray("0.5") << 1;
    QTest::newRow("boolean word") << QByteArray("False") << 1;
    QTest::newRow("text") << QByteArray("often") << 1;
}

void TestSettings::checkStates() {
    QFETCH(QByteArray, value);
    QFETCH(int, expected);
    UserSettings settings;
    loadFrom("TIP=" + value + "\nBUdata=" + value + "\n", settings);
    QCOMPARE(settings.showTips, expected);
    QCOMPARE(settings.autoBackup, expected);
}

void TestSettings::undeterminedCheckStateIsNotWrittenBack_data() {
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("file says ticked") << QByteArray("1");
    QTest::newRow("file says clear") << QByteArray("0");
}

// The file must not hold 2 to begin with: a save that wrote the 2 would otherwise look right.
void TestSettings::undeterminedCheckStateIsNotWrittenBack() {
    QFETCH(QByteArray, stored);
    TempProgramFolder folder;
    folder.write(Hig, prefs("TIP=" + stored + "\nBUdata=" + stored + "\n"));
    const SettingsStore store(folder.path());
    UserSettings settings;
    store.load(settings);
    settings.showTips = 2;
    settings.autoBackup = 2;
    settings.userName = QStringLiteral("Ann");
    QVERIFY(store.save(settings));
    QCOMPARE(folder.read(Hig), prefs("TIP=" + stored + "\nBUdata=" + stored +
                                     "\nUSERName=Ann\nUSERAddress1=\nUSERAddress2=\nUSERCity=\n"
                                     "USERState=\nUSERZip=\nWordProc=\nBUdrive=Unknown\n"
                                     "fontType=tbrUnpressed\nWordPad=True\nWordOther=False\n"
                                     "IO=True\nTI=False\n"));
    UserSettings reloaded;
    store.load(reloaded);
    QCOMPARE(reloaded.showTips, stored.toInt());
}

void TestSettings::emptyValuesKeepHeldText() {
    UserSettings settings;
    settings.wordProcessorPath = QStringLiteral("/usr/bin/abiword");
    settings.userName = QStringLiteral("Ann");
    settings.lastBackupLocation = QStringLiteral("/media/usb/Corvanel.MD1");
    loadFrom("WordProc=\nUSERName=   \nBUdrive=\nUSERCity=Springfield\n", settings);
    QCOMPARE(settings.wordProcessorPath, QStringLiteral("/usr/bin/abiword"));
    QCOMPARE(settings.userName, QStringLiteral("Ann"));
    QCOMPARE(settings.lastBackupLocation, QStringLiteral("/media/usb/Corvanel.MD1"));
    QCOMPARE(settings.userCity, QStringLiteral("Springfield"));
}

void TestSettings::onlyTheExactPressedWordPressesBold_data() {
    QTest::addColumn<bool>("before");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("after");
    QTest::addColumn<bool>("pressedByLoad");
    QTest::newRow("pressed") << false << QByteArray("tbrPressed") << true << true;
    QTest::newRow("pressed again") << true << QByteArray("tbrPressed") << true << true;
    QTest::newRow("unpressed does not release")
        << true << QByteArray("tbrUnpressed") << true << false;
    QTest::newRow("other letter case") << false << QByteArray("TBRPRESSED") << false << false;
    QTest::newRow("boolean word") << false << QByteArray("True") << false << false;
}

void TestSettings::onlyTheExactPressedWordPressesBold() {
    QFETCH(bool, before);
    QFETCH(QByteArray, value);
    QFETCH(bool, after);
    QFETCH(bool, pressedByLoad);
    UserSettings settings;
    settings.boldPressed = before;
    const LoadOutcome outcome = loadFrom("fontType=" + value + "\n", settings);
    QCOMPARE(settings.boldPressed, after);
    QCOMPARE(outcome.boldPressed, pressedByLoad);
}

void TestSettings::measures_data() {
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<double>("expected"); // held before: 500
    QTest::newRow("whole") << QByteArray("1440") << 1440.0;
    QTest::newRow("fraction") << QByteArray("1035.5") << 1035.5;
    QTest::newRow("single precision")
        << QByteArray("0.1") << static_cast<double>(static_cast<float>(0.1));
    QTest::newRow("exponent") << QByteArray("1.5E3") << 1500.0;
    QTest::newRow("comma outside a comma locale") << QByteArray("1035,5") << 500.0;
    QTest::newRow("negative width") << QByteArray("-20") << 500.0;
    QTest::newRow("too large for single") << QByteArray("1e39") << 500.0;
    QTest::newRow("not a number") << QByteArray("wide") << 500.0;
    QTest::newRow("nan") << QByteArray("nan") << 500.0;
}

void TestSettings::measures() {
    QFETCH(QByteArray, value);
    QFETCH(double, expected);
    const LocaleScope locale(QLocale::c());
    UserSettings settings;
    settings.gridWidths[3] = 500.0;
    loadFrom("Grid3=" + value + "\n", settings);
    QVERIFY(settings.gridWidths[3].has_value());
    QCOMPARE(*settings.gridWidths[3], expected);
}

void TestSettings::measureWithDecimalCommaWhereTheLocaleUsesIt() {
    const LocaleScope locale(QLocale(QLocale::German, QLocale::Germany));
    UserSettings settings;
    loadFrom("Grid0=1035,5\nGrid1=1035.5\nGrid2=1.035,5\n", settings);
    QCOMPARE(settings.gridWidths[0], std::optional<double>(1035.5));
    QCOMPARE(settings.gridWidths[1], std::optional<double>(1035.5));
    QCOMPARE(settings.gridWidths[2], std::optional<double>()); // grouped: ambiguous, ignored
}

void TestSettings::gridWidthsLoadedOnlyWhereStored() {
    UserSettings settings;
    settings.gridWidths[5] = 900.0;
    const LoadOutcome outcome = loadFrom("Grid0=100\nGrid5=\nGrid16=1600\nGrid17=1700\n", settings);
    for (int column = 0; column < UserSettings::StoredGridColumns; ++column) {
        const auto i = static_cast<std::size_t>(column);
        QCOMPARE(outcome.gridWidthsLoaded[i], column == 0 || column == 16);
    }
    QCOMPARE(settings.gridWidths[0], std::optional<double>(100));
    QCOMPARE(settings.gridWidths[5], std::optional<double>(900));
    QCOMPARE(settings.gridWidths[16], std::optional<double>(1600));
}

void TestSettings::saveAndLoadRoundTrip_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::newRow("decimal point locale") << QLocale(QLocale::English, QLocale::UnitedStates);
    QTest::newRow("decimal comma locale") << QLocale(QLocale::German, QLocale::Germany);
}

void TestSettings::saveAndLoadRoundTrip() {
    QFETCH(QLocale, locale);
    const LocaleScope scope(locale);
    TempProgramFolder folder;
    const SettingsStore store(folder.path());
    UserSettings settings;
    settings.boldPressed = true;
    settings.lastBackupLocation = QStringLiteral("/media/usb stick/Corvanel.MD1");
    settings.userName = QStringLiteral("  Ann \"Nan\" Lee");
    settings.userAddress1 = QStringLiteral("1 Main St; Apt [2]");
    settings.userAddress2 = QStringLiteral("'rear'");
    settings.userCity = QStringLiteral("Zürich");
    settings.userState = QStringLiteral("ZH");
    settings.userZip = QStringLiteral("8001");
    settings.commPort = 3;
    settings.wordProcessorPath = QStringLiteral("/opt/write=it/bin/write");
    settings.wordProcessor = UserSettings::WordProcessor::Other;
    settings.envelopeFeed = UserSettings::EnvelopeFeed::Manual;
    settings.labelStock = 5662;
    settings.toolbarStyle = ToolbarStyle::TextAndImages;
    settings.showTips = 0;
    settings.autoBackup = 1;
    settings.gridWidths[0] = 1035.5;
    settings.gridWidths[7] = static_cast<double>(static_cast<float>(0.1));
    settings.gridWidths[16] = 2000000.0;
    QVERIFY(store.save(settings));
    QVERIFY(!folder.read(Hig).contains("1035,5"));

    UserSettings reloaded;
    reloaded.toolbarStyle = ToolbarStyle::LargeImagesOnly;
    const LoadOutcome outcome = store.load(reloaded);
    QCOMPARE(reloaded, settings);
    QVERIFY(outcome.boldPressed);
    QVERIFY(outcome.toolbarStyleSelected);
}

void TestSettings::saveWritesKeysInTheirOrder() {
    TempProgramFolder folder;
    UserSettings settings;
    settings.userName = QStringLiteral("Ann");
    settings.labelStock = 5160;
    settings.gridWidths[2] = 1440.0;
    QVERIFY(SettingsStore(folder.path()).save(settings));
    QCOMPARE(folder.read(Hig), QByteArray("[User Prefs]\n"
                                          "USERName=Ann\n"
                                          "USERAddress1=\n"
                                          "USERAddress2=\n"
                                          "USERCity=\n"
                                          "USERState=\n"
                                          "USERZip=\n"
                                          "WordProc=\n"
                                          "BUdrive=Unknown\n"
                                          "fontType=tbrUnpressed\n"
                                          "WordPad=True\n"
                                          "WordOther=False\n"
                                          "5267=False\n"
                                          "5160=True\n"
                                          "5260=False\n"
                                          "5161=False\n"
                                          "5261=False\n"
                                          "5162=False\n"
                                          "5262=False\n"
                                          "5163=False\n"
                                          "5660=False\n"
                                          "5662=False\n"
                                          "IO=True\n"
                                          "TI=False\n"
                                          "TIP=1\n"
                                          "BUdata=1\n"
                                          "Grid2=1440\n"));
}

void TestSettings::saveWithoutSelectionKeepsTheStoredChoice() {
    TempProgramFolder folder;
    folder.write(Hig, prefs("CommPort1=False\nCommPort2=True\nEnvRight=True\n"));
    const SettingsStore store(folder.path());
    UserSettings settings; // no port and no envelope feed chosen in this run
    QVERIFY(store.save(settings));
    const QByteArray saved = folder.read(Hig);
    QVERIFY(saved.contains("\nCommPort2=True\n"));
    QVERIFY(!saved.contains("CommPort3"));
    UserSettings reloaded;
    store.load(reloaded);
    QCOMPARE(reloaded.commPort, 2);
    QCOMPARE(reloaded.envelopeFeed, UserSettings::EnvelopeFeed::Right);
}

void TestSettings::saveKeepsCommentsAndOtherSections() {
    TempProgramFolder folder;
    folder.write(Hig, "; written by hand\r\n"
                      "[Printer]\r\n"
                      "Port=LPT1\r\n"
                      "\r\n"
                      "[user prefs]\r\n"
                      "usercity=Old Town\r\n"
                      "; keep me\r\n"
                      "Custom=1\r\n");
    UserSettings settings;
    settings.userCity = QStringLiteral("New Town");
    QVERIFY(SettingsStore(folder.path()).save(settings));
    const QByteArray saved = folder.read(Hig);
    QVERIFY(saved.startsWith("; written by hand\r\n"
                             "[Printer]\r\n"
                             "Port=LPT1\r\n"
                             "\r\n"
                             "[user prefs]\r\n"
                             "usercity=New Town\r\n"
                             "; keep me\r\n"
                             "Custom=1\r\n"
                             "USERName=\r\n"));
    QCOMPARE(saved.count("[user prefs]"), 1);
    QVERIFY(!saved.contains("[User Prefs]"));
    QCOMPARE(saved.count("\n"), saved.count("\r\n"));
}

void TestSettings::fileNameMatchedWithoutLetterCase() {
    TempProgramFolder folder;
    folder.write(QStringLiteral("CORVANEL.HIG"), prefs("USERName=Ann\n"));
    const SettingsStore store(folder.path());
    UserSettings settings;
    store.load(settings);
    QCOMPARE(settings.userName, QStringLiteral("Ann"));
    settings.userName = QStringLiteral("Bob");
    QVERIFY(store.save(settings));
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files),
             QStringList{QStringLiteral("CORVANEL.HIG")});
    QVERIFY(folder.read(QStringLiteral("CORVANEL.HIG")).contains("USERName=Bob\n"));
}

void TestSettings::longValueReadAs1027Characters() {
    const QString longName(1100, QLatin1Char('x'));
    UserSettings settings;
    loadFrom("USERName=" + longName.toUtf8() + "\n", settings);
    QCOMPARE(settings.userName.size(), 1027);
}

void TestSettings::failedSaveLeavesThePreviousFileWhole() {
    TempProgramFolder folder;
    const QByteArray previous = prefs("USERName=Ann\nCommPort1=True\nTIP=0\n");
    folder.write(Hig, previous);
    UserSettings settings;
    settings.userName = QStringLiteral("Bob");
    bool saved = true;
    {
        // Room for the first keys but not for all: a key-by-key writer would leave some done.
        const FileSizeLimit limit(static_cast<rlim_t>(previous.size()));
        if (!limit.active())
            QSKIP("the file size limit cannot be set here");
        saved = SettingsStore(folder.path()).save(settings);
    }
    QVERIFY(!saved);
    QCOMPARE(folder.read(Hig), previous);
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{Hig});
}

void TestSettings::saveWhereNoFileCanBeReportsFailure() {
    TempProgramFolder folder;
    folder.write(QStringLiteral("program"), "a file where the folder should be");
    const SettingsStore store(folder.file(QStringLiteral("program")));
    QVERIFY(!store.save(UserSettings{}));
    QVERIFY(!store.saveWindowGeometry(WindowGeometry{1.0, 2.0, 3.0, 4.0}));
    UserSettings settings;
    store.load(settings);
    QCOMPARE(settings, UserSettings{});
}

void TestSettings::windowGeometry_data() {
    QTest::addColumn<QByteArray>("lines");
    QTest::addColumn<WindowGeometry>("expected");
    QTest::newRow("all") << QByteArray("Left=-120\nTop=0\nWidth=9600.5\nHeight=7200\n")
                         << WindowGeometry{-120.0, 0.0, 9600.5, 7200.0};
    QTest::newRow("some missing or empty")
        << QByteArray("Top=300\nWidth=\n")
        << WindowGeometry{std::nullopt, 300.0, std::nullopt, std::nullopt};
    QTest::newRow("unusable") << QByteArray("Left=far\nTop=1e40\nWidth=-5\nHeight=10\n")
                              << WindowGeometry{std::nullopt, std::nullopt, std::nullopt, 10.0};
}

void TestSettings::windowGeometry() {
    QFETCH(QByteArray, lines);
    QFETCH(WindowGeometry, expected);
    TempProgramFolder folder;
    folder.write(QStringLiteral("Corvanel.win"), prefs(lines));
    QCOMPARE(SettingsStore(folder.path()).loadWindowGeometry(), expected);
}

void TestSettings::windowGeometryRoundTrip() {
    TempProgramFolder folder;
    const SettingsStore store(folder.path());
    QCOMPARE(store.loadWindowGeometry(), WindowGeometry{});
    const WindowGeometry geometry{1035.5, -60.0, 9600.0, 7200.0};
    QVERIFY(store.saveWindowGeometry(geometry));
    QCOMPARE(folder.read(QStringLiteral("Corvanel.win")),
             QByteArray("[User Prefs]\nLeft=1035.5\nTop=-60\nWidth=9600\nHeight=7200\n"));
    QCOMPARE(store.loadWindowGeometry(), geometry);
    QVERIFY(!folder.exists(Hig));
}

void TestSettings::unusableFilesAreReportedOnceAndLeftAlone_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("settings file is a named pipe") << Hig << "fifo"
                                                   << "it is a named pipe";
    QTest::newRow("settings file links to /dev/zero") << Hig << "zero"
                                                      << "it is a link to a device";
    QTest::newRow("settings file too large") << Hig << "large"
                                             << "it is larger than 1 MB";
    QTest::newRow("geometry file is a named pipe") << QStringLiteral("Corvanel.win") << "fifo"
                                                   << "it is a named pipe";
    QTest::newRow("geometry file links to /dev/zero") << QStringLiteral("Corvanel.win") << "zero"
                                                      << "it is a link to a device";
}

// Neither blocks nor floods the program; one message per file, however often the program
// loads and saves; the settings held are kept, and the thing itself is left as it was.
void TestSettings::unusableFilesAreReportedOnceAndLeftAlone() {
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    TempProgramFolder folder;
    const QString path = folder.file(name);
    const QByteArray native = QFile::encodeName(path);
    const QByteArray large =
        prefs("USERName=Big\n;").leftJustified(quillory::PrivateProfile::MaxFileSize + 1, 'x');
    if (kind == QLatin1String("fifo"))
        QCOMPARE(::mkfifo(native.constData(), 0600), 0);
    else if (kind == QLatin1String("zero"))
        QVERIFY(quillory::test::devZeroIsADevice() &&
                QFile::link(QStringLiteral("/dev/zero"), path));
    else
        folder.write(name, large);
    const bool settingsFile = name == Hig;
    const QString otherName = settingsFile ? QStringLiteral("Corvanel.win") : Hig;

    ScriptedMessageBoxes boxes;
    const Watchdog watchdog(20);
    const SettingsStore store(folder.path());
    UserSettings settings;
    settings.userName = QStringLiteral("Ann");
    for (int round = 0; round < 2; ++round) {
        store.load(settings);
        QCOMPARE(settings.userName, QStringLiteral("Ann"));
        QCOMPARE(store.save(settings), !settingsFile);
        const WindowGeometry saved{1.0, 2.0, 3.0, 4.0};
        QCOMPARE(store.loadWindowGeometry(), round > 0 && settingsFile ? saved : WindowGeometry{});
        QCOMPARE(store.saveWindowGeometry(saved), settingsFile);
    }

    QVERIFY2(quillory::test::devZeroIsADevice(), "/dev/zero was written through");
    QCOMPARE(boxes.asked().size(), 1);
    const auto& box = boxes.asked().first();
    QCOMPARE(box.text, QStringLiteral("The file \"%1\" is not used: %2. Quillory goes on with the "
                                      "settings it has, keeps changes to them only until it ends, "
                                      "and leaves the file as it is.")
                           .arg(QDir::toNativeSeparators(path), reason));
    QCOMPARE(box.icon, quillory::ui::Icon::Exclamation);
    QCOMPARE(box.caption, QStringLiteral("Quillory"));

    struct stat after {};
    QCOMPARE(::lstat(native.constData(), &after), 0);
    if (kind == QLatin1String("fifo"))
        QVERIFY(S_ISFIFO(after.st_mode));
    else if (kind == QLatin1String("zero"))
        QCOMPARE(QFileInfo(path).symLinkTarget(), QStringLiteral("/dev/zero"));
    else
        QCOMPARE(folder.read(name), large);
    // The other file works as ever.
    QVERIFY(folder.exists(otherName));
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::System).size(), 2);
}

QTEST_GUILESS_MAIN(TestSettings)
#include "test_settings.moc"
