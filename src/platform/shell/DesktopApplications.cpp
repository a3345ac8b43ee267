#include "platform/shell/DesktopApplications.h"

#include <algorithm>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

namespace quillory::shell {

namespace {

using Group = QHash<QString, QString>;

// One group of a desktop key file ("[Desktop Entry]", "[Default Applications]"): keys are
// compared exactly, as the format asks; comments and other groups are skipped.
Group readGroup(const QString& path, const QString& wanted) {
    Group values;
    QFile file(path);
    // Desktop files are small; a huge or endless one is not a desktop file.
    if (!file.open(QIODevice::ReadOnly) || file.size() > 1024 * 1024)
        return values;
    bool inGroup = false;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray& raw : lines) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            inGroup = line == QLatin1Char('[') + wanted + QLatin1Char(']');
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (inGroup && equals > 0) {
            const QString key = line.left(equals).trimmed();
            if (!values.contains(key))
                values.insert(key, line.mid(equals + 1).trimmed());
        }
    }
    return values;
}

QStringList dirsFromEnvironment(const char* variable, const QString& fallback) {
    const QString value = qEnvironmentVariable(variable);
    QStringList dirs;
    for (const QString& dir : (value.isEmpty() ? fallback : value).split(QLatin1Char(':')))
        if (QDir::isAbsolutePath(dir))
            dirs.append(dir);
    return dirs;
}

QStringList configDirs() {
    QStringList dirs = dirsFromEnvironment("XDG_CONFIG_HOME", QDir::homePath() + "/.config");
    dirs += dirsFromEnvironment("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg"));
    return dirs;
}

QStringList applicationDirs() {
    QStringList dirs = dirsFromEnvironment("XDG_DATA_HOME", QDir::homePath() + "/.local/share");
    dirs += dirsFromEnvironment("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share"));
    for (QString& dir : dirs)
        dir += QStringLiteral("/applications");
    return dirs;
}

// The mimeapps.list files in the order they take precedence: the user's, the system's, then
// those shipped with the applications; a desktop's own list before the general one.
QStringList mimeAppsLists() {
    QStringList desktops;
    for (const QString& desktop :
         qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'), Qt::SkipEmptyParts))
        desktops.append(desktop.toLower());
    QStringList lists;
    for (const QStringList& dirs : {configDirs(), applicationDirs()}) {
        for (const QString& dir : dirs) {
            for (const QString& desktop : desktops)
                lists.append(dir + QLatin1Char('/') + desktop + QStringLiteral("-mimeapps.list"));
            lists.append(dir + QStringLiteral("/mimeapps.list"));
        }
    }
    return lists;
}

// The Exec line's words: first its escapes as a string value (\s, \t, \\), then its quoting
// ("..." with \" \\ \$ \` inside).
QStringList execWords(const QString& exec) {
    QString value;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        if (exec[i] != QLatin1Char('\\') || i + 1 == exec.size()) {
            value += exec[i];
            continue;
        }
        const QChar next = exec[++i];
        if (next == QLatin1Char('s'))
            value += QLatin1Char(' ');
        else if (next == QLatin1Char('t'))
            value += QLatin1Char('\t');
        else if (next == QLatin1Char('\\'))
            value += QLatin1Char('\\');
        else
            value += QLatin1Char('\\') + QString(next);
    }
    QStringList words;
    QString word;
    bool inWord = false;
    bool quoted = false;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (quoted && c == QLatin1Char('\\') && i + 1 < value.size()) {
            word += value[++i];
        } else if (c == QLatin1Char('"')) {
            quoted = !quoted;
            inWord = true;
        } else if (!quoted && c.isSpace()) {
            if (inWord)
                words.append(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.append(word);
    return words;
}

// The command of an Exec line with no document: the file and URL codes are taken out, the
// other codes replaced as the desktop entry format says.
QStringList execArguments(const QString& exec, const Group& entry, const QString& path) {
    QStringList words;
    for (const QString& word : execWords(exec)) {
        if (word == QLatin1String("%i"))
            continue;
        QString expanded;
        for (qsizetype i = 0; i < word.size(); ++i) {
            if (word[i] != QLatin1Char('%') || i + 1 == word.size()) {
                expanded += word[i];
                continue;
            }
            const QChar code = word[++i];
            if (code == QLatin1Char('%'))
                expanded += QLatin1Char('%');
            else if (code == QLatin1Char('c'))
                expanded += entry.value(QStringLiteral("Name"));
            else if (code == QLatin1Char('k'))
                expanded += path;
        }
        // A word that was only a file code ("%U") goes; any other word stays, even if empty.
        if (!expanded.isEmpty() || !word.startsWith(QLatin1Char('%')))
            words.append(expanded);
    }
    return words;
}

// The application of the desktop file `id` when it is installed and can be started.
std::optional<ProgramCommand> application(const QString& id) {
    if (!id.endsWith(QLatin1String(".desktop")) || id.contains(QLatin1Char('/')))
        return std::nullopt;
    for (const QString& dir : applicationDirs()) {
        const QString path = dir + QLatin1Char('/') + id;
        if (!QFile::exists(path))
            continue;
        // The first file of this id hides the others, installed or not.
        const Group entry = readGroup(path, QStringLiteral("Desktop Entry"));
        if (entry.value(QStringLiteral("Type")) != QLatin1String("Application") ||
            entry.value(QStringLiteral("Hidden")) == QLatin1String("true"))
            return std::nullopt;
        const QStringList words = execArguments(entry.value(QStringLiteral("Exec")), entry, path);
        if (words.isEmpty())
            return std::nullopt;
        const QString name = entry.value(QStringLiteral("Name"), words.first());
        return ProgramCommand{name, words.first(), words.mid(1)};
    }
    return std::nullopt;
}

std::optional<ProgramCommand> firstInstalled(const QString& ids) {
    for (const QString& id : ids.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        if (auto found = application(id.trimmed()))
            return found;
    }
    return std::nullopt;
}

} // namespace

std::optional<ProgramCommand> defaultApplicationFor(const QString& mimeType) {
    for (const QString& list : mimeAppsLists()) {
        const Group defaults = readGroup(list, QStringLiteral("Default Applications"));
        if (auto found = firstInstalled(defaults.value(mimeType)))
            return found;
    }
    // The older lists of defaults, then the applications that say they open the type.
    for (const auto& [file, group] :
         {std::pair{QStringLiteral("defaults.list"), QStringLiteral("Default Applications")},
          std::pair{QStringLiteral("mimeinfo.cache"), QStringLiteral("MIME Cache")}}) {
        for (const QString& dir : applicationDirs()) {
            if (auto found =
                    firstInstalled(readGroup(dir + QLatin1Char('/') + file, group).value(mimeType)))
                return found;
        }
    }
    return std::nullopt;
}

bool desktopHandles(const QString& scheme) {
    if (defaultApplicationFor(QStringLiteral("x-scheme-handler/") + scheme.toLower()))
        return true;
    if (scheme.compare(QLatin1String("http"), Qt::CaseInsensitive) != 0 &&
        scheme.compare(QLatin1String("https"), Qt::CaseInsensitive) != 0)
        return false;
    // Web pages also go to the browser BROWSER names (commands separated by ':', the program
    // the first word of each) or to one installed under a name the desktop's opener tries.
    QStringList browsers = {QStringLiteral("x-www-browser"), QStringLiteral("firefox"),
                            QStringLiteral("chromium"), QStringLiteral("google-chrome")};
    for (const QString& command :
         qEnvironmentVariable("BROWSER").split(QLatin1Char(':'), Qt::SkipEmptyParts))
        browsers.append(command.section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty));
    return std::any_of(browsers.begin(), browsers.end(), [](const QString& browser) {
        const QFileInfo file(browser);
        return file.isAbsolute() ? file.isFile() && file.isExecutable()
                                 : !findOnPath(browser).isEmpty();
    });
}

} // namespace quillory::shell
