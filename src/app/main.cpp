// Quillory: an address and phone book for one person's contacts.

#include "app/Registration.h"
#include "core/AppContext.h"
#include "core/frmSplash.h"
#include "platform/files/ProgramFolder.h"

#include <cstdio>
#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QFont>
#include <QTimer>

namespace {

constexpr const char* Version = "9.01";

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
        out.append(QString::fromLocal8Bit(argv[i]));
    return out;
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
        std::printf("quillory %s\n", Version);
        return 0;
    }
    if (!haveDisplay()) {
        std::fprintf(stderr, "quillory: no display found; start it under a virtual one, for "
                             "example: xvfb-run -s \"-screen 0 1280x1024x24\" quillory\n");
        return 1;
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillory"));
    QApplication::setApplicationVersion(QString::fromLatin1(Version));
    QApplication::setOrganizationName(QStringLiteral("Quillory"));
    QApplication::setDesktopFileName(QStringLiteral("quillory"));
    // The card's boxes were measured for a compact sans-serif face of the Arial family.
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPointSizeF(9);
    QApplication::setFont(font);

    const QString executableFolder = QFileInfo(QApplication::applicationFilePath()).absolutePath();
    quillory::AppContext app(
        quillory::ProgramFolder::choose(parser.value(homeOption), executableFolder));
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
