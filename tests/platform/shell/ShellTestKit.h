#pragma once

// What the tests of the shell and of the commands that use it share: a recorder of what would
// be opened, environment variables set for one test, and a desktop of the test's own.

#include "platform/shell/Shell.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

namespace quillory::test {

// Records what would have been opened instead of opening it; the desktop answers `accepts`.
struct RecordedOpens {
    RecordedOpens() {
        shell::ShellService::setOpener([this](const QUrl& url) {
            opened.append(url.toString(QUrl::FullyEncoded));
            return accepts;
        });
    }
    ~RecordedOpens() { shell::ShellService::setOpener({}); }
    RecordedOpens(const RecordedOpens&) = delete;
    RecordedOpens& operator=(const RecordedOpens&) = delete;
    QStringList opened;
    bool accepts = true;
};

constexpr QFile::Permissions Runnable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;

inline void writeFile(const QString& path, const QByteArray& contents,
                      QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    file.write(contents);
    file.close();
    file.setPermissions(permissions);
}

// Sets an environment variable for one test and puts the old value back after it.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value)
        : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name)) {
        qputenv(name, value);
    }
    ~ScopedEnv() {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_name;
    bool m_had;
    QByteArray m_old;
};

// A desktop of the test's own, so the machine's applications and choices play no part: user
// and system folders for configuration ("config", "etc") and applications ("home", "usr"), a
// search path ("bin") with nothing on it but what the test puts there, and no BROWSER; with
// `programs`, a program for every kind of address the program hands to the desktop.
struct FakeDesktop {
    explicit FakeDesktop(bool programs = false)
        : configHome("XDG_CONFIG_HOME", (dir.path() + "/config").toUtf8()),
          configDirs("XDG_CONFIG_DIRS", (dir.path() + "/etc").toUtf8()),
          dataHome("XDG_DATA_HOME", (dir.path() + "/home").toUtf8()),
          dataDirs("XDG_DATA_DIRS", (dir.path() + "/usr").toUtf8()),
          currentDesktop("XDG_CURRENT_DESKTOP", "Test"),
          searchPath("PATH", (dir.path() + "/bin").toUtf8()), browser("BROWSER", {}) {
        QDir().mkpath(path(QStringLiteral("bin")));
        if (!programs)
            return;
        writeFile(path("usr/applications/any.desktop"),
                  "[Desktop Entry]\nType=Application\nExec=a");
        QByteArray list = "[Default Applications]\n";
        for (const char* scheme : {"mailto", "http", "https", "tel"})
            list += QByteArray("x-scheme-handler/") + scheme + "=any.desktop\n";
        writeFile(path("config/mimeapps.list"), list);
    }
    QString path(const QString& name) const { return dir.path() + QLatin1Char('/') + name; }

    QTemporaryDir dir;
    ScopedEnv configHome, configDirs, dataHome, dataDirs, currentDesktop, searchPath, browser;
};

} // namespace quillory::test
