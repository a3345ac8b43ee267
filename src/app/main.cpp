// Quillory: an address and phone book for one person's contacts.

#include "app/Registration.h"
#include "core/AppContext.h"
#include "core/frmSplash.h"
#include "core/ProgramInfo.h"
#include "platform/files/FileOps.h"
#include "platform/files/PlatformError.h"
#include "platform/files/ProgramFolder.h"
#include "printing/Envelope.h"

#include <cstdio>
#include <optional>
#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QTimer>

namespace {

bool haveDisplay() {
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty())
        return true;
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

QStringList argumentList(int argc, char** argv) {
    QStringList out;
    for (int i = 0; i < argc; ++i)
        out.append(QFile::decodeName(argv[i]));
    return out;
}

// The folder given with --home as the bytes of the command line: the parser sees decoded
// text, which cannot name a folder whose name is not in the file names' encoding. The last
// one given counts, as it does for the parser.
QByteArray nativeHome(int argc, char** argv) {
    QByteArray found;
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "--")
            break;
        if (argument == "--home" && i + 1 < argc)
            found = argv[++i];
        else if (argument.startsWith("--home="))
            found = argument.mid(7);
    }
    return found;
}

} // namespace

int main(int argc, char** argv) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Quillory, an address and phone book."));
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Show this help and exit."));
    const QCommandLineOption versionOption({QStringLiteral("v"), QStringLiteral("version")},
                                           QStringLiteral("Show the version and exit."));
    const QCommandLineOption homeOption(
        QStringLiteral("home"),
        QStringLiteral("Keep the book, the settings and the back-ups in DIR."),
        QStringLiteral("DIR"));
    const QCommandLineOption exitOption(
        QStringLiteral("exit-after-start"),
        QStringLiteral("Start as usual and exit once the first card is shown (for timing)."));
    parser.addOptions({helpOption, versionOption, homeOption, exitOption});
    // The envelope of the first contact of the sorted book, written as a PDF without a window.
    const QCommandLineOption envelopeOption(
        QStringLiteral("envelope"),
        QStringLiteral("With --pdf: write the envelope of the book's first contact."));
    const QCommandLineOption envelopePdfOption(
        QStringLiteral("pdf"), QStringLiteral("The PDF file to write."), QStringLiteral("FILE"));
    parser.addOptions({envelopeOption, envelopePdfOption});

    if (!parser.parse(argumentList(argc, argv))) {
        std::fprintf(stderr, "quillory: %s\nTry 'quillory --help'.\n",
                     qPrintable(parser.errorText()));
        return 2;
    }
    if (parser.isSet(helpOption)) {
        // The parser runs before the application object exists, so it cannot name the program.
        QString help = parser.helpText();
        help.replace(QStringLiteral("<executable_name>"), QStringLiteral("quillory"));
        std::printf("%s", qPrintable(help));
        return 0;
    }
    if (parser.isSet(versionOption)) {
        std::printf("quillory %s\n", quillory::program::Version);
        return 0;
    }
    if (!haveDisplay()) {
        std::fprintf(stderr, "quillory: no display found; start it under a virtual one, for "
                             "example: xvfb-run -s \"-screen 0 1280x1024x24\" quillory\n");
        return 1;
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillory"));
    QApplication::setApplicationVersion(QString::fromLatin1(quillory::program::Version));
    QApplication::setOrganizationName(QStringLiteral("Quillory"));
    QApplication::setDesktopFileName(QStringLiteral("quillory"));
    // The card's boxes were measured for a compact sans-serif face of the Arial family.
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPointSizeF(9);
    QApplication::setFont(font);

    const QString executableFolder = QFileInfo(QApplication::applicationFilePath()).absolutePath();
    std::optional<quillory::ProgramFolder> folder;
    try {
        folder = quillory::ProgramFolder::choose(
            quillory::files::folderFromNative(nativeHome(argc, argv), true), executableFolder);
    } catch (const quillory::PlatformError& error) {
        std::fprintf(stderr, "quillory: %s\n", qPrintable(error.description()));
        return 1;
    }
    if (parser.isSet(envelopeOption)) {
        if (!parser.isSet(envelopePdfOption)) {
            std::fprintf(stderr, "quillory: --envelope needs --pdf FILE\n");
            return 2;
        }
        try {
            quillory::writeFirstContactEnvelope(*folder, parser.value(envelopePdfOption));
        } catch (const quillory::PlatformError& error) {
            std::fprintf(stderr, "quillory: %s\n", qPrintable(error.description().simplified()));
            return 1;
        }
        return 0;
    }
    quillory::AppContext app(*folder);
    quillory::registerAllCommands(app);

    quillory::frmSplash splash(app);
    app.setSplash(&splash);
    if (parser.isSet(exitOption)) {
        QObject::connect(&splash, &quillory::frmSplash::started, &application,
                         [] { QTimer::singleShot(0, [] { QApplication::exit(0); }); });
    }
    splash.show();
    return application.exec();
}
